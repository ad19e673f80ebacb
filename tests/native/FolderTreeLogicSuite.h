#pragma once
// The folder tree's behaviour, checked against any tree implementation: the in-memory
// tree natively, the platform's tree view under Wine. Drives and folders come from an
// in-memory machine. TypeParam holds a tree: `TreeNodes& tree()`.

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "FolderTreeLogic.h"
#include "ForwardingTreeNodes.h"
#include "MemoryFolderTree.h"

namespace ovaro::folders::testing {

// Passes every call on and notes what the logic asked of the tree.
class RecordingTree final : public ForwardingTreeNodes {
public:
    explicit RecordingTree(TreeNodes& inner) : ForwardingTreeNodes(inner) {}
    void Select(NodeHandle n) override {
        selects.push_back(n);
        ForwardingTreeNodes::Select(n);
    }
    void Expand(NodeHandle n) override {
        expands.push_back(n);
        ForwardingTreeNodes::Expand(n);
    }
    void EnsureVisible(NodeHandle n) override {
        shown.push_back(n);
        ForwardingTreeNodes::EnsureVisible(n);
    }
    void BeginUpdate() override {
        ++depth;
        ForwardingTreeNodes::BeginUpdate();
    }
    void EndUpdate() override {
        --depth;
        ForwardingTreeNodes::EndUpdate();
    }
    std::size_t RowsShowing() const override { return rows; }
    void SetExpandable(NodeHandle n, bool expandable) override {
        notExpandable[n] = !expandable;
        ForwardingTreeNodes::SetExpandable(n, expandable);
    }
    bool ShowsButton(NodeHandle n) const {
        const auto it = notExpandable.find(n);
        return HasChildren(n) || it == notExpandable.end() || !it->second;
    }

    std::vector<NodeHandle> selects, expands, shown;
    int depth = 0;
    std::size_t rows = std::numeric_limits<std::size_t>::max();
    std::map<NodeHandle, bool> notExpandable;
};

// Notes the update depth at each message, so a message under held redraw shows.
class DepthCheckingMessages final : public MessageSink {
public:
    explicit DepthCheckingMessages(const RecordingTree& tree) : tree_(tree) {}
    void Show(std::wstring_view text, MessageStyle style) override {
        shown.push_back({std::wstring(text), style});
        if (tree_.depth != 0) ++shownWhileHeld;
    }
    std::vector<ShownMessage> shown;
    int shownWhileHeld = 0;

private:
    const RecordingTree& tree_;
};

template <class Holder>
class FolderTreeLogicSuite : public ::testing::Test {
protected:
    FolderTreeLogicSuite() {
        logic_.PathChanged = [this](const std::wstring& p) { events_.push_back(p); };
    }

    // a: floppy, c: disk, d: CD-ROM without disc, e: USB stick, z: network.
    void TypicalMachine() {
        m_.AddDrive(L'a', kDriveRemovable, false);
        m_.AddDrive(L'C', kDriveFixed);
        m_.AddDrive(L'd', kDriveCdRom, false);
        m_.AddDrive(L'e', kDriveRemovable);
        m_.AddDrive(L'z', kDriveRemote);
        m_.AddFolder(L"c:\\Program Files\\Common Files\\System");
        m_.AddFolder(L"c:\\Windows\\System32\\drivers");
        m_.AddFolder(L"c:\\Windows\\Temp");
        m_.AddFolder(L"c:\\Temp");
        m_.AddFolder(L"e:\\Fotos");
        m_.AddFolder(L"z:\\Austausch");
    }

    NodeHandle Node(const std::wstring& key) const { return rec_.Find(key); }
    std::vector<std::wstring> ChildTexts(NodeHandle n) const {
        std::vector<std::wstring> out;
        for (auto c = rec_.FirstChild(n); c != kNoNode; c = rec_.NextSibling(c)) out.push_back(rec_.Text(c));
        return out;
    }
    std::vector<std::wstring> Events() { return std::exchange(events_, {}); }

