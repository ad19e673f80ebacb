// path: writing Path 30 levels deep on t: (every level 100 siblings of 5 sub-folders: 3,005
// listings, 17,855 nodes), against the same selects, listings, inserts and expands done bare
// in a bare tree view that holds what the control's tree holds after its creation (s:'s
// nodes among them; under Wine a tree-view call costs more the more nodes the tree holds).
// The same walk in a tree of its own, holding only t:, is printed as its own row,
// path-own-tree.
#include "BenchSupport.h"

namespace ovaro::bench {

namespace {

std::vector<std::wstring> DeepParts() {
    std::vector<std::wstring> parts;
    for (int level = 1; level <= kDeepLevels; ++level) parts.push_back(DeepPart(level));
    return parts;
}

// In a bare tree that holds what the control's holds after its creation.
double FloorWalkSameTree(HWND host) {
    long long nodes = 0;
    HWND tree = nullptr;
    FloorCreate(host, &nodes, &tree);
    const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), L"t:");
    const double ms = drive ? FloorWalk(host, tree, drive, L"t:\\", DeepParts()) : -1;
    DestroyWindow(tree);
    return ms;
}

// In a tree of its own: t: and its first level only.
double FloorWalkOwnTree(HWND host) {
    const HWND tree = MakeBareTree(host);
    const HTREEITEM drive = Insert(tree, TVI_ROOT, L"t:");
    ListAndInsert(tree, drive, L"t:\\", NoEach);
    const double ms = FloorWalk(host, tree, drive, L"t:\\", DeepParts());
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
