// The main window with its real controls, the real registry and real message boxes.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>

#include "MainWindow.h"
#include "MainWindowHarness.h"
#include "MessageBoxWatcher.h"
#include "ProgramIdentity.h"
#include "RegistrySettingsStore.h"

namespace ovaro {
namespace {

constexpr const wchar_t* kSettingsRoot = L"Software\\VB and VBA Program Settings";

std::wstring SectionPath(int edition) {
    return std::wstring(kSettingsRoot) + L"\\" + std::wstring(kEditionen[edition - 1].applicationName) + L"\\Optionen";
}

void StoreValue(int edition, const std::wstring& value) {
    RegistrySettingsStore().Write(kEditionen[edition - 1].applicationName, L"Optionen", L"Datenpfad", value);
}

// The stored value and its type; "<missing>" when there is none.
std::wstring Stored(int edition, DWORD* type = nullptr) {
    DWORD size = 0, t = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SectionPath(edition).c_str(), L"Datenpfad", RRF_RT_ANY | RRF_NOEXPAND, &t,
                     nullptr, &size) != ERROR_SUCCESS)
        return L"<missing>";
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    RegGetValueW(HKEY_CURRENT_USER, SectionPath(edition).c_str(), L"Datenpfad", RRF_RT_ANY | RRF_NOEXPAND, &t,
                 value.data(), &size);
    value.resize(wcslen(value.c_str()));
    if (type) *type = t;
    return value;
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

class MainWindowTest : public testing::MainWindowHarness {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot); }
    void TearDown() override {
        window.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
    }

    void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
    void Type(HWND box, const std::wstring& text) {
        SetFocus(box);
        for (wchar_t c : text) SendMessageW(box, WM_CHAR, c, 0);
    }
    // Runs one keystroke through the platform's dialog keys, as the message loop does.
    bool DialogKey(UINT message, WPARAM key) {
        MSG msg{GetFocus(), message, key, message == WM_SYSCHAR ? (1 << 29) : 0, 0, {0, 0}};
        return IsDialogMessageW(window->Window(), &msg) != FALSE;
    }
};

void ExpectLayoutAt(const MainWindow& window, UINT dpi) {
    auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    RECT client{};
    GetClientRect(window.Window(), &client);
    EXPECT_NEAR(client.right, px(kClientWidthTwips), 1) << "dpi " << dpi;
    EXPECT_NEAR(client.bottom, px(kClientHeightTwips), 1) << "dpi " << dpi;
    const auto table = MainWindowControls();
    HWND child = GetWindow(window.Window(), GW_CHILD);
    int checked = 0;
    for (const ControlSpec& entry : table) {
        HWND control = window.Control(entry.kind, entry.index);
        if (entry.kind == ControlKind::Frame || (entry.kind == ControlKind::Label && entry.index < 0)) {
            // single controls without an array index: find by caption
            control = nullptr;
            for (HWND c = child; c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
                if (Text(c) == std::wstring(entry.caption)) control = c;
        }
        ASSERT_NE(control, nullptr) << std::string(entry.name.begin(), entry.name.end());
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window.Window(), reinterpret_cast<POINT*>(&r), 2);
        const TwipsRect t = ClientTwips(entry);
        const std::string name(entry.name.begin(), entry.name.end());
        EXPECT_NEAR(r.left, px(t.left), 1) << name << " " << entry.index << " dpi " << dpi;
        EXPECT_NEAR(r.top, px(t.top), 1) << name << " " << entry.index << " dpi " << dpi;
        EXPECT_NEAR(r.right - r.left, px(t.width), 1) << name << " " << entry.index << " dpi " << dpi;
        EXPECT_NEAR(r.bottom - r.top, px(t.height), 1) << name << " " << entry.index << " dpi " << dpi;
        ++checked;
    }
    EXPECT_EQ(checked, 38);
}

