// The folder tree on the platform's tree view under Wine: the same contract and
// behaviour checks as natively, then the real control on the test prefix's drives
// (a: floppy and r: CD-ROM without medium, n: unreachable network drive, m: hard disk).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "ExpectedTexts.h"
#include "FolderTreeLogicSuite.h"
#include "MemoryFolderTree.h"
#include "MessageBoxWatcher.h"
#include "OvaroFolderTreeView.h"
#include "TestSupport.h"
#include "TreeNodesContract.h"
#include "Win32FolderSources.h"
#include "Win32TreeNodes.h"

namespace ovaro::folders::testing {
namespace {

using ovaro::testing::PumpPosted;
using ovaro::testing::PumpUntil;

HWND MakeHost(DWORD style = WS_OVERLAPPEDWINDOW) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    return CreateWindowExW(0, L"STATIC", L"Host", style, 50, 50, 500, 600, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

// A real tree view in a hidden window that is never shown.
struct Win32TreeHolder {
    Win32TreeHolder()
        : host_(MakeHost(WS_POPUP)),
          window_(CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES, 0, 0,
                                  300, 400, host_, nullptr, GetModuleHandleW(nullptr), nullptr)),
          nodes_(window_) {}
    ~Win32TreeHolder() { DestroyWindow(host_); }
    TreeNodes& tree() { return nodes_; }
    HWND host_;
    HWND window_;
    Win32TreeNodes nodes_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, TreeNodesContract, Win32TreeHolder);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FolderTreeLogicSuite, Win32TreeHolder);

const std::wstring kLong = L"Lang_" + std::wstring(120, L'x');
const std::wstring kUnicode =
    L"\u00dcn\u00efc\u00f6d\u00e9 \u65e5\u672c \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";
const std::wstring kNotReadyN = ovaro::testing::NotReadyText(L"n:\\");

TEST(Win32FolderLister, ListsOnlyFoldersWithTheirNamesAsStored) {
    Win32FolderLister lister;
    const auto listing = lister.List(L"m:\\");
    ASSERT_FALSE(listing.failure) << ::testing::PrintToString(listing.failure->description);
    const std::set<std::wstring> got(listing.subFolders.begin(), listing.subFolders.end());
    const std::set<std::wstring> want{L"m:\\Alpha",       L"m:\\beta",    L"m:\\MiXeD CaSe",
                                      L"m:\\" + kUnicode, L"m:\\Doppelt", L"m:\\" + kLong};
    EXPECT_EQ(got, want);
    // The path is echoed as given, in its letter case, so the names can be cut off it.
    auto alpha = lister.List(L"M:\\ALPHA\\").subFolders;
    std::sort(alpha.begin(), alpha.end());
    EXPECT_EQ(alpha, (std::vector<std::wstring>{L"M:\\ALPHA\\Eins", L"M:\\ALPHA\\Zwei"}));
    const auto empty = lister.List(L"m:\\beta\\");
    EXPECT_FALSE(empty.failure);
    EXPECT_TRUE(empty.subFolders.empty());
}

// Both ways of reading hand over every part, the last short one too.
TEST(Win32FolderLister, BothWaysHandOverEveryPart) {
    for (const ListingWay way : {ListingWay::ByHandle, ListingWay::BySearch}) {
        std::set<std::wstring> got;
        std::size_t parts = 0;
        const auto listing = ReadFolderInParts(
            L"m:\\",
            [&](std::vector<std::wstring>& part) {
                ++parts;
                got.insert(part.begin(), part.end());
            },
            4, way);
        EXPECT_FALSE(listing.failure) << static_cast<int>(way);
        EXPECT_EQ(parts, 2u) << static_cast<int>(way);
        EXPECT_EQ(got, (std::set<std::wstring>{L"m:\\Alpha", L"m:\\beta", L"m:\\MiXeD CaSe", L"m:\\" + kUnicode,
                                               L"m:\\Doppelt", L"m:\\" + kLong}))
            << static_cast<int>(way);
    }
}

TEST(Win32FolderLister, ListsBeyondMaxPath) {
    Win32FolderLister lister;
    const std::wstring deep = L"m:\\" + kLong + L"\\" + kLong + L"\\" + kLong + L"\\";
    ASSERT_GT(deep.size() + 5, static_cast<std::size_t>(MAX_PATH));
    const auto ziel = lister.List(deep);
    ASSERT_FALSE(ziel.failure) << ::testing::PrintToString(ziel.failure->description);
    EXPECT_EQ(ziel.subFolders, std::vector<std::wstring>{deep + L"Ziel"});
    EXPECT_EQ(lister.List(deep + L"Ziel\\").subFolders, std::vector<std::wstring>{deep + L"Ziel\\Tiefer"});
    EXPECT_EQ(ListingForm(deep), L"\\\\?\\" + deep);
    EXPECT_EQ(ListingForm(L"c:\\Windows\\"), L"\\\\?\\c:\\Windows\\");
    EXPECT_EQ(ListingForm(L"\\\\srv\\share\\" + kLong + L"\\" + kLong + L"\\"),
              L"\\\\?\\UNC\\srv\\share\\" + kLong + L"\\" + kLong + L"\\");
}

TEST(Win32FolderLister, TellsMissingDrivesApartFromMissingFolders) {
    Win32FolderLister lister;
    for (const wchar_t* drive : {L"a:\\", L"r:\\", L"n:\\", L"q:\\"}) {
        const auto listing = lister.List(drive);
        ASSERT_TRUE(listing.failure) << ::testing::PrintToString(std::wstring(drive));
        EXPECT_TRUE(listing.failure->driveNotAvailable) << ::testing::PrintToString(std::wstring(drive));
        EXPECT_FALSE(listing.failure->description.empty());
    }
    for (const wchar_t* folder : {L"m:\\gibtsnicht\\", L"Arbeitsplatz\\", L"m:\\datei.txt\\"}) {
        const auto listing = lister.List(folder);
        ASSERT_TRUE(listing.failure) << ::testing::PrintToString(std::wstring(folder));
        EXPECT_FALSE(listing.failure->driveNotAvailable) << ::testing::PrintToString(std::wstring(folder));
    }
}

TEST(Win32FolderLister, ErrorMappingNamesDeviceAndNetworkFailuresOnly) {
    for (DWORD e : {ERROR_NOT_READY, ERROR_INVALID_DRIVE, ERROR_DEV_NOT_EXIST, ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME,
                    ERROR_NETNAME_DELETED})
        EXPECT_TRUE(IsDriveNotAvailable(e, L"c:\\daten\\")) << e;
    EXPECT_TRUE(IsDriveNotAvailable(ERROR_PATH_NOT_FOUND, L"d:\\"));
    EXPECT_FALSE(IsDriveNotAvailable(ERROR_PATH_NOT_FOUND, L"d:\\daten\\"));
    EXPECT_FALSE(IsDriveNotAvailable(ERROR_ACCESS_DENIED, L"d:\\"));
    EXPECT_FALSE(IsDriveNotAvailable(ERROR_DIRECTORY, L"d:\\x\\"));
}

TEST(Win32Sources, DriveListAndTypesOfTheTestDrives) {
    Win32DriveSource drives;
    const std::wstring list = drives.LogicalDriveStrings();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list.substr(list.size() - 2), std::wstring(2, L'\0'));
    for (const wchar_t* root : {L"a:\\", L"m:\\", L"n:\\", L"r:\\"})
        EXPECT_NE(Win32LowerCase(list).find(std::wstring(root) + L'\0'), std::wstring::npos) << root;
    EXPECT_EQ(drives.DriveTypeOf(L"a:"), static_cast<unsigned>(DRIVE_REMOVABLE));
    EXPECT_EQ(drives.DriveTypeOf(L"r:"), static_cast<unsigned>(DRIVE_CDROM));
    EXPECT_EQ(drives.DriveTypeOf(L"m:"), static_cast<unsigned>(DRIVE_FIXED));
    EXPECT_EQ(Win32LowerCase(L"M:\\\u00dcBER \u0394\u0395\u039b\u03a4\u0386 \u0414\u0410"),
              L"m:\\\u00fcber \u03b4\u03b5\u03bb\u03c4\u03ac \u0434\u0430");
}

