// A person's whole session with the real exe: started as its own process, driven with
// real keystrokes and mouse clicks, checked by what the windows show and what is stored.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <functional>
#include <memory>

#include "ExpectedTexts.h"
#include "OneCopyPerUser.h"
#include "ProgramDriver.h"
#include "TestSupport.h"

namespace ovaro::e2e {
namespace {

const std::wstring kMainCaption = L"Datenordner f\u00fcr Ovaro festlegen";
const std::wstring kDialogCaption = L"Ordner w\u00e4hlen";
const std::wstring kBoxTitle = L"Datenorder f\u00fcr Ovaro festlegen";
const std::wstring kChoose = L"W\u00e4hlen...";
const std::wstring kReset = L"Stand.";
const std::wstring kCheck = L" &Verwenden";
const std::wstring kSave = L"Speichern";
const std::wstring kClose = L"Schlie\u00dfen";
const wchar_t* kSettingsRoot = L"Software\\VB and VBA Program Settings";
const wchar_t* kEditions[] = {L"Lumarix Ovaro",
                              L"Lumarix Ovaro f\u00fcr KDPX",
                              L"Lumarix Ovaro f\u00fcr NEF",
                              L"Lumarix Ovaro f\u00fcr Belvard",
                              L"Lumarix Ovaro f\u00fcr QM",
                              L"Lumarix Ovaro f\u00fcr Sundale",
                              L"Lumarix Ovaro f\u00fcr Tirra"};
constexpr int kCommon = 10;

std::wstring Stored(int edition) {
    const std::wstring path = std::wstring(kSettingsRoot) + L"\\" + kEditions[edition - 1] + L"\\Optionen";
    return testing::ReadRegistryValue(HKEY_CURRENT_USER, path, L"Datenpfad").Text();
}

// Position of a row in the window's top-to-bottom order: the common row stands first.
size_t Slot(int row) { return row == kCommon ? 0 : static_cast<size_t>(row) + 1; }

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const wchar_t* dir : {L"c:\\E2E", L"c:\\E2E\\Alpha", L"c:\\E2E\\Alpha\\Eins",
                                   L"c:\\E2E\\Alpha\\Eins\\Tief", L"c:\\E2E\\Beta", L"c:\\E2E\\Gamma"})
            CreateDirectoryW(dir, nullptr);
    }
    // The program works on the settings the editions read: only in the build's own prefix.
    void SetUp() override {
        OVARO_REQUIRE_OWN_WINE_PREFIX();
        ownPrefix = true;
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
    }
    void TearDown() override {
        program.reset();
        if (!ownPrefix) return;
        if (!lockedKey.empty()) testing::SetKeySecurity(lockedKey, L"D:(A;;KA;;;WD)");  // so that it can go
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
    }

    void Start() { program = std::make_unique<Program>(); }
    HWND Main() const { return program->Main(); }
    HWND Box(int row) const { return Controls(Main(), L"Edit").at(Slot(row)); }
    HWND ChooseButton(int row) const { return Controls(Main(), L"Button", &kChoose).at(Slot(row)); }
    HWND ResetButton(int row) const { return Controls(Main(), L"Button", &kReset).at(Slot(row)); }
    HWND Named(const std::wstring& caption) const { return Controls(Main(), L"Button", &caption).at(0); }

    HWND WaitForBox() const { return program->WaitForWindow(kBoxTitle); }
    // Waits for the dialog while it loads. The test prefix has a network drive that
    // cannot be reached: the tree says so in a box while it loads, which the user confirms.
    HWND WaitForDialog() {
        HWND dialog = nullptr;
        Eventually(
            [&] {
                if (HWND box = program->FindWindowNow(kBoxTitle);
                    box && MessageBoxText(box).rfind(L"Auf Ordner ", 0) == 0) {
                    ++driveMessages;
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    program->WaitUntilGone(box);
                }
                return (dialog = program->FindWindowNow(kDialogCaption)) != nullptr;
            },
            30s);
        EXPECT_NE(dialog, nullptr);
        if (dialog) Activate(dialog);
        return dialog;
    }
    // Opens the dialog of a row with a click on its "Wählen...".
    HWND OpenDialog(int row) {
        Click(ChooseButton(row));
        return WaitForDialog();
    }
    bool RowShows(int row, const std::wstring& text) {
        return Eventually([&] { return Text(Box(row)) == text; }, 5s);
    }

    // Mouse only: the drive, then the folders with their buttons, then "OK".
    void ChooseWithMouse(int row, const std::vector<std::wstring>& folders) {
        HWND dialog = OpenDialog(row);
        ASSERT_NE(dialog, nullptr);
        RemoteTree tree(TreeViewOf(dialog), program->ProcessId());
        HTREEITEM node = tree.Child(tree.Root(), L"c:");
        ASSERT_NE(node, nullptr);
        tree.ClickText(node);
        ASSERT_TRUE(Eventually([&] { return tree.Selected() == node; }));
        for (const auto& name : folders) {
            tree.ClickButton(node);  // expand with its button
            ASSERT_TRUE(Eventually([&] { return tree.Expanded(node); }));
            HTREEITEM next = tree.Child(node, name);
            ASSERT_NE(next, nullptr) << std::string(name.begin(), name.end());
            node = next;
        }
        tree.ClickText(node);
        ASSERT_TRUE(Eventually([&] { return tree.Selected() == node; }));
        Click(GetDlgItem(dialog, IDOK));
        EXPECT_TRUE(program->WaitUntilGone(dialog));
    }

    std::unique_ptr<Program> program;
    std::wstring lockedKey;
    int driveMessages = 0;
    bool ownPrefix = false;
};

