#pragma once
// In-memory doubles for the folder tree: a tree of nodes, a machine with drives and
// folders, and a message sink that records instead of showing.

#include <algorithm>
#include <cwctype>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "FolderTreeLogic.h"
#include "FolderTreePorts.h"

// How a double tells of a call it cannot answer: a failed check in the tests. A program
// that includes it without GoogleTest (the fuzzers) defines its own before the include.
#ifndef OVARO_DOUBLE_MISUSED
#include <gtest/gtest.h>
#define OVARO_DOUBLE_MISUSED(message) ADD_FAILURE() << (message)
#endif

namespace ovaro::folders::testing {

class MemoryTree final : public TreeNodes {
public:
    NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                       Picture selectedPicture, std::wstring* error) override {
        if (parent != kNoNode && !Valid(parent)) {
            if (error) *error = L"no such parent";
            return kNoNode;
        }
        if (!key.empty() && byKey_.count(std::wstring(key))) {
            if (error) *error = L"key taken";
            return kNoNode;
        }
        nodes_.push_back(Node{parent, std::wstring(key), std::wstring(text), picture, selectedPicture, {}, false});
        const NodeHandle handle = nodes_.size();
        if (parent != kNoNode)
            At(parent).children.push_back(handle);
        else
            topLevel_.push_back(handle);
        if (!key.empty()) byKey_.emplace(std::wstring(key), handle);
        ++adds_;
        return handle;
    }
    bool HasChildren(NodeHandle node) const override { return Valid(node) && !At(node).children.empty(); }
    std::size_t ChildCount(NodeHandle node) const override { return Valid(node) ? At(node).children.size() : 0; }
    NodeHandle FirstChild(NodeHandle node) const override {
        return HasChildren(node) ? At(node).children.front() : kNoNode;
    }
    NodeHandle NextSibling(NodeHandle node) const override {
        if (!Valid(node)) return kNoNode;
        const auto& siblings = At(node).parent == kNoNode ? topLevel_ : At(At(node).parent).children;
        for (std::size_t i = 0; i + 1 < siblings.size(); ++i)
            if (siblings[i] == node) return siblings[i + 1];
        return kNoNode;
    }
    NodeHandle Parent(NodeHandle node) const override { return Valid(node) ? At(node).parent : kNoNode; }
    std::wstring Text(NodeHandle node) const override { return Valid(node) ? At(node).text : L""; }
    // A picture is only asked of a node that exists: asking of none is the caller's fault,
    // told as a failed check.
    Picture PictureOf(NodeHandle node) const override {
        if (!Valid(node)) {
            OVARO_DOUBLE_MISUSED("PictureOf(" + std::to_string(node) + "): no such node");
            return Picture::Computer;
        }
        return At(node).picture;
    }
    Picture SelectedPictureOf(NodeHandle node) const override {
        if (!Valid(node)) {
            OVARO_DOUBLE_MISUSED("SelectedPictureOf(" + std::to_string(node) + "): no such node");
            return Picture::Computer;
        }
        return At(node).selectedPicture;
    }
    std::wstring FullPath(NodeHandle node) const override {
        std::wstring path;
        for (NodeHandle n = node; Valid(n); n = At(n).parent) path = At(n).text + (path.empty() ? L"" : L"\\" + path);
        return path;
    }
    NodeHandle Find(std::wstring_view key) const override {
        const auto it = byKey_.find(std::wstring(key));
        return it == byKey_.end() ? kNoNode : it->second;
    }
    NodeHandle Selected() const override { return selected_; }
    void Select(NodeHandle node) override {
        if (Valid(node)) selected_ = node;
    }
    void Expand(NodeHandle node) override {
        if (Valid(node)) At(node).expanded = true;
    }
    bool IsExpanded(NodeHandle node) const override { return Valid(node) && At(node).expanded; }
    void EnsureVisible(NodeHandle node) override {
        // Like the platform's tree: the node's ancestors open so that it can show.
        for (NodeHandle n = Parent(node); n != kNoNode; n = Parent(n)) At(n).expanded = true;
    }
    void BeginUpdate() override { ++updateDepth_; }
    void EndUpdate() override { --updateDepth_; }
    void RemoveChildren(NodeHandle node) override {
        if (!Valid(node)) return;
        std::vector<NodeHandle> gone = std::move(At(node).children);
        At(node).children.clear();
        for (std::size_t i = 0; i < gone.size(); ++i) {
            Node& n = At(gone[i]);
            gone.insert(gone.end(), n.children.begin(), n.children.end());
            if (!n.key.empty()) byKey_.erase(n.key);
            if (selected_ == gone[i]) selected_ = kNoNode;
            n.removed = true;
        }
    }