    Holder holder_;
    RecordingTree rec_{holder_.tree()};
    MemoryMachine m_;
    DepthCheckingMessages msgs_{rec_};
    FolderTreeLogic logic_{rec_, m_, m_, msgs_, PortableLowerCase};
    std::vector<std::wstring> events_;
};

TYPED_TEST_SUITE_P(FolderTreeLogicSuite);

TYPED_TEST_P(FolderTreeLogicSuite, CreationShowsDrivesInListOrderAndReadsOnlyHardDisks) {
    this->m_.AddDrive(L'B', kDriveRemovable);
    this->TypicalMachine();
    this->m_.AddDrive(L'r', kDriveRamDisk);
    this->m_.AddDrive(L'u', kDriveUnknown);
    this->m_.AddFolder(L"r:\\Puffer");
    this->logic_.Create();
    auto& t = this->rec_;

    const auto root = this->logic_.Root();
    EXPECT_EQ(t.Text(root), L"Arbeitsplatz");
    EXPECT_EQ(t.PictureOf(root), Picture::Computer);
    EXPECT_TRUE(t.IsExpanded(root));
    EXPECT_EQ(this->ChildTexts(root),
              (std::vector<std::wstring>{L"b:", L"a:", L"c:", L"d:", L"e:", L"z:", L"r:", L"u:"}));
    const std::pair<const wchar_t*, Picture> pictures[] = {{L"a:", Picture::Floppy},    {L"b:", Picture::Floppy},
                                                           {L"c:", Picture::Harddisk},  {L"d:", Picture::CDRom},
                                                           {L"e:", Picture::Removable}, {L"z:", Picture::Harddisk},
                                                           {L"r:", Picture::Harddisk},  {L"u:", Picture::Harddisk}};
    for (const auto& [key, picture] : pictures) {
        const auto drive = this->Node(key);
        ASSERT_NE(drive, kNoNode) << key;
        EXPECT_EQ(t.PictureOf(drive), picture) << key;
        EXPECT_EQ(t.SelectedPictureOf(drive), picture) << key;
        EXPECT_EQ(t.Parent(drive), root);
    }
    // The drive type is asked for with the lower-case two-character name.
    EXPECT_EQ(this->m_.typeQueries_.front(), L"b:");
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:")), (std::vector<std::wstring>{L"Program Files", L"Windows", L"Temp"}));
    EXPECT_EQ(this->ChildTexts(this->Node(L"r:")), std::vector<std::wstring>{L"Puffer"});
    EXPECT_TRUE(this->ChildTexts(this->Node(L"e:")).empty());
    // Only the first level, and nothing of floppies, CD-ROMs and removable drives.
    EXPECT_EQ(this->m_.listed_, (std::vector<std::wstring>{L"c:\\", L"z:\\", L"r:\\", L"u:\\"}));
    EXPECT_EQ(t.PictureOf(this->Node(L"c:\\windows")), Picture::ClosedFolder);
    EXPECT_EQ(t.SelectedPictureOf(this->Node(L"c:\\windows")), Picture::OpenFolder);
    EXPECT_EQ(t.Selected(), kNoNode);
    EXPECT_TRUE(this->msgs_.shown.empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, UnreachableNetworkDriveTellsAtCreationAndStaysEmpty) {
    this->m_.AddDrive(L'c', kDriveFixed);
    this->m_.AddDrive(L'z', kDriveRemote, false);
    this->logic_.Create();
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0],
              (ShownMessage{L"Auf Ordner z:\\ kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.",
                            MessageStyle::Critical}));
    EXPECT_FALSE(this->rec_.HasChildren(this->Node(L"z:")));
}

TYPED_TEST_P(FolderTreeLogicSuite, ADriveListWithoutTerminatorGivesOnlyTheRoot) {
    this->m_.SetRawDriveList(L"c:\\");  // no NUL at all: the list was not filled
    this->logic_.Create();
    EXPECT_EQ(this->rec_.ChildCount(this->logic_.Root()), 0u);
    EXPECT_TRUE(this->m_.listed_.empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, OtherReadFailuresShowThePlatformText) {
    this->m_.AddDrive(L'c', kDriveFixed);
    this->m_.Fail(L"c:\\", false, L"Zugriff verweigert");
    this->logic_.Create();
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0],
              (ShownMessage{L"Fehler beim Lesen des Ordners aufgetreten: Zugriff verweigert", MessageStyle::Critical}));
}