TEST_F(EndToEnd, MouseChoosesThreeFoldersResetsOneSavesAndSeesThemAgain) {
    Start();
    ChooseWithMouse(0, {L"E2E", L"Alpha", L"Eins"});
    EXPECT_TRUE(RowShows(0, L"c:\\E2E\\Alpha\\Eins\\"));
    ChooseWithMouse(3, {L"E2E", L"Beta"});
    EXPECT_TRUE(RowShows(3, L"c:\\E2E\\Beta\\"));
    ChooseWithMouse(6, {L"E2E"});
    EXPECT_TRUE(RowShows(6, L"c:\\E2E\\"));
    Click(ResetButton(6));
    EXPECT_TRUE(RowShows(6, L""));

    Click(Named(kSave));
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), testing::kSaveQuestionText);
    ClickMessageBoxButton(question, IDYES);
    ASSERT_TRUE(program->WaitUntilGone(question));
    HWND report = WaitForBox();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(MessageBoxText(report), testing::kSaveReportText);
    ClickMessageBoxButton(report, IDOK);
    ASSERT_TRUE(program->WaitUntilGone(report));
    EXPECT_EQ(Stored(1), L"c:\\E2E\\Alpha\\Eins\\");
    EXPECT_EQ(Stored(4), L"c:\\E2E\\Beta\\");
    EXPECT_EQ(Stored(7), L"");
    EXPECT_EQ(Stored(2), L"");

    // Saved: the close command ends the program without a question.
    PressKey(VK_F4, {VK_MENU});
    EXPECT_TRUE(program->WaitForExit());

    Start();
    EXPECT_EQ(Text(Box(0)), L"c:\\E2E\\Alpha\\Eins\\");
    EXPECT_EQ(Text(Box(3)), L"c:\\E2E\\Beta\\");
    EXPECT_EQ(Text(Box(6)), L"");
}

