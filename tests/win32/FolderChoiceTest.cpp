// The folder choice dialog and "Wählen..." on the real main window, the real tree and
// the test prefix's drives. A second thread plays the user while the dialog is modal.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "FolderChoiceDialog.h"
#include "MainWindow.h"
#include "RegistrySettingsStore.h"
#include "Win32FolderSources.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

class RecordingSink final : public folders::MessageSink {
public:
    std::vector<std::wstring> texts;
    void Show(std::wstring_view text, folders::MessageStyle) override { texts.emplace_back(text); }
};

using testing::TreeItemText;

HWND WaitForDialog() {
    HWND dialog = nullptr;
    testing::Eventually(
        [&] {
            dialog = FindWindowW(FolderChoiceDialog::kClassName, L"Ordner w\u00e4hlen");
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        std::chrono::seconds(20));
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

// What the user-thread saw when the dialog showed.
struct Seen {
    HWND dialog = nullptr;
    std::wstring selected;  // text of the selected node, "<none>" when there is none
    bool ownerEnabled = true;
    bool treeHasFocus = false;
};

class FolderChoiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Folders on c: with a letter case of their own.
        CreateDirectoryW(L"c:\\Ovaro-Dlg", nullptr);
        CreateDirectoryW(L"c:\\Ovaro-Dlg\\Daten", nullptr);
        CreateDirectoryW(L"c:\\Ovaro-Dlg\\Daten\\Ebene2", nullptr);
        CreateDirectoryW(L"c:\\Ovaro-Dlg\\Daten\\Ebene2\\Ebene3", nullptr);
    }
    void SetUp() override {
        MainWindowHooks hooks;
        hooks.showMessage = [](HWND, std::wstring_view, unsigned) { return IDYES; };
        hooks.endProgram = [] {};
        hooks.folderChoice = [this](HWND owner) -> std::unique_ptr<FolderChoice> {
            OvaroFolderTreeView::Sources sources;
            sources.messages = &sink;
            ++loads;
            return FolderChoiceDialog::Load(GetModuleHandleW(nullptr), owner, sources);
        };
        window = MainWindow::Create(GetModuleHandleW(nullptr), store, std::move(hooks));
        ASSERT_NE(window, nullptr);
        window->Show(SW_SHOWNORMAL);
        SetForegroundWindow(window->Window());
    }
    void TearDown() override { window.reset(); }

    // Presses "Wählen..." of the row; `user` runs on another thread once the dialog shows.
    Seen Choose(int16_t row, const std::function<void(HWND dialog, HWND tree)>& user) {
        Seen seen;
        std::thread player([&] {
            seen.dialog = WaitForDialog();
            if (seen.dialog == nullptr) return;
            HWND tree =
                FindWindowExW(GetDlgItem(seen.dialog, FolderChoiceDialog::kTreeId), nullptr, WC_TREEVIEWW, nullptr);
            HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            seen.selected = selected ? TreeItemText(tree, selected) : L"<none>";
            seen.ownerEnabled = IsWindowEnabled(window->Window()) != FALSE;
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            GetGUIThreadInfo(GetWindowThreadProcessId(seen.dialog, nullptr), &gui);
            seen.treeHasFocus = gui.hwndFocus == tree;
            user(seen.dialog, tree);
        });
        SendMessageW(window->Control(ControlKind::ChooseButton, row), BM_CLICK, 0, 0);
        player.join();
        return seen;
    }

    static void PressOk(HWND dialog, HWND) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

    std::wstring RowText(int16_t row) { return testing::WindowText(window->Control(ControlKind::Text, row)); }
    // Puts a stored folder into an edition row through the load, so no change is pending.
    void SetRow(int16_t row, const wchar_t* text) {
        store.Write(kEditionen[row].applicationName, L"Optionen", L"Datenpfad", text);
        window->Behaviour().Form_Load();
    }

    testing::ScratchRegistryKey scratch;
    RegistrySettingsStore store{HKEY_CURRENT_USER, scratch.Path()};
    std::unique_ptr<MainWindow> window;
    RecordingSink sink;
    int loads = 0;
};