// The control on the test drives, with the messages recorded instead of shown.
class FolderTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = MakeHost();
        ASSERT_NE(host_, nullptr);
        RECT rc{10, 10, 410, 510};
        view_ = OvaroFolderTreeView::Create(host_, 100, rc, {nullptr, nullptr, &messages_});
        ASSERT_NE(view_, nullptr);
        view_->PathChanged = [this](const std::wstring& p) { events_.push_back(p); };
        tree_ = view_->TreeWindow();
    }
    void TearDown() override {
        view_.reset();
        if (host_) DestroyWindow(host_);
    }

    HTREEITEM Root() const { return TreeView_GetRoot(tree_); }
    std::wstring TextOf(HTREEITEM item) const { return ovaro::testing::TreeItemText(tree_, item); }
    int ImageOf(HTREEITEM item) const {
        TVITEMW it{};
        it.mask = TVIF_IMAGE;
        it.hItem = item;
        TreeView_GetItem(tree_, &it);
        return it.iImage;
    }
    HTREEITEM Child(HTREEITEM parent, const std::wstring& text) const {
        for (auto c = TreeView_GetChild(tree_, parent); c; c = TreeView_GetNextSibling(tree_, c))
            if (TextOf(c) == text) return c;
        return nullptr;
    }
    std::vector<std::wstring> Children(HTREEITEM parent) const {
        std::vector<std::wstring> out;
        for (auto c = TreeView_GetChild(tree_, parent); c; c = TreeView_GetNextSibling(tree_, c))
            out.push_back(TextOf(c));
        return out;
    }
    std::vector<std::wstring> Events() { return std::exchange(events_, {}); }

    HWND host_ = nullptr;
    HWND tree_ = nullptr;
    RecordingMessages messages_;
    std::unique_ptr<OvaroFolderTreeView> view_;
    std::vector<std::wstring> events_;
};

