#pragma once
// The folder tree's wait on the window's thread. While one operation of the tree waits
// for a folder listing (or inserts a long one), the thread keeps answering, but only
// what this written list lets through runs; everything else stays in the queue until
// the operation is over, apart from the user's input, which is dropped:
//   - sent messages (the system delivers them inside any look into the queue);
//   - paint;
//   - WM_QUIT: the operation stops, and the quit is posted again for the loop outside;
//   - a close request (WM_CLOSE, or WM_SYSCOMMAND with SC_CLOSE), so that a window whose
//     read hangs can still be closed; a click on a close box or Alt+F4 is turned into one;
//   - registered messages (0xC000 to 0xFFFF): they come from outside the program's own
//     code, such as a second start asking the running copy to come forward;
//   - the messages of the thread's COM window (OleMainThreadWndClass): the calls of screen
//     readers, which read names and states; what they ask of the controls is sent to
//     them, and what would enter the tree's logic waits as everything else does;
//   - a released mouse button, to the window that holds the mouse (a button pressed before
//     the operation began, the tree view telling a click from a drag); a capture still
//     held after it ends, so that no button stays pressed and no click becomes a drag.
// Dropped: keyboard, mouse (client and frame), touch, pointer and gesture input; Esc
// stops the operation. Held: timers, commands, system commands other than closing, IME
// messages, the program's own posted messages, and everything not named above.
//
// The wait knows nothing of reads; whoever waits asks it whether the operation was stopped.

#include <windows.h>

#include <chrono>
#include <functional>
#include <utility>

namespace ovaro::folders {

class RestrictedWait {
public:
    RestrictedWait() = default;
    RestrictedWait(const RestrictedWait&) = delete;
    RestrictedWait& operator=(const RestrictedWait&) = delete;

    // Brackets one operation of the tree: its start lifts an earlier stop, its end takes
    // the wait cursor away. Operations do not nest; the tree lets one run at a time.
    void Begin();
    void End();

    // True once this operation was stopped (Esc, WM_QUIT), and for good once the tree's
    // window is gone.
    bool Stopped() const { return stopped_ || gone_; }
    void StopForGood() { gone_ = true; }

    // Runs the restricted loop until ready() holds (true) or the operation is stopped
    // (false). wake is signalled by whoever makes ready() true.
    bool WaitFor(HANDLE wake, const std::function<bool()>& ready);
    // Runs the restricted loop once if the thread has not done so for a while: for work
    // that is long but not a wait, such as inserting 100,000 nodes.
    void Breathe();
    // Runs the restricted loop once now, during an operation: before and after one step
    // that holds the thread for long and cannot be cut, so that the step stands alone.
    void Answer();
    // Called once per operation, from the loop, once the operation has waited for reads as
    // long as the wait cursor waits.
    void WhenLong(std::function<void()> hook) { onLong_ = std::move(hook); }

private:
    using Clock = std::chrono::steady_clock;
    void Pump();
    bool Take(MSG& msg, UINT first, UINT last, UINT flags, HWND window = nullptr);
    void DropInput();
    void CursorIfDue(bool again);

    bool active_ = false;
    bool stopped_ = false;
    bool gone_ = false;
    bool quit_ = false;  // this pump met WM_QUIT and posted it again
    Clock::time_point begun_{};
    Clock::time_point lastPump_{};
    bool cursorShown_ = false;
    bool longTold_ = false;
    Clock::duration waited_{};  // in WaitFor, this operation
    std::function<void()> onLong_;
    HCURSOR previousCursor_ = nullptr;
};

}  // namespace ovaro::folders
