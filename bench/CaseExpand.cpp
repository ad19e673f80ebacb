// expand: the user opening u:\Breit (1,000 children of 10 each: 1,000 listings read one
// level ahead, 10,000 nodes) in a tree two rows high. Timed until it takes input (the
// expansion's operation is over: it read the children that show) and, as expand-last-read,
// until the last of the other reads is in (they are handed over between operations while the
// message loop runs). Both against the same listings and inserts done bare, one after the
// other, in a bare tree view of the same size that holds what the control's tree holds at
// that moment (the creation's nodes, s:'s among them, and Breit's children). Under Wine the
// cost of a tree-view call grows with the nodes the tree holds, so a floor in a tree of its
// own would time other inserts; that comparison is printed as its own row, expand-own-tree.
#include "BenchSupport.h"

#include <climits>
#include <utility>

namespace ovaro::bench {

namespace {

// Breit's children hold this many sub-folders together (scripts/bench.sh makes them).
constexpr long long kBreitGrandchildren = 10000;

// Makes window (the tree itself, or a window the tree fills) so high that the tree shows two rows.
void TwoRowsHigh(HWND window, HWND tree) {
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(tree, &client);
    const int height = (outer.bottom - outer.top) - (client.bottom - client.top) + 2 * TreeView_GetItemHeight(tree);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The floor's timed part: Breit's 1,000 children listed and their sub-folders inserted with
// redraw held, then Breit expanded and painted. `children` are Breit's, inserted already.
double FloorExpand(HWND host, HWND bare, HTREEITEM top,
                   const std::vector<std::pair<HTREEITEM, std::wstring>>& children) {
    const std::wstring wide = L"u:\\Breit\\";
    std::wstring folder;
    folder.reserve(MAX_PATH);
    const double f0 = NowMs();
    SendMessageW(bare, WM_SETREDRAW, FALSE, 0);
    for (const auto& [item, name] : children) {
        folder.assign(wide).append(name).push_back(L'\\');
        ListAndInsert(bare, item, folder, NoEach);
    }
    SendMessageW(bare, WM_SETREDRAW, TRUE, 0);
    SendMessageW(bare, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
    InvalidateRect(bare, nullptr, TRUE);
    PaintNow(host);
    return NowMs() - f0;
}

// Breit's children below top in bare, as the control has them before the user opens Breit.
std::vector<std::pair<HTREEITEM, std::wstring>> BreitChildren(HWND host, HWND bare, HTREEITEM top) {
    std::vector<std::pair<HTREEITEM, std::wstring>> children;
    ListAndInsert(bare, top, L"u:\\Breit\\",
                  [&](HTREEITEM item, const wchar_t* name) { children.emplace_back(item, name); });
    PaintNow(host);
    return children;
}

int CaseExpand() {
    const HWND host = MakeHost();
    CountedMessages messages;
    const std::size_t reps = 7;
    std::vector<double> input, last, floor, ownTree;
    long long added = 0;
    for (std::size_t i = 0; i <= reps; ++i) {
        Pump();
        auto view = MakeControl(host, messages);
        if (!view) return ReportError("expand", "control-not-created"), 1;
        const HWND tree = view->TreeWindow();
        TwoRowsHigh(view->Window(), tree);
        view->SetPath(L"u:\\");  // reads Breit's 1,000 children, one level ahead
        // 300 ms of the message loop: what creation and the walk left for later comes in
        // before the clock starts.
        PumpUntilCount(tree, LLONG_MAX, 300);
        const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), L"u:");
        const HTREEITEM node = drive ? ChildByText(tree, drive, L"Breit") : nullptr;
        if (!node) return ReportError("expand", "u-breit-missing"), 1;
        PaintNow(host);
        const auto before = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
        // The user opening the node: the tree notifies and the control reads ahead what
        // shows; the rest comes in as the loop runs.
        const double t0 = NowMs();
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
        PaintNow(host);
        const double t1 = NowMs();
        if (!PumpUntilCount(tree, before + kBreitGrandchildren, 60000))
            return ReportError("expand", "background-reads-not-in-within-60s"), 1;
        PaintNow(host);
        const double t2 = NowMs();
        added = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) - before;
        view.reset();
        Pump();

        // Floor: the same 1,000 listings and 10,000 inserts in a bare tree that holds what
        // the control's held: the creation's nodes, u: open, Breit's children.
        long long floorNodes = 0;
        HWND same = nullptr;
        FloorCreate(host, &floorNodes, &same);
        const HTREEITEM sameDrive = ChildByText(same, TreeView_GetRoot(same), L"u:");
        const HTREEITEM sameBreit = sameDrive ? ChildByText(same, sameDrive, L"Breit") : nullptr;
        if (!sameBreit) return ReportError("expand", "floor-u-breit-missing"), 1;
        SendMessageW(same, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(sameDrive));
        TwoRowsHigh(same, same);
        const double f = FloorExpand(host, same, sameBreit, BreitChildren(host, same, sameBreit));
        DestroyWindow(same);
        Pump();

        // The same below a bare node in a tree of its own.
        const HWND bare = MakeBareTree(host);
        TwoRowsHigh(bare, bare);
        const HTREEITEM top = Insert(bare, TVI_ROOT, L"Breit");
        const double own = FloorExpand(host, bare, top, BreitChildren(host, bare, top));
        DestroyWindow(bare);
        if (i > 0) {
            input.push_back(t1 - t0);
            last.push_back(t2 - t0);
            floor.push_back(f);
            ownTree.push_back(own);
        }
    }
    ReportVsFloor("expand", 1000, reps, Summarise(input), Summarise(floor), added, "<=0.2");
    ReportVsFloor("expand-last-read", 1000, reps, Summarise(last), Summarise(floor), added, "<=1.1");
    ReportVsFloor("expand-own-tree", 1000, reps, Summarise(last), Summarise(ownTree), added, "none");
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseExpand(); }

}  // namespace

const BenchCase kExpand{"expand", "", &Run};

}  // namespace ovaro::bench
