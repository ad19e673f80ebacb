#pragma once
// The folder tree's wait on the window's thread. While the tree's logic waits for a
// folder listing (or inserts a long one), the thread keeps answering: paints, sent
// messages and the system's messages run, as under a message box; the user's mouse and
// keyboard input to the program's windows is dropped, except Esc, which stops the reads
// still outstanding. The program's own commands and posted messages wait in the queue
// until the tree is done, so the tree's logic is never entered a second time by them.

#include <windows.h>

#include <chrono>
#include <functional>

namespace ovaro::folders {

class RestrictedWait {
public:
    RestrictedWait() = default;
    RestrictedWait(const RestrictedWait&) = delete;
    RestrictedWait& operator=(const RestrictedWait&) = delete;

    // Brackets one operation of the tree (creation, a Path walk, an expansion, a click);
    // nestable. The end of the outermost one lifts a stop, drops what was read ahead and
    // not used, and takes the wait cursor away.
    void Begin();
    void End();
    bool Busy() const { return depth_ > 0; }

    // True once the reads of this operation were stopped (Esc, the end of the program),
    // or for good once the tree's window is gone.
    bool Stopped() const { return stopped_ || gone_; }
    void Stop();
    void StopForGood();

    // Runs the restricted loop until ready() holds or the operation is stopped. wake is
    // signalled by whoever makes ready() true.
    void WaitFor(HANDLE wake, const std::function<bool()>& ready);
    // Runs the restricted loop once if the thread has not done so for a while: for work
    // that is long but not a wait, such as inserting 100,000 nodes.
    void Breathe();
    // Runs the restricted loop once now, during an operation: before and after one step
    // that holds the thread for long and cannot be cut, so that the step stands alone.
    void Answer();

    // Called when the reads are stopped and at the end of every outermost operation.
    std::function<void()> dropReads;

private:
    using Clock = std::chrono::steady_clock;
    void Pump();
    void CursorIfDue(bool again);

    int depth_ = 0;
    bool stopped_ = false;
    bool gone_ = false;
    Clock::time_point begun_{};
    Clock::time_point lastPump_{};
    bool cursorShown_ = false;
    HCURSOR previousCursor_ = nullptr;
};

// Brackets one operation of the tree on a wait.
class WaitOperation {
public:
    explicit WaitOperation(RestrictedWait& wait) : wait_(wait) { wait_.Begin(); }
    ~WaitOperation() { wait_.End(); }
    WaitOperation(const WaitOperation&) = delete;
    WaitOperation& operator=(const WaitOperation&) = delete;

private:
    RestrictedWait& wait_;
};

}  // namespace ovaro::folders
