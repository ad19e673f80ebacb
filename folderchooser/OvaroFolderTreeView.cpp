#include "OvaroFolderTreeView.h"

#include <commctrl.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "AccessibleText.h"
#include "BackgroundFolderLister.h"
#include "GdiObjects.h"
#include "RestrictedWait.h"
#include "Win32FolderSources.h"
#include "Win32TreeNodes.h"
#include "WindowProcedure.h"

#if __has_include("ResourceIds.h")
#include "ResourceIds.h"
#endif

namespace ovaro {

namespace {

constexpr wchar_t kClassName[] = L"OvaroFolderTreeView";
constexpr int kTreeId = 1;
// A node click, posted so that it runs after the tree has finished with the mouse and
// the selection is final; lParam is the HTREEITEM.
constexpr UINT kMsgNodeClick = WM_APP + 1;
// A selection made with the keyboard (lParam the HTREEITEM): it counts as the node click
// once it rests, so arrowing past a drive does not read it.
constexpr UINT kMsgKeyboardSelection = WM_APP + 2;
// A key that acts on the selected node: a keyboard selection still waiting counts now.
constexpr UINT kMsgCommitSelection = WM_APP + 3;
// Runs what was deferred while an operation ran, from the message loop, so that no
// operation starts inside the notification of another.
constexpr UINT kMsgRunDeferred = WM_APP + 4;
// Reads left for later came in (posted by a worker).
constexpr UINT kMsgReadsIn = WM_APP + 5;
// The tree scrolled: what shows now is read first.
constexpr UINT kMsgShowing = WM_APP + 6;
constexpr UINT_PTR kRestTimer = 1;
// A hand-over of reads that was cut short for the user's input goes on after it: a timer
// comes after input, where a posted message would come before.
constexpr UINT_PTR kBackgroundTimer = 2;
// A hand-over step ends after this long, so that the user's input never waits much.
constexpr auto kBackgroundStep = std::chrono::milliseconds(15);
constexpr UINT kRestMilliseconds = 500;
// TVE_EXPAND / TVE_COLLAPSE without the partial-expansion flags (TVE_ACTIONMASK).
constexpr UINT kExpandActionMask = 0x0003;

using OwnedImageList = Owned<HIMAGELIST, &ImageList_Destroy>;

bool IsNavigationKey(WPARAM key) {
    switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT: return true;
        default: return false;
    }
}

// The tree view shows its focus on the selected node only, and a fresh tree has none:
// while it has the focus with nothing selected, the root carries a focus rectangle of
// our own, so the focus shows and Path stays "".
bool ShowsFocusCue(HWND tree) {
    return GetFocus() == tree && TreeView_GetSelection(tree) == nullptr &&
           (SendMessageW(tree, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

RECT FocusCueRect(HWND tree) {
    RECT r{};
    const HTREEITEM root = TreeView_GetRoot(tree);
    if (root == nullptr || !TreeView_GetItemRect(tree, root, &r, TRUE)) SetRectEmpty(&r);
    return r;
}

void InvalidateFocusCue(HWND tree) {
    const RECT cue = FocusCueRect(tree);
    InvalidateRect(tree, &cue, TRUE);
}

// Drawn over what the tree painted, clipped to what it painted, since the rectangle
// inverts: parts outside it still show the rectangle from before.
LRESULT PaintWithFocusCue(HWND tree, WNDPROC original, WPARAM wParam, LPARAM lParam) {
    const OwnedRegion painted(CreateRectRgn(0, 0, 0, 0));
    if (!painted || GetUpdateRgn(tree, painted.get(), FALSE) == ERROR)
        return CallWindowProcW(original, tree, WM_PAINT, wParam, lParam);
    const LRESULT result = CallWindowProcW(original, tree, WM_PAINT, wParam, lParam);
    const RECT cue = FocusCueRect(tree);
    if (!IsRectEmpty(&cue)) {
        const WindowDC dc(tree);
        SelectClipRgn(dc.get(), painted.get());
        DrawFocusRect(dc.get(), &cue);
    }
    return result;
}

// The tree view selects its first item when it gets the focus with nothing selected.
// A fresh tree must stay without selection (its Path is then ""), so that is undone;
// the first navigation key then selects the root, as the user's own selection.
// Right and Enter act on the selected node, so a selection waiting to rest counts first
// (Right then opens the folders that reading found). Numpad * would open every level
// below the node, reading one level ahead at each, which takes minutes on a large drive
// and never ends through a link back up; it opens the one node, as Right does.
// Subclassed with ReplaceProcedure, not SetWindowSubclass, which made each node insert
// several times dearer under Wine. The data counts how deep the tree view's own handlers
// are on the stack.
LRESULT TreeMessage(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = ReplacedOf(tree)->original;
    switch (message) {
        case WM_GETOBJECT:
            if (const LRESULT answer = AnswerGetObject(tree, wParam, lParam, {L"Ordner", L"", 0})) return answer;
            break;
        case WM_PAINT:
            if (wParam == 0 && ShowsFocusCue(tree)) return PaintWithFocusCue(tree, original, wParam, lParam);
            break;
        case WM_KILLFOCUS:
            // The rectangle goes with the focus (GetFocus may still name the tree here).
            if (TreeView_GetSelection(tree) == nullptr) InvalidateFocusCue(tree);
            break;
        case WM_LBUTTONDOWN:
        case WM_UPDATEUISTATE:
        case TVM_SELECTITEM: {
            // What else can turn the rectangle on or off.
            const bool cueBefore = ShowsFocusCue(tree);
            const LRESULT result = CallWindowProcW(original, tree, message, wParam, lParam);
            if (ShowsFocusCue(tree) != cueBefore) InvalidateFocusCue(tree);
            return result;
        }
        case WM_SETFOCUS: {
            const bool hadSelection = TreeView_GetSelection(tree) != nullptr;
            const LRESULT result = CallWindowProcW(original, tree, message, wParam, lParam);
            if (!hadSelection && TreeView_GetSelection(tree) != nullptr) TreeView_SelectItem(tree, nullptr);
            if (!hadSelection) InvalidateFocusCue(tree);
            return result;
        }
        case WM_VSCROLL:
        case WM_MOUSEWHEEL:
        case WM_SIZE: {
            const LRESULT result = CallWindowProcW(original, tree, message, wParam, lParam);
            PostMessageW(GetParent(tree), kMsgShowing, 0, 0);
            return result;
        }
        case WM_KEYDOWN: {
            if (IsNavigationKey(wParam)) PostMessageW(GetParent(tree), kMsgShowing, 0, 0);
            const HTREEITEM selected = TreeView_GetSelection(tree);
            if (selected == nullptr && (IsNavigationKey(wParam) || wParam == VK_MULTIPLY)) {
                if (const HTREEITEM root = TreeView_GetRoot(tree)) {
                    TreeView_SelectItem(tree, root);
                    SendMessageW(GetParent(tree), kMsgKeyboardSelection, 0, reinterpret_cast<LPARAM>(root));
                }
                return 0;
            }
            if (wParam == VK_MULTIPLY) {
                if (TreeView_GetItemState(tree, selected, TVIS_EXPANDED) & TVIS_EXPANDED) return 0;
                wParam = VK_RIGHT;
            }
            if (wParam == VK_RIGHT || wParam == VK_RETURN) SendMessageW(GetParent(tree), kMsgCommitSelection, 0, 0);
            break;
        }
        default: break;
    }
    return CallOriginalProcedure(tree, message, wParam, lParam);
}

LRESULT CALLBACK TreeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    int& depth = *static_cast<int*>(ReplacedOf(tree)->data);
    // Counted down also when a handler fails with an exception. After WM_NCDESTROY the
    // record is gone, but the counter is the control's, which outlives its tree view.
    struct Nesting {
        int& depth;
        explicit Nesting(int& d) : depth(d) { ++depth; }
        ~Nesting() { --depth; }
    } const nesting(depth);
    return TreeMessage(tree, message, wParam, lParam);
}

// The picture strip drawn for the scaling nearest to dpi.
struct Strip {
    int id;
    int size;
};

Strip StripFor(UINT dpi) {
#ifdef IDB_TREE_PICTURES_16
    constexpr std::array<Strip, 3> strips{
        {{IDB_TREE_PICTURES_16, 16}, {IDB_TREE_PICTURES_24, 24}, {IDB_TREE_PICTURES_32, 32}}};
#else
    constexpr std::array<Strip, 3> strips{{{200, 16}, {201, 24}, {202, 32}}};
#endif
    Strip best = strips[0];
    for (const auto& s : strips)
        if (std::abs(static_cast<int>(dpi) - s.size * 6) < std::abs(static_cast<int>(dpi) - best.size * 6)) best = s;
    return best;
}

}  // namespace

struct OvaroFolderTreeView::Parts {
    explicit Parts(HWND control, HWND tree, const Sources& sources)
        : nodes(tree, &wait), drives(&wait), lister(wait, sources.read), sink(control),
          logic(nodes, sources.drives ? *sources.drives : drives, sources.lister ? *sources.lister : lister,
                sources.messages ? *sources.messages : sink, folders::Win32LowerCase) {}

    // Every folder is read on a worker thread; the window's thread waits in `wait`.
    folders::RestrictedWait wait;
    folders::Win32TreeNodes nodes;
    folders::Win32DriveSource drives;
    folders::BackgroundFolderLister lister;
    folders::Win32MessageSink sink;
    folders::FolderTreeLogic logic;
    OwnedImageList pictures;
};

std::unique_ptr<OvaroFolderTreeView> OvaroFolderTreeView::Create(HWND parent, int id, const RECT& rcPixels) {
    return Create(parent, id, rcPixels, Sources{});
}

std::unique_ptr<OvaroFolderTreeView> OvaroFolderTreeView::Create(HWND parent, int id, const RECT& rc,
                                                                 const Sources& sources) {
    static const bool treeViewClass = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    if (!treeViewClass || !RegisterWindowClass(GetModuleHandleW(nullptr), {kClassName, CS_DBLCLKS, COLOR_WINDOW}))
        return nullptr;

    std::unique_ptr<OvaroFolderTreeView> view(new OvaroFolderTreeView());
    const HWND window = view->MakeWindow(WS_EX_CONTROLPARENT, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                         rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr));
    if (window == nullptr || view->tree_ == nullptr) return nullptr;
    view->parts_ = std::make_unique<Parts>(view->hwnd_, view->tree_, sources);
    view->parts_->logic.PathChanged = [v = view.get()](const std::wstring& pfad) {
        if (v->PathChanged) v->PathChanged(pfad);
    };
    view->LoadPictures();
    if (sources.onLongWait) view->parts_->wait.WhenLong(sources.onLongWait);
    // A worker may tell after the window is gone: the post then goes nowhere.
    view->parts_->lister.WhenReadIn([window = view->hwnd_] { PostMessageW(window, kMsgReadsIn, 0, 0); });
    view->Operate(Arrival::Deferrable, [v = view.get()] { v->parts_->logic.Create(); });
    return view;
}

// Destroyed with its handlers attached: the tree view may still notify while it goes,
// and the parts are still there to answer.
OvaroFolderTreeView::~OvaroFolderTreeView() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (orphan_ != nullptr && IsWindow(orphan_)) DestroyWindow(orphan_);
}

