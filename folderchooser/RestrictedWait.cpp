#include "RestrictedWait.h"

#include <algorithm>
#include <utility>

namespace ovaro::folders {

namespace {

using namespace std::chrono_literals;

// Long work answers the system at least this often; well below what a person notices.
constexpr auto kBreatheEvery = 30ms;
// The wait cursor shows only for waits a person notices.
constexpr auto kCursorAfter = 300ms;

// The non-client mouse messages, WM_NCMOUSEMOVE to WM_NCXBUTTONDBLCLK.
constexpr UINT kNcMouseFirst = 0x00A0;
constexpr UINT kNcMouseLast = 0x00AD;

}  // namespace

void RestrictedWait::Begin() {
    if (depth_++ == 0) {
        begun_ = lastPump_ = Clock::now();
        stopped_ = false;
    }
}

void RestrictedWait::End() {
    if (depth_ == 0 || --depth_ > 0) return;
    if (dropReads) dropReads();
    stopped_ = false;
    if (cursorShown_) {
        SetCursor(previousCursor_ != nullptr ? previousCursor_ : LoadCursorW(nullptr, IDC_ARROW));
        cursorShown_ = false;
    }
}

void RestrictedWait::Stop() {
    stopped_ = true;
    if (dropReads) dropReads();
}

void RestrictedWait::StopForGood() {
    gone_ = true;
    Stop();
}

void RestrictedWait::CursorIfDue(bool again) {
    if (depth_ == 0) return;
    if (!cursorShown_ && Clock::now() - begun_ >= kCursorAfter) {
        previousCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        cursorShown_ = true;
    } else if (cursorShown_ && again) {
        // The system set the window's own cursor for the mouse message just dropped.
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    }
}

void RestrictedWait::Pump() {
    lastPump_ = Clock::now();
    // One question to the system instead of eight when nothing waits in the queue, which
    // is the rule between the quick listings of a big expansion (under Wine each look into
    // the queue is a round trip to its server).
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) {
        CursorIfDue(false);
        return;
    }
    MSG msg;
    // The user's input is dropped, as a disabled window would not get it; Esc stops.
    const std::pair<UINT, UINT> input[] = {
        {WM_KEYFIRST, WM_KEYLAST}, {WM_MOUSEFIRST, WM_MOUSELAST}, {kNcMouseFirst, kNcMouseLast}};
    for (const auto& [first, last] : input) {
        while (PeekMessageW(&msg, nullptr, first, last, PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && !Stopped()) Stop();
            CursorIfDue(msg.message >= WM_MOUSEFIRST || msg.message <= kNcMouseLast);
        }
    }
    // Everything else runs, apart from commands and the program's own messages (a node
    // click posted by the tree, say): they wait until the operation is done, so the tree
    // is not changed under the logic's feet. A close request and the end of the session
    // do run; the tree's owner takes care not to free what is in use.
    const std::pair<UINT, UINT> run[] = {{0, kNcMouseFirst - 1},
                                         {kNcMouseLast + 1, WM_KEYFIRST - 1},
                                         {WM_KEYLAST + 1, WM_COMMAND - 1},
                                         {WM_COMMAND + 1, WM_MOUSEFIRST - 1},
                                         {WM_MOUSELAST + 1, WM_USER - 1},
                                         // Registered messages come from outside (a second start
                                         // asking to be brought forward, say).
                                         {0xC000, 0xFFFF}};
    // Bounded, so that a window that never validates cannot keep the loop here.
    for (int round = 0; round < 64; ++round) {
        bool any = false;
        for (const auto& [first, last] : run) {
            if (!PeekMessageW(&msg, nullptr, first, last, PM_REMOVE)) continue;
            any = true;
            if (msg.message == WM_QUIT) {
                // For the loop that ends the program; nothing more is read meanwhile.
                Stop();
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            DispatchMessageW(&msg);
        }
        if (!any) break;
    }
    CursorIfDue(false);
}

void RestrictedWait::WaitFor(HANDLE wake, const std::function<bool()>& ready) {
    while (!Stopped() && !ready()) {
        Pump();
        if (Stopped() || ready()) break;
        // Wakes for a finished read, for any new message, and in time for the wait cursor.
        MsgWaitForMultipleObjectsEx(wake != nullptr ? 1 : 0, &wake, 50, QS_ALLINPUT, 0);
    }
}

void RestrictedWait::Breathe() {
    if (depth_ > 0 && Clock::now() - lastPump_ >= kBreatheEvery) Pump();
}

void RestrictedWait::Answer() {
    if (depth_ > 0) Pump();
}

}  // namespace ovaro::folders