TEST_F(FolderTreeViewTest, DrivesStandInListOrderWithTheirPictures) {
    EXPECT_EQ(TextOf(Root()), L"Arbeitsplatz");
    EXPECT_EQ(ImageOf(Root()), static_cast<int>(Picture::Computer));
    EXPECT_TRUE(TreeView_GetItemState(tree_, Root(), TVIS_EXPANDED) & TVIS_EXPANDED);

    std::vector<std::wstring> expected;
    const std::wstring list = Win32DriveSource().LogicalDriveStrings();
    for (std::size_t i = 0; i < list.size() && list[i] != L'\0'; i = list.find(L'\0', i) + 1)
        expected.push_back(Win32LowerCase(list.substr(i, 1)) + L":");
    EXPECT_EQ(Children(Root()), expected);

    EXPECT_EQ(ImageOf(Child(Root(), L"a:")), static_cast<int>(Picture::Floppy));
    EXPECT_EQ(ImageOf(Child(Root(), L"r:")), static_cast<int>(Picture::CDRom));
    EXPECT_EQ(ImageOf(Child(Root(), L"m:")), static_cast<int>(Picture::Harddisk));
    EXPECT_EQ(ImageOf(Child(Root(), L"n:")), static_cast<int>(Picture::Harddisk));
    EXPECT_TRUE(Children(Child(Root(), L"a:")).empty());
    EXPECT_TRUE(Children(Child(Root(), L"r:")).empty());
    EXPECT_TRUE(Children(Child(Root(), L"n:")).empty());
    auto m = Children(Child(Root(), L"m:"));
    std::sort(m.begin(), m.end());
    auto want = std::vector<std::wstring>{L"Alpha", L"beta", L"MiXeD CaSe", kUnicode, L"Doppelt", kLong};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(m, want);
    // Only the unreachable network drive tells at creation.
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0], (ShownMessage{kNotReadyN, MessageStyle::Critical}));
    EXPECT_EQ(view_->Path(), L"");
    EXPECT_EQ(view_->SelectedPath(), L"\\");
}