void OvaroFolderTreeView::SetPath(std::wstring_view newPath) {
    Operate(Arrival::Deferrable, [this, path = std::wstring(newPath)] { parts_->logic.SetPath(path); });
}

std::wstring OvaroFolderTreeView::Path() const { return parts_ ? parts_->logic.Path() : std::wstring(); }

std::wstring OvaroFolderTreeView::SelectedPath() const {
    return parts_ ? parts_->logic.SelectedPath() : std::wstring(L"\\");
}

void OvaroFolderTreeView::SetzeSubNodes(HTREEITEM node, const std::wstring& pfad) {
    Operate(Arrival::Deferrable,
            [this, node, pfad] { parts_->logic.SetzeSubNodes(folders::Win32TreeNodes::Handle(node), pfad); });
}

bool OvaroFolderTreeView::MustWait() const { return operating_ || (!draining_ && !deferred_.empty()); }

bool OvaroFolderTreeView::Operate(Arrival arrival, const std::function<void()>& step) {
    if (!parts_ || gone_) return false;
    // The user's input is dropped while deferred tasks wait too, as during an operation.
    if (MustWait()) {
        if (arrival == Arrival::Deferrable) Defer([this, step] { Operate(Arrival::Deferrable, step); });
        return false;
    }
    // Ends the operation also when the step fails with an exception.
    struct Ending {
        OvaroFolderTreeView& view;
        bool background;
        ~Ending() {
            // Esc stops every read still outstanding, those left for later included.
            if (view.parts_->wait.Stopped()) {
                view.parts_->lister.DropOutstanding();
                view.parts_->logic.StopLeftOver();
            }
            view.parts_->wait.End();
            view.operating_ = false;
            // Reads left for later start once this is over; a hand-over is asked for again
            // by the reads it waits for.
            const bool readsLeft = !background && view.parts_->logic.HasBackgroundReads();
            if (!view.deferred_.empty())
                view.PostRunDeferred();
            else if ((std::exchange(view.backgroundDue_, false) || readsLeft) && !view.gone_)
                PostMessageW(view.hwnd_, kMsgReadsIn, 0, 0);
        }
    };
    operating_ = true;
    // A hand-over only adds what is in and never waits: it lets no loop run, so that it
    // drops none of the user's input, which ends it (see RunBackground) and then runs.
    if (arrival != Arrival::Background) parts_->wait.Begin();
    const Ending ending{*this, arrival == Arrival::Background};
    step();
    return !parts_->wait.Stopped();
}

