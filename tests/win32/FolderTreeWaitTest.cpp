// The doors of the folder tree's wait, knocked on one by one: the restricted wait alone,
// the background lister with listings that wait until the test lets them go, and the
// control, whose logic takes one operation at a time whatever arrives through the wait
// or through the loop of a message box it shows.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>

#include "BackgroundFolderLister.h"
#include "MemoryFolderTree.h"
#include "OvaroFolderTreeView.h"
#include "RestrictedWait.h"
#include "TestSupport.h"
#include "Win32FolderSources.h"

namespace ovaro::folders::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ovaro::testing::PumpPosted;
using ovaro::testing::PumpUntil;

// The platform's own text for an error number.
std::wstring PlatformText(DWORD code) {
    wchar_t* buffer = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer != nullptr ? buffer : L"";
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

// A window that notes the messages it gets. Sent kProbe, it notes whether the wait
// cursor shows on its thread; sent kCall, it runs onCall there.
constexpr UINT kProbe = WM_APP + 77;
constexpr UINT kCall = WM_APP + 78;
class RecordingWindow {
public:
    RecordingWindow() {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"OvaroTestRecordingWindow";
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            return RegisterClassW(&wc);
        }();
        (void)atom;
        hwnd = CreateWindowExW(0, L"OvaroTestRecordingWindow", L"Aufzeichnung", WS_OVERLAPPEDWINDOW, 40, 40, 500, 600,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecordingWindow() { DestroyWindow(hwnd); }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    bool Saw(UINT message) const { return std::find(seen.begin(), seen.end(), message) != seen.end(); }

    HWND hwnd = nullptr;
    std::vector<UINT> seen;
    std::atomic<bool> waitCursorSeen{false};
    std::function<void()> onCall;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
        switch (message) {
            case WM_PAINT: {
                self->seen.push_back(message);
                PAINTSTRUCT ps;
                BeginPaint(hwnd, &ps);
                EndPaint(hwnd, &ps);
                return 0;
            }
            case kCall:
                if (self->onCall) self->onCall();
                return 0;
            case kProbe: {
                CURSORINFO info{};
                info.cbSize = sizeof info;
                if (GetCursorInfo(&info) && info.hCursor == LoadCursorW(nullptr, IDC_WAIT)) self->waitCursorSeen = true;
                return 0;
            }
            case WM_TIMER:
            case WM_COMMAND:
            case WM_CLOSE:
            case WM_SYSCOMMAND:
            case WM_KEYDOWN:
            case WM_LBUTTONDOWN:
            case WM_APP + 5: self->seen.push_back(message); return 0;
            default:
                if (message >= 0xC000) {
                    self->seen.push_back(message);
                    return 0;
                }
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }
};

// Presses Esc in `window` after `limit` unless it is over before: a wait that would
// never end fails its test instead of hanging it.
class EscAfter {
public:
    EscAfter(HWND window, std::chrono::milliseconds limit)
        : thread_([this, window, limit] {
              std::unique_lock lock(mutex_);
              if (!over_.wait_for(lock, limit, [this] { return done_; }))
                  PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
          }) {}
    ~EscAfter() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        over_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable over_;
    bool done_ = false;
    std::thread thread_;
};

// Folder listings from a MemoryMachine on the workers; a held folder's listing waits
// until the test lets it go. Each listing of a folder carries the number of its reading
// (a child "Lesung1", "Lesung2", ...) unless the machine holds the folder.
class HeldReads {
public:
    explicit HeldReads(MemoryMachine* machine = nullptr) : machine_(machine) {}
    // Lets every held read go and waits until none is inside Fn any more: the workers
    // outlive the lister, not this.
    ~HeldReads() {
        std::unique_lock lock(mutex_);
        held_.clear();
        changed_.notify_all();
        changed_.wait(lock, [&] { return inside_ == 0; });
    }

    void Hold(const std::wstring& folder) {
        std::lock_guard lock(mutex_);
        held_.insert(folder);
    }
    void Release(const std::wstring& folder) {
        {
            std::lock_guard lock(mutex_);
            held_.erase(folder);
        }
        changed_.notify_all();
    }
    void ReleaseAll() {
        {
            std::lock_guard lock(mutex_);
            held_.clear();
        }
        changed_.notify_all();
    }
    void Throw(const std::wstring& folder, std::function<void()> thrower) {
        std::lock_guard lock(mutex_);
        throwers_[folder] = std::move(thrower);
    }
    // Until `count` reads of folder have begun (or ended, with `ended`).
    bool Await(const std::wstring& folder, int count = 1, bool ended = false) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 15s, [&] { return (ended ? ended_ : begun_)[folder] >= count; });
    }
    std::vector<std::wstring> Ended() {
        std::lock_guard lock(mutex_);
        return order_;
    }
    int Begun(const std::wstring& folder) {
        std::lock_guard lock(mutex_);
        return begun_[folder];
    }

    ReadFolderFn Fn() {
        return [this](const std::wstring& folder) {
            struct Inside {
                HeldReads& reads;
                ~Inside() {
                    std::lock_guard lock(reads.mutex_);
                    --reads.inside_;
                    reads.changed_.notify_all();
                }
            };
            {
                std::lock_guard lock(mutex_);
                ++inside_;
            }
            const Inside inside{*this};
            int reading = 0;
            std::function<void()> thrower;
            {
                std::unique_lock lock(mutex_);
                reading = ++begun_[folder];
                changed_.notify_all();
                changed_.wait(lock, [&] { return held_.count(folder) == 0; });
                if (const auto it = throwers_.find(folder); it != throwers_.end()) thrower = it->second;
            }
            FolderListing listing;
            if (thrower) thrower();
            if (machine_ != nullptr) {
                std::lock_guard lock(mutex_);
                listing = machine_->List(folder);
            } else {
                listing.subFolders.push_back(folder + L"Lesung" + std::to_wstring(reading));
            }
            {
                std::lock_guard lock(mutex_);
                ++ended_[folder];
                order_.push_back(folder);
            }
            changed_.notify_all();
            return listing;
        };
    }

private:
    MemoryMachine* machine_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::wstring> held_;
    std::map<std::wstring, std::function<void()>> throwers_;
    std::map<std::wstring, int> begun_, ended_;
    std::vector<std::wstring> order_;
    int inside_ = 0;
};