// A screen reader is another process: what it reads crosses over through COM, which the
// program starts on its first answer. (Every control's texts: mainwindow_tests.)
TEST_F(EndToEnd, AScreenReaderInAnotherProcessHearsTheDialogRoleTheEditionAndTheTree) {
    Start();
    const testing::AccessibleRead main = testing::ReadAccessible(Main());
    ASSERT_TRUE(main.found);
    EXPECT_EQ(main.name, kMainCaption);
    EXPECT_EQ(main.role, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(main.description.rfind(L"Sie k\u00f6nnen hier die Ordner festlegen", 0), 0u);
    const testing::AccessibleRead choose = testing::ReadAccessible(ChooseButton(3));
    EXPECT_EQ(choose.name, L"Ordner f\u00fcr Belvard w\u00e4hlen");
    EXPECT_EQ(choose.description, L"");
    const testing::AccessibleRead reset = testing::ReadAccessible(ResetButton(kCommon));
    EXPECT_EQ(reset.name, L"Gemeinsamen Ordner auf Standard setzen");
    EXPECT_EQ(reset.description,
              L"Auf Standard zur\u00fccksetzen (Ordner 'RealtimeData\" im Installationsordner von Ovaro)");

    HWND dialog = OpenDialog(5);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(testing::ReadAccessible(TreeViewOf(dialog)).name, L"Ordner");
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(program->WaitUntilGone(dialog));
}

TEST_F(EndToEnd, CommonFolderTickedChosenAndSavedForAllSeven) {
    Start();
    Click(Named(kCheck));
    ASSERT_TRUE(Eventually([&] { return !IsWindowEnabled(Box(0)) && IsWindowEnabled(Box(kCommon)); }));
    ChooseWithMouse(kCommon, {L"E2E", L"Gamma"});
    EXPECT_TRUE(RowShows(kCommon, L"c:\\E2E\\Gamma\\"));
    Click(Named(kSave));
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    ClickMessageBoxButton(question, IDYES);
    program->WaitUntilGone(question);
    HWND report = WaitForBox();
    ASSERT_NE(report, nullptr);
    ClickMessageBoxButton(report, IDOK);
    program->WaitUntilGone(report);
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"c:\\E2E\\Gamma\\") << e;
}

// The window's close command (Alt+F4; a click on the close box gives the same command,
// but Wine without a window manager does not turn injected clicks on the frame into it).
TEST_F(EndToEnd, CloseCommandWithUnsavedChangesAsksNoKeepsYesEnds) {
    Start();
    Click(Box(2));
    TypeText(L"x");
    ASSERT_TRUE(RowShows(2, L"x"));
    PressKey(VK_F4, {VK_MENU});
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), testing::kCloseQuestionText);
    ClickMessageBoxButton(question, IDNO);
    ASSERT_TRUE(program->WaitUntilGone(question));
    EXPECT_TRUE(program->Running());
    Activate(Main());
    PressKey(VK_F4, {VK_MENU});
    question = WaitForBox();
    ASSERT_NE(question, nullptr);
    ClickMessageBoxButton(question, IDYES);
    EXPECT_TRUE(program->WaitForExit());
    EXPECT_EQ(Stored(3), L"<missing>");
}

