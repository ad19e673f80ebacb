#include "Win32TreeNodes.h"

#include <unordered_set>
#include <vector>

#include "SystemErrorText.h"

namespace ovaro::folders {

namespace {

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

struct FromCode {
    explicit FromCode(int& depth) : depth_(depth) { ++depth_; }
    ~FromCode() { --depth_; }
    FromCode(const FromCode&) = delete;
    FromCode& operator=(const FromCode&) = delete;
    int& depth_;
};

}  // namespace

void Win32TreeNodes::Tick() const {
    // 100,000 children take a few hundred ms to insert, and under Wine every query of a
    // node searches the tree view's list of all nodes, so going over 10,000 children takes
    // as long; the clock is read every 64 calls.
    if (wait_ != nullptr && (++calls_ & 63) == 0) wait_->Breathe();
}

NodeHandle Win32TreeNodes::AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                                   Picture selectedPicture, std::wstring* error) {
    Tick();
    if (!key.empty() && byKey_.find(key) != byKey_.end()) {
        // Not the platform's own failure, so describe it with the platform's text for it.
        if (error) *error = SystemErrorText(ERROR_ALREADY_EXISTS);
        return kNoNode;
    }
    text_.assign(text);  // the tree view takes a text that ends in a NUL, and copies it
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent == kNoNode ? TVI_ROOT : Item(parent);
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.cChildren = 1;  // not read yet: it may open (see SetExpandable)
    insert.item.pszText = text_.data();
    insert.item.iImage = static_cast<int>(picture);
    insert.item.iSelectedImage = static_cast<int>(selectedPicture);
    SetLastError(ERROR_SUCCESS);
    const auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) {
        const DWORD code = GetLastError();
        if (error) *error = SystemErrorText(code != ERROR_SUCCESS ? code : ERROR_NOT_ENOUGH_MEMORY);
        return kNoNode;
    }
    if (!key.empty()) byKey_.emplace(std::wstring(key), item);
    return Handle(item);
}

bool Win32TreeNodes::HasChildren(NodeHandle node) const { return FirstChild(node) != kNoNode; }

std::size_t Win32TreeNodes::ChildCount(NodeHandle node) const {
    std::size_t n = 0;
    for (auto c = FirstChild(node); c != kNoNode; c = NextSibling(c)) ++n;
    return n;
}

NodeHandle Win32TreeNodes::FirstChild(NodeHandle node) const {
    Tick();
    return node == kNoNode ? kNoNode : Handle(Next(tree_, Item(node), TVGN_CHILD));
}

NodeHandle Win32TreeNodes::NextSibling(NodeHandle node) const {
    Tick();
    return node == kNoNode ? kNoNode : Handle(Next(tree_, Item(node), TVGN_NEXT));
}

NodeHandle Win32TreeNodes::Parent(NodeHandle node) const {
    return node == kNoNode ? kNoNode : Handle(Next(tree_, Item(node), TVGN_PARENT));
}

std::wstring Win32TreeNodes::Text(NodeHandle node) const {
    if (node == kNoNode) return {};
    Tick();
    // Folder names have at most 255 UTF-16 units; grow anyway if a text fills the buffer.
    std::vector<wchar_t> buffer(512);
    while (true) {
        TVITEMW item{};
        item.mask = TVIF_TEXT | TVIF_HANDLE;
        item.hItem = Item(node);
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = L'\0';
        if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
        const std::wstring text(item.pszText);
        if (text.size() + 1 < buffer.size() || buffer.size() >= 65536) return text;
        buffer.resize(buffer.size() * 4);
    }
}

Picture Win32TreeNodes::PictureOf(NodeHandle node) const {
    TVITEMW item{};
    item.mask = TVIF_IMAGE | TVIF_HANDLE;
    item.hItem = Item(node);
    SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return static_cast<Picture>(item.iImage);
}

Picture Win32TreeNodes::SelectedPictureOf(NodeHandle node) const {
    TVITEMW item{};
    item.mask = TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    item.hItem = Item(node);
    SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return static_cast<Picture>(item.iSelectedImage);
}