std::vector<std::wstring> Lesung(const std::wstring& folder, int n) {
    return {folder + L"Lesung" + std::to_wstring(n)};
}

// ---- the wait alone ----------------------------------------------------------------------

TEST(RestrictedWaitDoors, LetsThroughItsListHoldsTheRestAndDropsInput) {
    RecordingWindow window;
    ShowWindow(window.hwnd, SW_SHOW);
    PumpUntil([] { return false; }, 50ms);
    window.seen.clear();
    // The come-forward message of a second start, as the program registers it.
    const UINT comeForward = RegisterWindowMessageW(L"ZomaOvaroOrdnerSetzen-NachVorn");
    SetTimer(window.hwnd, 1, 10, nullptr);
    const auto timerSet = Clock::now();
    PostMessageW(window.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    PostMessageW(window.hwnd, WM_APP + 5, 0, 0);
    PostMessageW(window.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PostMessageW(window.hwnd, WM_KEYDOWN, L'A', 0);
    PostMessageW(window.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    PostMessageW(window.hwnd, comeForward, 0, 0);
    PostMessageW(window.hwnd, WM_CLOSE, 0, 0);
    InvalidateRect(window.hwnd, nullptr, TRUE);

    // Ready once the come-forward message has run and the timer is long due.
    RestrictedWait wait;
    wait.Begin();
    const auto deadline = Clock::now() + 10s;
    const bool ready = wait.WaitFor(nullptr, [&] {
        return (window.Saw(comeForward) && Clock::now() - timerSet > 300ms) || Clock::now() > deadline;
    });
    wait.End();
    EXPECT_TRUE(ready);
    const std::vector<UINT> during = window.seen;
    EXPECT_TRUE(window.Saw(comeForward));
    EXPECT_TRUE(window.Saw(WM_PAINT));
    EXPECT_TRUE(window.Saw(WM_CLOSE));
    for (UINT held : {UINT{WM_TIMER}, UINT{WM_COMMAND}, UINT{WM_APP + 5}, UINT{WM_SYSCOMMAND}, UINT{WM_KEYDOWN},
                      UINT{WM_LBUTTONDOWN}})
        EXPECT_FALSE(window.Saw(held)) << std::hex << held;

    // Afterwards the held ones run, in their order; the input is gone.
    window.seen.clear();
    ASSERT_TRUE(PumpUntil([&] { return window.Saw(WM_TIMER); }));
    PumpPosted();
    KillTimer(window.hwnd, 1);
    const auto command = std::find(window.seen.begin(), window.seen.end(), WM_COMMAND);
    const auto own = std::find(window.seen.begin(), window.seen.end(), WM_APP + 5);
    ASSERT_NE(command, window.seen.end());
    ASSERT_NE(own, window.seen.end());
    EXPECT_LT(command, own);
    EXPECT_TRUE(window.Saw(WM_SYSCOMMAND));
    EXPECT_FALSE(window.Saw(WM_KEYDOWN));
    EXPECT_FALSE(window.Saw(WM_LBUTTONDOWN));
}

TEST(RestrictedWaitDoors, QuitEndsTheWaitAndIsPostedAgainAndEscStops) {
    RestrictedWait wait;
    wait.Begin();
    PostQuitMessage(7);
    EXPECT_FALSE(wait.WaitFor(nullptr, [] { return false; }));
    EXPECT_TRUE(wait.Stopped());
    wait.End();
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);

    RecordingWindow window;
    wait.Begin();
    EXPECT_FALSE(wait.Stopped());  // a new operation
    PostMessageW(window.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(wait.WaitFor(nullptr, [] { return false; }));
    EXPECT_TRUE(wait.Stopped());
    wait.End();
    EXPECT_FALSE(wait.Stopped());
    PumpPosted();
    EXPECT_FALSE(window.Saw(WM_KEYDOWN));
}

// ---- the lister ---------------------------------------------------------------------------

TEST(BackgroundListerReads, HandsOverInTheLogicsOrderWhateverOrderTheReadsEnd) {
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 30s);
    HeldReads reads;
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, reads.Fn());
    const std::wstring a = L"x:\\A\\", b = L"x:\\B\\", c = L"x:\\C\\";
    for (const auto& f : {a, b, c}) reads.Hold(f);
    wait.Begin();
    lister.Prefetch({a, b, c});
    // The reads end last to first.
    std::thread user([&] {
        for (const auto& f : {a, b, c}) reads.Await(f);
        for (const auto& f : {c, b, a}) {
            reads.Release(f);
            reads.Await(f, 1, true);
        }
    });
    const FolderListing first = lister.List(a);
    const FolderListing second = lister.List(b);
    const FolderListing third = lister.List(c);
    user.join();
    EXPECT_EQ(first.Outcome(), ListOutcome::Read);
    EXPECT_EQ(first.subFolders, Lesung(a, 1));
    EXPECT_EQ(second.subFolders, Lesung(b, 1));
    EXPECT_EQ(third.subFolders, Lesung(c, 1));
    EXPECT_EQ(reads.Ended(), (std::vector<std::wstring>{c, b, a}));

    // A second List of a folder while the first still waits for it (a sent message run
    // by the wait that reads again) gets a read of its own; the first keeps its own.
    const std::wstring n = L"x:\\N\\";
    reads.Hold(n);
    FolderListing inner;
    window.onCall = [&] { inner = lister.List(n); };
    std::thread sender([&] {
        reads.Await(n, 1);
        SendMessageW(window.hwnd, kCall, 0, 0);
    });
    std::thread releaser([&] {
        reads.Await(n, 2);
        reads.Release(n);
    });
    const FolderListing outer = lister.List(n);
    sender.join();
    releaser.join();
    wait.End();
    EXPECT_EQ(outer.Outcome(), ListOutcome::Read);
    EXPECT_EQ(outer.subFolders, Lesung(n, 1));
    EXPECT_EQ(inner.Outcome(), ListOutcome::Read);
    EXPECT_EQ(inner.subFolders, Lesung(n, 2));
}

TEST(BackgroundListerReads, EscStopsTheReadAndItsLateResultGoesNowhere) {
    RecordingWindow window;
    HeldReads reads;
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, reads.Fn());
    const std::wstring a = L"x:\\A\\", b = L"x:\\B\\";
    reads.Hold(a);
    wait.Begin();
    std::thread user([&] {
        reads.Await(a);
        PostMessageW(window.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const FolderListing stopped = lister.List(a);
    user.join();
    EXPECT_EQ(stopped.Outcome(), ListOutcome::Stopped);
    EXPECT_TRUE(stopped.subFolders.empty());
    // The rest of the operation reads nothing.
    EXPECT_EQ(lister.List(b).Outcome(), ListOutcome::Stopped);
    wait.End();
    EXPECT_FALSE(window.Saw(WM_KEYDOWN));

    // The first reading ends late; the next operation reads anew and gets the second.
    reads.Release(a);
    ASSERT_TRUE(reads.Await(a, 1, true));
    wait.Begin();
    const FolderListing again = lister.List(a);
    wait.End();
    EXPECT_EQ(again.Outcome(), ListOutcome::Read);
    EXPECT_EQ(again.subFolders, Lesung(a, 2));
    EXPECT_EQ(reads.Ended(), (std::vector<std::wstring>{a, a}));
}

TEST(BackgroundListerReads, AReadThatThrowsAndAWorkerThatCannotStartAreFailures) {
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 30s);
    HeldReads reads;
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, reads.Fn());
    reads.Throw(L"x:\\Riesig\\", [] { throw std::bad_alloc(); });
    reads.Throw(L"x:\\Seltsam\\", [] { throw std::runtime_error("seltsam"); });
    wait.Begin();
    const FolderListing huge = lister.List(L"x:\\Riesig\\");
    const FolderListing odd = lister.List(L"x:\\Seltsam\\");
    const FolderListing fine = lister.List(L"x:\\Gut\\");
    wait.End();
    ASSERT_EQ(huge.Outcome(), ListOutcome::Failed);
    EXPECT_FALSE(huge.failure->driveNotAvailable);
    EXPECT_EQ(huge.failure->description, PlatformText(ERROR_NOT_ENOUGH_MEMORY));
    ASSERT_EQ(odd.Outcome(), ListOutcome::Failed);
    EXPECT_FALSE(odd.failure->description.empty());
    EXPECT_EQ(fine.subFolders, Lesung(L"x:\\Gut\\", 1));  // the workers live on

    int submits = 0;
    BackgroundFolderLister starved(wait, reads.Fn(), 4, [&](PTP_SIMPLE_CALLBACK, void*) {
        ++submits;
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return false;
    });
    wait.Begin();
    starved.Prefetch({L"x:\\Eins\\", L"x:\\Zwei\\"});
    const FolderListing none = starved.List(L"x:\\Eins\\");
    wait.End();
    ASSERT_EQ(none.Outcome(), ListOutcome::Failed);
    EXPECT_EQ(none.failure->description, PlatformText(ERROR_NO_SYSTEM_RESOURCES));
    EXPECT_GE(submits, 2);
}

TEST(BackgroundListerReads, AReadAheadThatHangsDoesNotHoldUpTheNextDemand) {
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 30s);
    HeldReads reads;
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, reads.Fn(), 1);
    const std::wstring hangs = L"x:\\Haengt\\", next = L"x:\\Weiter\\";
    reads.Hold(hangs);
    wait.Begin();
    lister.Prefetch({hangs});
    ASSERT_TRUE(reads.Await(hangs));
    const FolderListing listing = lister.List(next);
    wait.End();
    EXPECT_EQ(listing.Outcome(), ListOutcome::Read);
    EXPECT_EQ(listing.subFolders, Lesung(next, 1));
}

