#pragma once
// Shared by the fuzz targets: a tree that remembers what the logic asked it to hold,
// so that the invariants can be checked from outside, and a hard stop that libFuzzer
// reports as a crash with the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "FolderTreeLogic.h"
#include "ForwardingTreeNodes.h"
// A call the in-memory tree cannot answer is a finding.
#define OVARO_DOUBLE_MISUSED(message) (std::fputs((std::string(message) + "\n").c_str(), stderr), std::abort())
#include "MemoryFolderTree.h"

namespace ovaro::folders::fuzzing {

[[noreturn]] inline void Violated(const char* what, const std::wstring& detail = L"") {
    std::fprintf(stderr, "invariant violated: %s [%ls]\n", what, detail.c_str());
    std::abort();
}

inline void Require(bool condition, const char* what, const std::wstring& detail = L"") {
    if (!condition) Violated(what, detail);
}

// Passes every call to the in-memory tree and keeps each node's key, parent and text
// as they were added. Only RemoveChildren takes nodes out (it forgets them here too), and
// nothing changes a node, so any difference later is the inner tree's or the logic's fault.
class KeyedTree final : public testing::ForwardingTreeNodes {
public:
    // The base only keeps the reference until the member exists.
    KeyedTree() : ForwardingTreeNodes(memory_) {}
    NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                       Picture selectedPicture, std::wstring* error) override {
        const bool taken = !key.empty() && keys_.count(std::wstring(key)) != 0;
        const NodeHandle node = memory_.AddLast(parent, key, text, picture, selectedPicture, error);
        if (node == kNoNode) return node;
        Require(!taken, "a second node got a key that was taken", std::wstring(key));
        Require(nodes_.count(node) == 0, "a node handle was handed out twice");
        nodes_[node] = Added{parent, std::wstring(key), std::wstring(text)};
        order_.push_back(node);
        if (!key.empty()) keys_[std::wstring(key)] = node;
        return node;
    }
    void BeginUpdate() override {
        ++depth_;
        ForwardingTreeNodes::BeginUpdate();
    }
    void EndUpdate() override {
        --depth_;
        ForwardingTreeNodes::EndUpdate();
    }
    void RemoveChildren(NodeHandle node) override {
        std::vector<NodeHandle> gone;
        for (NodeHandle c = memory_.FirstChild(node); c != kNoNode; c = memory_.NextSibling(c)) gone.push_back(c);
        for (std::size_t i = 0; i < gone.size(); ++i)
            for (NodeHandle c = memory_.FirstChild(gone[i]); c != kNoNode; c = memory_.NextSibling(c))
                gone.push_back(c);
        for (const NodeHandle n : gone) {
            if (const auto it = nodes_.find(n); it != nodes_.end()) {
                keys_.erase(it->second.key);
                nodes_.erase(it);
            }
        }
        memory_.RemoveChildren(node);
    }

    struct Added {
        NodeHandle parent;
        std::wstring key, text;
    };
    const std::map<NodeHandle, Added>& nodes() const { return nodes_; }
    const std::vector<NodeHandle>& order() const { return order_; }
    int depth() const { return depth_; }

    // Every node ever added is still there, under its key, parent and text; the
    // update brackets are balanced between operations.
    void CheckIntact() const {
        Require(depth_ == 0, "BeginUpdate and EndUpdate out of balance");
        for (const auto& [node, added] : nodes_) {
            Require(memory_.Parent(node) == added.parent, "a node moved", added.key);
            Require(memory_.Text(node) == added.text, "a node's text changed", added.key);
            if (!added.key.empty())
                Require(memory_.Find(added.key) == node, "a key no longer finds its node", added.key);
        }
    }

private:
    testing::MemoryTree memory_;
    std::map<NodeHandle, Added> nodes_;
    std::map<std::wstring, NodeHandle> keys_;
    std::vector<NodeHandle> order_;
    int depth_ = 0;
};

// Only the program's own message texts may reach the user.
inline void CheckMessages(const std::vector<testing::ShownMessage>& shown) {
    for (const auto& m : shown) {
        const bool noAccess = m.text.starts_with(kTextNoAccessBefore) && m.text.ends_with(kTextNoAccessAfter) &&
                              m.style == MessageStyle::Critical;
        const bool readFailed = m.text.starts_with(kTextReadFailed) && m.style == MessageStyle::Critical;
        const bool addFailed = m.text.starts_with(kTextAddFailed) && m.style == MessageStyle::Ok;
        Require(noAccess || readFailed || addFailed, "a message of unknown form", m.text);
    }
}

// The folder path of a node as the tree's texts say it, built independently of the
// logic: drive text, then folder texts, each followed by "\".
inline std::wstring ExpectedFolderPath(const KeyedTree& tree, NodeHandle node) {
    std::wstring path;
    for (NodeHandle n = node; n != kNoNode; n = tree.Parent(n)) {
        if (tree.Parent(n) == kNoNode) break;  // the root's text is no part of a folder path
        path = tree.Text(n) + L"\\" + path;
    }
    return path;
}

}  // namespace ovaro::folders::fuzzing