TEST_F(FolderTreeViewTest, PathWalkFindsMixedCaseUnicodeAndLongNames) {
    messages_.shown.clear();
    view_->SetPath(L"M:\\MIXED CASE\\unterordner\\");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"m:\\MiXeD CaSe\\UnterOrdner\\"});
    EXPECT_EQ(TextOf(TreeView_GetSelection(tree_)), L"UnterOrdner");

    view_->SetPath(
        L"m:\\\u00dcN\u00cfC\u00d6D\u00c9 \u65e5\u672c "
        L"\u0395\u039b\u039b\u0397\u039d\u0399\u039a\u0386\\\u0434\u043e\u0447\u0435\u0440\u043d\u0438\u0439");
    EXPECT_EQ(Events(),
              std::vector<std::wstring>{L"m:\\" + kUnicode + L"\\\u0414\u043e\u0447\u0435\u0440\u043d\u0438\u0439\\"});

    const std::wstring deep = L"m:\\" + kLong + L"\\" + kLong + L"\\" + kLong + L"\\Ziel\\Tiefer\\";
    view_->SetPath(Win32LowerCase(deep));
    EXPECT_EQ(Events(), std::vector<std::wstring>{deep});
    EXPECT_EQ(view_->Path(), deep);
    EXPECT_TRUE(TreeView_GetItemState(tree_, TreeView_GetParent(tree_, TreeView_GetSelection(tree_)), TVIS_EXPANDED) &
                TVIS_EXPANDED);

    // Expanding m: read Doppelt, whose two names share one key: the first one stays.
    EXPECT_EQ(Children(Child(Child(Root(), L"m:"), L"Doppelt")).size(), 1u);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].style, MessageStyle::Ok);
    EXPECT_EQ(messages_.shown[0].text.rfind(ovaro::testing::kAddFailedText, 0), 0u);
    EXPECT_GT(messages_.shown[0].text.size(), ovaro::testing::kAddFailedText.size());  // the platform's description

    view_->SetPath(L"r:\\daten");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"r:\\"});
    view_->SetPath(L"q:\\daten");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"r:\\"});  // the selection stays where it was
}

TEST_F(FolderTreeViewTest, KeyboardSelectionCountsAsAClickButCodeSelectionDoesNot) {
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    SetFocus(tree_);
    view_->SetPath(L"m:\\alpha");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"m:\\Alpha\\"});
    PumpPosted();  // posted work of the walk, if any, runs now
    EXPECT_TRUE(Events().empty());

    // Down from Alpha leads to its first child; the click reads that child's folders.
    SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events_.empty(); }));
    const auto selected = TreeView_GetSelection(tree_);
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"m:\\Alpha\\" + TextOf(selected) + L"\\"});
}