TEST(BackgroundListerReads, APartReachesTheLogicWhileTheWorkerReadsOnAndABreakOffIsAFailure) {
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 30s);
    // Each folder is read in two parts; the second is read only once the first has reached
    // the window's thread, so with whole listings only the read would give up after 20 s
    // and fail. x:\Weg\ breaks off after its first part.
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::wstring> firstArrived;
    const ReadInPartsFn read = [&](const std::wstring& folder, const ListingPart& onPart) {
        std::vector<std::wstring> first{folder + L"Teil1a", folder + L"Teil1b"};
        onPart(first);
        {
            std::unique_lock lock(mutex);
            if (!changed.wait_for(lock, 20s, [&] { return firstArrived.count(folder) != 0; }))
                return FolderListing::Failed(ListFailure{false, L"zu lange"});
        }
        if (folder == L"x:\\Weg\\") return FolderListing::Failed(ListFailure{true, L"Netz weg"});
        std::vector<std::wstring> second{folder + L"Teil2"};
        onPart(second);
        return FolderListing{};
    };
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, read);
    std::vector<std::vector<std::wstring>> parts;
    const auto take = [&](const std::wstring& folder) {
        return [&, folder](std::vector<std::wstring>& part) {
            parts.push_back(part);
            {
                std::lock_guard lock(mutex);
                firstArrived.insert(folder);
            }
            changed.notify_all();
        };
    };
    const std::wstring a = L"x:\\A\\", weg = L"x:\\Weg\\", whole = L"x:\\Ganz\\";
    wait.Begin();
    const FolderListing listing = lister.ListInParts(a, take(a));
    const FolderListing broken = lister.ListInParts(weg, take(weg));
    {
        std::lock_guard lock(mutex);
        firstArrived.insert(whole);  // read on at once
    }
    const FolderListing all = lister.List(whole);
    wait.End();
    EXPECT_EQ(listing.Outcome(), ListOutcome::Read);
    EXPECT_TRUE(listing.subFolders.empty());
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], (std::vector<std::wstring>{a + L"Teil1a", a + L"Teil1b"}));
    EXPECT_EQ(parts[1], std::vector<std::wstring>{a + L"Teil2"});
    EXPECT_EQ(parts[2], (std::vector<std::wstring>{weg + L"Teil1a", weg + L"Teil1b"}));
    ASSERT_EQ(broken.Outcome(), ListOutcome::Failed);
    EXPECT_TRUE(broken.failure->driveNotAvailable);
    EXPECT_EQ(broken.failure->description, L"Netz weg");
    // List gathers the parts into one listing; it too waits for nothing but the parts.
    EXPECT_EQ(all.Outcome(), ListOutcome::Read);
    EXPECT_EQ(all.subFolders, (std::vector<std::wstring>{whole + L"Teil1a", whole + L"Teil1b", whole + L"Teil2"}));
}

