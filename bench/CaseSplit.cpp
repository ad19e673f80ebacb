// split N: where the time goes, per node, in the control's three big operations: creation
// with N folders on s:, the expansion of u:\Breit and the 30-level walk on t:. The parts
// the control is made of (the tree's logic, the nodes on a tree view, the lister on worker
// threads, the wait) are put together here as the control does, each behind a stopwatch:
//   listing    the workers' listings, summed over the workers
//   hand-over  the window's thread inside List: waiting for a listing and taking it over
//   keys       lower-casing the keys
//   map        looking keys up
//   insert     AddLast: the key into the map and the node into the tree view
//   redraw     redraw turned back on, the tree view's expand, select and scroll, the paint
//   rest       everything else: the logic's own work, the tree queries
// and the same nodes done bare (the floor): the same folders listed on the window's
// thread, then the same names inserted into a bare tree view, redraw held, then painted.
// For development and bench/RESULTS.md; one "SPLIT" line per part.
#include "BenchSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "BackgroundFolderLister.h"
#include "TimedParts.h"
#include "FolderTreeLogic.h"
#include "RestrictedWait.h"
#include "Win32FolderSources.h"
#include "Win32TreeNodes.h"

namespace ovaro::bench {

namespace {

using namespace ovaro::folders;

enum class Operation { Create, Expand, Path, Wide };

struct Result {
    double total = 0;
    long long nodes = 0;
    Accounts* a = nullptr;
    double floorListing = 0, floorInsert = 0, floorRedraw = 0;
};

// The floor of the same work: every folder the operation listed, listed bare on this
// thread; then as many names inserted below one node per folder, redraw held; then painted.
void Floor(HWND host, const Accounts& a, Result* r) {
    std::vector<std::vector<std::wstring>> names;
    names.reserve(a.listed.size());
    double t0 = NowMs();
    for (const auto& [folder, count] : a.listed) names.push_back(ListNames(folder));
    r->floorListing = NowMs() - t0;
    const HWND tree = MakeBareTree(host);
    t0 = NowMs();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    const HTREEITEM top = Insert(tree, TVI_ROOT, L"Arbeitsplatz");
    for (const auto& list : names) {
        if (list.empty()) continue;
        const HTREEITEM parent = Insert(tree, top, L"x");
        for (const auto& name : list) Insert(tree, parent, name.c_str());
    }
    r->floorInsert = NowMs() - t0;
    t0 = NowMs();
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    PaintNow(host);
    r->floorRedraw = NowMs() - t0;
    DestroyWindow(tree);
}

Result RunOnce(HWND host, Operation op, Accounts& a) {
    Result r;
    r.a = &a;
    CountedMessages messages;
    const HWND tree = MakeBareTree(host);
    // The dialog's font: the tree view measures every text it shows in it.
    SendMessageW(tree, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    RestrictedWait wait;
    Win32TreeNodes real(tree, &wait);
    TimedNodes nodes(real, a);
    Win32DriveSource drives;
    // The control's own reading: in parts, on the workers, timed there.
    BackgroundFolderLister background(wait, ReadInPartsFn([&a](const std::wstring& folder, const ListingPart& onPart) {
                                          const double t0 = NowMs();
                                          FolderListing listing =
                                              ReadFolderInParts(folder, onPart, BackgroundFolderLister::kPartSize);
                                          const double t1 = NowMs();
                                          std::lock_guard lock(a.mutex);
                                          a.listing.ms += t1 - t0;
                                          ++a.listing.calls;
                                          return listing;
                                      }));
    TimedLister lister(background, a);
    std::function<std::wstring(std::wstring_view)> lower = [&a](std::wstring_view text) {
        Stopwatch s(a.keys, a, "lower-case");
        return Win32LowerCase(text);
    };
    FolderTreeLogic logic(nodes, drives, lister, messages, lower);
    // One operation of the tree, as the control brackets it.
    struct Operating {
        RestrictedWait& wait;
        BackgroundFolderLister& lister;
        explicit Operating(RestrictedWait& w, BackgroundFolderLister& l) : wait(w), lister(l) { wait.Begin(); }
        ~Operating() {
            wait.End();
            lister.DropOutstanding();
        }
        Operating(const Operating&) = delete;
        Operating& operator=(const Operating&) = delete;
    };
    NodeHandle target = kNoNode;
    double t0 = 0;
    if (op == Operation::Create || op == Operation::Wide) {
        // Wide: the dialog opened at s:\, creation and the walk that expands s:.
        t0 = NowMs();
        Operating operation(wait, background);
        logic.Create();
        if (op == Operation::Wide) logic.SetPath(L"s:\\");
    } else {
        {
            Operating operation(wait, background);
            logic.Create();
            if (op == Operation::Expand) {
                logic.SetPath(L"u:\\");
                target = real.Find(L"u:\\breit");
            }
        }
        PaintNow(host);
        a.Reset();
        t0 = NowMs();
        Operating operation(wait, background);
        if (op == Operation::Expand)
            logic.ExpandFromCode(target);
        else
            logic.SetPath(DeepPath());
    }
    const double t1 = NowMs();
    PaintNow(host);
    const double t2 = NowMs();
    a.paint = t2 - t1;
    r.total = t2 - t0;
    // The nodes this operation added: all of them for creation, the listed ones otherwise.
    if (op == Operation::Create || op == Operation::Wide) {
        r.nodes = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
    } else {
        for (const auto& [folder, count] : a.listed) r.nodes += static_cast<long long>(count);
    }
    DestroyWindow(tree);
    return r;
}

void Row(const char* op, const char* part, double ms, long long nodes) {
    char line[256];
    std::snprintf(line, sizeof line, "SPLIT %-7s %-44s %9.2f ms %8.3f us/node", op, part, ms,
                  nodes > 0 ? ms * 1000.0 / static_cast<double>(nodes) : 0.0);
    Emit(line);
}

int CaseSplit(long long n) {
    const HWND host = MakeHost();
    const std::pair<const char*, Operation> ops[] = {
        {"create", Operation::Create}, {"expand", Operation::Expand}, {"path", Operation::Path}};
    for (const auto& [name, op] : ops) {
        // Five rounds after a warm-up; the round with the median total is shown whole.
        std::vector<std::pair<double, std::size_t>> totals;
        std::vector<Accounts> accounts(6);
        std::vector<Result> results;
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            Pump();
            results.push_back(RunOnce(host, op, accounts[i]));
            if (i > 0) totals.emplace_back(results.back().total, i);
        }
        std::sort(totals.begin(), totals.end());
        Result& r = results[totals[totals.size() / 2].second];
        const Accounts& a = *r.a;
        Floor(host, a, &r);
        const long long nodes = r.nodes;
        char head[256];
        std::snprintf(head, sizeof head, "SPLIT %-7s n=%lld nodes=%lld listings=%zu total %.2f ms [%.2f..%.2f]", name,
                      n, nodes, a.listed.size(), r.total, totals.front().first, totals.back().first);
        Emit(head);
        const double redraw = a.redraw.ms + a.paint;
        const double known = a.handOver.ms + a.keys.ms + a.map.ms + a.insert.ms + redraw + a.queries.ms;
        Row(name, "listing (workers, summed; beside the rest)", a.listing.ms, nodes);
        Row(name, "hand-over (window thread in List, Prefetch)", a.handOver.ms, nodes);
        Row(name, "keys (lower-casing)", a.keys.ms, nodes);
        Row(name, "map (key lookups)", a.map.ms, nodes);
        Row(name, "insert (AddLast: map and tree view)", a.insert.ms, nodes);
        Row(name, "redraw (redraw on, expand, select, paint)", redraw, nodes);
        Row(name, "tree queries (children, texts, parents)", a.queries.ms, nodes);
        Row(name, "rest (the logic's own work)", r.total - known, nodes);
        Row(name, "floor: listing on one thread", r.floorListing, nodes);
        Row(name, "floor: insert, redraw held", r.floorInsert, nodes);
        Row(name, "floor: redraw on and paint", r.floorRedraw, nodes);
        Row(name, "floor: total", r.floorListing + r.floorInsert + r.floorRedraw, nodes);
        for (const auto& [call, account] : a.byCall) {
            char what[64];
            std::snprintf(what, sizeof what, "  by call: %s (%zu)", call.c_str(), account.calls);
            Row(name, what, account.ms, nodes);
        }
    }
    DestroyWindow(host);
    return 0;
}

// The window's thread probed with WM_NULL from a second thread every 2 ms while the tree
// is created over s: and walked to s:\, as the dialog does when opened at s:\; the
// longest stretch without an answer, and the calls of 10 ms or more that ran then.
int CaseStalls() {
    const HWND host = MakeHost();
    for (int round = 0; round < 4; ++round) {
        Accounts a;
        a.longCallMs = 10;
        std::atomic<bool> done{false}, ended{false};
        struct Probe {
            double sent, answered;
        };
        std::vector<Probe> probes;
        probes.reserve(100000);
        std::thread prober([&] {
            while (!done) {
                const double sent = NowMs();
                DWORD_PTR result = 0;
                SendMessageTimeoutW(host, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
                probes.push_back({sent, NowMs()});
                Sleep(2);
            }
            ended = true;
        });
        Pump();
        const double t0 = NowMs();
        const Result r = RunOnce(host, Operation::Wide, a);
        // The probes still waiting are answered here.
        for (const double end = NowMs() + 100; NowMs() < end;) {
            Pump();
            Sleep(1);
        }
        done = true;
        while (!ended) {
            Pump();
            Sleep(1);
        }
        prober.join();
        if (round == 0) continue;  // warms the caches
        Probe longest{0, 0};
        for (const auto& p : probes)
            if (p.answered - p.sent > longest.answered - longest.sent) longest = p;
        char line[256];
        std::snprintf(line, sizeof line,
                      "STALL round=%d total=%.1fms nodes=%lld longest_unanswered=%.1fms from=%.1f to=%.1f", round,
                      r.total, r.nodes, longest.answered - longest.sent, longest.sent - t0, longest.answered - t0);
        Emit(line);
        // The calls in the longest stretch, and the five longest of all.
        std::vector<LongCall> calls = a.longCalls;
        std::sort(calls.begin(), calls.end(),
                  [](const LongCall& x, const LongCall& y) { return x.to - x.from > y.to - y.from; });
        int shown = 0;
        for (const auto& call : calls) {
            const bool inside = call.to > longest.sent && call.from < longest.answered;
            if (!inside && shown >= 5) continue;
            if (!inside) ++shown;
            std::snprintf(line, sizeof line, "STALL   %-14s %7.1f ms  at %7.1f..%7.1f%s", call.what,
                          call.to - call.from, call.from - t0, call.to - t0,
                          inside ? "  <- in the longest stretch" : "");
            Emit(line);
        }
    }
    DestroyWindow(host);
    return 0;
}

int RunStalls(const std::vector<std::wstring>&) { return CaseStalls(); }

int Run(const std::vector<std::wstring>& args) { return CaseSplit(static_cast<long long>(NumberArg(args, 0, 0))); }

}  // namespace

const BenchCase kSplit{"split", "[N]", &Run};
const BenchCase kStalls{"stalls", "", &RunStalls};

}  // namespace ovaro::bench
