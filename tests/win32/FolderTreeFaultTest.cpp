// The folder tree control on the test prefix's drive m: when the folders change under
// it or are awkward: a folder deleted between its listing and its expansion, a symbolic
// link that points back up, 10,000 sub-folders, names with blanks, dots and signs.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "MemoryFolderTree.h"
#include "OvaroFolderTreeView.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

using folders::testing::RecordingMessages;
using ovaro::testing::kReadFailedText;

// Scratch folders below m:\, in the \\?\ form so that trailing blanks and dots stay.
const std::wstring kScratch = L"m:\\FehlerProbe";
std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(Long(path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            // A link is removed itself, never followed.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveDirectoryW(Long(child).c_str());
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(Long(child).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(Long(path).c_str());
}

class FolderTreeFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kScratch);
        ASSERT_TRUE(CreateDirectoryW(Long(kScratch).c_str(), nullptr)) << GetLastError();
        host_ = CreateWindowExW(0, L"STATIC", L"Wirt", WS_POPUP, 0, 0, 500, 600, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        view_.reset();
        if (host_) DestroyWindow(host_);
        RemoveTree(kScratch);
    }
    void Make(const std::wstring& relative) {
        std::wstring path = kScratch;
        std::size_t start = 0;
        while (start <= relative.size()) {
            const auto sep = relative.find(L'\\', start);
            path += L"\\" + relative.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start);
            CreateDirectoryW(Long(path).c_str(), nullptr);
            if (sep == std::wstring::npos) break;
            start = sep + 1;
        }
    }
    // Creates the control now, so it sees the folders as they are at this moment.
    void CreateView() {
        RECT rc{0, 0, 400, 500};
        view_ = OvaroFolderTreeView::Create(host_, 100, rc, {nullptr, nullptr, &messages_});
        ASSERT_NE(view_, nullptr);
        view_->PathChanged = [this](const std::wstring& p) { events_.push_back(p); };
        messages_.shown.clear();  // the prefix's other drives tell their own faults at creation
    }
    std::wstring TextOf(HTREEITEM item) const { return testing::TreeItemText(view_->TreeWindow(), item); }
    std::size_t ChildCount(HTREEITEM item) const {
        std::size_t n = 0;
        for (auto c = TreeView_GetChild(view_->TreeWindow(), item); c;
             c = TreeView_GetNextSibling(view_->TreeWindow(), c))
            ++n;
        return n;
    }
    // Messages about the scratch folders: expanding m: also reads its other folders, and
    // the prefix's m:\Doppelt holds two names that differ only in case, told every time.
    std::vector<folders::testing::ShownMessage> Own() const {
        std::vector<folders::testing::ShownMessage> own;
        for (const auto& m : messages_.shown)
            if (m.text.find(L"m:\\Doppelt\\") == std::wstring::npos) own.push_back(m);
        return own;
    }
    HTREEITEM Selected() const { return TreeView_GetSelection(view_->TreeWindow()); }

    HWND host_ = nullptr;
    RecordingMessages messages_;
    std::unique_ptr<OvaroFolderTreeView> view_;
    std::vector<std::wstring> events_;
};

TEST_F(FolderTreeFaultTest, AFolderDeletedBetweenListingAndExpansionIsToldAndStays) {
    Make(L"Eins\\Zwei\\Drei");
    CreateView();
    view_->SetPath(kScratch + L"\\Eins\\");  // lists Zwei below Eins, one level ahead
    ASSERT_EQ(view_->Path(), L"m:\\FehlerProbe\\Eins\\");
    RemoveTree(kScratch + L"\\Eins\\Zwei");
    messages_.shown.clear();
    events_.clear();

    view_->SetPath(kScratch + L"\\eins\\zwei\\drei");
    // Drei was listed while Zwei still existed, so the walk reaches it; expanding Zwei
    // tries to read the vanished Drei and tells so once.
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].style, folders::MessageStyle::Critical);
    EXPECT_EQ(messages_.shown[0].text.rfind(kReadFailedText, 0), 0u);
    EXPECT_GT(messages_.shown[0].text.size(), kReadFailedText.size());  // the platform's description
    EXPECT_EQ(view_->Path(), L"m:\\FehlerProbe\\Eins\\Zwei\\Drei\\");   // deleted folders stay in the tree
    EXPECT_EQ(events_, std::vector<std::wstring>{L"m:\\FehlerProbe\\Eins\\Zwei\\Drei\\"});
}