TEST_F(FolderTreeViewTest, ArrowsPastACdRomReadNothingRestingReadsOnceRightReadsAtOnce) {
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    SetFocus(tree_);
    const auto r = Child(Root(), L"r:");
    const auto before = TreeView_GetPrevSibling(tree_, r), after = TreeView_GetNextSibling(tree_, r);
    ASSERT_EQ(TextOf(before), L"n:");
    ASSERT_EQ(TextOf(after), L"z:");
    TreeView_SelectItem(tree_, before);  // from code: no click
    messages_.shown.clear();

    // Down, Down: past r: to z:, which alone counts, once it rests. A moment on r:, well
    // short of half a second, does not count.
    SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_TRUE(events_.empty());
    EXPECT_TRUE(messages_.shown.empty());
    SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(TreeView_GetSelection(tree_), after);
    ASSERT_TRUE(PumpUntil([&] { return !events_.empty(); }));
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"z:\\"});
    EXPECT_TRUE(messages_.shown.empty());

    // Up onto r: and resting there: read once, told once.
    SendMessageW(tree_, WM_KEYDOWN, VK_UP, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events_.empty(); }));
    // Longer than the rest time: a second reading of r: would show by now.
    PumpUntil([] { return false; }, std::chrono::milliseconds(800));
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"r:\\"});
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text,
              L"Auf Ordner r:\\ kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.");

    // Right counts the selection at once, without waiting for it to rest.
    SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(tree_, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(tree_, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"r:\\"});
    PumpUntil([] { return false; }, std::chrono::milliseconds(800));  // past the rest time
    EXPECT_EQ(messages_.shown.size(), 2u);
    EXPECT_TRUE(Events().empty());
}

TEST_F(FolderTreeViewTest, MouseClickOnACdRomWithoutDiscTellsAndReports) {
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    UpdateWindow(host_);
    const auto r = Child(Root(), L"r:");
    RECT item{};
    ASSERT_TRUE(TreeView_GetItemRect(tree_, r, &item, TRUE));
    POINT pt{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(tree_, &pt);
    messages_.shown.clear();
    for (int round = 0; round < 2; ++round) {
        // The second click lands on the picture, far enough away to be no double-click.
        SetCursorPos(round == 0 ? pt.x : pt.x - (item.right - item.left) / 2 - 10, pt.y);
        INPUT clicks[2] = {};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, clicks, sizeof(INPUT));
        ASSERT_TRUE(PumpUntil([&] { return events_.size() > static_cast<std::size_t>(round); })) << round;
    }
    // The same node clicked twice reports twice, reads twice and tells twice.
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"r:\\", L"r:\\"}));
    EXPECT_EQ(TreeView_GetSelection(tree_), r);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, ovaro::testing::NotReadyText(L"r:\\"));
    EXPECT_EQ(messages_.shown[1].text, ovaro::testing::NotReadyText(L"r:\\"));
}

