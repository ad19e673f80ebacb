#pragma once
// Checks every tree implementation must pass: the in-memory tree natively and the
// platform's tree view under Wine. TypeParam holds a tree: `TreeNodes& tree()`.

#include <gtest/gtest.h>

#include <string>

#include "FolderTreePorts.h"

namespace ovaro::folders::testing {

template <class Holder>
class TreeNodesContract : public ::testing::Test {
protected:
    NodeHandle Add(NodeHandle parent, const std::wstring& key, const std::wstring& text,
                   Picture picture = Picture::ClosedFolder, Picture selected = Picture::OpenFolder) {
        std::wstring error;
        return holder_.tree().AddLast(parent, key, text, picture, selected, &error);
    }
    TreeNodes& tree() { return holder_.tree(); }
    Holder holder_;
};

TYPED_TEST_SUITE_P(TreeNodesContract);

TYPED_TEST_P(TreeNodesContract, AddsInOrderAndNavigates) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz", Picture::Computer, Picture::Computer);
    const auto c = this->Add(root, L"c:", L"c:", Picture::Harddisk, Picture::Harddisk);
    const auto d = this->Add(root, L"d:", L"d:", Picture::CDRom, Picture::CDRom);
    const auto win = this->Add(c, L"c:\\windows", L"Windows");
    ASSERT_NE(root, kNoNode);
    ASSERT_NE(win, kNoNode);
    EXPECT_EQ(t.FirstChild(root), c);
    EXPECT_EQ(t.NextSibling(c), d);
    EXPECT_EQ(t.NextSibling(d), kNoNode);
    EXPECT_EQ(t.FirstChild(d), kNoNode);
    EXPECT_EQ(t.Parent(win), c);
    EXPECT_EQ(t.Parent(root), kNoNode);
    EXPECT_EQ(t.ChildCount(root), 2u);
    EXPECT_TRUE(t.HasChildren(c));
    EXPECT_FALSE(t.HasChildren(d));
    EXPECT_EQ(t.Text(win), L"Windows");
    EXPECT_EQ(t.FullPath(win), L"Arbeitsplatz\\c:\\Windows");
    EXPECT_EQ(t.FullPath(root), L"Arbeitsplatz");
    EXPECT_EQ(t.FullPath(kNoNode), L"");
    EXPECT_EQ(t.PictureOf(d), Picture::CDRom);
    EXPECT_EQ(t.SelectedPictureOf(win), Picture::OpenFolder);
    EXPECT_EQ(t.PictureOf(win), Picture::ClosedFolder);
    EXPECT_EQ(t.PictureOf(root), Picture::Computer);
}

TYPED_TEST_P(TreeNodesContract, FindsByExactKeyAndRejectsATakenKey) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    const auto c = this->Add(root, L"c:", L"c:");
    const auto a = this->Add(c, L"c:\\daten", L"Daten");
    EXPECT_EQ(t.Find(L"c:"), c);
    EXPECT_EQ(t.Find(L"c:\\daten"), a);
    EXPECT_EQ(t.Find(L"c:\\Daten"), kNoNode);  // keys are compared exactly
    EXPECT_EQ(t.Find(L""), kNoNode);           // the root has no key
    EXPECT_EQ(t.Find(L"q:"), kNoNode);
    std::wstring error;
    EXPECT_EQ(t.AddLast(c, L"c:\\daten", L"DATEN", Picture::ClosedFolder, Picture::OpenFolder, &error), kNoNode);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(t.Find(L"c:\\daten"), a);
    EXPECT_EQ(t.ChildCount(c), 1u);
}

TYPED_TEST_P(TreeNodesContract, KeepsLongAndUnicodeTextsWhole) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    const auto m = this->Add(root, L"m:", L"m:");
    const std::wstring longName = std::wstring(250, L'x') + L"\u00dcber \u65e5\u672c \u0395\u03bb";
    const auto n = this->Add(m, L"m:\\" + longName, longName);
    const auto deep = this->Add(n, L"m:\\" + longName + L"\\" + longName, longName);
    ASSERT_NE(deep, kNoNode);
    EXPECT_EQ(t.Text(n), longName);
    EXPECT_EQ(t.FullPath(deep), L"Arbeitsplatz\\m:\\" + longName + L"\\" + longName);
    EXPECT_EQ(t.Find(L"m:\\" + longName + L"\\" + longName), deep);
}