void OvaroFolderTreeView::Defer(std::function<void()> task) {
    if (gone_) return;
    deferred_.push_back(std::move(task));
    if (!operating_) PostRunDeferred();
}

void OvaroFolderTreeView::PostRunDeferred() {
    if (!runPosted_ && !gone_ && hwnd_ != nullptr) runPosted_ = PostMessageW(hwnd_, kMsgRunDeferred, 0, 0) != FALSE;
}

void OvaroFolderTreeView::RunDeferred() {
    runPosted_ = false;
    // One after the other, in the order they came; each runs to its end (its message
    // boxes included) before the next, and what arrives meanwhile goes to the back.
    struct Draining {
        bool& flag;
        explicit Draining(bool& f) : flag(f) { flag = true; }
        ~Draining() { flag = false; }
    };
    while (!operating_ && !gone_ && !deferred_.empty()) {
        auto task = std::move(deferred_.front());
        deferred_.pop_front();
        const Draining draining(draining_);
        task();
    }
}

void OvaroFolderTreeView::RunBackground() {
    if (!parts_ || gone_) return;
    parts_->lister.Heard();
    if (!parts_->logic.HasBackgroundReads()) return;
    if (MustWait()) {
        backgroundDue_ = true;  // asked again when that is over
        return;
    }
    bool cut = false;
    Operate(Arrival::Background, [this, &cut] {
        const auto until = std::chrono::steady_clock::now() + kBackgroundStep;
        parts_->logic.ReadOnInBackground([&cut, until] {
            cut = HIWORD(GetQueueStatus(QS_INPUT)) != 0 || std::chrono::steady_clock::now() >= until;
            return cut;
        });
    });
    if (cut && !gone_) SetTimer(hwnd_, kBackgroundTimer, USER_TIMER_MINIMUM, nullptr);
}

