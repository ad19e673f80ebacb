#include "RestrictedWait.h"

#include "AccessibleText.h"

namespace ovaro::folders {

namespace {

using namespace std::chrono_literals;

// Long work answers the system at least this often; well below what a person notices.
constexpr auto kBreatheEvery = 30ms;
// The wait cursor shows only for waits a person notices.
constexpr auto kCursorAfter = 300ms;

struct Range {
    UINT first, last;
};

// The user's input, dropped as a disabled window would not get it: non-client mouse
// (WM_NCMOUSEMOVE to WM_NCXBUTTONDBLCLK), keyboard, gesture, mouse, touch and pointer.
constexpr Range kUserInput[] = {
    {0x00A0, 0x00AD}, {WM_KEYFIRST, WM_KEYLAST}, {0x0119, 0x0119}, {WM_MOUSEFIRST, WM_MOUSELAST}, {0x0238, 0x0257}};

// Let through, each for the reason the header gives. WM_QUIT is taken apart.
constexpr Range kLetThrough[] = {{WM_PAINT, WM_PAINT}, {WM_CLOSE, WM_CLOSE}, {0xC000, 0xFFFF}};

bool IsButtonUp(UINT message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP || message == WM_XBUTTONUP;
}

// The button was pressed before the operation began, or the capture holder would not
// have it: its holder gets the release, and a capture left over ends.
void Release(const MSG& msg) {
    const HWND capture = GetCapture();
    if (capture == nullptr) return;
    if (msg.hwnd == capture) DispatchMessageW(&msg);
    if (GetCapture() != nullptr) ReleaseCapture();
}

bool IsCloseGesture(const MSG& msg) {
    return (msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE) ||
           (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4);
}

}  // namespace

void RestrictedWait::Begin() {
    active_ = true;
    begun_ = lastPump_ = Clock::now();
    stopped_ = false;
    longTold_ = false;
    waited_ = {};
}

void RestrictedWait::End() {
    active_ = false;
    stopped_ = false;
    if (cursorShown_) {
        SetCursor(previousCursor_ != nullptr ? previousCursor_ : LoadCursorW(nullptr, IDC_ARROW));
        cursorShown_ = false;
    }
}

void RestrictedWait::CursorIfDue(bool again) {
    if (!active_) return;
    if (!cursorShown_ && Clock::now() - begun_ >= kCursorAfter) {
        previousCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        cursorShown_ = true;
    } else if (cursorShown_ && again) {
        // The system set the window's own cursor for the mouse message just dropped.
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    }
}

// The platform hands out WM_QUIT whatever range is asked for: it ends the operation and is
// posted again for the loop that ends the program; nothing more is read meanwhile.
bool RestrictedWait::Take(MSG& msg, UINT first, UINT last, UINT flags, HWND window) {
    if (!PeekMessageW(&msg, window, first, last, flags)) return false;
    if (msg.message != WM_QUIT) return true;
    stopped_ = true;
    if ((flags & PM_REMOVE) != 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        quit_ = true;  // taken again, it would come back at once
    }
    return false;
}

void RestrictedWait::DropInput() {
    MSG msg;
    for (const auto& [first, last] : kUserInput) {
        while (!quit_ && Take(msg, first, last, PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) stopped_ = true;
            if (IsButtonUp(msg.message)) Release(msg);
            // Closing is never refused, also while a read hangs: the window decides.
            if (IsCloseGesture(msg) && msg.hwnd != nullptr)
                PostMessageW(GetAncestor(msg.hwnd, GA_ROOT), WM_CLOSE, 0, 0);
            CursorIfDue(msg.message >= WM_MOUSEFIRST || msg.message <= 0x00AD);
        }
    }
}

void RestrictedWait::Pump() {
    lastPump_ = Clock::now();
    // One question to the system instead of several when nothing waits in the queue, which
    // is the rule between the quick listings of a big expansion (under Wine each look into
    // the queue is a round trip to its server).
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) {
        CursorIfDue(false);
        return;
    }
    DropInput();
    MSG msg;
    // Bounded, so that a window that never validates cannot keep the loop here. After a
    // WM_QUIT nothing more runs.
    for (int round = 0; round < 64 && !quit_; ++round) {
        bool any = false;
        for (const auto& [first, last] : kLetThrough) {
            if (quit_ || !Take(msg, first, last, PM_REMOVE)) continue;
            any = true;
            DispatchMessageW(&msg);
        }
        // An assistive tool's calls; looked for only once the thread has answered one.
        if (const HWND com = ComCallWindow(); com != nullptr && !quit_ && Take(msg, 0, 0, PM_REMOVE, com)) {
            any = true;
            DispatchMessageW(&msg);
        }
        // Of the system commands only closing; the first one in the queue decides, so
        // that the others keep their order.
        if (!quit_ && Take(msg, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE) && (msg.wParam & 0xFFF0) == SC_CLOSE &&
            Take(msg, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) {
            any = true;
            DispatchMessageW(&msg);
        }
        if (!any) break;
    }
    quit_ = false;
    CursorIfDue(false);
}

bool RestrictedWait::WaitFor(HANDLE wake, const std::function<bool()>& ready) {
    const auto entered = Clock::now();
    // Only the time spent waiting for reads counts as keeping the user waiting: a message
    // box shown meanwhile is something to see already.
    struct Counting {
        RestrictedWait& wait;
        Clock::time_point entered;
        ~Counting() { wait.waited_ += Clock::now() - entered; }
    } counting{*this, entered};
    while (!Stopped()) {
        if (ready()) return true;
        Pump();
        if (Stopped()) break;
        if (ready()) return true;
        if (onLong_ && !longTold_ && waited_ + (Clock::now() - entered) >= kCursorAfter) {
            longTold_ = true;
            onLong_();  // shows the host while the reads go on
        }
        // Wakes for a finished read, for any new message, and in time for the wait cursor.
        MsgWaitForMultipleObjectsEx(wake != nullptr ? 1 : 0, &wake, 50, QS_ALLINPUT, 0);
    }
    return false;
}

void RestrictedWait::Breathe() {
    if (active_ && Clock::now() - lastPump_ >= kBreatheEvery) Pump();
}

void RestrictedWait::Answer() {
    if (active_) Pump();
}

}  // namespace ovaro::folders
