// The folder tree's behaviour against the in-memory tree, with the sanitizers.
#include <gtest/gtest.h>

#include "FolderTreeLogicSuite.h"
#include "MemoryFolderTree.h"
#include "TreeNodesContract.h"

namespace ovaro::folders::testing {
namespace {

struct MemoryTreeHolder {
    TreeNodes& tree() { return tree_; }
    MemoryTree tree_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, TreeNodesContract, MemoryTreeHolder);
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, FolderTreeLogicSuite, MemoryTreeHolder);

TEST(PortableLowerCase, FoldsLatinGreekAndCyrillicCapitalsOnly) {
    EXPECT_EQ(PortableLowerCase(L"C:\\Program Files\\\u00c4\u00d6\u00dc\u00df\u00d7"),
              L"c:\\program files\\\u00e4\u00f6\u00fc\u00df\u00d7");
    EXPECT_EQ(PortableLowerCase(L"\u0141\u00f3d\u017a \u0178 \u0130"), L"\u0142\u00f3d\u017a \u00ff \u0130");
    EXPECT_EQ(PortableLowerCase(L"\u0394\u0416\u0401 \u65e5\u672c"), L"\u03b4\u0436\u0451 \u65e5\u672c");
}

// The hint a reading-ahead lister gets: exactly the folders the logic then lists, in the
// same order, so that reads started together are handed over in the logic's own order.
TEST(ReadAheadHint, NamesTheHardDisksAtCreationAndTheUnreadChildrenOnExpand) {
    MemoryTree tree;
    MemoryMachine machine;
    RecordingMessages messages;
    machine.AddDrive(L'a', kDriveRemovable);
    machine.AddDrive(L'C', kDriveFixed);
    machine.AddDrive(L'd', kDriveCdRom);
    machine.AddDrive(L'z', kDriveRemote);
    machine.AddFolder(L"c:\\Alpha\\Eins");
    machine.AddFolder(L"c:\\Beta\\Zwei");
    machine.AddFolder(L"c:\\Gamma");
    FolderTreeLogic logic(tree, machine, machine, messages, PortableLowerCase);

    logic.Create();
    EXPECT_EQ(machine.prefetched_, (std::vector<std::vector<std::wstring>>{{L"c:\\"}, {L"z:\\"}}));
    EXPECT_EQ(machine.listed_, (std::vector<std::wstring>{L"c:\\", L"z:\\"}));

    // Beta is read by a click; expanding c: then names only the children still unread.
    logic.OnNodeClick(tree.Find(L"c:\\beta"));
    machine.listed_.clear();
    logic.OnExpand(tree.Find(L"c:"));
    ASSERT_EQ(machine.prefetched_.size(), 3u);
    EXPECT_EQ(machine.prefetched_[2], (std::vector<std::wstring>{L"c:\\Alpha\\", L"c:\\Gamma\\"}));
    EXPECT_EQ(machine.listed_, machine.prefetched_[2]);

    // Nothing unread below the root, nor once every child has been read: no hint.
    logic.OnExpand(logic.Root());
    machine.AddFolder(L"c:\\Gamma\\Drei");
    logic.OnExpand(tree.Find(L"c:"));
    logic.OnExpand(tree.Find(L"c:"));
    ASSERT_EQ(machine.prefetched_.size(), 4u);
    EXPECT_EQ(machine.prefetched_[3], std::vector<std::wstring>{L"c:\\Gamma\\"});
    EXPECT_TRUE(messages.shown.empty());
}

// The walk names the next level's unread folders before it shows the level it is on, so
// that they are read while the tree view expands; what is listed, and in which order, stays.
TEST(ReadAheadHint, TheWalkNamesTheNextLevelBeforeShowingThisOne) {
    MemoryTree tree;
    MemoryMachine machine;
    RecordingMessages messages;
    machine.AddDrive(L'c', kDriveFixed);
    machine.AddFolder(L"c:\\Alpha\\Beta\\X");
    machine.AddFolder(L"c:\\Alpha\\Beta\\Y");
    machine.AddFolder(L"c:\\Gamma");
    FolderTreeLogic logic(tree, machine, machine, messages, PortableLowerCase);
    logic.Create();
    machine.prefetched_.clear();
    machine.listed_.clear();
    std::vector<bool> alphaShown;
    machine.onPrefetch_ = [&] { alphaShown.push_back(tree.IsExpanded(tree.Find(L"c:\\alpha"))); };

    logic.SetPath(L"c:\\Alpha\\Beta\\");
    EXPECT_EQ(logic.Path(), L"c:\\Alpha\\Beta\\");
    using Hints = std::vector<std::vector<std::wstring>>;
    EXPECT_EQ(machine.prefetched_, (Hints{{L"c:\\Alpha\\", L"c:\\Gamma\\"},
                                          {L"c:\\Alpha\\Beta\\"},
                                          {L"c:\\Alpha\\Beta\\"},
                                          {L"c:\\Alpha\\Beta\\X\\", L"c:\\Alpha\\Beta\\Y\\"},
                                          {L"c:\\Alpha\\Beta\\X\\", L"c:\\Alpha\\Beta\\Y\\"}}));
    // Beta's children are named while Alpha is not shown yet, and listed only after it.
    EXPECT_EQ(alphaShown, (std::vector<bool>{false, false, false, false, true}));
    EXPECT_EQ(machine.listed_, (std::vector<std::wstring>{L"c:\\Alpha\\", L"c:\\Gamma\\", L"c:\\Alpha\\Beta\\",
                                                          L"c:\\Alpha\\Beta\\X\\", L"c:\\Alpha\\Beta\\Y\\"}));
    EXPECT_TRUE(messages.shown.empty());
}

// A listing stopped after it handed over a part: what the part added goes, the tree's
// redraw hold is let go once, and nothing is said, not even about a name the part could
// not add.
TEST(StoppedListing, AfterOnePartLeavesTheNodeUnreadWithoutAWordAndTheHoldBalanced) {
    class StoppedAfterOnePart final : public FolderLister {
    public:
        explicit StoppedAfterOnePart(MemoryMachine& machine) : machine_(machine) {}
        FolderListing List(std::wstring_view folder) override { return machine_.List(folder); }
        FolderListing ListInParts(std::wstring_view folder, const ListingPart& onPart) override {
            if (folder != L"c:\\Alpha\\") return machine_.ListInParts(folder, onPart);
            // Two names that differ only in letter case: the second cannot be added.
            std::vector<std::wstring> part{L"c:\\Alpha\\Eins", L"c:\\Alpha\\EINS"};
            onPart(part);
            return FolderListing::Stopped();
        }

    private:
        MemoryMachine& machine_;
    };
    MemoryTree tree;
    MemoryMachine machine;
    RecordingMessages messages;
    machine.AddDrive(L'c', kDriveFixed);
    machine.AddFolder(L"c:\\Alpha\\Eins");
    StoppedAfterOnePart lister(machine);
    FolderTreeLogic logic(tree, machine, lister, messages, PortableLowerCase);
    logic.Create();
    ASSERT_EQ(tree.updateDepth(), 0);

    logic.OnNodeClick(tree.Find(L"c:\\alpha"));
    EXPECT_EQ(tree.updateDepth(), 0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(tree.HasChildren(tree.Find(L"c:\\alpha")));
    EXPECT_EQ(tree.Find(L"c:\\alpha\\eins"), kNoNode);
}

}  // namespace
}  // namespace ovaro::folders::testing