TYPED_TEST_P(FolderTreeLogicSuite, FolderKeysAreLowerCasePathsAndTextsKeepTheListedCase) {
    this->TypicalMachine();
    this->logic_.Create();
    const auto pf = this->Node(L"c:\\program files");
    ASSERT_NE(pf, kNoNode);
    EXPECT_EQ(this->rec_.Text(pf), L"Program Files");
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->m_.ListCount(L"c:\\Program Files\\"), 1);
    const auto cf = this->Node(L"c:\\program files\\common files");
    ASSERT_NE(cf, kNoNode);
    EXPECT_EQ(this->rec_.Text(cf), L"Common Files");
    EXPECT_EQ(this->logic_.VollerPfad(cf), L"c:\\Program Files\\Common Files\\");
    EXPECT_EQ(this->logic_.VollerPfad(this->Node(L"c:")), L"c:\\");
    EXPECT_EQ(this->logic_.VollerPfad(this->logic_.Root()), L"Arbeitsplatz\\");
    EXPECT_EQ(this->logic_.VollerPfad(kNoNode), L"\\");
}

TYPED_TEST_P(FolderTreeLogicSuite, ExpandReadsOneLevelAheadAndOnlyChildlessNodesAgain) {
    this->TypicalMachine();
    this->logic_.Create();
    this->logic_.OnExpand(this->logic_.Root());
    EXPECT_EQ(this->m_.listed_.size(), 2u);  // c: and z: at creation; the root reads nothing

    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\windows")), (std::vector<std::wstring>{L"System32", L"Temp"}));
    EXPECT_EQ(this->m_.ListCount(L"c:\\Temp\\"), 1);
    // Collapse and expand again: Temp has no sub-folders and is listed again; the others not.
    this->logic_.OnCollapse(this->Node(L"c:"));
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->m_.ListCount(L"c:\\Temp\\"), 2);
    EXPECT_EQ(this->m_.ListCount(L"c:\\Windows\\"), 1);
    EXPECT_EQ(this->m_.ListCount(L"c:\\Program Files\\"), 1);
    EXPECT_EQ(this->rec_.ChildCount(this->Node(L"c:\\windows")), 2u);
    EXPECT_EQ(this->rec_.depth, 0);
    EXPECT_TRUE(this->msgs_.shown.empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, ChildrenThatCannotBeReadEachTellAndAreReadAgain) {
    this->TypicalMachine();
    this->m_.Fail(L"c:\\program files\\", false, L"Eins");
    this->m_.Fail(L"c:\\temp\\", false, L"Zwei");
    this->logic_.Create();
    this->logic_.OnExpand(this->Node(L"c:"));
    ASSERT_EQ(this->msgs_.shown.size(), 2u);
    EXPECT_EQ(this->msgs_.shown[0].text, L"Fehler beim Lesen des Ordners aufgetreten: Eins");
    EXPECT_EQ(this->msgs_.shown[1].text, L"Fehler beim Lesen des Ordners aufgetreten: Zwei");
    this->m_.Heal(L"c:\\program files\\");
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->msgs_.shown.size(), 3u);  // Temp fails again
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\program files")), std::vector<std::wstring>{L"Common Files"});
}

