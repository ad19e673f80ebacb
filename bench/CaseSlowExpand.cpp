// slow-expand [WAIT_MS] [drive|latency]: the user opening l:\Breit40 (40 children) on a FUSE
// drive whose every listing waits WAIT_MS, until the last of its reads is in (those that do
// not show are handed over after the expansion, as the message loop runs), against 40 such
// listings one after the other.
#include "BenchSupport.h"

#include <cstdio>

#include "BackgroundFolderLister.h"
#include "Win32FolderSources.h"

namespace ovaro::bench {

namespace {

// The user opening l:\Breit40 (40 children): the control reads the 40 listings ahead.
// With `read` null the control's own listing (the platform's, which waits in the drive);
// otherwise that one, on the control's workers.
double TimeSlowExpand(HWND host, const ovaro::folders::ReadFolderFn& read, CountedMessages& messages) {
    auto view = ovaro::OvaroFolderTreeView::Create(host, 1, kTreeRect, {nullptr, nullptr, &messages, read});
    if (!view) return -1;
    view->SetPath(L"l:\\");
    const HWND tree = view->TreeWindow();
    const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), L"l:");
    const HTREEITEM node = drive ? ChildByText(tree, drive, L"Breit40") : nullptr;
    if (!node) return -1;
    PaintNow(host);
    const auto before = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
    const double t0 = NowMs();
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
    if (!PumpUntilCount(tree, before + 40, 60000)) return -1;  // each K holds one Blatt
    PaintNow(host);
    const double t1 = NowMs();
    if (!ChildByText(tree, ChildByText(tree, node, L"K39"), L"Blatt")) return -1;
    return t1 - t0;
}

// mode "drive": the drive waits in every listing; "latency": the drive answers at once and
// the wait is spent in the worker (scripts/bench.sh sets the drive's rules to match).
int CaseSlowExpand(double waitMs, const std::wstring& mode) {
    const HWND host = MakeHost();
    CountedMessages messages;
    const std::size_t reps = 3;
    const double serial = 40 * waitMs;
    // "drive": the drive's wait, as Wine serves it: every listing of the process goes through
    // one lock in Wine, so listings that wait in the file system do not overlap there.
    // "latency": the same wait spent outside that lock, in the worker, as a network round
    // trip is on Windows: what reading several folders at a time gains where the platform lets it.
    const ovaro::folders::ReadFolderFn latency = [waitMs](const std::wstring& folder) {
        Sleep(static_cast<DWORD>(waitMs));
        return ovaro::folders::ReadFolder(folder);
    };
    const bool drive = mode == L"drive";
    const char* name = drive ? "slow-expand" : "slow-expand-latency";
    std::vector<double> times;
    for (std::size_t i = 0; i < reps; ++i) {
        const double t = TimeSlowExpand(host, drive ? nullptr : latency, messages);
        if (t < 0) return ReportError(name, "l-breit40-missing"), 1;
        times.push_back(t);
    }
    const Figures f = Summarise(times);
    char line[512];
    std::snprintf(line, sizeof line,
                  "BENCH case=%s n=40 reps=%zu median_ms=%.1f min_ms=%.1f max_ms=%.1f serial_ms=%.0f ratio=%.3f "
                  "target=<=0.2",
                  name, reps, f.median, f.min, f.max, serial, f.median / serial);
    Emit(line);
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    return CaseSlowExpand(NumberArg(args, 0, 250.0), args.size() > 1 ? args[1] : L"drive");
}

}  // namespace

const BenchCase kSlowExpand{"slow-expand", "[WAIT_MS] [drive|latency]", &Run};

}  // namespace ovaro::bench
