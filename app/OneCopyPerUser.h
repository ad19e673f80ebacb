#pragma once
// One copy of the program per Windows user on the machine, across terminal-server sessions.
// Two names hold the user's SID: in each session a shared block where the copy names its
// process and main window, so that a later start of that session brings it to the front;
// and one mutex in the machine-wide namespace that the copy holds, so that a start in
// another session of the same user learns that it runs. Both are made with an access list
// for the user alone; an object under either name that belongs to another account is
// ignored.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "OwnedHandle.h"
#include "RunningCopyRecord.h"

namespace ovaro {

inline constexpr std::wstring_view kAlreadyRunningText =
    L"Das Programm läuft bereits.\r\n"
    L"Bitte wechseln Sie zu seinem Fenster. Läuft es mit anderen Rechten (zum Beispiel als Administrator), "
    L"kann es von hier aus nicht nach vorn geholt werden.";
inline constexpr std::wstring_view kRunningInOtherSessionText =
    L"Das Programm läuft bereits in einer anderen Sitzung dieses Benutzers.";

class OneCopyPerUser {
public:
    // Looks at the names of `base` for the current user; takes nothing yet.
    explicit OneCopyPerUser(std::wstring_view base);
    ~OneCopyPerUser();
    OneCopyPerUser(const OneCopyPerUser&) = delete;
    OneCopyPerUser& operator=(const OneCopyPerUser&) = delete;

    // What this start does. A copy of this session that is still starting (no window yet)
    // is waited for up to `limit`. Names that cannot be had at all (no SID, no object)
    // never keep the program from starting. Run: this start holds what it could take.
    StartChoice Choose(std::chrono::milliseconds limit);
    // After BringForward: the running copy's main window.
    HWND RunningWindow() const { return running_; }
    // The copy that runs: tells later starts of this session which window to bring forward.
    void Publish(HWND mainWindow);
    // The copy's main window is gone and it is ending: a start in another session may run
    // from now on. On the thread that called Choose.
    void Release();

private:
    std::uint64_t* Word(int index) const { return static_cast<std::uint64_t*>(view_) + index; }
    CopyInSession ReadRecord(std::chrono::milliseconds limit);
    UserClaim TakeClaim();

    std::vector<std::uint8_t> user_;  // the user's SID; empty when it cannot be had
    std::wstring base_;
    Owned<HANDLE, &CloseHandle> mapping_;
    void* view_ = nullptr;
    bool recordIsOurs_ = false;  // this start writes the session's record
    Owned<HANDLE, &CloseHandle> claim_;
    bool holdsClaim_ = false;
    HWND running_ = nullptr;
};

// Tells the user that the program runs already, when its window cannot be brought forward.
void TellAlreadyRunning();
// Tells the user that the program runs in another session of theirs.
void TellRunningInOtherSession();

// "<space>\<base>-<SID of the current user>" (space "Local" or "Global"); empty when the
// SID cannot be had.
std::wstring PerUserObjectName(std::wstring_view space, std::wstring_view base);

// Bringing the running copy forward is a request to it: a later start asks with this
// message, and the running copy's main window answers it with ComeToFront.
UINT ComeToFrontMessage();
// False when the request could not be posted (the copy runs with higher rights, say).
bool AskToComeToFront(HWND mainWindow);
// Brings the window to the front, or the dialog or message box that holds it disabled;
// a minimised window is restored first.
void ComeToFront(HWND mainWindow);

}  // namespace ovaro