TEST_F(FolderTreeFaultTest, ALinkBackUpIsReadOneLevelAtATimeAndNeverLoops) {
    Make(L"Oben");
    if (!CreateSymbolicLinkW(Long(kScratch + L"\\Oben\\Zurueck").c_str(), Long(kScratch).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "no symbolic links here: " << GetLastError();
    CreateView();
    std::wstring path = kScratch;
    for (int i = 0; i < 12; ++i) path += L"\\Oben\\Zurueck";
    view_->SetPath(path);  // returns: nothing is read beyond one level ahead
    // Wherever the walk ends (Wine may refuse to list through the link), it is a node on
    // the written path, and only read failures are told.
    const std::wstring reached = view_->Path();
    ASSERT_FALSE(reached.empty());
    EXPECT_EQ((L"m:\\FehlerProbe" + path.substr(kScratch.size()) + L"\\").rfind(reached, 0), 0u) << reached.size();
    for (const auto& m : Own()) EXPECT_EQ(m.text.rfind(kReadFailedText, 0), 0u);
}

TEST_F(FolderTreeFaultTest, TenThousandSubFoldersAllShow) {
    Make(L"Viele");
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(CreateDirectoryW(Long(kScratch + L"\\Viele\\" + std::to_wstring(i)).c_str(), nullptr)) << i;
    CreateView();
    // Made here through Wine, 100,000 folders take minutes; the in-memory tests take
    // 100,000. Expanding FehlerProbe reads Viele one level ahead; Viele itself is not
    // expanded, which would read each of its children.
    view_->SetPath(kScratch + L"\\");
    HTREEITEM probe = Selected();
    ASSERT_NE(probe, nullptr);
    HTREEITEM viele = TreeView_GetChild(view_->TreeWindow(), probe);
    ASSERT_EQ(TextOf(viele), L"Viele");
    EXPECT_EQ(ChildCount(viele), 10000u);
    EXPECT_TRUE(Own().empty());
}

TEST_F(FolderTreeFaultTest, NamesWithSignsBlanksAndDotsKeepEveryCharacter) {
    const std::vector<std::wstring> names = {L"&Und",
                                             L"100 %",
                                             L"%s%n",
                                             L"!wichtig",
                                             L"~1",
                                             L"  f\u00fchrend",
                                             L"nachfolgend  ",
                                             L"punkt.",
                                             L"..drei",
                                             L"\u05e2\u05d1\u05e8\u05d9\u05ea",
                                             L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629"};
    for (const auto& n : names)
        ASSERT_TRUE(CreateDirectoryW(Long(kScratch + L"\\" + n).c_str(), nullptr)) << GetLastError();
    CreateView();
    for (const auto& n : names) {
        events_.clear();
        view_->SetPath(kScratch + L"\\" + n + L"\\");
        const std::wstring expected = L"m:\\FehlerProbe\\" + n + L"\\";
        EXPECT_EQ(view_->Path(), expected);
        EXPECT_EQ(TextOf(Selected()), n);
        EXPECT_EQ(events_, std::vector<std::wstring>{expected});
    }
    // Every one of them, those ending in a blank or a dot too, is read without a message.
    const auto own = Own();
    EXPECT_TRUE(own.empty()) << ::testing::PrintToString(own.empty() ? std::wstring() : own[0].text);
}

// The plain path form drops trailing blanks and dots ("Path not found"); the lister must not use it.
TEST_F(FolderTreeFaultTest, FoldersEndingInABlankOrADotCanBeRead) {
    for (const wchar_t* n : {L"nachfolgend  ", L"punkt."}) {
        ASSERT_TRUE(CreateDirectoryW(Long(kScratch + L"\\" + n).c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(Long(kScratch + L"\\" + n + L"\\Kind").c_str(), nullptr));
    }
    CreateView();
    view_->SetPath(kScratch + L"\\nachfolgend  \\Kind\\");
    EXPECT_EQ(view_->Path(), L"m:\\FehlerProbe\\nachfolgend  \\Kind\\");
    view_->SetPath(kScratch + L"\\punkt.\\Kind\\");
    EXPECT_EQ(view_->Path(), L"m:\\FehlerProbe\\punkt.\\Kind\\");
    EXPECT_TRUE(Own().empty());
}

}  // namespace
}  // namespace ovaro