TYPED_TEST_P(FolderTreeLogicSuite, AFailureHalfWayKeepsWhatWasAddedAndIsNotReadAgain) {
    this->m_.AddDrive(L'c', kDriveFixed);
    this->m_.AddFolder(L"c:\\Daten\\Alt");
    this->m_.AddRawEntry(L"c:\\daten\\", L"Neu");
    this->m_.AddRawEntry(L"c:\\daten\\", L"ALT");  // same key as Alt on a case-sensitive disk
    this->m_.AddRawEntry(L"c:\\daten\\", L"Zuletzt");
    this->logic_.Create();
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\daten")), (std::vector<std::wstring>{L"Alt", L"Neu"}));
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0].style, MessageStyle::Ok);
    EXPECT_EQ(this->msgs_.shown[0].text.rfind(L"Beim Einlesen des Verzeichnisses ist ein Fehler aufgetreten: ", 0), 0u);
    EXPECT_EQ(this->msgs_.shownWhileHeld, 0);
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_EQ(this->m_.ListCount(L"c:\\Daten\\"), 1);
    EXPECT_EQ(this->msgs_.shown.size(), 1u);
}

TYPED_TEST_P(FolderTreeLogicSuite, AListingInPartsAddsAsAWholeOneAndOneThatBreaksOffAddsNothing) {
    this->TypicalMachine();
    this->m_.AddFolder(L"c:\\Windows\\Fonts");
    for (int year = 2020; year <= 2024; ++year) this->m_.AddFolder(L"c:\\Daten\\Jahr" + std::to_wstring(year));
    this->m_.partSize_ = 2;
    this->m_.BreakOff(L"c:\\Windows\\", L"Der angegebene Netzwerkname ist nicht mehr verf\u00fcgbar.");
    this->logic_.Create();
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:")),
              (std::vector<std::wstring>{L"Program Files", L"Windows", L"Temp", L"Daten"}));
    this->logic_.SetPath(L"c:\\");
    // Daten came in three parts, in order; Windows handed over System32 and Temp, then broke off.
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\daten")),
              (std::vector<std::wstring>{L"Jahr2020", L"Jahr2021", L"Jahr2022", L"Jahr2023", L"Jahr2024"}));
    EXPECT_EQ(this->Node(L"c:\\daten\\jahr2024"), this->rec_.NextSibling(this->Node(L"c:\\daten\\jahr2023")));
    EXPECT_FALSE(this->rec_.HasChildren(this->Node(L"c:\\windows")));
    EXPECT_EQ(this->Node(L"c:\\windows\\system32"), kNoNode);
    EXPECT_EQ(this->Node(L"c:\\windows\\temp"), kNoNode);
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0], (ShownMessage{L"Fehler beim Lesen des Ordners aufgetreten: Der angegebene "
                                                  L"Netzwerkname ist nicht mehr verf\u00fcgbar.",
                                                  MessageStyle::Critical}));
    EXPECT_EQ(this->msgs_.shownWhileHeld, 0);
    EXPECT_EQ(this->rec_.depth, 0);
    // The node stays unread and is read whole at its next occasion.
    this->m_.Mend(L"c:\\Windows\\");
    this->logic_.OnNodeClick(this->Node(L"c:\\windows"));
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\windows")),
              (std::vector<std::wstring>{L"System32", L"Temp", L"Fonts"}));
    EXPECT_NE(this->Node(L"c:\\windows\\system32"), kNoNode);
    EXPECT_EQ(this->msgs_.shown.size(), 1u);
}

TYPED_TEST_P(FolderTreeLogicSuite, PathWalkSelectsExpandsAndShowsTheDeepestNode) {
    this->TypicalMachine();
    this->logic_.Create();
    for (const wchar_t* written : {L"C:\\Windows\\", L"c:\\windows", L"c:\\\\windows", L"C:\\WINDOWS\\\\"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(written)));
        this->rec_.selects.clear();
        this->rec_.shown.clear();
        this->logic_.SetPath(written);
        const auto win = this->Node(L"c:\\windows");
        EXPECT_EQ(this->rec_.selects, (std::vector<NodeHandle>{this->Node(L"c:"), win}));
        EXPECT_EQ(this->rec_.Selected(), win);
        EXPECT_TRUE(this->rec_.IsExpanded(this->Node(L"c:")));
        EXPECT_TRUE(this->rec_.IsExpanded(win));
        EXPECT_EQ(this->rec_.shown, std::vector<NodeHandle>{win});
        EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Windows\\"});
        EXPECT_EQ(this->logic_.Path(), L"c:\\Windows\\");
    }
    this->logic_.SetPath(L"C:\\WINDOWS\\SYSTEM32\\DRIVERS");
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Windows\\System32\\drivers\\"});
    for (const wchar_t* written : {L"C:", L"C:\\"}) {
        this->rec_.shown.clear();
        this->logic_.SetPath(written);
        EXPECT_EQ(this->rec_.shown, std::vector<NodeHandle>{this->Node(L"c:")});
        EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\"});
    }
}