// Workers started through StartDetachedThread, counted while they run; the count outlives
// the test, since a worker may end after it.
struct CountedWorkers {
    std::shared_ptr<std::atomic<int>> alive = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> started = std::make_shared<std::atomic<int>>(0);
    SubmitWorkerFn Fn() const {
        return [alive = alive, started = started](PTP_SIMPLE_CALLBACK callback, void* context) {
            ++*alive;
            ++*started;
            if (StartDetachedThread([alive, callback, context] {
                    callback(nullptr, context);
                    --*alive;
                }))
                return true;
            --*alive;
            --*started;
            return false;
        };
    }
};

TEST(BackgroundListerReads, TheWorkerKeptForTheWantedReadTakesNoReadAhead) {
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 20s);
    HeldReads reads;
    RestrictedWait wait;
    CountedWorkers workers;
    BackgroundFolderLister lister(wait, reads.Fn(), 1, workers.Fn());
    const std::wstring a = L"x:\\A\\", b = L"x:\\B\\", c = L"x:\\C\\", d = L"x:\\D\\";
    reads.Hold(a);
    reads.Hold(b);
    wait.Begin();
    // The one usual worker hangs in A; B waits behind it.
    lister.Prefetch({a, b});
    ASSERT_TRUE(reads.Await(a));
    // C gets a worker of its own, which ends with it instead of going on with B.
    EXPECT_EQ(lister.List(c).subFolders, Lesung(c, 1));
    EXPECT_TRUE(ovaro::testing::Eventually([&] { return *workers.alive == 1; }, 5s)) << *workers.alive;
    EXPECT_EQ(*workers.started, 2);
    EXPECT_EQ(reads.Begun(b), 0);
    // So the next wanted read does not wait behind B either.
    const FolderListing next = lister.List(d);
    wait.End();
    EXPECT_EQ(next.Outcome(), ListOutcome::Read);
    EXPECT_EQ(next.subFolders, Lesung(d, 1));
    EXPECT_EQ(reads.Begun(b), 0);
    EXPECT_EQ(*workers.started, 3);
}

