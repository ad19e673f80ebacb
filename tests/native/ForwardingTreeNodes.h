#pragma once
// A tree that passes every call on to another one; test trees that watch or record
// what the logic does derive from it and override only the calls they look at.

#include "FolderTreePorts.h"

namespace ovaro::folders::testing {

class ForwardingTreeNodes : public TreeNodes {
public:
    explicit ForwardingTreeNodes(TreeNodes& inner) : inner_(inner) {}

    NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                       Picture selectedPicture, std::wstring* error) override {
        return inner_.AddLast(parent, key, text, picture, selectedPicture, error);
    }
    bool HasChildren(NodeHandle n) const override { return inner_.HasChildren(n); }
    std::size_t ChildCount(NodeHandle n) const override { return inner_.ChildCount(n); }
    NodeHandle FirstChild(NodeHandle n) const override { return inner_.FirstChild(n); }
    NodeHandle NextSibling(NodeHandle n) const override { return inner_.NextSibling(n); }
    NodeHandle Parent(NodeHandle n) const override { return inner_.Parent(n); }
    std::wstring Text(NodeHandle n) const override { return inner_.Text(n); }
    Picture PictureOf(NodeHandle n) const override { return inner_.PictureOf(n); }
    Picture SelectedPictureOf(NodeHandle n) const override { return inner_.SelectedPictureOf(n); }
    std::wstring FullPath(NodeHandle n) const override { return inner_.FullPath(n); }
    NodeHandle Find(std::wstring_view key) const override { return inner_.Find(key); }
    NodeHandle Selected() const override { return inner_.Selected(); }
    void Select(NodeHandle n) override { inner_.Select(n); }
    void Expand(NodeHandle n) override { inner_.Expand(n); }
    bool IsExpanded(NodeHandle n) const override { return inner_.IsExpanded(n); }
    void EnsureVisible(NodeHandle n) override { inner_.EnsureVisible(n); }
    void BeginUpdate() override { inner_.BeginUpdate(); }
    void EndUpdate() override { inner_.EndUpdate(); }
    void RemoveChildren(NodeHandle n) override { inner_.RemoveChildren(n); }
    std::size_t RowsShowing() const override { return inner_.RowsShowing(); }
    void SetExpandable(NodeHandle n, bool expandable) override { inner_.SetExpandable(n, expandable); }

private:
    TreeNodes& inner_;
};

}  // namespace ovaro::folders::testing