TYPED_TEST_P(FolderTreeLogicSuite, PathWalkThatEndsEarlyKeepsTheDeepestFoundNodeUnscrolled) {
    this->TypicalMachine();
    this->logic_.Create();
    for (const wchar_t* written : {L"c:\\windows\\gibtsnicht", L"c:\\windows\\..\\temp", L"c:\\Windows\\System32.\\"}) {
        this->rec_.shown.clear();
        this->logic_.SetPath(written);
        EXPECT_EQ(this->rec_.Selected(), this->Node(L"c:\\windows"));
        EXPECT_TRUE(this->rec_.IsExpanded(this->Node(L"c:\\windows")));
        EXPECT_TRUE(this->rec_.shown.empty());
        EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Windows\\"});
    }
    // A CD-ROM drive not yet read: the walk stops at the drive, which is not read either.
    this->logic_.SetPath(L"d:\\daten");
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"d:\\"});
    EXPECT_EQ(this->m_.ListCount(L"d:\\"), 0);
    EXPECT_TRUE(this->msgs_.shown.empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, PathsThatFindNothingOnAFreshTreeChangeNothing) {
    this->TypicalMachine();
    this->logic_.Create();
    for (const wchar_t* written : {L"", L"q:\\daten", L"\\\\server\\freigabe", L"\\", L"c:/windows", L"Arbeitsplatz"}) {
        this->logic_.SetPath(written);
        EXPECT_EQ(this->rec_.Selected(), kNoNode) << ::testing::PrintToString(std::wstring(written));
    }
    EXPECT_TRUE(this->Events().empty());
    EXPECT_EQ(this->logic_.Path(), L"");
    EXPECT_EQ(this->logic_.SelectedPath(), L"\\");
    EXPECT_TRUE(this->rec_.shown.empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, PathsThatFindNothingReportTheNodeSelectedBefore) {
    this->TypicalMachine();
    this->logic_.Create();
    this->logic_.SetPath(L"c:\\temp");
    this->Events();
    this->rec_.shown.clear();
    // The UNC path's first, empty part expands the selected node, then "server" is missing.
    this->logic_.SetPath(L"\\\\server\\freigabe");
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Temp\\"});
    EXPECT_TRUE(this->rec_.shown.empty());
    // "\" alone has no parts: the selected node is scrolled into view and reported.
    this->logic_.SetPath(L"\\");
    EXPECT_EQ(this->rec_.shown, std::vector<NodeHandle>{this->Node(L"c:\\temp")});
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Temp\\"});
    this->logic_.SetPath(L"");
    EXPECT_TRUE(this->Events().empty());
}

TYPED_TEST_P(FolderTreeLogicSuite, UnicodeNamesAreFoundWhateverTheirCase) {
    this->m_.AddDrive(L'm', kDriveFixed);
    this->m_.AddFolder(L"m:\\\u00dcbersicht \u0394\u03b5\u03bb\u03c4\u03b1\\\u0414\u0430\u043d\u043d\u044b\u0435");
    this->logic_.Create();
    this->logic_.SetPath(L"M:\\\u00fcBERSICHT \u03b4\u0395\u039b\u03a4\u0391\\\u0434\u0410\u041d\u041d\u042b\u0415");
    EXPECT_EQ(this->Events(),
              std::vector<std::wstring>{
                  L"m:\\\u00dcbersicht \u0394\u03b5\u03bb\u03c4\u03b1\\\u0414\u0430\u043d\u043d\u044b\u0435\\"});
}

TYPED_TEST_P(FolderTreeLogicSuite, ClicksReadTheNodeAndAlwaysReport) {
    this->TypicalMachine();
    this->logic_.Create();
    const auto d = this->Node(L"d:");
    this->logic_.OnNodeClick(d);
    this->logic_.OnNodeClick(d);
    EXPECT_EQ(this->Events(), (std::vector<std::wstring>{L"d:\\", L"d:\\"}));
    ASSERT_EQ(this->msgs_.shown.size(), 2u);
    EXPECT_EQ(this->msgs_.shown[1],
              (ShownMessage{L"Auf Ordner d:\\ kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.",
                            MessageStyle::Critical}));
    // A disc goes in: the next click adds its first level.
    this->m_.Heal(L"d:\\");
    this->m_.AddFolder(L"d:\\Setup");
    this->logic_.OnNodeClick(d);
    EXPECT_EQ(this->ChildTexts(d), std::vector<std::wstring>{L"Setup"});
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"d:\\"});
    // A click does not select: the tree or the user did that.
    EXPECT_TRUE(this->rec_.selects.empty());

    const auto e = this->Node(L"e:");
    this->logic_.OnNodeClick(e);
    EXPECT_EQ(this->ChildTexts(e), std::vector<std::wstring>{L"Fotos"});

    this->rec_.Select(this->logic_.Root());
    this->logic_.OnNodeClick(this->logic_.Root());
    EXPECT_EQ(this->Events(), (std::vector<std::wstring>{L"e:\\", L"Arbeitsplatz\\"}));
    EXPECT_EQ(this->logic_.Path(), L"Arbeitsplatz\\");
    EXPECT_EQ(this->logic_.SelectedPath(), L"Arbeitsplatz\\");
}