void OvaroFolderTreeView::TellShowing() {
    if (!parts_ || tree_ == nullptr || !parts_->logic.HasBackgroundReads()) return;
    std::vector<folders::NodeHandle> showing;
    const auto rows = parts_->nodes.RowsShowing();
    for (HTREEITEM item = TreeView_GetFirstVisible(tree_); item != nullptr && showing.size() < rows;
         item = TreeView_GetNextVisible(tree_, item))
        showing.push_back(folders::Win32TreeNodes::Handle(item));
    // Only reorders the reads; nothing is added, so it may come during an operation.
    parts_->logic.ShowingNow(showing);
}

void OvaroFolderTreeView::WhenIdle(std::function<void()> task) {
    if (gone_) return;
    if (MustWait())
        Defer(std::move(task));
    else
        task();
}

std::wstring OvaroFolderTreeView::VollerPfad(HTREEITEM node) const {
    return parts_ ? parts_->logic.VollerPfad(folders::Win32TreeNodes::Handle(node)) : std::wstring(L"\\");
}

LRESULT OvaroFolderTreeView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate() ? 0 : -1;
        case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_SETFOCUS:
            if (tree_ != nullptr) SetFocus(tree_);
            return 0;
        case WM_SETFONT:
            if (tree_ != nullptr) SendMessageW(tree_, WM_SETFONT, wParam, lParam);
            return 0;
        case WM_GETFONT: return tree_ != nullptr ? SendMessageW(tree_, WM_GETFONT, 0, 0) : 0;
        case WM_DPICHANGED_AFTERPARENT: LoadPictures(); return 0;
        case WM_DESTROY:
            // Nothing deferred runs any more; a command of the host that waited is void.
            gone_ = true;
            deferred_.clear();
            if (parts_) parts_->lister.WhenReadIn(nullptr);
            if (parts_) {
                // Closed while a folder is read (the dialog, the program, the session): the
                // logic that waits gets no more listings, and nothing it reads later is used.
                parts_->wait.StopForGood();
                if (operating_ && tree_ != nullptr) {
                    // The logic may be running inside one of the tree view's own notifications
                    // (a user's expansion), which the tree view must outlive: it leaves the dying
                    // window and goes with this object.
                    ShowWindow(tree_, SW_HIDE);
                    SetParent(tree_, HWND_MESSAGE);
                    orphan_ = tree_;
                }
            }
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header != nullptr && header->hwndFrom == tree_) return OnNotify(*header);
            break;
        }
        case kMsgNodeClick: {
            const auto item = reinterpret_cast<HTREEITEM>(lParam);
            Operate(Arrival::Deferrable, [this, item] { NodeClick(item); });
            return 0;
        }
        case kMsgKeyboardSelection: AwaitRest(reinterpret_cast<HTREEITEM>(lParam)); return 0;
        // Right or Enter pressed in the tree.
        case kMsgCommitSelection: Commit(Arrival::UserInput); return 0;
        case kMsgRunDeferred: RunDeferred(); return 0;
        case kMsgReadsIn: RunBackground(); return 0;
        case kMsgShowing: TellShowing(); return 0;
        case WM_TIMER:
            if (wParam == kRestTimer) Commit(Arrival::Deferrable);
            if (wParam == kBackgroundTimer) {
                KillTimer(hwnd_, kBackgroundTimer);
                RunBackground();
            }
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool OvaroFolderTreeView::OnCreate() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    tree_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 0,
        client.right, client.bottom, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)),
        GetModuleHandleW(nullptr), nullptr);
    if (tree_ == nullptr) return false;
    return ReplaceProcedure(tree_, &TreeProc, &inTreeView_);
}

