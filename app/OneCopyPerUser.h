#pragma once
// One copy of the program per Windows user: the first copy publishes its main window
// under a name that holds the user's SID; a later start of the same user finds it there,
// brings it to the front and ends. Other users have names of their own.

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>

#include "OwnedHandle.h"

namespace ovaro {

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
    // The first copy: tells later starts which window to bring forward.
    void Publish(HWND mainWindow);
    // A later copy: the running copy's main window (it may still be starting up, so this
    // waits up to `limit`); null when none shows up.
    HWND RunningWindow(std::chrono::milliseconds limit) const;

private:
    Owned<HANDLE, &CloseHandle> mapping_;
    void* view_ = nullptr;
    bool first_ = true;
};

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