TEST_F(EndToEnd, KeyboardOnlyReachesEveryRowAndFollowsTheTabOrder) {
    Start();
    const std::pair<WORD, int> keys[] = {{'D', 0}, {'K', 1}, {'N', 2}, {'B', 3}, {'Q', 4}, {'S', 5}, {'T', 6}};
    for (const auto& [key, row] : keys) {
        PressKey(key, {VK_MENU});
        // A structured binding is captured by copy: not every compiler captures one by reference yet.
        EXPECT_TRUE(Eventually([&, row = row] { return program->Focus() == Box(row); }, 5s)) << "Alt+" << char(key);
    }
    // Tab from the last row's box: its two buttons, then "Speichern", "Schließen", the check box.
    const HWND tabOrder[] = {ChooseButton(6), ResetButton(6), Named(kSave), Named(kClose), Named(kCheck), Box(kCommon)};
    for (HWND expected : tabOrder) {
        PressKey(VK_TAB);
        EXPECT_TRUE(Eventually([&] { return program->Focus() == expected; }, 5s));
    }
    PressKey(VK_TAB, {VK_SHIFT});
    EXPECT_TRUE(Eventually([&] { return program->Focus() == Named(kCheck); }, 5s));

    // Alt+V ticks the check box: the edition rows are skipped from now on.
    PressKey('V', {VK_MENU});
    ASSERT_TRUE(Eventually([&] { return SendMessageW(Named(kCheck), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    EXPECT_TRUE(Eventually([&] { return program->Focus() == Named(kSave); }, 5s));
    PressKey('K', {VK_MENU});  // its box is off: the next control that can take the focus
    EXPECT_TRUE(Eventually([&] { return program->Focus() == Named(kSave); }, 5s));

    // Esc with unsaved changes asks; "No" by its key keeps the program.
    PressKey(VK_ESCAPE);
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    PressKey('N');
    ASSERT_TRUE(program->WaitUntilGone(question));
    EXPECT_TRUE(program->Running());
}

TEST_F(EndToEnd, KeyboardInTheDialogAndSpaceOnButtons) {
    Start();
    PressKey('D', {VK_MENU});
    TypeText(L"C:\\e2e\\ALPHA");
    PressKey(VK_TAB);  // "Wählen..." of the row
    ASSERT_TRUE(Eventually([&] { return program->Focus() == ChooseButton(0); }));
    PressKey(VK_SPACE);
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    RemoteTree tree(TreeViewOf(dialog), program->ProcessId());
    ASSERT_TRUE(Eventually([&] { return tree.Selected() != nullptr && tree.ItemText(tree.Selected()) == L"Alpha"; }));
    HTREEITEM alpha = tree.Selected();
    PressKey(VK_LEFT);  // collapse
    EXPECT_TRUE(Eventually([&] { return !tree.Expanded(alpha); }));
    PressKey(VK_RIGHT);  // expand
    EXPECT_TRUE(Eventually([&] { return tree.Expanded(alpha); }));
    PressKey(VK_DOWN);  // to its first folder
    EXPECT_TRUE(Eventually([&] { return tree.Selected() != alpha && tree.ItemText(tree.Selected()) == L"Eins"; }));
    PressKey(VK_RETURN);  // "OK"
    EXPECT_TRUE(program->WaitUntilGone(dialog));
    EXPECT_TRUE(RowShows(0, L"c:\\E2E\\Alpha\\Eins\\"));

    // Esc in the dialog is "Abbrechen": the row stays.
    PressKey(VK_SPACE);  // the focus is back on "Wählen..."
    dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(program->WaitUntilGone(dialog));
    EXPECT_EQ(Text(Box(0)), L"c:\\E2E\\Alpha\\Eins\\");

    // Space on a focused "Stand." empties the row.
    PressKey(VK_TAB);
    ASSERT_TRUE(Eventually([&] { return program->Focus() == ResetButton(0); }));
    PressKey(VK_SPACE);
    EXPECT_TRUE(RowShows(0, L""));
}

TEST_F(EndToEnd, TypedPathIsSavedExactlyAndEscEndsWithoutQuestionAfterSaving) {
    Start();
    Click(Box(4));
    const std::wstring typed = L" C:\\e2e\\ALPHA\\Eins  ";
    TypeText(typed);
    ASSERT_TRUE(RowShows(4, typed));
    Click(Named(kSave));
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    PressKey(VK_RETURN);  // "Yes" is the default button
    ASSERT_TRUE(program->WaitUntilGone(question));
    HWND report = WaitForBox();
    ASSERT_NE(report, nullptr);
    PressKey(VK_RETURN);
    ASSERT_TRUE(program->WaitUntilGone(report));
    EXPECT_EQ(Stored(5), typed);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(program->WaitForExit());
}

TEST_F(EndToEnd, SessionEndWithUnsavedChangesAsksNothingAndWritesNothing) {
    Start();
    Click(Box(1));
    TypeText(L"d:\\neu");
    ASSERT_TRUE(RowShows(1, L"d:\\neu"));
    EXPECT_TRUE(SendMessageW(Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageTimeoutW(Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(program->WaitForExit());
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
    EXPECT_EQ(Stored(2), L"<missing>");
}

// Esc in Wine's Yes/No box answers IDCANCEL: that is no Yes, in either question.
TEST_F(EndToEnd, EscInTheSaveOrTheCloseQuestionNeitherSavesNorEnds) {
    Start();
    Click(Box(2));
    TypeText(L"c:\\neu");
    ASSERT_TRUE(RowShows(2, L"c:\\neu"));
    Click(Named(kSave));
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), testing::kSaveQuestionText);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(program->WaitUntilGone(question));
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"<missing>") << e;

    Activate(Main());
    PressKey(VK_F4, {VK_MENU});
    question = WaitForBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), testing::kCloseQuestionText);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(program->WaitUntilGone(question));
    // Neither a save report after the first nor the end after the second: the program
    // runs on with the change, and asks again.
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
    EXPECT_TRUE(program->Running());
    EXPECT_EQ(Text(Box(2)), L"c:\\neu");
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"<missing>") << e;
    Activate(Main());
    PressKey(VK_ESCAPE);
    question = WaitForBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), testing::kCloseQuestionText);
}