std::wstring Win32TreeNodes::FullPath(NodeHandle node) const {
    std::wstring path;
    for (auto n = node; n != kNoNode; n = Parent(n)) path = Text(n) + (path.empty() ? L"" : L"\\" + path);
    return path;
}

NodeHandle Win32TreeNodes::Find(std::wstring_view key) const {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? kNoNode : Handle(it->second);
}

NodeHandle Win32TreeNodes::Selected() const { return Handle(Next(tree_, nullptr, TVGN_CARET)); }

void Win32TreeNodes::Select(NodeHandle node) {
    if (node == kNoNode) return;
    FromCode guard(fromCode_);
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(node)));
}

void Win32TreeNodes::Expand(NodeHandle node) {
    if (node == kNoNode) return;
    FromCode guard(fromCode_);
    if (HasChildren(node)) {
        // Showing n children makes the tree view measure each text at once (Wine: about
        // 8 ms per 1,000), which cannot be cut; the thread answers right before and after,
        // so that nothing else adds to that stretch.
        if (wait_ != nullptr) wait_->Answer();
        SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Item(node)));
        if (wait_ != nullptr) wait_->Answer();
        return;
    }
    // The tree view refuses to expand a node without children; mark it, so children
    // added later show at once.
    TVITEMW item{};
    item.mask = TVIF_STATE | TVIF_HANDLE;
    item.hItem = Item(node);
    item.state = TVIS_EXPANDED;
    item.stateMask = TVIS_EXPANDED;
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

bool Win32TreeNodes::IsExpanded(NodeHandle node) const {
    if (node == kNoNode) return false;
    return (SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Item(node)), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

void Win32TreeNodes::EnsureVisible(NodeHandle node) {
    if (node == kNoNode) return;
    FromCode guard(fromCode_);
    SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Item(node)));
}

void Win32TreeNodes::BeginUpdate() {
    // Wine's tree view repaints after every insert unless redraw is held, and the cost
    // grows faster than the number of nodes.
    if (updateDepth_++ == 0) SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
}

void Win32TreeNodes::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(tree_, nullptr, TRUE);
    }
}

void Win32TreeNodes::RemoveChildren(NodeHandle node) {
    if (node == kNoNode || !HasChildren(node)) return;
    // Their keys first, while the items can still be walked.
    std::unordered_set<HTREEITEM> gone;
    std::vector<HTREEITEM> pending{Item(node)};
    while (!pending.empty()) {
        const HTREEITEM item = pending.back();
        pending.pop_back();
        for (auto c = Next(tree_, item, TVGN_CHILD); c != nullptr; c = Next(tree_, c, TVGN_NEXT)) {
            gone.insert(c);
            pending.push_back(c);
        }
    }
    std::erase_if(byKey_, [&](const auto& entry) { return gone.count(entry.second) != 0; });
    std::erase_if(notExpandable_, [&](HTREEITEM item) { return gone.count(item) != 0; });
    // Collapsing with the reset takes every child out in one call. The tree view keeps the
    // node's button then, as it was; and the expanded state comes back.
    const bool expanded = IsExpanded(node);
    FromCode guard(fromCode_);
    SendMessageW(tree_, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(Item(node)));
    TVITEMW item{};
    item.mask = TVIF_CHILDREN | TVIF_STATE | TVIF_HANDLE;
    item.hItem = Item(node);
    item.cChildren = notExpandable_.count(Item(node)) != 0 ? 0 : 1;
    item.state = expanded ? TVIS_EXPANDED : 0;
    item.stateMask = TVIS_EXPANDED;
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

std::size_t Win32TreeNodes::RowsShowing() const {
    // The last row may show in part.
    return static_cast<std::size_t>(SendMessageW(tree_, TVM_GETVISIBLECOUNT, 0, 0)) + 1;
}

void Win32TreeNodes::SetExpandable(NodeHandle node, bool expandable) {
    if (node == kNoNode) return;
    // Only a change costs a call: most nodes never leave the state they were added in.
    const bool changed = expandable ? notExpandable_.erase(Item(node)) != 0 : notExpandable_.insert(Item(node)).second;
    if (!changed) return;
    TVITEMW item{};
    item.mask = TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = Item(node);
    item.cChildren = expandable ? 1 : 0;
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace ovaro::folders