TEST_F(FolderChoiceTest, RowTextOpensTheTreeThereAndOkBringsBackTheOnDiskCase) {
    SetWindowTextW(window->Control(ControlKind::Text, 2), L"C:\\OVARO-DLG\\DATEN\\EBENE2");
    const Seen seen = Choose(2, PressOk);
    ASSERT_NE(seen.dialog, nullptr);
    EXPECT_EQ(seen.selected, L"Ebene2");
    EXPECT_FALSE(seen.ownerEnabled);  // modal: the main window takes no input
    EXPECT_TRUE(seen.treeHasFocus);
    EXPECT_EQ(RowText(2), L"c:\\Ovaro-Dlg\\Daten\\Ebene2\\");
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    EXPECT_TRUE(IsWindowEnabled(window->Window()));
    EXPECT_FALSE(IsWindow(seen.dialog));  // unloaded after use
}

TEST_F(FolderChoiceTest, AMissingFolderOpensAtTheDeepestExistingPart) {
    SetWindowTextW(window->Control(ControlKind::Text, 0), L"c:\\ovaro-dlg\\daten\\gibtsnicht\\tiefer");
    const Seen seen = Choose(0, PressOk);
    EXPECT_EQ(seen.selected, L"Daten");
    EXPECT_EQ(RowText(0), L"c:\\Ovaro-Dlg\\Daten\\");
}

TEST_F(FolderChoiceTest, EmptyRowOpensAFreshTreeAndOkWithNothingSelectedLeavesItEmpty) {
    window->Behaviour().Form_Load();
    const Seen seen = Choose(4, PressOk);
    EXPECT_EQ(seen.selected, L"<none>");
    EXPECT_EQ(RowText(4), L"");
    EXPECT_FALSE(window->Behaviour().bGeaendert());  // the text did not change
}

TEST_F(FolderChoiceTest, OkWithNothingSelectedEmptiesARowWhoseDriveIsGone) {
    SetRow(1, L"q:\\daten");
    const Seen seen = Choose(1, PressOk);
    EXPECT_EQ(seen.selected, L"<none>");
    EXPECT_EQ(RowText(1), L"");
    EXPECT_TRUE(window->Behaviour().bGeaendert());
}

TEST_F(FolderChoiceTest, TheRootSelectedGivesArbeitsplatz) {
    Choose(3, [](HWND dialog, HWND tree) {
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
        PressOk(dialog, tree);
    });
    EXPECT_EQ(RowText(3), L"Arbeitsplatz\\");
}

// A drive reached with an arrow key and confirmed at once counts as clicked: it is read
// (and tells that it cannot be) and becomes the row's folder.
TEST_F(FolderChoiceTest, OkRightAfterAnArrowKeyCountsTheNewSelectionAsClicked) {
    size_t loaded = 0;
    Choose(3, [&](HWND dialog, HWND tree) {
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        HTREEITEM drive = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
        while (drive != nullptr && TreeItemText(tree, drive) != L"n:")
            drive = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(drive)));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(drive));
        loaded = sink.texts.size();
        SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);  // onto r:
        PressOk(dialog, tree);
    });
    EXPECT_EQ(RowText(3), L"r:\\");
    ASSERT_EQ(sink.texts.size(), loaded + 1);
    EXPECT_EQ(sink.texts.back(), L"Auf Ordner r:\\ kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.");
}

TEST_F(FolderChoiceTest, CancelEscAndCloseBoxChangeNeitherRowNorFlag) {
    const std::vector<std::function<void(HWND, HWND)>> ways = {
        [](HWND dialog, HWND) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); },
        [](HWND, HWND tree) { PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 0); },
        [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& way : ways) {
        SetRow(5, L"c:\\ovaro-dlg\\daten");
        ASSERT_FALSE(window->Behaviour().bGeaendert());
        const Seen seen = Choose(5, [&](HWND dialog, HWND tree) {
            HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
            way(dialog, tree);
        });
        EXPECT_EQ(seen.selected, L"Daten");
        EXPECT_EQ(RowText(5), L"c:\\ovaro-dlg\\daten");
        EXPECT_FALSE(window->Behaviour().bGeaendert());
        EXPECT_TRUE(IsWindowEnabled(window->Window()));
    }
}