void OvaroFolderTreeView::OnSize(int width, int height) {
    // A width of 0 (a minimised or collapsed host) leaves the tree as it was.
    if (width > 0 && tree_ != nullptr) MoveWindow(tree_, 0, 0, width, height, TRUE);
}

LRESULT OvaroFolderTreeView::OnNotify(const NMHDR& header) {
    if (!parts_) return 0;
    auto& logic = parts_->logic;
    switch (header.code) {
        case TVN_ITEMEXPANDINGW: {
            // Expansions from code ran the handling already (the tree view notifies only
            // for the first one anyway); this is the user opening a node.
            // One that comes while an operation runs (a TVM_EXPAND sent by an assistive tool,
            // say) is refused now, so that no unread children show, and done afterwards.
            const auto& nm = reinterpret_cast<const NMTREEVIEWW&>(header);
            if ((nm.action & kExpandActionMask) != TVE_EXPAND || parts_->nodes.ChangingFromCode()) return FALSE;
            const auto node = folders::Win32TreeNodes::Handle(nm.itemNew.hItem);
            if (MustWait()) {
                Operate(Arrival::Deferrable, [&logic, node] { logic.ExpandFromCode(node); });
                return TRUE;
            }
            // Refused when its reads were stopped, so that it does not open as if empty.
            bool opens = false;
            Operate(Arrival::Deferrable, [&logic, node, &opens] { opens = logic.OnExpand(node); });
            return opens ? FALSE : TRUE;
        }
        case TVN_ITEMEXPANDEDW: {
            // After the collapse, so the report names the selection the user now sees (the
            // tree moves it up when it was inside the collapsed branch).
            const auto& nm = reinterpret_cast<const NMTREEVIEWW&>(header);
            if ((nm.action & kExpandActionMask) == TVE_COLLAPSE && !parts_->nodes.ChangingFromCode()) {
                const auto node = folders::Win32TreeNodes::Handle(nm.itemNew.hItem);
                Operate(Arrival::Deferrable, [&logic, node] { logic.OnCollapse(node); });
            }
            return 0;
        }
        case TVN_SELCHANGEDW: {
            // A selection made with the keyboard counts as a click once it rests, so keyboard
            // users see the same folders; a selection made from code (the Path walk) does not.
            const auto& nm = reinterpret_cast<const NMTREEVIEWW&>(header);
            if (nm.action == TVC_BYKEYBOARD && nm.itemNew.hItem != nullptr) AwaitRest(nm.itemNew.hItem);
            return 0;
        }
        case NM_CLICK: {
            // Comes before the tree changes the selection; only a click on the item itself
            // (picture or text) is a node click, not one on its expand button.
            const DWORD pos = GetMessagePos();
            TVHITTESTINFO hit{};
            hit.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
            ScreenToClient(tree_, &hit.pt);
            const auto item =
                reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (item != nullptr && (hit.flags & TVHT_ONITEM) != 0) {
                // The mouse names its node at once; a keyboard selection still waiting is void.
                KillTimer(hwnd_, kRestTimer);
                resting_ = nullptr;
                PostMessageW(hwnd_, kMsgNodeClick, 0, reinterpret_cast<LPARAM>(item));
            }
            return 0;
        }
        default: return 0;
    }
}