// The taskbar's close reaches the main window while the folder dialog or a message box
// holds it disabled: that window comes to the front, nothing is asked, nothing is lost.
TEST_F(EndToEnd, ACloseRequestWhileTheDialogOrAQuestionIsOpenBringsItForwardAndAsksNothing) {
    Start();
    Click(Box(1));
    TypeText(L"x");
    ASSERT_TRUE(RowShows(1, L"x"));
    OtherWindow other;
    // Sent, so that each request has been handled when the call returns: a question shown
    // by it would hold the call in its loop.
    auto requestClose = [&](UINT message, WPARAM wParam) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(Main(), message, wParam, 0, SMTO_NORMAL, 5000, &result) != 0;
    };

    HWND dialog = OpenDialog(0);
    ASSERT_NE(dialog, nullptr);
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_SYSCOMMAND, SC_CLOSE}, {WM_CLOSE, 0}}) {
        Activate(other.Window());
        EXPECT_TRUE(requestClose(message, wParam)) << message;
        EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr) << message;
        EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == dialog; }, 5s)) << message;
    }
    // The dialog works on as before: Esc closes it, the main window takes input again.
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(program->WaitUntilGone(dialog));
    EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(Main()) != FALSE; }, 5s));
    EXPECT_EQ(program->CountWindows(kDialogCaption), 0u);
    EXPECT_EQ(Text(Box(1)), L"x");

    Activate(Main());
    Click(Named(kSave));
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_SYSCOMMAND, SC_CLOSE}, {WM_CLOSE, 0}}) {
        Activate(other.Window());
        EXPECT_TRUE(requestClose(message, wParam)) << message;
        EXPECT_EQ(program->CountWindows(kBoxTitle), 1u) << message;
        EXPECT_EQ(MessageBoxText(question), testing::kSaveQuestionText);
        EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == question; }, 5s)) << message;
    }
    PressKey('N');
    ASSERT_TRUE(program->WaitUntilGone(question));
    EXPECT_TRUE(program->Running());
    EXPECT_EQ(Text(Box(1)), L"x");
    EXPECT_EQ(Stored(2), L"<missing>");
}

// While the dialog loads, the tree tells about the unreachable network drive: the main
// window takes no click then, and the message stays in front, owned by the window shown.
TEST_F(EndToEnd, WhileTheDialogLoadsOrShowsTheMainWindowTakesNoInputAndMessagesStayInFront) {
    Start();
    Click(Box(1));
    TypeText(L"x");
    ASSERT_TRUE(RowShows(1, L"x"));
    Click(ChooseButton(0));
    HWND box = WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).substr(0, 15), L"Auf Ordner n:\\ ");
    EXPECT_EQ(GetWindow(box, GW_OWNER), Main());
    EXPECT_FALSE(IsWindowEnabled(Main()));
    // Out of the way, so the clicks below land on the main window itself.
    SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT boxRect{}, mainRect{}, overlap{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(Main(), &mainRect);
    ASSERT_FALSE(IntersectRect(&overlap, &boxRect, &mainRect));
    Click(ResetButton(1));
    Click(ChooseButton(2));
    EXPECT_FALSE(Eventually([&] { return Text(Box(1)).empty() || program->CountWindows(kBoxTitle) > 1; }, 1s));
    EXPECT_EQ(GetForegroundWindow(), box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(program->WaitUntilGone(box));  // else the wait below may count it as a second one
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(driveMessages, 0);  // no second dialog was loading
    EXPECT_FALSE(IsWindowEnabled(Main()));

    // A message while the dialog shows belongs to the dialog.
    RemoteTree tree(TreeViewOf(dialog), program->ProcessId());
    HTREEITEM cdRom = tree.Child(tree.Root(), L"r:");
    ASSERT_NE(cdRom, nullptr);
    tree.ClickText(cdRom);
    box = WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).substr(0, 15), L"Auf Ordner r:\\ ");
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(program->WaitUntilGone(box));
    Activate(dialog);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(program->WaitUntilGone(dialog));
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(Text(Box(1)), L"x");
    EXPECT_EQ(program->CountWindows(kDialogCaption), 0u);
}