TEST_F(FolderChoiceTest, TheCommonRowChoosesWithTheCheckBoxOnOrOff) {
    Choose(kCommonRow, [](HWND dialog, HWND tree) {
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                     SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
        PressOk(dialog, tree);
    });
    const std::wstring first = RowText(kCommonRow);
    EXPECT_EQ(first.size(), 3u);  // the first drive, such as a:\ .
    EXPECT_EQ(first.substr(1), L":\\");

    SendMessageW(window->Control(ControlKind::CheckBox), BM_CLICK, 0, 0);
    SetWindowTextW(window->Control(ControlKind::Text, kCommonRow), L"c:\\ovaro-dlg\\daten\\ebene2\\ebene3");
    Choose(kCommonRow, PressOk);
    EXPECT_EQ(RowText(kCommonRow), L"c:\\Ovaro-Dlg\\Daten\\Ebene2\\Ebene3\\");
}

TEST_F(FolderChoiceTest, EveryUseStartsFromAFreshTreeAndReportsUnreadableDrives) {
    Choose(0, [](HWND dialog, HWND tree) {
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
        PressOk(dialog, tree);
    });
    const size_t messagesFirst = sink.texts.size();
    // The test prefix's network drive cannot be reached: the tree says so while it loads.
    bool networkReported = false;
    for (const auto& text : sink.texts) networkReported |= text.find(L"n:\\") != std::wstring::npos;
    EXPECT_TRUE(networkReported);

    CreateDirectoryW(L"c:\\Ovaro-Dlg-Neu", nullptr);
    const Seen second = Choose(6, [](HWND dialog, HWND tree) {
        // The new folder shows below c: in the new tree.
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        bool found = false;
        for (HTREEITEM drive = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
             drive != nullptr; drive = reinterpret_cast<HTREEITEM>(
                                   SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(drive)))) {
            if (TreeItemText(tree, drive) != L"c:") continue;
            for (HTREEITEM f = reinterpret_cast<HTREEITEM>(
                     SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(drive)));
                 f != nullptr; f = reinterpret_cast<HTREEITEM>(
                                   SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(f))))
                found |= TreeItemText(tree, f) == L"Ovaro-Dlg-Neu";
        }
        if (found)
            PressOk(dialog, tree);
        else
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(second.selected, L"<none>");  // nothing of the first use's selection
    EXPECT_EQ(RowText(6), L"");             // OK with nothing selected on an empty row: still empty...
    EXPECT_EQ(loads, 2);
    EXPECT_GT(sink.texts.size(), messagesFirst);  // ...and the drives were read anew
    RemoveDirectoryW(L"c:\\Ovaro-Dlg-Neu");
}

// "Wählen..." pressed while another window of the thread is the active one (as an
// assistive tool or a script can press it): the dialog is still owned by the main window,
// which it disables.
TEST_F(FolderChoiceTest, TheDialogIsOwnedByTheMainWindowWhicheverWindowIsActive) {
    const HWND other = CreateWindowExW(0, L"STATIC", L"Anderes Fenster", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 40, 300,
                                       200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    HWND owner = nullptr;
    bool mainEnabled = true;
    std::thread player([&] {
        const HWND dialog = WaitForDialog();
        if (dialog == nullptr) return;
        owner = GetWindow(dialog, GW_OWNER);
        mainEnabled = IsWindowEnabled(window->Window()) != FALSE;
        PressOk(dialog, nullptr);
    });
    // The command as an invocation from outside gives it, without the mouse or the focus.
    const HWND choose = window->Control(ControlKind::ChooseButton, 0);
    SendMessageW(window->Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(choose), BN_CLICKED),
                 reinterpret_cast<LPARAM>(choose));
    player.join();
    EXPECT_EQ(owner, window->Window());
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(IsWindowEnabled(window->Window()));
    DestroyWindow(other);
}