TEST_F(FolderTreeViewTest, UserExpandReadsAheadAndUserCollapseReports) {
    ShowWindow(host_, SW_SHOW);
    SetFocus(tree_);
    const auto m = Child(Root(), L"m:");
    const auto alpha = Child(m, L"Alpha");
    EXPECT_TRUE(Children(alpha).empty());
    TreeView_SelectItem(tree_, m);  // from code: neither a click nor an expansion
    PumpPosted();
    EXPECT_TRUE(Children(alpha).empty());
    EXPECT_TRUE(Events().empty());

    SendMessageW(tree_, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_TRUE(TreeView_GetItemState(tree_, m, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(Children(alpha).size(), 2u);
    SendMessageW(tree_, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_FALSE(TreeView_GetItemState(tree_, m, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"m:\\"});
    EXPECT_EQ(Children(alpha).size(), 2u);
    // Open again by the user: nothing new to read, no message.
    SendMessageW(tree_, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(Children(alpha).size(), 2u);
    EXPECT_EQ(messages_.shown.size(), 2u);  // n: at creation, Doppelt's shared key
}

// A tree of one row: the user's expansion reads the two children that can show; the others
// come in afterwards, through the message loop. Unread folders show that they open.
TEST_F(FolderTreeViewTest, AnExpansionReadsWhatShowsAndTheRestComesInAfterwards) {
    MoveWindow(view_->Window(), 10, 10, 400, TreeView_GetItemHeight(tree_) + 6, TRUE);
    ShowWindow(host_, SW_SHOW);
    const auto buttonOf = [this](HTREEITEM item) {
        TVITEMW it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = item;
        TreeView_GetItem(tree_, &it);
        return it.cChildren;
    };
    const auto m = Child(Root(), L"m:");
    const auto beta = Child(m, L"beta");
    EXPECT_EQ(buttonOf(beta), 1);  // not read yet
    TreeView_SelectItem(tree_, m);
    SendMessageW(tree_, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(TreeView_GetItemState(tree_, m, TVIS_EXPANDED) & TVIS_EXPANDED);
    std::vector<HTREEITEM> children;
    for (auto c = TreeView_GetChild(tree_, m); c; c = TreeView_GetNextSibling(tree_, c)) children.push_back(c);
    ASSERT_EQ(children.size(), 6u);
    for (std::size_t i = 2; i < children.size(); ++i) {
        EXPECT_EQ(TreeView_GetChild(tree_, children[i]), nullptr) << i;
        EXPECT_EQ(buttonOf(children[i]), 1) << i;
    }
    const auto unread = [&] {
        for (const wchar_t* name : {L"Alpha", L"MiXeD CaSe", L"Doppelt"})
            if (Children(Child(m, name)).empty()) return true;
        return false;
    };
    EXPECT_TRUE(ovaro::testing::PumpUntil([&] { return !unread(); }));
    PumpPosted();
    EXPECT_EQ(buttonOf(beta), 0);  // read, and empty
    // The second of the names that share a key is told once more, when its turn comes.
    EXPECT_EQ(messages_.shown.size(), 2u);
}

// What End scrolls into view goes before the other reads that are still outstanding.
TEST(FolderTreeViewReadOrder, WhatScrollsIntoViewIsReadFirst) {
    MemoryMachine machine;
    RecordingMessages messages;
    machine.AddDrive(L'c', kDriveFixed);
    for (int i = 10; i < 60; ++i) {
        machine.AddFolder(L"c:\\Ordner" + std::to_wstring(i));
        machine.held_.insert(L"c:\\ordner" + std::to_wstring(i) + L"\\");
    }
    const HWND host = MakeHost();
    ShowWindow(host, SW_SHOW);
    auto view = OvaroFolderTreeView::Create(host, 100, RECT{0, 0, 300, 100}, {&machine, &machine, &messages});
    ASSERT_NE(view, nullptr);
    const HWND tree = view->TreeWindow();
    const HTREEITEM c = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    TreeView_SelectItem(tree, c);
    SendMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(TreeView_GetItemState(tree, c, TVIS_EXPANDED) & TVIS_EXPANDED);
    ovaro::testing::PumpPosted();
    machine.hurried_.clear();
    SendMessageW(tree, WM_KEYDOWN, VK_END, 0);
    ovaro::testing::PumpPosted();
    ASSERT_FALSE(machine.hurried_.empty());
    const auto& hurried = machine.hurried_.back();
    ASSERT_FALSE(hurried.empty());
    EXPECT_EQ(hurried.back(), L"c:\\Ordner59\\");
    EXPECT_EQ(std::count(hurried.begin(), hurried.end(), L"c:\\Ordner10\\"), 0);
    view.reset();
    DestroyWindow(host);
}

TEST_F(FolderTreeViewTest, FocusLeavesAFreshTreeWithoutSelectionUntilTheUserMoves) {
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    SetFocus(view_->Window());
    ASSERT_EQ(GetFocus(), tree_);
    PumpPosted();
    EXPECT_EQ(TreeView_GetSelection(tree_), nullptr);
    EXPECT_EQ(view_->Path(), L"");
    EXPECT_TRUE(Events().empty());
    // The first arrow key selects the root, as the user's own selection.
    SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events_.empty(); }));
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"Arbeitsplatz\\"});
    EXPECT_EQ(view_->Path(), L"Arbeitsplatz\\");
}

TEST_F(FolderTreeViewTest, TreeFillsTheControlExceptAtWidthZero) {
    RECT rc{};
    MoveWindow(view_->Window(), 0, 0, 300, 200, TRUE);
    GetWindowRect(tree_, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    MoveWindow(view_->Window(), 0, 0, 0, 150, TRUE);
    GetWindowRect(tree_, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
}

TEST_F(FolderTreeViewTest, ImageListHoldsSevenPicturesAtTheWindowsScaling) {
    const auto list = TreeView_GetImageList(tree_, TVSIL_NORMAL);
#ifdef OVARO_TEST_HAS_PICTURES
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), kPictureCount);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    const int want = GetDpiForWindow(tree_) >= 168 ? 32 : GetDpiForWindow(tree_) >= 120 ? 24 : 16;
    EXPECT_EQ(cx, want);
    EXPECT_EQ(cy, want);
#else
    EXPECT_EQ(list, nullptr);
#endif
}

TEST_F(FolderTreeViewTest, DestroyingTheObjectDestroysTheWindows) {
    const HWND control = view_->Window();
    view_.reset();
    EXPECT_FALSE(IsWindow(control));
    EXPECT_FALSE(IsWindow(tree_));
}

// Folders that are hidden and system at once are the platform's protected ones: they
// are not listed. Hidden-only and system-only folders are.
TEST(FolderTreeViewProtectedFolders, HiddenAndSystemTogetherAreLeftOutEitherAloneShows) {
    const std::wstring base = L"c:\\Ovaro-Schutz";
    const std::pair<const wchar_t*, DWORD> folders[] = {
        {L"Geschuetzt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {L"Versteckt", FILE_ATTRIBUTE_HIDDEN},
        {L"System", FILE_ATTRIBUTE_SYSTEM},
        {L"Offen", FILE_ATTRIBUTE_NORMAL},
    };
    CreateDirectoryW(base.c_str(), nullptr);
    for (const auto& [name, attributes] : folders) {
        const std::wstring path = base + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << GetLastError();
        // Wine keeps these attributes in an extended attribute of the folder.
        if ((GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) !=
            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            GTEST_SKIP() << "the file system here keeps no folder attributes";
    }

    const HWND host = MakeHost(WS_POPUP);
    RecordingMessages messages;
    auto view = OvaroFolderTreeView::Create(host, 7, RECT{0, 0, 300, 300}, {nullptr, nullptr, &messages});
    ASSERT_NE(view, nullptr);
    view->SetPath(L"c:\\ovaro-schutz");
    EXPECT_EQ(view->Path(), L"c:\\Ovaro-Schutz\\");
    std::vector<std::wstring> shown;
    const HWND tree = view->TreeWindow();
    for (auto c = TreeView_GetChild(tree, TreeView_GetSelection(tree)); c; c = TreeView_GetNextSibling(tree, c))
        shown.push_back(ovaro::testing::TreeItemText(tree, c));
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"Offen", L"System", L"Versteckt"}));
    view.reset();
    DestroyWindow(host);

    for (const auto& [name, attributes] : folders) {
        const std::wstring path = base + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(base.c_str());
}

TEST(FolderTreeViewMessageBox, TheUnreachableDriveTellsInARealMessageBoxOwnedByTheTopWindow) {
    const HWND host = MakeHost();  // hidden, as a dialog is while it loads
    // Every box of this process, whatever its title, answered with OK.
    ovaro::testing::MessageBoxWatcher watcher(L"", ovaro::testing::MessageBoxWatcher::Press(IDOK), true);
    RECT rc{0, 0, 200, 200};
    auto view = OvaroFolderTreeView::Create(host, 7, rc);
    const auto seen = watcher.Stop();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, ovaro::testing::kTitle);
    // The box's static shows the line break as CR LF or LF, depending on the platform.
    std::wstring text = seen[0].text;
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    EXPECT_EQ(text, L"Auf Ordner n:\\ kann nicht zugegriffen werden.\nDas Laufwerk ist nicht bereit.");
    EXPECT_EQ(seen[0].owner, host);
    view.reset();
    DestroyWindow(host);
}

}  // namespace
}  // namespace ovaro::folders::testing
