#pragma once
// The folder tree's nodes on the platform's tree view (SysTreeView32): an HTREEITEM is
// the node handle, keys are found through a hash map beside the control.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "FolderTreePorts.h"
#include "RestrictedWait.h"

namespace ovaro::folders {

class Win32TreeNodes final : public TreeNodes {
public:
    // With a wait, long runs of inserts and queries let the window's thread answer in between.
    explicit Win32TreeNodes(HWND tree, RestrictedWait* wait = nullptr) : tree_(tree), wait_(wait) {}

    NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                       Picture selectedPicture, std::wstring* error) override;
    bool HasChildren(NodeHandle node) const override;
    std::size_t ChildCount(NodeHandle node) const override;
    NodeHandle FirstChild(NodeHandle node) const override;
    NodeHandle NextSibling(NodeHandle node) const override;
    NodeHandle Parent(NodeHandle node) const override;
    std::wstring Text(NodeHandle node) const override;
    Picture PictureOf(NodeHandle node) const override;
    Picture SelectedPictureOf(NodeHandle node) const override;
    std::wstring FullPath(NodeHandle node) const override;
    NodeHandle Find(std::wstring_view key) const override;
    NodeHandle Selected() const override;
    void Select(NodeHandle node) override;
    void Expand(NodeHandle node) override;
    bool IsExpanded(NodeHandle node) const override;
    void EnsureVisible(NodeHandle node) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    void RemoveChildren(NodeHandle node) override;
    std::size_t RowsShowing() const override;
    void SetExpandable(NodeHandle node, bool expandable) override;

    // True while this class expands or scrolls from code, so that the control's
    // notification handler does not run the expand handling a second time.
    bool ChangingFromCode() const { return fromCode_ != 0; }

    static HTREEITEM Item(NodeHandle node) { return reinterpret_cast<HTREEITEM>(node); }
    static NodeHandle Handle(HTREEITEM item) { return reinterpret_cast<NodeHandle>(item); }

private:
    // Long runs of calls answer the system in between (see Breathe).
    void Tick() const;

    HWND tree_;
    RestrictedWait* wait_;
    mutable unsigned calls_ = 0;
    // Looked up by a view of the key, without a copy of it for every lookup.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::wstring_view key) const noexcept { return std::hash<std::wstring_view>{}(key); }
    };
    std::unordered_map<std::wstring, HTREEITEM, KeyHash, std::equal_to<>> byKey_;
    std::wstring text_;  // the text handed to the tree view, kept for its buffer
    std::unordered_set<HTREEITEM> notExpandable_;  // shown without a button while childless
    int updateDepth_ = 0;
    int fromCode_ = 0;
};

}  // namespace ovaro::folders