// The dialog on its own, its tree's messages going to `sink`.
std::unique_ptr<FolderChoiceDialog> LoadAlone(RecordingSink& sink) {
    OvaroFolderTreeView::Sources sources;
    sources.messages = &sink;
    return FolderChoiceDialog::Load(GetModuleHandleW(nullptr), nullptr, sources);
}

// A button pressed while the tree reads and released then: the release reaches it, so it
// is not left pressed and holds the mouse no more; its click waits for the read.
TEST(FolderChoiceDialogAlone, AButtonReleasedWhileAReadRunsIsReleasedAndItsClickWaits) {
    const HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> holding{false};
    RecordingSink sink;
    OvaroFolderTreeView::Sources sources;
    sources.messages = &sink;
    sources.read = [&](const std::wstring& folder) {
        if (_wcsicmp(folder.c_str(), L"c:\\Ovaro-Dlg\\Daten\\Ebene2\\") == 0) {
            holding = true;
            WaitForSingleObject(go, 30000);
        }
        return folders::ReadFolder(folder);
    };
    auto dialog = FolderChoiceDialog::Load(GetModuleHandleW(nullptr), nullptr, sources);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog->Window(), SW_SHOW);
    const HWND ok = GetDlgItem(dialog->Window(), IDOK);
    const DWORD thread = GetCurrentThreadId();
    LRESULT pushed = -1;
    HWND capture = ok;
    bool readHeld = false;
    std::thread user([&] {
        if (testing::Eventually([&] { return holding.load(); }, std::chrono::seconds(15))) {
            SendMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(ok, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            testing::Eventually([&] { return (SendMessageW(ok, BM_GETSTATE, 0, 0) & BST_PUSHED) == 0; },
                                std::chrono::seconds(3));
            pushed = SendMessageW(ok, BM_GETSTATE, 0, 0) & BST_PUSHED;
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            GetGUIThreadInfo(thread, &gui);
            capture = gui.hwndCapture;
            readHeld = WaitForSingleObject(go, 0) == WAIT_TIMEOUT;
        }
        SetEvent(go);
    });
    dialog->SetPath(L"c:\\Ovaro-Dlg\\Daten\\Ebene2");
    user.join();
    CloseHandle(go);
    EXPECT_TRUE(readHeld);
    EXPECT_EQ(pushed, 0);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(dialog->Tag(), L"");                                            // not before the walk is over...
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog->Tag() == L"OK"; }));  // ...but then
    EXPECT_FALSE(IsWindowVisible(dialog->Window()));
}

// The order of things when the dialog is closed inside the tree view's loop that tells a
// click from a drag (which dispatches what is posted): the dialog hides at once, the tree
// view's handler returns to a living window, and the windows go only then.
struct Happenings {
    std::vector<std::string> seen;
    HWND tree = nullptr;
};