    std::size_t RowsShowing() const override { return rows_; }
    void SetExpandable(NodeHandle node, bool expandable) override {
        if (Valid(node)) At(node).expandable = expandable;
    }
    // What the tree shows beside the node: a [+] for one that has children or may have.
    bool ShowsButton(NodeHandle node) const { return Valid(node) && (HasChildren(node) || At(node).expandable); }

    int updateDepth() const { return updateDepth_; }
    int adds() const { return adds_; }
    std::size_t rows_ = std::numeric_limits<std::size_t>::max();  // a tree without a window shows every row

private:
    struct Node {
        NodeHandle parent;
        std::wstring key, text;
        Picture picture, selectedPicture;
        std::vector<NodeHandle> children;
        bool expanded;
        bool removed = false;
        bool expandable = true;
    };
    bool Valid(NodeHandle n) const { return n != kNoNode && n <= nodes_.size() && !nodes_[n - 1].removed; }
    Node& At(NodeHandle n) { return nodes_[n - 1]; }
    const Node& At(NodeHandle n) const { return nodes_[n - 1]; }

    std::vector<Node> nodes_;
    std::vector<NodeHandle> topLevel_;
    std::unordered_map<std::wstring, NodeHandle> byKey_;
    NodeHandle selected_ = kNoNode;
    int updateDepth_ = 0;
    int adds_ = 0;
};

// A machine of drives and folders. Folders are looked up without regard to letter case,
// as the platform does; listings echo the path as given, like the platform's lister.
class MemoryMachine final : public DriveSource, public FolderLister {
public:
    // Adds a drive ("c") of a type; an unavailable drive fails every listing as such.
    void AddDrive(wchar_t letter, unsigned type, bool available = true) {
        driveList_ += std::wstring(1, letter) + L":\\" + L'\0';
        types_[std::wstring(1, static_cast<wchar_t>(std::towlower(letter))) + L":"] = type;
        if (!available)
            failures_[Lower(std::wstring(1, letter) + L":\\")] = ListFailure{true, L"Das Gerät ist nicht bereit."};
        else
            folders_[Lower(std::wstring(1, letter) + L":\\")];
    }
    // Adds the folder path (no trailing "\") and its parents, in the given letter case.
    void AddFolder(const std::wstring& path) {
        const auto sep = path.rfind(L'\\');
        const std::wstring parent = path.substr(0, sep + 1);
        if (parent.size() > 3) AddFolder(parent.substr(0, parent.size() - 1));
        auto& list = folders_[Lower(parent)];
        const std::wstring name = path.substr(sep + 1);
        for (const auto& n : list)
            if (n == name) return;
        list.push_back(name);
        folders_[Lower(path + L"\\")];
    }
    // Puts a raw entry into a folder's listing (for listings the platform might get wrong).
    void AddRawEntry(const std::wstring& folder, const std::wstring& name) { folders_[Lower(folder)].push_back(name); }
    void Fail(const std::wstring& folder, bool driveNotAvailable, std::wstring description) {
        failures_[Lower(folder)] = ListFailure{driveNotAvailable, std::move(description)};
    }
    void Heal(const std::wstring& folder) { failures_.erase(Lower(folder)); }
    void SetRawDriveList(std::wstring raw) {
        driveList_ = std::move(raw);
        rawList_ = true;
    }