TYPED_TEST_P(FolderTreeLogicSuite, CollapseReportsTheSelectionAndKeepsTheNodes) {
    this->TypicalMachine();
    this->logic_.Create();
    this->logic_.OnCollapse(this->Node(L"c:"));
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"\\"});
    this->logic_.SetPath(L"c:\\windows\\system32");
    this->Events();
    const auto before = this->rec_.ChildCount(this->Node(L"c:\\windows"));
    this->logic_.OnCollapse(this->Node(L"c:"));
    EXPECT_EQ(this->Events(), std::vector<std::wstring>{L"c:\\Windows\\System32\\"});
    EXPECT_EQ(this->rec_.ChildCount(this->Node(L"c:\\windows")), before);
}

// A tree of two rows reads the two children that show within the expansion and the rest
// afterwards: the same tree and the same messages, in the tree's order, as reading all.
TYPED_TEST_P(FolderTreeLogicSuite, AWindowOfRowsReadsWhatShowsFirstAndTheRestLaterToTheSameTree) {
    auto& m = this->m_;
    auto& t = this->rec_;
    m.AddDrive(L'c', kDriveFixed);
    for (const wchar_t* f : {L"c:\\Daten\\Eins\\X", L"c:\\Daten\\Zwei", L"c:\\Daten\\Drei\\Y", L"c:\\Daten\\Vier",
                             L"c:\\Daten\\Fuenf"})
        m.AddFolder(f);
    m.Fail(L"c:\\daten\\zwei\\", false, L"Zwei kaputt");
    m.Fail(L"c:\\daten\\vier\\", false, L"Vier kaputt");
    t.rows = 2;
    this->logic_.Create();
    this->logic_.OnExpand(this->Node(L"c:"));
    EXPECT_TRUE(this->logic_.OnExpand(this->Node(L"c:\\daten")));
    EXPECT_EQ(m.listed_, (std::vector<std::wstring>{L"c:\\", L"c:\\Daten\\", L"c:\\Daten\\Eins\\", L"c:\\Daten\\Zwei\\"}));
    // Only what shows is announced within the expansion; the rest once it is over.
    EXPECT_EQ(m.prefetched_.back(), (std::vector<std::wstring>{L"c:\\Daten\\Eins\\", L"c:\\Daten\\Zwei\\"}));
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0].text, L"Fehler beim Lesen des Ordners aufgetreten: Zwei kaputt");
    // Unread is not empty: Drei still shows that it opens; Zwei, which cannot be read, not.
    EXPECT_TRUE(t.ShowsButton(this->Node(L"c:\\daten\\drei")));
    EXPECT_FALSE(t.ShowsButton(this->Node(L"c:\\daten\\zwei")));
    EXPECT_TRUE(this->logic_.HasBackgroundReads());

    EXPECT_FALSE(this->logic_.ReadOnInBackground([] { return false; }));
    EXPECT_EQ(m.prefetched_.back(),
              (std::vector<std::wstring>{L"c:\\Daten\\Drei\\", L"c:\\Daten\\Vier\\", L"c:\\Daten\\Fuenf\\"}));
    EXPECT_EQ(std::vector<std::wstring>(m.listed_.begin() + 4, m.listed_.end()),
              (std::vector<std::wstring>{L"c:\\Daten\\Drei\\", L"c:\\Daten\\Vier\\", L"c:\\Daten\\Fuenf\\"}));
    ASSERT_EQ(this->msgs_.shown.size(), 2u);
    EXPECT_EQ(this->msgs_.shown[1].text, L"Fehler beim Lesen des Ordners aufgetreten: Vier kaputt");
    EXPECT_EQ(this->ChildTexts(this->Node(L"c:\\daten\\drei")), std::vector<std::wstring>{L"Y"});
    EXPECT_FALSE(t.ShowsButton(this->Node(L"c:\\daten\\fuenf")));  // read, and empty
    EXPECT_FALSE(this->logic_.HasBackgroundReads());
    EXPECT_EQ(this->msgs_.shownWhileHeld, 0);
    EXPECT_EQ(t.depth, 0);
}