TYPED_TEST_P(TreeNodesContract, SelectionStartsEmptyAndFollowsSelect) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    const auto c = this->Add(root, L"c:", L"c:");
    const auto w = this->Add(c, L"c:\\w", L"W");
    EXPECT_EQ(t.Selected(), kNoNode);
    t.Select(w);
    EXPECT_EQ(t.Selected(), w);
    t.Select(root);
    EXPECT_EQ(t.Selected(), root);
}

TYPED_TEST_P(TreeNodesContract, ExpandingAChildlessNodeKeepsItOpenForLaterChildren) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    t.Expand(root);
    EXPECT_TRUE(t.IsExpanded(root));
    const auto c = this->Add(root, L"c:", L"c:");
    this->Add(c, L"c:\\a", L"a");
    EXPECT_TRUE(t.IsExpanded(root));
    EXPECT_FALSE(t.IsExpanded(c));
    t.Expand(c);
    EXPECT_TRUE(t.IsExpanded(c));
}

TYPED_TEST_P(TreeNodesContract, EnsureVisibleOpensTheAncestors) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    const auto c = this->Add(root, L"c:", L"c:");
    const auto a = this->Add(c, L"c:\\a", L"a");
    const auto b = this->Add(a, L"c:\\a\\b", L"b");
    t.EnsureVisible(b);
    EXPECT_TRUE(t.IsExpanded(root));
    EXPECT_TRUE(t.IsExpanded(c));
    EXPECT_TRUE(t.IsExpanded(a));
    EXPECT_FALSE(t.IsExpanded(b));
}

TYPED_TEST_P(TreeNodesContract, UpdateBracketsNestAndLeaveNodesReadable) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    t.BeginUpdate();
    t.BeginUpdate();
    for (int i = 0; i < 50; ++i) this->Add(root, L"k" + std::to_wstring(i), L"n" + std::to_wstring(i));
    t.EndUpdate();
    t.EndUpdate();
    EXPECT_EQ(t.ChildCount(root), 50u);
    EXPECT_EQ(t.Text(t.Find(L"k49")), L"n49");
}

TYPED_TEST_P(TreeNodesContract, RemovingChildrenTakesTheirBranchesAndKeysOutAndKeepsTheRest) {
    auto& t = this->tree();
    const auto root = this->Add(kNoNode, L"", L"Arbeitsplatz");
    const auto c = this->Add(root, L"c:", L"c:");
    const auto d = this->Add(root, L"d:", L"d:");
    const auto a = this->Add(c, L"c:\\a", L"A");
    this->Add(a, L"c:\\a\\b", L"B");
    this->Add(c, L"c:\\x", L"X");
    const auto e = this->Add(d, L"d:\\e", L"E");
    t.Expand(c);
    t.RemoveChildren(c);
    EXPECT_FALSE(t.HasChildren(c));
    EXPECT_EQ(t.ChildCount(c), 0u);
    EXPECT_EQ(t.Find(L"c:\\a"), kNoNode);
    EXPECT_EQ(t.Find(L"c:\\a\\b"), kNoNode);
    EXPECT_EQ(t.Find(L"c:\\x"), kNoNode);
    EXPECT_TRUE(t.IsExpanded(c));
    EXPECT_EQ(t.Find(L"c:"), c);
    EXPECT_EQ(t.Find(L"d:\\e"), e);
    EXPECT_EQ(t.NextSibling(c), d);
    // The keys are free again, and the node takes children as before.
    const auto again = this->Add(c, L"c:\\a", L"a");
    ASSERT_NE(again, kNoNode);
    EXPECT_EQ(t.FirstChild(c), again);
    EXPECT_EQ(t.Text(again), L"a");
}

REGISTER_TYPED_TEST_SUITE_P(TreeNodesContract, AddsInOrderAndNavigates, FindsByExactKeyAndRejectsATakenKey,
                            KeepsLongAndUnicodeTextsWhole, SelectionStartsEmptyAndFollowsSelect,
                            ExpandingAChildlessNodeKeepsItOpenForLaterChildren, EnsureVisibleOpensTheAncestors,
                            UpdateBracketsNestAndLeaveNodesReadable,
                            RemovingChildrenTakesTheirBranchesAndKeysOutAndKeepsTheRest);

}  // namespace ovaro::folders::testing