TEST_F(MainWindowTest, EveryControlSitsWhereTheTwipsTableSaysAt96And144Dpi) {
    Open();
    ASSERT_EQ(window->Dpi(), 96u);
    ExpectLayoutAt(*window, 96);
    RECT suggested{};
    GetWindowRect(window->Window(), &suggested);
    SendMessageW(window->Window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ExpectLayoutAt(*window, 144);
}

TEST_F(MainWindowTest, WindowIsFixedCentredAndCaptioned) {
    Open();
    const LONG style = GetWindowLongW(window->Window(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(Text(window->Window()), L"Datenordner f\u00fcr Ovaro festlegen");
    RECT r{};
    GetWindowRect(window->Window(), &r);
    MONITORINFO m{};
    m.cbSize = sizeof m;
    GetMonitorInfoW(MonitorFromWindow(window->Window(), MONITOR_DEFAULTTOPRIMARY), &m);
    EXPECT_NEAR((r.left + r.right) / 2, (m.rcWork.left + m.rcWork.right) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, (m.rcWork.top + m.rcWork.bottom) / 2, 1);
    EXPECT_EQ(Text(window->Control(ControlKind::CheckBox)), L" &Verwenden");
    EXPECT_EQ(Text(Row(6, ControlKind::Label)), L"&tirra desk");
    EXPECT_EQ(Text(window->Control(ControlKind::CloseButton)), L"Schlie\u00dfen");
    EXPECT_EQ(Row(7), nullptr);
    EXPECT_EQ(Row(9, ControlKind::ChooseButton), nullptr);
}

TEST_F(MainWindowTest, TabOrderFollowsTheTableAndSkipsDisabledControls) {
    Open();
    std::vector<HWND> expected;
    for (const ControlSpec& entry : MainWindowControls())
        if (entry.kind != ControlKind::Frame && entry.kind != ControlKind::Label)
            expected.push_back(window->Control(entry.kind, entry.index));
    ASSERT_EQ(expected.size(), 27u);
    HWND at = expected.back();
    for (HWND next : expected) {
        at = GetNextDlgTabItem(window->Window(), at, FALSE);
        EXPECT_EQ(at, next);
    }
    EXPECT_EQ(GetNextDlgTabItem(window->Window(), expected[0], TRUE), expected.back());  // Shift+Tab wraps

    Click(window->Control(ControlKind::CheckBox));  // common mode: the edition rows are off
    EXPECT_EQ(GetNextDlgTabItem(window->Window(), Row(10, ControlKind::ResetButton), FALSE),
              window->Control(ControlKind::SaveButton));
}

TEST_F(MainWindowTest, ToolTipsAreExactAndOnlyWhereTheyBelong) {
    Open();
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM out) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(out) = hwnd;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2 + 8 + 1);
    auto tipOf = [&](HWND control) {
        wchar_t text[256] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window->Window();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text);
    };
    EXPECT_EQ(tipOf(Row(3, ControlKind::ResetButton)),
              L"Auf Standard zur\u00fccksetzen (Ordner 'RealtimeData\" im Installationsordner von Ovaro)");
    EXPECT_EQ(tipOf(Row(0, ControlKind::ChooseButton)), L"Einen Ordner w\u00e4hlen");
    EXPECT_EQ(tipOf(Row(10, ControlKind::ChooseButton)), L"Einen Ordner w\u00e4hlen");
    EXPECT_EQ(tipOf(Row(1, ControlKind::ChooseButton)), L"");
    EXPECT_EQ(tipOf(window->Control(ControlKind::CheckBox)),
              L"Gibt an, ob f\u00fcr alle Ovaro-Versionen derselbe Datenordner verwendet werden soll");
}