// The walk reads the folders around the one it goes to; what scrolls into view is read
// before the rest, which still comes in in the tree's order.
TYPED_TEST_P(FolderTreeLogicSuite, AWalkReadsAroundItsFolderAndWhatScrollsIntoViewGoesFirst) {
    auto& m = this->m_;
    auto& t = this->rec_;
    m.AddDrive(L'c', kDriveFixed);
    for (int i = 0; i < 10; ++i) m.AddFolder(L"c:\\Weit\\N" + std::to_wstring(i));
    m.AddFolder(L"c:\\Weit\\N5\\Ziel");
    for (int i : {0, 1, 2, 3, 7, 8, 9}) m.held_.insert(L"c:\\weit\\n" + std::to_wstring(i) + L"\\");
    t.rows = 1;
    this->logic_.Create();
    this->logic_.SetPath(L"c:\\Weit\\N5");
    EXPECT_EQ(t.Selected(), this->Node(L"c:\\weit\\n5"));
    EXPECT_EQ(m.listed_, (std::vector<std::wstring>{L"c:\\", L"c:\\Weit\\", L"c:\\Weit\\N4\\", L"c:\\Weit\\N5\\",
                                                     L"c:\\Weit\\N6\\", L"c:\\Weit\\N5\\Ziel\\"}));
    EXPECT_TRUE(this->logic_.ReadOnInBackground([] { return false; }));  // all still being read
    EXPECT_EQ(m.listed_.size(), 6u);

    this->logic_.ShowingNow({this->Node(L"c:\\weit\\n6"), this->Node(L"c:\\weit\\n8"), this->Node(L"c:\\weit\\n9")});
    EXPECT_EQ(m.hurried_.back(), (std::vector<std::wstring>{L"c:\\Weit\\N8\\", L"c:\\Weit\\N9\\"}));
    m.held_.clear();
    EXPECT_FALSE(this->logic_.ReadOnInBackground([] { return false; }));
    EXPECT_EQ(std::vector<std::wstring>(m.listed_.begin() + 6, m.listed_.end()),
              (std::vector<std::wstring>{L"c:\\Weit\\N8\\", L"c:\\Weit\\N9\\", L"c:\\Weit\\N0\\", L"c:\\Weit\\N1\\",
                                         L"c:\\Weit\\N2\\", L"c:\\Weit\\N3\\", L"c:\\Weit\\N7\\"}));
    EXPECT_TRUE(this->msgs_.shown.empty());
}