// Another program's window lies behind the main window: it must not come to the front
// when the dialog goes.
TEST_F(EndToEnd, TheMainWindowIsInFrontAgainAfterOkAbbrechenAndEsc) {
    Start();
    OtherWindow other;
    Activate(other.Window());
    Activate(Main());
    const std::function<void(HWND)> ways[] = {
        [](HWND) { PressKey(VK_RETURN); },
        [](HWND dialog) { Click(GetDlgItem(dialog, IDCANCEL)); },
        [](HWND) { PressKey(VK_ESCAPE); },
    };
    for (int way = 0; way < 3; ++way) {
        HWND dialog = OpenDialog(0);
        ASSERT_NE(dialog, nullptr);
        ways[way](dialog);
        ASSERT_TRUE(program->WaitUntilGone(dialog));
        EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == Main(); }, 5s)) << "way " << way;
        Activate(Main());
    }
}

TEST_F(EndToEnd, NumpadStarOpensTheSelectedFolderOnly) {
    Start();
    PressKey('D', {VK_MENU});
    TypeText(L"c:\\e2e");
    Click(ChooseButton(0));
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    RemoteTree tree(TreeViewOf(dialog), program->ProcessId());
    ASSERT_TRUE(Eventually([&] { return tree.Selected() != nullptr && tree.ItemText(tree.Selected()) == L"E2E"; }));
    HTREEITEM e2e = tree.Selected();
    PressKey(VK_LEFT);
    ASSERT_TRUE(Eventually([&] { return !tree.Expanded(e2e); }));
    PressKey(VK_MULTIPLY);
    ASSERT_TRUE(Eventually([&] { return tree.Expanded(e2e); }));
    HTREEITEM alpha = tree.Child(e2e, L"Alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_FALSE(tree.Expanded(alpha));
    HTREEITEM eins = tree.Child(alpha, L"Eins");
    ASSERT_NE(eins, nullptr);
    EXPECT_FALSE(tree.Expanded(eins));
    EXPECT_TRUE(tree.Children(eins).empty());  // read only one level ahead of what shows
    EXPECT_EQ(tree.Selected(), e2e);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(program->WaitUntilGone(dialog));
}

TEST_F(EndToEnd, ASecondStartBringsTheRunningCopyToTheFrontAndEnds) {
    Start();
    OtherWindow other;
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == Main(); }, 5s));

    ShowWindow(Main(), SW_MINIMIZE);
    ASSERT_TRUE(Eventually([&] { return IsIconic(Main()) != FALSE; }));
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return !IsIconic(Main()) && GetForegroundWindow() == Main(); }, 5s));

    // With the dialog open, the dialog is what comes to the front, also from minimised.
    HWND dialog = OpenDialog(0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(Main(), SW_MINIMIZE);
    ASSERT_TRUE(Eventually([&] { return IsIconic(Main()) != FALSE; }));
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return !IsIconic(Main()) && GetForegroundWindow() == dialog; }, 5s));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(program->WaitUntilGone(dialog));
    EXPECT_EQ(program->CountWindows(kMainCaption), 1u);
    EXPECT_TRUE(program->Running());
}

