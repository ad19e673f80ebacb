// path: writing Path 30 levels deep on t: (every level 100 siblings of 5 sub-folders: 3,005
// listings, 17,855 nodes), against the same selects, listings, inserts and expands done bare
// in a bare tree view that holds what the control's tree holds after its creation (s:'s
// nodes among them; under Wine a tree-view call costs more the more nodes the tree holds).
// The same walk in a tree of its own, holding only t:, is printed as its own row,
// path-own-tree.
#include "BenchSupport.h"

#include <utility>

namespace ovaro::bench {

namespace {

// The walk in tree from its node of t:, whose first level is inserted already.
double FloorWalk(HWND host, HWND tree, HTREEITEM drive) {
    std::vector<std::pair<HTREEITEM, std::wstring>> children;
    for (auto c = TreeView_GetChild(tree, drive); c; c = TreeView_GetNextSibling(tree, c))
        children.emplace_back(c, ItemText(tree, c));
    PaintNow(host);

    std::wstring base = L"t:\\", folder;
    folder.reserve(MAX_PATH);
    const double t0 = NowMs();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    HTREEITEM node = drive;
    for (int level = 1; level <= kDeepLevels + 1; ++level) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
        const std::wstring next = level <= kDeepLevels ? DeepPart(level) : std::wstring();
        std::vector<std::pair<HTREEITEM, std::wstring>> nextChildren;
        HTREEITEM nextNode = nullptr;
        for (const auto& [item, name] : children) {
            folder.assign(base).append(name).push_back(L'\\');
            const bool onPath = name == next;
            if (onPath) nextNode = item;
            ListAndInsert(tree, item, folder, [&](HTREEITEM sub, const wchar_t* subName) {
                if (onPath) nextChildren.emplace_back(sub, subName);
            });
        }
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
        if (!nextNode) break;
        base += next + L"\\";
        node = nextNode;
        children = std::move(nextChildren);
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node));
    InvalidateRect(tree, nullptr, TRUE);
    PaintNow(host);
    return NowMs() - t0;
}

// In a bare tree that holds what the control's holds after its creation.
double FloorWalkSameTree(HWND host) {
    long long nodes = 0;
    HWND tree = nullptr;
    FloorCreate(host, &nodes, &tree);
    const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), L"t:");
    const double ms = drive ? FloorWalk(host, tree, drive) : -1;
    DestroyWindow(tree);
    return ms;
}

// In a tree of its own: t: and its first level only.
double FloorWalkOwnTree(HWND host) {
    const HWND tree = MakeBareTree(host);
    const HTREEITEM drive = Insert(tree, TVI_ROOT, L"t:");
    ListAndInsert(tree, drive, L"t:\\", NoEach);
    const double ms = FloorWalk(host, tree, drive);
    DestroyWindow(tree);
    return ms;
}

int CasePath() {
    const HWND host = MakeHost();
    CountedMessages messages;
    const std::wstring path = DeepPath();
    const std::size_t reps = 7;
    std::vector<double> ours, floor, ownTree;
    long long added = 0;
    for (std::size_t i = 0; i <= reps; ++i) {
        Pump();
        auto view = MakeControl(host, messages);
        if (!view) return ReportError("path", "control-not-created"), 1;
        PaintNow(host);
        const auto before = static_cast<long long>(SendMessageW(view->TreeWindow(), TVM_GETCOUNT, 0, 0));
        double t0 = NowMs();
        view->SetPath(path);
        PaintNow(host);
        double t1 = NowMs();
        added = static_cast<long long>(SendMessageW(view->TreeWindow(), TVM_GETCOUNT, 0, 0)) - before;
        if (_wcsicmp(view->Path().c_str(), path.c_str()) != 0) return ReportError("path", "walk-incomplete"), 1;
        view.reset();
        Pump();
        const double f = FloorWalkSameTree(host);
        if (f < 0) return ReportError("path", "floor-t-missing"), 1;
        Pump();
        const double own = FloorWalkOwnTree(host);
        if (i > 0) {
            ours.push_back(t1 - t0);
            floor.push_back(f);
            ownTree.push_back(own);
        }
    }
    ReportVsFloor("path", kDeepLevels, reps, Summarise(ours), Summarise(floor), added, "<=1.0");
    ReportVsFloor("path-own-tree", kDeepLevels, reps, Summarise(ours), Summarise(ownTree), added, "none");
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CasePath(); }

}  // namespace

const BenchCase kPath{"path", "", &Run};

}  // namespace ovaro::bench