TEST_F(MainWindowTest, LoadFillsRowsFromTheRegistryWithoutAChange) {
    StoreValue(1, L"c:\\Ovaro\\");
    StoreValue(7, std::wstring(40000, L'y'));
    Open();
    EXPECT_EQ(Text(Row(0)), L"c:\\Ovaro\\");
    EXPECT_EQ(GetWindowTextLengthW(Row(6)), 40000);  // longer than an edit's default limit
    EXPECT_FALSE(window->Behaviour().bGeaendert());
    for (int16_t r : {0, 1, 2, 3, 4, 5, 6, 10}) EXPECT_TRUE(IsWindowEnabled(Row(r))) << r;
    EXPECT_EQ(SendMessageW(window->Control(ControlKind::CheckBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(MainWindowTest, TypingResetAndCheckBoxEachMarkAChange) {
    Open();
    Type(Row(2), L"e:\\ x ");
    EXPECT_EQ(Text(Row(2)), L"e:\\ x ");
    EXPECT_TRUE(window->Behaviour().bGeaendert());

    window->Behaviour().Form_Load();  // flag back to false, rows from the (empty) store
    Click(Row(4, ControlKind::ResetButton));
    EXPECT_TRUE(window->Behaviour().bGeaendert());

    window->Behaviour().Form_Load();
    Click(window->Control(ControlKind::CheckBox));
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    EXPECT_FALSE(IsWindowEnabled(Row(0)));
    EXPECT_FALSE(IsWindowEnabled(Row(6, ControlKind::ResetButton)));
    EXPECT_TRUE(IsWindowEnabled(Row(10, ControlKind::ChooseButton)));
    Click(window->Control(ControlKind::CheckBox));
    EXPECT_TRUE(IsWindowEnabled(Row(0)));
    EXPECT_FALSE(IsWindowEnabled(Row(10)));
}

TEST_F(MainWindowTest, SaveWritesRegSzForAllSevenAndReports) {
    StoreValue(3, L"alt");
    Open();
    SetWindowTextW(Row(0), L"d:\\Daten\\");
    SetWindowTextW(Row(2), L"");
    Click(window->Control(ControlKind::SaveButton));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text.substr(0, 66), L"Sollen die Datenordner jetzt in der Registry gespeichert werden?\r\n");
    EXPECT_EQ(shown[0].style, 4u);
    EXPECT_EQ(shown[1].style, 0u);
    DWORD type = 0;
    EXPECT_EQ(Stored(1, &type), L"d:\\Daten\\");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Stored(3, &type), L"");  // emptied, still there as an empty string value
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    for (int e = 4; e <= 7; ++e) EXPECT_EQ(Stored(e), L"") << e;
    EXPECT_FALSE(window->Behaviour().bGeaendert());

    // The editions read the same place: the registry tool finds the value there too.
    FILE* reg = _wpopen(L"reg query \"HKCU\\Software\\VB and VBA Program Settings\\Lumarix Ovaro\\Optionen\" /v Datenpfad", L"r");
    ASSERT_NE(reg, nullptr);
    std::string output;
    char line[512];
    while (fgets(line, sizeof line, reg)) output += line;
    _pclose(reg);
    EXPECT_NE(output.find("REG_SZ"), std::string::npos) << output;
    EXPECT_NE(output.find("d:\\Daten\\"), std::string::npos) << output;
}

TEST_F(MainWindowTest, SaveInCommonModeAndRefusedSave) {
    Open();
    Click(window->Control(ControlKind::CheckBox));
    SetWindowTextW(Row(10), L"g:\\Gemeinsam\\");
    answers = {IDNO};
    Click(window->Control(ControlKind::SaveButton));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(Stored(1), L"<missing>");
    EXPECT_TRUE(window->Behaviour().bGeaendert());

    Click(window->Control(ControlKind::SaveButton));
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"g:\\Gemeinsam\\") << e;
    EXPECT_EQ(Text(Row(0)), L"");  // edition rows keep their former texts
}

TEST_F(MainWindowTest, AWriteRefusedHalfWayIsReportedAndCanBeRetried) {
    for (int e = 1; e <= 7; ++e) StoreValue(e, L"alt");
    // The registry refuses a non-volatile key below a volatile one: make edition 5's
    // application key volatile, so that its section cannot be created.
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kSettingsRoot) + L"\\" + std::wstring(kEditionen[4].applicationName)).c_str());
    HKEY vol = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                              (std::wstring(kSettingsRoot) + L"\\" + std::wstring(kEditionen[4].applicationName)).c_str(),
                              0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol, nullptr), ERROR_SUCCESS);
    RegCloseKey(vol);
    Open();
    for (int16_t r = 0; r < 7; ++r) SetWindowTextW(Row(r), (L"neu" + std::to_wstring(r)).c_str());
    Click(window->Control(ControlKind::SaveButton));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].style, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_NE(shown[1].text.find(L"'Lumarix Ovaro f\u00fcr QM'"), std::wstring::npos) << std::string(shown[1].text.begin(), shown[1].text.end());
    EXPECT_NE(shown[1].text.find(L"1021"), std::wstring::npos);
    for (int e = 1; e <= 4; ++e) EXPECT_EQ(Stored(e), L"neu" + std::to_wstring(e - 1)) << e;
    for (int e = 6; e <= 7; ++e) EXPECT_EQ(Stored(e), L"alt") << e;
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    EXPECT_EQ(Text(Row(6)), L"neu6");

    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kSettingsRoot) + L"\\" + std::wstring(kEditionen[4].applicationName)).c_str());
    shown.clear();
    Click(window->Control(ControlKind::SaveButton));
    EXPECT_EQ(shown.size(), 2u);
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"neu" + std::to_wstring(e - 1)) << e;
    EXPECT_FALSE(window->Behaviour().bGeaendert());
}

