// expand: the user opening u:\Breit (1,000 children of 10 each: 1,000 listings read one
// level ahead, 10,000 nodes), against the same listings and inserts below a bare node.
#include "BenchSupport.h"

#include <utility>

namespace ovaro::bench {

namespace {

int CaseExpand() {
    const HWND host = MakeHost();
    CountedMessages messages;
    const std::wstring wide = L"u:\\Breit\\";
    const std::size_t reps = 7;
    std::vector<double> ours, floor;
    long long added = 0;
    for (std::size_t i = 0; i <= reps; ++i) {
        Pump();
        auto view = MakeControl(host, messages);
        if (!view) return ReportError("expand", "control-not-created"), 1;
        view->SetPath(L"u:\\");  // reads Breit's 1,000 children, one level ahead
        const HWND tree = view->TreeWindow();
        const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), L"u:");
        const HTREEITEM node = drive ? ChildByText(tree, drive, L"Breit") : nullptr;
        if (!node) return ReportError("expand", "u-breit-missing"), 1;
        PaintNow(host);
        const auto before = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
        // The user opening the node: the tree notifies and the control reads ahead.
        double t0 = NowMs();
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
        PaintNow(host);
        double t1 = NowMs();
        added = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) - before;
        view.reset();
        Pump();

        // Floor: the same 1,000 listings and 10,000 inserts below a bare node.
        const HWND bare = MakeBareTree(host);
        const HTREEITEM top = Insert(bare, TVI_ROOT, L"Breit");
        std::vector<std::pair<HTREEITEM, std::wstring>> children;
        ListAndInsert(bare, top, wide, [&](HTREEITEM item, const wchar_t* name) { children.emplace_back(item, name); });
        PaintNow(host);
        std::wstring folder;
        folder.reserve(MAX_PATH);
        double f0 = NowMs();
        SendMessageW(bare, WM_SETREDRAW, FALSE, 0);
        for (const auto& [item, name] : children) {
            folder.assign(wide).append(name).push_back(L'\\');
            ListAndInsert(bare, item, folder, NoEach);
        }
        SendMessageW(bare, WM_SETREDRAW, TRUE, 0);
        SendMessageW(bare, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
        InvalidateRect(bare, nullptr, TRUE);
        PaintNow(host);
        double f1 = NowMs();
        DestroyWindow(bare);
        if (i > 0) {
            ours.push_back(t1 - t0);
            floor.push_back(f1 - f0);
        }
    }
    ReportVsFloor("expand", 1000, reps, Summarise(ours), Summarise(floor), added, "<=0.9");
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseExpand(); }

}  // namespace

const BenchCase kExpand{"expand", "", &Run};

}  // namespace ovaro::bench