// This test process plays the running copy, with the program's own claim of the name.
// While it lives and shows no window, a start waits for one and then says that the program
// runs. Once its window is gone while it lives on, as a copy that is ending but stuck in a
// read does, a start runs in its place.
TEST_F(EndToEnd, ASecondStartNextToACopyWithoutWindowTellsOrRunsInItsPlace) {
    OneCopyPerUser ending(L"ZomaOvaroOrdnerSetzen");
    ASSERT_EQ(ending.Choose(0ms), StartChoice::Run);
    program = std::make_unique<Program>(kBoxTitle);  // after its wait for a window, 10 s
    EXPECT_EQ(MessageBoxText(program->First()), testing::kAlreadyRunningText);
    ClickMessageBoxButton(program->First(), IDOK);
    EXPECT_TRUE(program->WaitForExit());

    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    ending.Publish(gone);
    DestroyWindow(gone);
    ending.Release();  // as the program does once its window is gone
    Start();           // its main window shows
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
    // It took the name over: a further start brings it to the front and ends.
    OtherWindow other;
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == Main(); }, 5s));
    EXPECT_EQ(program->CountWindows(kMainCaption), 1u);
}

// An object made by the test under one of the user's names: a mutex, held by this thread,
// or a shared block; with the access list (and owner) of `sddl`.
Owned<HANDLE, &CloseHandle> HoldObject(bool mutex, const std::wstring& name, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return Owned<HANDLE, &CloseHandle>();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE held = mutex ? CreateMutexW(&attributes, TRUE, name.c_str())
                        : CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 16, name.c_str());
    LocalFree(descriptor);
    return Owned<HANDLE, &CloseHandle>(held);
}

// The SID in the user's object names, "S-1-5-...".
std::wstring UserSidText() {
    const std::wstring name = PerUserObjectName(L"Global", L"ZomaOvaroOrdnerSetzen");
    return name.substr(name.find(L"-S-") + 1);
}

// Another account (runas, in this session) made an object under one of the user's names
// first: owned by SYSTEM, or with an access list that lets nobody in. Neither keeps the
// program from starting, nor does it speak of a copy: the program runs as if it were not
// there. The session's block and the user's claim, each both ways.
TEST_F(EndToEnd, AnObjectOfAnotherAccountUnderTheUsersNamesIsIgnoredAndTheProgramRuns) {
    const std::wstring local = PerUserObjectName(L"Local", L"ZomaOvaroOrdnerSetzen");
    const std::wstring global = PerUserObjectName(L"Global", L"ZomaOvaroOrdnerSetzen");
    ASSERT_EQ(local, L"Local\\ZomaOvaroOrdnerSetzen-" + UserSidText());
    ASSERT_EQ(global, L"Global\\ZomaOvaroOrdnerSetzen-" + UserSidText());
    struct Case {
        const char* what;
        bool mutex;
        std::wstring name;
        std::wstring sddl;
    };
    const Case cases[] = {
        {"block of SYSTEM's, open to all", false, local, L"O:SYD:(A;;GA;;;WD)"},
        {"block shut to all", false, local, L"D:(D;;GA;;;WD)"},
        {"claim of SYSTEM's, open to all", true, global, L"O:SYD:(A;;GA;;;WD)"},
        {"claim shut to all", true, global, L"D:(D;;GA;;;WD)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto held = HoldObject(c.mutex, c.name, c.sddl);
        ASSERT_NE(held.get(), nullptr);
        Start();  // its main window shows
        EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
        program.reset();
    }
}

// The record names a live process and a window of it, but that process is not the program
// (this test process): the window gets no request to come forward, and the program runs.
TEST_F(EndToEnd, ARecordNamingAnotherProgramsWindowGetsNoPostAndTheProgramRuns) {
    OneCopyPerUser other(L"ZomaOvaroOrdnerSetzen");
    ASSERT_EQ(other.Choose(0ms), StartChoice::Run);
    HWND foreign =
        CreateWindowExW(0, L"STATIC", L"Anderes Programm", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(foreign, nullptr);
    other.Publish(foreign);
    other.Release();  // the record alone speaks
    Start();          // its main window shows
    // A post would have come before the program's window showed; it would wait in this queue.
    const UINT comeToFront = RegisterWindowMessageW(L"ZomaOvaroOrdnerSetzen-NachVorn");
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, foreign, comeToFront, comeToFront, PM_REMOVE));
    DestroyWindow(foreign);
}