TEST_F(MainWindowTest, CloseBoxAsksOnlyWithChangesAndNoKeepsTheWindow) {
    Open();
    SendMessageW(window->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(ended, 1);
}

TEST_F(MainWindowTest, CloseWithChangesNoThenYes) {
    Open();
    Type(Row(1), L"x");
    answers = {IDNO};
    SendMessageW(window->Window(), WM_CLOSE, 0, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Das Programm wirklich beenden, ohne die \u00c4nderungen zu speichern?");
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(IsWindow(window->Window()));
    SendMessageW(window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Stored(2), L"<missing>");
}

TEST_F(MainWindowTest, SessionEndClosesWithoutQuestionOrWrite) {
    Open();
    Type(Row(1), L"x");
    HWND hwnd = window->Window();
    EXPECT_TRUE(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0));
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Stored(2), L"<missing>");
}

TEST_F(MainWindowTest, AccessKeysEscAndTheCheckBoxKey) {
    Open();
    SetForegroundWindow(window->Window());
    SetFocus(window->Control(ControlKind::CheckBox));
    EXPECT_TRUE(DialogKey(WM_SYSCHAR, L'k'));
    EXPECT_EQ(GetFocus(), Row(1));
    EXPECT_TRUE(DialogKey(WM_SYSCHAR, L't'));
    EXPECT_EQ(GetFocus(), Row(6));
    EXPECT_TRUE(DialogKey(WM_SYSCHAR, L'v'));
    EXPECT_EQ(SendMessageW(window->Control(ControlKind::CheckBox), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    // The row's box is off now: the key lands on the next control that can take the focus.
    EXPECT_TRUE(DialogKey(WM_SYSCHAR, L'd'));
    EXPECT_EQ(GetFocus(), window->Control(ControlKind::SaveButton));

    answers = {IDNO};
    EXPECT_TRUE(DialogKey(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_EQ(shown.size(), 1u);  // asked, because of the change
    EXPECT_EQ(ended, 0);
}

TEST(MainWindowMessageBoxes, RealBoxesCarryTitleTextButtonsAndIcon) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
    RegistrySettingsStore store;
    MainWindowHooks hooks;  // the real message boxes
    int ended = 0;
    hooks.endProgram = [&] { ++ended; };
    auto window = MainWindow::Create(GetModuleHandleW(nullptr), store, std::move(hooks));
    ASSERT_NE(window, nullptr);
    window->Show(SW_SHOWNORMAL);
    {
        testing::MessageBoxWatcher watcher(std::wstring(kProgramTitle), IDNO);
        SendMessageW(window->Control(ControlKind::SaveButton), BM_CLICK, 0, 0);
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, std::wstring(kSaveQuestion));
        EXPECT_TRUE(seen.hasYes);
        EXPECT_TRUE(seen.hasNo);
        EXPECT_EQ(seen.defaultButton, IDYES);
        EXPECT_FALSE(seen.hasIcon);
    }
    SetWindowTextW(window->Control(ControlKind::Text, 0), L"x");
    {
        testing::MessageBoxWatcher watcher(std::wstring(kProgramTitle), IDYES);
        SendMessageW(window->Control(ControlKind::CloseButton), BM_CLICK, 0, 0);
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, std::wstring(kCloseQuestion));
    }
    EXPECT_EQ(ended, 1);
    {
        testing::MessageBoxWatcher watcher(std::wstring(kProgramTitle), IDOK);
        window->ReportFailure(L"Fehlertext");
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_TRUE(seen.hasOk);
        EXPECT_TRUE(seen.hasIcon);
    }
}

}  // namespace
}  // namespace ovaro