LRESULT CALLBACK WatchTreeView(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* happenings = reinterpret_cast<Happenings*>(data);
    if (message == WM_LBUTTONDOWN) {
        happenings->seen.push_back("button down");
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        happenings->seen.push_back(IsWindow(window) ? "button down handled" : "button down handled, window gone");
        return result;
    }
    if (message == WM_NCDESTROY) {
        happenings->seen.push_back("tree view destroyed");
        RemoveWindowSubclass(window, &WatchTreeView, 1);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK WatchDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* happenings = reinterpret_cast<Happenings*>(data);
    if (message == WM_CLOSE) {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        happenings->seen.push_back(std::string("closed: ") + (IsWindowVisible(window) ? "shown" : "hidden") +
                                   (IsWindow(happenings->tree) ? ", tree view there" : ", tree view gone"));
        return result;
    }
    if (message == WM_NCDESTROY) {
        happenings->seen.push_back("dialog destroyed");
        RemoveWindowSubclass(window, &WatchDialog, 1);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST(FolderChoiceDialogAlone, ClosedInsideTheTreeViewsClickLoopItHidesAtOnceAndGoesOnceThatHasReturned) {
    RecordingSink sink;
    auto dialog = LoadAlone(sink);
    ASSERT_NE(dialog, nullptr);
    Happenings happenings;
    happenings.tree =
        FindWindowExW(GetDlgItem(dialog->Window(), FolderChoiceDialog::kTreeId), nullptr, WC_TREEVIEWW, nullptr);
    ASSERT_NE(happenings.tree, nullptr);
    RECT item{};
    ASSERT_TRUE(TreeView_GetItemRect(happenings.tree, TreeView_GetRoot(happenings.tree), &item, TRUE));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SetWindowSubclass(happenings.tree, &WatchTreeView, 1, reinterpret_cast<DWORD_PTR>(&happenings));
    SetWindowSubclass(dialog->Window(), &WatchDialog, 1, reinterpret_cast<DWORD_PTR>(&happenings));
    // The button goes down on the root; the close comes while the tree view waits to see
    // whether the mouse moves, and the button goes up after it.
    PostMessageW(happenings.tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(dialog->Window(), WM_CLOSE, 0, 0);
    PostMessageW(happenings.tree, WM_LBUTTONUP, 0, at);
    dialog->ShowModal();
    EXPECT_EQ(happenings.seen,
              (std::vector<std::string>{"button down", "closed: hidden, tree view there", "button down handled",
                                        "tree view destroyed", "dialog destroyed"}));
    EXPECT_FALSE(dialog->Loaded());
    EXPECT_EQ(dialog->Tag(), L"");
}

TEST(FolderChoiceDialogAlone, LayoutFrameDefaultsAndTagAcrossUnload) {
    RecordingSink sink;
    auto dialog = LoadAlone(sink);
    ASSERT_NE(dialog, nullptr);
    HWND hwnd = dialog->Window();
    EXPECT_FALSE(IsWindowVisible(hwnd));  // loaded, not shown
    wchar_t caption[64] = {};
    GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Ordner w\u00e4hlen");
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(LOWORD(SendMessageW(hwnd, DM_GETDEFID, 0, 0)), IDOK);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(hwnd, IDOK), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);

    // Twips to pixels, rounded to the nearest pixel as MulDiv rounds.
    const int dpi = static_cast<int>(GetDpiForWindow(hwnd));
    auto px = [dpi](int twips) { return (twips * dpi + 720) / 1440; };
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, px(5556));
    EXPECT_EQ(client.bottom, px(5304));
    auto placeOf = [&](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    // Edges are rounded, not sizes.
    auto expectAt = [&](HWND control, int l, int t, int w, int h) {
        const RECT r = placeOf(control);
        EXPECT_EQ(r.left, px(l));
        EXPECT_EQ(r.top, px(t));
        EXPECT_EQ(r.right, px(l + w));
        EXPECT_EQ(r.bottom, px(t + h));
    };
    HWND tree = GetDlgItem(hwnd, FolderChoiceDialog::kTreeId);
    expectAt(tree, 60, 120, 4092, 5052);
    expectAt(GetDlgItem(hwnd, IDOK), 4320, 4620, 1092, 372);
    expectAt(GetDlgItem(hwnd, IDCANCEL), 4320, 3960, 1092, 372);
    // Tab order: tree, OK, Abbrechen.
    EXPECT_EQ(GetNextDlgTabItem(hwnd, GetDlgItem(hwnd, IDOK), FALSE), GetDlgItem(hwnd, IDCANCEL));

    // Enlarging leaves everything where it was.
    SetWindowPos(hwnd, nullptr, 0, 0, 900, 800, SWP_NOMOVE | SWP_NOZORDER);
    expectAt(tree, 60, 120, 4092, 5052);
    expectAt(GetDlgItem(hwnd, IDOK), 4320, 4620, 1092, 372);

    // Shrinking stops at the designed size, 370 x 354 client pixels at 96 DPI;
    // maximising still fills the screen, and nothing moves.
    ASSERT_EQ(dpi, 96u);
    SetWindowPos(hwnd, nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(hwnd, &client);
    EXPECT_NEAR(client.right, 370, 1);
    EXPECT_NEAR(client.bottom, 354, 1);
    expectAt(GetDlgItem(hwnd, IDOK), 4320, 4620, 1092, 372);
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(hwnd));
    GetClientRect(hwnd, &client);
    EXPECT_GT(client.right, 1000);
    expectAt(tree, 60, 120, 4092, 5052);
    ShowWindow(hwnd, SW_HIDE);
    ShowWindow(hwnd, SW_RESTORE);
    ShowWindow(hwnd, SW_HIDE);

    // "OK" hides and keeps it loaded; unloading empties Tag.
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    dialog->ShowModal();
    EXPECT_EQ(dialog->Tag(), L"OK");
    EXPECT_TRUE(dialog->Loaded());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    // Shown again without unloading, it keeps the first result until a button sets it.
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    dialog->ShowModal();
    EXPECT_EQ(dialog->Tag(), L"");
    EXPECT_FALSE(dialog->Loaded());
    EXPECT_FALSE(IsWindow(hwnd));
}

// A fresh tree, focused with nothing selected: screen readers hear its name, the root
// shows a focus rectangle, and what OK hands over stays empty.
TEST(FolderChoiceDialogAlone, TheTreeIsNamedAndShowsItsFocusWithNothingSelected) {
    RecordingSink sink;
    auto dialog = LoadAlone(sink);
    ASSERT_NE(dialog, nullptr);
    HWND hwnd = dialog->Window();
    HWND tree = FindWindowExW(GetDlgItem(hwnd, FolderChoiceDialog::kTreeId), nullptr, WC_TREEVIEWW, nullptr);
    ASSERT_NE(tree, nullptr);
    const testing::AccessibleRead read = testing::ReadAccessible(tree);
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.name, L"Ordner");
    const testing::AccessibleRead window = testing::ReadAccessible(hwnd);
    EXPECT_EQ(window.name, L"Ordner w\u00e4hlen");
    EXPECT_EQ(window.role, ROLE_SYSTEM_DIALOG);

    ShowWindow(hwnd, SW_SHOWNORMAL);
    const HTREEITEM root = TreeView_GetRoot(tree);
    ASSERT_NE(root, nullptr);
    // Pixels on the edge of the root's text that differ from the tree's background: the
    // dots of a focus rectangle, since the text stays inside.
    auto dotsAroundRoot = [&] {
        testing::PumpPosted();
        UpdateWindow(tree);
        RECT r{};
        TreeView_GetItemRect(tree, root, &r, TRUE);
        const HDC dc = GetDC(tree);
        const COLORREF background = GetPixel(dc, r.left - 1, r.top);
        int dots = 0;
        for (int x = r.left; x < r.right; ++x) dots += GetPixel(dc, x, r.top) != background ? 1 : 0;
        for (int y = r.top; y < r.bottom; ++y) dots += GetPixel(dc, r.left, y) != background ? 1 : 0;
        ReleaseDC(tree, dc);
        return dots;
    };
    SetFocus(GetDlgItem(hwnd, IDOK));
    EXPECT_EQ(dotsAroundRoot(), 0);
    SetFocus(tree);
    EXPECT_EQ(TreeView_GetSelection(tree), nullptr);
    EXPECT_GT(dotsAroundRoot(), 4);
    SetFocus(GetDlgItem(hwnd, IDCANCEL));  // the rectangle goes with the focus
    EXPECT_EQ(dotsAroundRoot(), 0);
    SetFocus(tree);
    EXPECT_GT(dotsAroundRoot(), 4);
    EXPECT_EQ(dialog->Path(), L"");
    // The first arrow key selects the root; the tree's own focus shows from then on.
    SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(TreeView_GetSelection(tree), root);
    ShowWindow(hwnd, SW_HIDE);
}

TEST(FolderChoiceDialogAlone, FollowsADpiChangeToTheSystemsRectangleWithItsOwnPlacesAndFont) {
    RecordingSink sink;
    auto dialog = LoadAlone(sink);
    ASSERT_NE(dialog, nullptr);
    HWND hwnd = dialog->Window();
    const RECT suggested{100, 50, 950, 870};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(frame.right, 950);
    EXPECT_EQ(frame.bottom, 870);
    // At 144 DPI ten twips make one pixel, rounded to the nearest.
    auto expectAt = [&](HWND control, LONG left, LONG top, LONG right, LONG bottom) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, left);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(r.right, right);
        EXPECT_EQ(r.bottom, bottom);
    };
    expectAt(GetDlgItem(hwnd, FolderChoiceDialog::kTreeId), 6, 12, 415, 517);
    expectAt(GetDlgItem(hwnd, IDOK), 432, 462, 541, 499);
    expectAt(GetDlgItem(hwnd, IDCANCEL), 432, 396, 541, 433);
    // The 8-point dialog font at 144 DPI: 16 pixels.
    for (HWND control :
         {GetDlgItem(hwnd, FolderChoiceDialog::kTreeId), GetDlgItem(hwnd, IDOK), GetDlgItem(hwnd, IDCANCEL)}) {
        LOGFONTW font{};
        ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font), 0);
        EXPECT_EQ(font.lfHeight, -16);
    }
}