// A copy of the user runs in another session: it holds the user's claim, and this session
// has no block of it. Wine has one session; this test process holds the claim as that copy
// does, and the start speaks of the other session under the program's title, and ends.
TEST_F(EndToEnd, AStartWhileTheUsersCopyRunsInAnotherSessionSaysSoAndEnds) {
    const std::wstring sid = UserSidText();
    const auto claim =
        HoldObject(true, L"Global\\ZomaOvaroOrdnerSetzen-" + sid, L"O:" + sid + L"D:P(A;;GA;;;" + sid + L")");
    ASSERT_NE(claim.get(), nullptr);
    program = std::make_unique<Program>(kBoxTitle);
    HWND box = program->First();
    EXPECT_EQ(MessageBoxText(box), L"Das Programm l\u00e4uft bereits in einer anderen Sitzung dieses Benutzers.");
    EXPECT_EQ(Text(box), L"Datenorder f\u00fcr Ovaro festlegen");
    EXPECT_EQ(program->CountWindows(kMainCaption), 0u);
    ClickMessageBoxButton(box, IDOK);
    EXPECT_TRUE(program->WaitForExit());
    EXPECT_EQ(program->CountWindows(kMainCaption), 0u);
}

// One edition's settings cannot be read: the program says so before its window shows,
// and a second start meanwhile brings that message to the front.
TEST_F(EndToEnd, ASecondStartDuringALoadFailureBringsItsMessageForward) {
    lockedKey = std::wstring(kSettingsRoot) + L"\\" + kEditions[2] + L"\\Optionen";
    ASSERT_EQ(testing::WriteRegistryText(HKEY_CURRENT_USER, lockedKey, L"Datenpfad", L"c:\\E2E"), ERROR_SUCCESS);
    ASSERT_TRUE(testing::SetKeySecurity(lockedKey, L"D:(D;;0x1;;;WD)(A;;KA;;;WD)"));  // no KEY_QUERY_VALUE
    program = std::make_unique<Program>(kBoxTitle);
    HWND box = program->First();
    EXPECT_NE(MessageBoxText(box).find(L"'Lumarix Ovaro f\u00fcr NEF' konnte nicht aus der Registry gelesen werden."),
              std::wstring::npos);
    OtherWindow other;
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == box; }, 5s));
    ClickMessageBoxButton(box, IDOK);
    ASSERT_TRUE(program->WaitUntilGone(box));
    EXPECT_NE(program->WaitForWindow(kMainCaption), nullptr);
    EXPECT_EQ(program->CountWindows(kMainCaption), 1u);
}

// The .reg example of the download, imported as an administrator does it with reg import:
// the seven values land where the editions look, and the program shows each in its row.
TEST_F(EndToEnd, TheRegExampleImportedWithRegImportGivesEachEditionItsFolder) {
    std::string unix = OVARO_REG_EXAMPLE_PATH;
    std::wstring command = L"reg.exe import \"Z:";
    for (char c : unix) command += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    command += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    DWORD code = 1;
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    ASSERT_EQ(code, 0u);

    const std::wstring expected[] = {L"D:\\Ovaro-Daten\\DDE\\",  L"D:\\Ovaro-Daten\\KDPX\\",
                                     L"D:\\Ovaro-Daten\\NEF\\",  L"D:\\Ovaro-Daten\\Belvard\\",
                                     L"D:\\Ovaro-Daten\\QM\\",   L"D:\\Ovaro-Daten\\Sundale\\",
                                     L"D:\\Ovaro-Daten\\Tirra\\"};
    for (int edition = 1; edition <= 7; ++edition) {
        const std::wstring path = std::wstring(kSettingsRoot) + L"\\" + kEditions[edition - 1] + L"\\Optionen";
        EXPECT_EQ(testing::ReadRegistryValue(HKEY_CURRENT_USER, path, L"Datenpfad").type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(Stored(edition), expected[edition - 1]);
    }
    Start();
    for (int row = 0; row < 7; ++row) EXPECT_TRUE(RowShows(row, expected[row])) << "row " << row;
}

}  // namespace
}  // namespace ovaro::e2e