    std::wstring LogicalDriveStrings() override { return rawList_ ? driveList_ : driveList_ + L'\0'; }
    unsigned DriveTypeOf(std::wstring_view name) override {
        typeQueries_.emplace_back(name);
        const auto it = types_.find(std::wstring(name));
        return it == types_.end() ? kDriveNoRootDir : it->second;
    }
    FolderListing List(std::wstring_view folder) override {
        const std::wstring given(folder);
        listed_.push_back(given);
        FolderListing out;
        if (const auto f = failures_.find(Lower(given)); f != failures_.end()) {
            out.failure = f->second;
            return out;
        }
        const auto it = folders_.find(Lower(given));
        if (it == folders_.end()) {
            out.failure = ListFailure{false, L"Der Pfad wurde nicht gefunden."};
            return out;
        }
        for (const auto& name : it->second) out.subFolders.push_back(given + name);
        return out;
    }

    void Prefetch(const std::vector<std::wstring>& folders) override {
        prefetched_.push_back(folders);
        if (onPrefetch_) onPrefetch_();
    }

    // With partSize_ above 0, listings are handed over in parts of that many sub-folders,
    // as a lister that reads on another thread does; a folder set to break off hands over
    // all its parts but the last and then fails.
    // A lister that reads ahead: a held folder is still being read; a stop at a folder drops
    // every read outstanding, as Esc does.
    std::optional<ListOutcome> Progress(std::wstring_view folder) override {
        const std::wstring lower = Lower(std::wstring(folder));
        if (dropped_) return ListOutcome::Stopped;
        if (held_.count(lower)) return std::nullopt;
        return ListOutcome::Read;
    }
    void Hurry(const std::vector<std::wstring>& folders) override { hurried_.push_back(folders); }

    FolderListing ListInParts(std::wstring_view folder, const ListingPart& onPart) override {
        if (!stopAt_.empty() && Lower(std::wstring(folder)) == stopAt_) {
            listed_.emplace_back(folder);
            stopAt_.clear();
            dropped_ = true;
            return FolderListing::Stopped();
        }
        if (partSize_ == 0) return FolderLister::ListInParts(folder, onPart);
        FolderListing listing = List(folder);
        const auto breakOff = breakOffs_.find(Lower(std::wstring(folder)));
        const std::size_t count = listing.subFolders.size();
        for (std::size_t first = 0; first < count; first += partSize_) {
            if (breakOff != breakOffs_.end() && first + partSize_ >= count) break;
            std::vector<std::wstring> part(
                listing.subFolders.begin() + static_cast<std::ptrdiff_t>(first),
                listing.subFolders.begin() + static_cast<std::ptrdiff_t>(std::min(count, first + partSize_)));
            onPart(part);
        }
        listing.subFolders.clear();
        if (breakOff != breakOffs_.end()) listing.failure = breakOff->second;
        return listing;
    }
    void BreakOff(const std::wstring& folder, std::wstring description) {
        breakOffs_[Lower(folder)] = ListFailure{false, std::move(description)};
    }
    void Mend(const std::wstring& folder) { breakOffs_.erase(Lower(folder)); }
    std::size_t partSize_ = 0;

    int ListCount(const std::wstring& folder) const {
        int n = 0;
        for (const auto& f : listed_) n += f == folder;
        return n;
    }
    std::vector<std::wstring> listed_;
    std::vector<std::vector<std::wstring>> prefetched_;  // the read-ahead hints, one list per hint
    std::function<void()> onPrefetch_;                   // sees the tree as each hint is given
    std::vector<std::wstring> typeQueries_;
    std::set<std::wstring> held_;                      // lower case, with "\"
    std::wstring stopAt_;                              // lower case, with "\"
    bool dropped_ = false;
    std::vector<std::vector<std::wstring>> hurried_;

private:
    static std::wstring Lower(const std::wstring& s) { return PortableLowerCase(s); }
    std::wstring driveList_;
    bool rawList_ = false;
    std::map<std::wstring, unsigned> types_;
    std::map<std::wstring, std::vector<std::wstring>> folders_;
    std::map<std::wstring, ListFailure> failures_;
    std::map<std::wstring, ListFailure> breakOffs_;
};

struct ShownMessage {
    std::wstring text;
    MessageStyle style;
    bool operator==(const ShownMessage&) const = default;
};

class RecordingMessages final : public MessageSink {
public:
    void Show(std::wstring_view text, MessageStyle style) override { shown.push_back({std::wstring(text), style}); }
    std::vector<ShownMessage> shown;
};

}  // namespace ovaro::folders::testing