// A message the tree shows runs a loop of its own: a command that comes through it waits
// until the tree's operation is over, and is void once the dialog is gone meanwhile.
TEST(FolderChoiceDialogAlone, ACommandThatATreeMessageBoxLoopRunsWaitsForTheTree) {
    class PressingSink final : public folders::MessageSink {
    public:
        void Show(std::wstring_view, folders::MessageStyle) override {
            if (dialog == nullptr || dialog->Window() == nullptr) return;
            const HWND window = dialog->Window();
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            if (close) PostMessageW(window, WM_CLOSE, 0, 0);
            testing::PumpPosted();
            tagInside = dialog->Tag();
            shownInside = IsWindowVisible(window) != FALSE;
        }
        FolderChoiceDialog* dialog = nullptr;
        bool close = false;
        std::wstring tagInside = L"<none>";
        bool shownInside = false;
    } sink;
    OvaroFolderTreeView::Sources sources;
    sources.messages = &sink;
    auto dialog = FolderChoiceDialog::Load(GetModuleHandleW(nullptr), nullptr, sources);
    ASSERT_NE(dialog, nullptr);
    sink.dialog = dialog.get();
    const HWND tree =
        FindWindowExW(GetDlgItem(dialog->Window(), FolderChoiceDialog::kTreeId), nullptr, WC_TREEVIEWW, nullptr);
    HTREEITEM n = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    while (n != nullptr && TreeItemText(tree, n) != L"n:") n = TreeView_GetNextSibling(tree, n);
    ASSERT_NE(n, nullptr);
    ASSERT_NE(TreeView_GetPrevSibling(tree, n), nullptr);
    // Down onto the unreachable network drive n:, then Right reads it at once: it tells so.
    const auto readN = [&] {
        TreeView_SelectItem(tree, TreeView_GetPrevSibling(tree, n));
        SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
        SendMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
    };
    ShowWindow(dialog->Window(), SW_SHOW);
    readN();
    EXPECT_EQ(sink.tagInside, L"");
    EXPECT_TRUE(sink.shownInside);
    EXPECT_EQ(dialog->Tag(), L"");
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog->Tag() == L"OK"; }));
    EXPECT_FALSE(IsWindowVisible(dialog->Window()));

    // OK, then the dialog closed, both while the box shows: the OK is void.
    ShowWindow(dialog->Window(), SW_SHOW);
    sink.close = true;
    readN();
    EXPECT_FALSE(dialog->Loaded());
    testing::PumpPosted();
    EXPECT_EQ(dialog->Tag(), L"");
}

}  // namespace
}  // namespace ovaro