// Esc in the middle of an expansion: the node does not open as if empty, what was not read
// still shows that it opens, nothing is told, and the next expansion reads the rest.
TYPED_TEST_P(FolderTreeLogicSuite, AStopLeavesTheRestUnreadWithTheirButtonsAndTheNodeClosed) {
    auto& m = this->m_;
    auto& t = this->rec_;
    m.AddDrive(L'c', kDriveFixed);
    for (const wchar_t* f : {L"c:\\Daten\\Eins\\X", L"c:\\Daten\\Zwei", L"c:\\Daten\\Drei\\Y"}) m.AddFolder(f);
    m.Fail(L"c:\\daten\\drei\\", false, L"Drei kaputt");
    this->logic_.Create();
    this->logic_.OnExpand(this->Node(L"c:"));
    m.stopAt_ = L"c:\\daten\\zwei\\";
    this->logic_.ExpandFromCode(this->Node(L"c:\\daten"));
    EXPECT_FALSE(t.IsExpanded(this->Node(L"c:\\daten")));
    EXPECT_TRUE(t.ShowsButton(this->Node(L"c:\\daten\\zwei")));
    EXPECT_TRUE(t.ShowsButton(this->Node(L"c:\\daten\\drei")));
    EXPECT_FALSE(this->logic_.ReadOnInBackground([] { return false; }));
    EXPECT_TRUE(this->msgs_.shown.empty());
    EXPECT_EQ(m.ListCount(L"c:\\Daten\\Drei\\"), 0);

    m.dropped_ = false;
    this->logic_.ExpandFromCode(this->Node(L"c:\\daten"));
    EXPECT_TRUE(t.IsExpanded(this->Node(L"c:\\daten")));
    EXPECT_EQ(m.ListCount(L"c:\\Daten\\Eins\\"), 1);
    EXPECT_EQ(m.ListCount(L"c:\\Daten\\Zwei\\"), 2);
    ASSERT_EQ(this->msgs_.shown.size(), 1u);
    EXPECT_EQ(this->msgs_.shown[0].text, L"Fehler beim Lesen des Ordners aufgetreten: Drei kaputt");
    EXPECT_FALSE(t.ShowsButton(this->Node(L"c:\\daten\\zwei")));
    EXPECT_EQ(t.depth, 0);
}

REGISTER_TYPED_TEST_SUITE_P(
    FolderTreeLogicSuite, CreationShowsDrivesInListOrderAndReadsOnlyHardDisks,
    UnreachableNetworkDriveTellsAtCreationAndStaysEmpty, ADriveListWithoutTerminatorGivesOnlyTheRoot,
    OtherReadFailuresShowThePlatformText, FolderKeysAreLowerCasePathsAndTextsKeepTheListedCase,
    ExpandReadsOneLevelAheadAndOnlyChildlessNodesAgain, ChildrenThatCannotBeReadEachTellAndAreReadAgain,
    AFailureHalfWayKeepsWhatWasAddedAndIsNotReadAgain, AListingInPartsAddsAsAWholeOneAndOneThatBreaksOffAddsNothing,
    PathWalkSelectsExpandsAndShowsTheDeepestNode, PathWalkThatEndsEarlyKeepsTheDeepestFoundNodeUnscrolled,
    PathsThatFindNothingOnAFreshTreeChangeNothing, PathsThatFindNothingReportTheNodeSelectedBefore,
    UnicodeNamesAreFoundWhateverTheirCase, ClicksReadTheNodeAndAlwaysReport,
    CollapseReportsTheSelectionAndKeepsTheNodes, AWindowOfRowsReadsWhatShowsFirstAndTheRestLaterToTheSameTree,
    AWalkReadsAroundItsFolderAndWhatScrollsIntoViewGoesFirst, AStopLeavesTheRestUnreadWithTheirButtonsAndTheNodeClosed);

}  // namespace ovaro::folders::testing