TEST(BackgroundListerReads, StoppedReadsThatHangLeaveEveryNewReadAWorker) {
    // Six times 100 reads ahead and the wanted one hang, and Esc stops them: 606 workers
    // stuck, more than the 500 that the platform's thread pool runs at most (then a submit
    // still succeeds, and nothing runs). The workers are the lister's own.
    RecordingWindow window;
    HeldReads reads;
    RestrictedWait wait;
    BackgroundFolderLister lister(wait, reads.Fn(), 100);
    for (int round = 0; round < 6; ++round) {
        std::vector<std::wstring> ahead;
        for (int i = 0; i < 100; ++i)
            ahead.push_back(L"x:\\Tot" + std::to_wstring(round) + L"\\" + std::to_wstring(i) + L"\\");
        const std::wstring wanted = L"x:\\Tot" + std::to_wstring(round) + L"\\Gesucht\\";
        for (const auto& f : ahead) reads.Hold(f);
        reads.Hold(wanted);
        wait.Begin();
        lister.Prefetch(ahead);
        for (const auto& f : ahead) ASSERT_TRUE(reads.Await(f)) << round;
        std::thread user([&] {
            reads.Await(wanted);
            PostMessageW(window.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        const FolderListing stopped = lister.List(wanted);
        user.join();
        wait.End();
        ASSERT_EQ(stopped.Outcome(), ListOutcome::Stopped) << round;
    }
    // Each stopped read's worker is given up, not waited for: a new read runs at once.
    const EscAfter guard(window.hwnd, 20s);
    wait.Begin();
    const FolderListing fresh = lister.List(L"x:\\Lebt\\");
    wait.End();
    EXPECT_EQ(fresh.Outcome(), ListOutcome::Read);
    EXPECT_EQ(fresh.subFolders, Lesung(L"x:\\Lebt\\", 1));
}

// ---- one folder's read: by handle, by the search functions ------------------------------

// The two ways of reading, each noting its attempts; the way by handle fails as told.
struct ScriptedWays {
    std::atomic<int> byHandle{0}, bySearch{0};
    ListingAttempt handleAnswer;
    ListingWays Ways() {
        return {[this](const std::wstring&, const ListingEntryFn& add, const std::atomic<bool>*) {
                    ++byHandle;
                    if (handleAnswer.begun) add(FILE_ATTRIBUTE_DIRECTORY, L"Teil");
                    return handleAnswer;
                },
                [this](const std::wstring&, const ListingEntryFn& add, const std::atomic<bool>*) {
                    ++bySearch;
                    add(FILE_ATTRIBUTE_DIRECTORY, L"Gesucht");
                    return ListingAttempt{};
                }};
    }
};

TEST(OneFoldersRead, OnlyAFileSystemWithoutReadingByHandleIsReadAgainBySearch) {
    const std::wstring folder = L"x:\\Ordner\\";
    const auto read = [&](ScriptedWays& ways) {
        return ReadFolderInParts(
            folder, [](std::vector<std::wstring>&) {}, 100, ways.Ways());
    };
    // Not supported: the search functions read the folder.
    for (const DWORD error : {DWORD{ERROR_INVALID_PARAMETER}, DWORD{ERROR_INVALID_FUNCTION}, DWORD{ERROR_NOT_SUPPORTED}}) {
        ScriptedWays ways;
        ways.handleAnswer = {error, false};
        std::vector<std::wstring> got;
        const FolderListing listing = ReadFolderInParts(
            folder, [&](std::vector<std::wstring>& part) { got.insert(got.end(), part.begin(), part.end()); }, 100,
            ways.Ways());
        EXPECT_EQ(listing.Outcome(), ListOutcome::Read) << error;
        EXPECT_EQ(got, std::vector<std::wstring>{L"x:\\Ordner\\Gesucht"}) << error;
        EXPECT_EQ(ways.bySearch, 1) << error;
    }
    // Anything else is the answer: one attempt, its message. ERROR_GEN_FAILURE is what a
    // share that times out gives under Wine.
    const std::pair<DWORD, bool> others[] = {{ERROR_ACCESS_DENIED, false},  {ERROR_BAD_NETPATH, true},
                                             {ERROR_NETNAME_DELETED, true}, {ERROR_UNEXP_NET_ERR, true},
                                             {ERROR_SEM_TIMEOUT, false},    {ERROR_TIMEOUT, false},
                                             {ERROR_OPERATION_ABORTED, false}, {ERROR_GEN_FAILURE, false},
                                             {ERROR_PATH_NOT_FOUND, false}, {ERROR_NOACCESS, false}};
    for (const auto& [error, driveGone] : others) {
        ScriptedWays ways;
        ways.handleAnswer = {error, false};
        const FolderListing listing = read(ways);
        ASSERT_EQ(listing.Outcome(), ListOutcome::Failed) << error;
        EXPECT_EQ(listing.failure->description, PlatformText(error)) << error;
        EXPECT_EQ(listing.failure->driveNotAvailable, driveGone) << error;
        EXPECT_EQ(ways.byHandle, 1) << error;
        EXPECT_EQ(ways.bySearch, 0) << error;
    }
    // Broken off after the first block: no second way either, whatever the error.
    ScriptedWays broken;
    broken.handleAnswer = {ERROR_INVALID_PARAMETER, true};
    const FolderListing listing = read(broken);
    ASSERT_EQ(listing.Outcome(), ListOutcome::Failed);
    EXPECT_EQ(listing.failure->description, PlatformText(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(broken.bySearch, 0);

    // On the platform: a missing folder is told as the search functions always told it.
    const FolderListing missing = ReadFolder(L"m:\\gibtsnicht\\");
    ASSERT_EQ(missing.Outcome(), ListOutcome::Failed);
    EXPECT_EQ(missing.failure->description, PlatformText(ERROR_PATH_NOT_FOUND));
}

TEST(OneFoldersRead, EscDuringAnOpenStartsNoSecondWay) {
    // The open returns only once the read is stopped, and then as a file system without
    // reading by handle would: only the stop keeps the search functions from starting.
    RecordingWindow window;
    const EscAfter guard(window.hwnd, 20s);
    std::mutex mutex;
    std::condition_variable changed;
    int opens = 0, ended = 0;
    std::atomic<int> searches{0};
    const ListingWays ways{[&](const std::wstring&, const ListingEntryFn&, const std::atomic<bool>* stop) {
                               {
                                   std::lock_guard lock(mutex);
                                   ++opens;
                               }
                               changed.notify_all();
                               const auto until = Clock::now() + 15s;
                               while (!(stop != nullptr && *stop) && Clock::now() < until)
                                   std::this_thread::sleep_for(5ms);
                               return ListingAttempt{ERROR_INVALID_FUNCTION, false};
                           },
                           [&](const std::wstring&, const ListingEntryFn&, const std::atomic<bool>*) {
                               ++searches;
                               return ListingAttempt{};
                           }};
    RestrictedWait wait;
    BackgroundFolderLister lister(
        wait,
        StoppableReadFn([&](const std::wstring& folder, const ListingPart& onPart, const std::atomic<bool>& stop) {
            FolderListing listing = ReadFolderInParts(folder, onPart, 100, ways, &stop);
            {
                std::lock_guard lock(mutex);
                ++ended;
            }
            changed.notify_all();
            return listing;
        }));
    wait.Begin();
    std::thread user([&] {
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, 15s, [&] { return opens == 1; });
        }
        PostMessageW(window.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const FolderListing listing = lister.List(L"x:\\Tot\\");
    user.join();
    wait.End();
    EXPECT_EQ(listing.Outcome(), ListOutcome::Stopped);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 15s, [&] { return ended == 1; }));
    EXPECT_EQ(searches, 0);
}

// ---- the drive types ----------------------------------------------------------------------

TEST(DriveTypes, AreAskedOnAWorkerWhileTheWindowAnswersAndEscStopsTheQuestion) {
    // The question waits until the test lets it go; it outlives the source.
    struct Device {
        std::mutex mutex;
        std::condition_variable changed;
        bool answer = false;
        int asked = 0;
        DWORD thread = 0;
        std::wstring root;
    };
    const auto device = std::make_shared<Device>();
    const auto let = [&] {
        {
            std::lock_guard lock(device->mutex);
            device->answer = true;
        }
        device->changed.notify_all();
    };
    RecordingWindow window;
    RestrictedWait wait;
    Win32DriveSource drives(&wait, [device](const std::wstring& root) {
        std::unique_lock lock(device->mutex);
        ++device->asked;
        device->thread = GetCurrentThreadId();
        device->root = root;
        device->changed.notify_all();
        device->changed.wait(lock, [&] { return device->answer; });
        device->answer = false;
        return unsigned{DRIVE_REMOTE};
    });
    const auto askedTimes = [&](int n) {
        std::unique_lock lock(device->mutex);
        return device->changed.wait_for(lock, 15s, [&] { return device->asked >= n; });
    };
    wait.Begin();
    // While the device does not answer, a message sent to the window's thread is answered.
    bool answered = false;
    std::thread other([&] {
        askedTimes(1);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window.hwnd, kProbe, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
        let();
    });
    const unsigned type = drives.DriveTypeOf(L"n:");
    other.join();
    EXPECT_EQ(type, 4u);
    EXPECT_TRUE(answered);
    {
        std::lock_guard lock(device->mutex);
        EXPECT_NE(device->thread, GetCurrentThreadId());
        EXPECT_EQ(device->root, L"n:\\");
    }
    // Esc gives up the question: the drive's type is unknown, and the operation asks no more.
    std::thread user([&] {
        askedTimes(2);
        PostMessageW(window.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const unsigned stopped = drives.DriveTypeOf(L"o:");
    user.join();
    EXPECT_EQ(stopped, 0u);
    EXPECT_EQ(drives.DriveTypeOf(L"p:"), 0u);
    wait.End();
    std::lock_guard lock(device->mutex);
    EXPECT_EQ(device->asked, 2);
    device->answer = true;  // the stuck question ends, and goes nowhere
    device->changed.notify_all();
}

// ---- the control: one operation at a time -------------------------------------------------

// A message box's own loop, as a test double: runs `during` when the tree shows a message.
class LoopingMessages final : public MessageSink {
public:
    void Show(std::wstring_view text, MessageStyle style) override {
        shown.push_back({std::wstring(text), style});
        if (during) during();
    }
    std::function<void()> during;
    std::vector<ShownMessage> shown;
};

class OneOperationAtATime : public ::testing::Test {
protected:
    void SetUp() override {
        machine.AddDrive(L'x', kDriveFixed);
        for (const wchar_t* f : {L"x:\\A\\A1", L"x:\\B\\B1\\B11", L"x:\\C\\C1", L"x:\\D\\D1"}) machine.AddFolder(f);
        host = CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 50, 50, 500, 600, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        ShowWindow(host, SW_SHOW);
        SetForegroundWindow(host);
        view =
            OvaroFolderTreeView::Create(host, 100, RECT{10, 10, 410, 510}, {&machine, nullptr, &messages, reads.Fn()});
        ASSERT_NE(view, nullptr);
        view->PathChanged = [this](const std::wstring& p) { events.push_back(p); };
        tree = view->TreeWindow();
        SetFocus(tree);
        view->SetPath(L"x:\\");
        events.clear();
    }
    void TearDown() override {
        reads.ReleaseAll();
        view.reset();
        if (host) DestroyWindow(host);
    }
    HTREEITEM Node(const std::wstring& path) const {
        HTREEITEM item = TreeView_GetRoot(tree);
        std::size_t start = 0;
        while (item != nullptr && start < path.size()) {
            const auto sep = path.find(L'\\', start);
            const std::wstring part = path.substr(start, sep - start);
            HTREEITEM c = TreeView_GetChild(tree, item);
            while (c != nullptr && ovaro::testing::TreeItemText(tree, c) != part) c = TreeView_GetNextSibling(tree, c);
            item = c;
            start = sep == std::wstring::npos ? path.size() : sep + 1;
        }
        return item;
    }
    bool Expanded(HTREEITEM item) const {
        return (TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
    bool Reported(const std::wstring& path) const {
        return std::find(events.begin(), events.end(), path) != events.end();
    }

    MemoryMachine machine;
    HeldReads reads{&machine};
    LoopingMessages messages;
    HWND host = nullptr;
    HWND tree = nullptr;
    std::unique_ptr<OvaroFolderTreeView> view;
    std::vector<std::wstring> events;
};

TEST_F(OneOperationAtATime, DuringAWaitKeysAreDroppedAnExpansionWaitsItsTurnAndTheWaitCursorShows) {
    const HTREEITEM a = Node(L"x:\\A"), b = Node(L"x:\\B");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(TreeView_GetSelection(tree), Node(L"x:"));
    reads.Hold(L"x:\\A\\A1\\");
    RecordingWindow probe;
    bool expandedDuring = true;
    std::thread user([&] {
        reads.Await(L"x:\\A\\A1\\");
        // An assistive tool opens B, and the user presses Down: both while A is read.
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(b));
        expandedDuring =
            (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(b), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
        PostMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
        // The wait cursor shows on the tree's thread once the read is longer than 0.3 s.
        ovaro::testing::Eventually(
            [&] {
                SendMessageW(probe.hwnd, kProbe, 0, 0);
                return probe.waitCursorSeen.load();
            },
            10s);
        reads.Release(L"x:\\A\\A1\\");
    });
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a));
    user.join();
    EXPECT_FALSE(expandedDuring);
    EXPECT_TRUE(probe.waitCursorSeen);
    ASSERT_TRUE(PumpUntil([&] { return Expanded(b); }));
    PumpPosted();
    EXPECT_TRUE(Expanded(a));
    const auto order = reads.Ended();
    const auto readA1 = std::find(order.begin(), order.end(), L"x:\\A\\A1\\");
    const auto readB1 = std::find(order.begin(), order.end(), L"x:\\B\\B1\\");
    ASSERT_NE(readA1, order.end());
    ASSERT_NE(readB1, order.end());
    EXPECT_LT(readA1, readB1);                            // B's turn came after A's
    EXPECT_EQ(TreeView_GetSelection(tree), Node(L"x:"));  // the Down was dropped
    EXPECT_TRUE(events.empty());
}

TEST_F(OneOperationAtATime, ATimerAndAClickThatAMessageBoxLoopRunsWaitUntilTheOperationEnds) {
    // Down onto A: its click comes once the selection has rested for half a second.
    SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
    const auto down = Clock::now();
    ASSERT_EQ(TreeView_GetSelection(tree), Node(L"x:\\A"));
    // Then C opens, and reading its C1 fails: a message box, whose loop runs while the
    // selection's rest ends.
    machine.Fail(L"x:\\C\\C1\\", false, L"kaputt");
    bool reportedInside = true;
    messages.during = [&] {
        PumpUntil([&] { return Clock::now() - down > 900ms; }, 5s);
        reportedInside = !events.empty();
    };
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\C")));
    EXPECT_FALSE(reportedInside);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, L"Fehler beim Lesen des Ordners aufgetreten: kaputt");
    ASSERT_TRUE(PumpUntil([&] { return Reported(L"x:\\A\\"); }));
    EXPECT_EQ(events, std::vector<std::wstring>{L"x:\\A\\"});

    // A click on B that the tree view posts while the box of D's expansion shows.
    events.clear();
    machine.Fail(L"x:\\D\\D1\\", false, L"kaputt");
    const HTREEITEM b = Node(L"x:\\B");
    RECT item{};
    ASSERT_TRUE(TreeView_GetItemRect(tree, b, &item, TRUE));
    POINT pt{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(tree, &pt);
    messages.during = [&] {
        SetCursorPos(pt.x, pt.y);
        INPUT clicks[2] = {};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, clicks, sizeof(INPUT));
        PumpUntil([&] { return TreeView_GetSelection(tree) == b; });
        PumpPosted();
        reportedInside = !events.empty();
    };
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\D")));
    EXPECT_EQ(TreeView_GetSelection(tree), b);
    EXPECT_FALSE(reportedInside);
    ASSERT_TRUE(PumpUntil([&] { return Reported(L"x:\\B\\"); }));
    EXPECT_EQ(events, std::vector<std::wstring>{L"x:\\B\\"});
}

// The user's Right, on a keyboard selection still resting, is dropped while an operation
// runs (sent from another thread, it reaches the tree inside the wait) and while deferred
// tasks wait after it: deferred, it would read the node once the read is let go; run at
// once, it would read it ahead of the expansion that waits.
TEST_F(OneOperationAtATime, RightIsDroppedDuringAnOperationAndWhileDeferredTasksWait) {
    const auto timesRead = [&](const std::wstring& folder) {
        const auto ended = reads.Ended();
        return std::count(ended.begin(), ended.end(), folder);
    };
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\D")));
    ASSERT_EQ(timesRead(L"x:\\D\\D1\\"), 1);
    // End selects D1, the last node shown, which has no sub-folder: it rests, unread again.
    SendMessageW(tree, WM_KEYDOWN, VK_END, 0);
    ASSERT_EQ(TreeView_GetSelection(tree), Node(L"x:\\D\\D1"));

    reads.Hold(L"x:\\C\\C1\\");
    std::thread user([&] {
        reads.Await(L"x:\\C\\C1\\");
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\B")));  // waits its turn
        SendMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
        reads.Release(L"x:\\C\\C1\\");
    });
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\C")));
    user.join();
    // The operation is over, B's expansion waits to run: Right again, now.
    SendMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(PumpUntil([&] { return Expanded(Node(L"x:\\B")); }));
    PumpUntil([] { return false; }, 800ms);  // longer than the rest of a selection
    EXPECT_EQ(timesRead(L"x:\\D\\D1\\"), 1);
    EXPECT_EQ(TreeView_GetSelection(tree), Node(L"x:\\D\\D1"));
    EXPECT_TRUE(events.empty());
}

// A screen reader's calls reach the thread as messages to COM's window: the wait lets
// them through, so a name is read while a read hangs, and nothing else of what is posted
// runs meanwhile. The reader here is another thread of this process, in an apartment of
// its own, whose calls COM carries exactly so.
TEST_F(OneOperationAtATime, AScreenReaderIsAnsweredWhileAReadIsHeldAndNothingElseRuns) {
    RecordingWindow posted;
    reads.Hold(L"x:\\A\\A1\\");
    std::wstring name = L"<no answer>";
    bool heldWhenAnswered = false;
    std::vector<UINT> seenWhenAnswered{WM_NULL};
    std::atomic<bool> done{false}, expansionOver{false};
    std::thread reader([&] {
        reads.Await(L"x:\\A\\A1\\");
        PostMessageW(posted.hwnd, WM_APP + 5, 0, 0);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        static constexpr GUID kIidAccessible = {
            0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
        IAccessible* object = nullptr;
        if (SUCCEEDED(AccessibleObjectFromWindow(tree, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                                 reinterpret_cast<void**>(&object))) &&
            object != nullptr) {
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR text = nullptr;
            if (SUCCEEDED(object->get_accName(self, &text)) && text != nullptr) name = text;
            SysFreeString(text);
            object->Release();
        }
        heldWhenAnswered = !expansionOver;
        SendMessageW(posted.hwnd, kCall, 0, 0);  // sent: runs on the tree's thread in the wait
        CoUninitialize();
        reads.Release(L"x:\\A\\A1\\");
        done = true;
    });
    posted.onCall = [&] { seenWhenAnswered = posted.seen; };
    {
        // Esc stops a wait that does not answer; the reader then gets its answer afterwards.
        const EscAfter guard(tree, 10s);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\A")));
        expansionOver = true;
    }
    PumpUntil([&] { return done.load(); }, 20s);
    reader.join();
    EXPECT_EQ(name, L"Ordner");
    EXPECT_TRUE(heldWhenAnswered);
    EXPECT_TRUE(seenWhenAnswered.empty());  // the program's own posted message waited
    EXPECT_TRUE(Expanded(Node(L"x:\\A")));
    PumpPosted();
    EXPECT_TRUE(posted.Saw(WM_APP + 5));
    EXPECT_TRUE(events.empty());
}

TEST_F(OneOperationAtATime, AReadThatThrowsIsToldAsAReadFailure) {
    reads.Throw(L"x:\\A\\A1\\", [] { throw std::bad_alloc(); });
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node(L"x:\\A")));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              L"Fehler beim Lesen des Ordners aufgetreten: " + PlatformText(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(messages.shown[0].style, MessageStyle::Critical);
    EXPECT_TRUE(Expanded(Node(L"x:\\A")));
    EXPECT_EQ(TreeView_GetChild(tree, Node(L"x:\\A\\A1")), nullptr);
}

}  // namespace
}  // namespace ovaro::folders::testing