void OvaroFolderTreeView::AwaitRest(HTREEITEM item) {
    resting_ = item;
    SetTimer(hwnd_, kRestTimer, kRestMilliseconds, nullptr);  // restarts a running one
}

bool OvaroFolderTreeView::CommitKeyboardSelection() { return Commit(Arrival::UserInput); }

bool OvaroFolderTreeView::Commit(Arrival arrival) {
    if (gone_ || !parts_) return false;
    if (hwnd_ != nullptr) KillTimer(hwnd_, kRestTimer);
    if (resting_ == nullptr) return true;
    if (MustWait()) {
        // The selection keeps waiting; a deferred commit takes it as it is then. The
        // user's key is dropped, also while deferred tasks wait: it would run before them.
        if (arrival == Arrival::Deferrable) Defer([this] { Commit(Arrival::Deferrable); });
        return false;
    }
    const HTREEITEM item = std::exchange(resting_, nullptr);
    // Only the selection the user left there counts.
    if (tree_ == nullptr || TreeView_GetSelection(tree_) != item) return true;
    return Operate(arrival, [this, item] { NodeClick(item); });
}

void OvaroFolderTreeView::NodeClick(HTREEITEM item) {
    if (item == nullptr) return;
    const auto node = folders::Win32TreeNodes::Handle(item);
    if (parts_->nodes.Selected() != node) parts_->nodes.Select(node);
    parts_->logic.OnNodeClick(node);
}

void OvaroFolderTreeView::LoadPictures() {
    if (!parts_ || tree_ == nullptr) return;
    const Strip wanted = StripFor(WindowDpi(hwnd_));
    const HINSTANCE module = GetModuleHandleW(nullptr);
    // A program built without the pictures shows the tree without them.
    for (const Strip strip : {wanted, StripFor(96)}) {
        const OwnedBitmap bitmap(static_cast<HBITMAP>(
            LoadImageW(module, MAKEINTRESOURCEW(strip.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!bitmap) continue;
        OwnedImageList list(
            ImageList_Create(strip.size, strip.size, ILC_COLOR24 | ILC_MASK, folders::kPictureCount, 0));
        if (!list || ImageList_AddMasked(list.get(), bitmap.get(), RGB(192, 192, 192)) < 0) continue;
        SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list.get()));
        parts_->pictures = std::move(list);  // the tree does not own its image list
        return;
    }
}

}  // namespace ovaro
