#pragma once
// One copy of the program per Windows user: the first copy names its process and its main
// window in a shared block whose name holds the user's SID; a later start of the same user
// finds it there, brings it to the front and ends. Other users have names of their own.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "OwnedHandle.h"

namespace ovaro {

inline constexpr std::wstring_view kAlreadyRunningText =
    L"Das Programm läuft bereits.\r\n"
    L"Bitte wechseln Sie zu seinem Fenster. Läuft es mit anderen Rechten (zum Beispiel als Administrator), "
    L"kann es von hier aus nicht nach vorn geholt werden.";

class OneCopyPerUser {
public:
    // Claims the name `base` for the current user in this session.
    explicit OneCopyPerUser(std::wstring_view base);
    ~OneCopyPerUser();
    OneCopyPerUser(const OneCopyPerUser&) = delete;
    OneCopyPerUser& operator=(const OneCopyPerUser&) = delete;

    // False when a copy of this user runs already. A name that cannot be had at all
    // (no SID, no object) never keeps the program from starting: it counts as first.
    bool First() const { return first_; }
    // The name exists but may not be opened: a copy of this user runs with other rights
    // (as administrator, say), and cannot be asked to come forward.
    bool Refused() const { return refused_; }
    // The first copy: tells later starts which window to bring forward.
    void Publish(HWND mainWindow);
    // A later copy: the running copy's main window (it may still be starting up, so this
    // waits up to `limit`); null when none shows up. When the copy named is gone or ending
    // (its window gone, stuck in a read, say), this start takes its place: First() turns true.
    HWND RunningWindow(std::chrono::milliseconds limit);

private:
    std::uint64_t* Word(int index) const { return static_cast<std::uint64_t*>(view_) + index; }

    Owned<HANDLE, &CloseHandle> mapping_;
    void* view_ = nullptr;
    bool first_ = true;
    bool refused_ = false;
};

// Tells the user that the program runs already, when its window cannot be brought forward.
void TellAlreadyRunning();

// "Local\<base>-<SID of the current user>"; empty when the SID cannot be had.
std::wstring PerUserObjectName(std::wstring_view base);

// Bringing the running copy forward is a request to it: a later start asks with this
// message, and the running copy's main window answers it with ComeToFront.
UINT ComeToFrontMessage();
void AskToComeToFront(HWND mainWindow);
// Brings the window to the front, or the dialog or message box that holds it disabled;
// a minimised window is restored first.
void ComeToFront(HWND mainWindow);

}  // namespace ovaro
