// The main window with its real controls, the real registry (below a scratch key) and
// real message boxes.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>

#include "AccessibleText.h"
#include "ExpectedTexts.h"
#include "MainWindow.h"
#include "MainWindowHarness.h"
#include "MessageBoxWatcher.h"
#include "RegistrySettingsStore.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

using testing::kCloseQuestionText;
using testing::kSaveQuestionText;
using testing::kSaveReportText;
using testing::kTitle;

const std::wstring kLabel1Words =
    L"Sie k\u00f6nnen hier die Ordner festlegen, in die Lumarix Ovaro Realtime-Daten speichert (gegebenenfalls in "
    L"weitere Unterordner). Ist kein Ordner angegeben, wird standardm\u00e4\u00dfig der Order 'RealtimeData' im "
    L"Installationsordner von Lumarix Ovaro verwendet.";
const std::wstring kLabel3Words =
    L"Die neue Einstellung wird erst wirksam, wenn Sie 'Speichern' klicken und Lumarix Ovaro danach neu starten. "
    L"Zuvor sollten Sie bereits vorhandene Ovaro-Dateien in den neuen Datenordner verschieben.";
std::wstring Text(HWND hwnd) { return testing::WindowText(hwnd); }

class MainWindowTest : public testing::MainWindowHarness {
protected:
    void StoreValue(int edition, const std::wstring& value) { PutText(edition, value); }
    // The stored text and its type; "<missing>" when there is none.
    std::wstring Stored(int edition, DWORD* type = nullptr) const {
        const testing::RegistryValue value = MainWindowHarness::Stored(edition);
        if (type) *type = value.type;
        return value.Text();
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

// Twips to pixels, rounded to the nearest pixel as MulDiv rounds.
int Px(int twips, UINT dpi) { return (twips * static_cast<int>(dpi) + 720) / 1440; }

struct Place {
    ControlKind kind;
    int16_t index;
    std::wstring caption;          // finds a control that has no index of its own
    int left, top, width, height;  // twips from the client area's corner
};

// Every control's place as the layout gives it; a control inside a frame stands at the
// frame's corner (Frame2 at 180, 840; Frame1 at 180, 2040) plus its own Left and Top.
std::vector<Place> ExpectedPlaces() {
    const int f2x = 180, f2y = 840, f1x = 180, f1y = 2040;
    std::vector<Place> places = {
        {ControlKind::Frame, -1, L"Gemeinsamer Ordner f\u00fcr alle Ovaro-Versionen", 180, 840, 6612, 1092},
        {ControlKind::CheckBox, -1, L"", f2x + 240, f2y + 240, 4752, 372},
        {ControlKind::Text, 10, L"", f2x + 1200, f2y + 600, 3492, 312},
        {ControlKind::ChooseButton, 10, L"", f2x + 4740, f2y + 600, 912, 312},
        {ControlKind::ResetButton, 10, L"", f2x + 5700, f2y + 600, 672, 312},
    };
    for (int16_t r = 0; r < 7; ++r) {
        places.push_back({ControlKind::Label, r, L"", f1x + 180, f1y + 420 + 360 * r, 3072, 312});
        places.push_back({ControlKind::Text, r, L"", f1x + 1200, f1y + 360 + 360 * r, 3492, 312});
        places.push_back({ControlKind::ChooseButton, r, L"", f1x + 4740, f1y + 360 + 360 * r, 912, 312});
        places.push_back({ControlKind::ResetButton, r, L"", f1x + 5700, f1y + 360 + 360 * r, 672, 312});
    }
    places.push_back({ControlKind::SaveButton, -1, L"", 2640, 5880, 1752, 372});
    places.push_back({ControlKind::CloseButton, -1, L"", 4800, 5880, 1632, 372});
    places.push_back({ControlKind::Label, -1, kLabel1Words, 180, 120, 6672, 672});
    places.push_back({ControlKind::Frame, -1, L"Individuelle Ordner f\u00fcr Ovaro-Versionen", 180, 2040, 6612, 3132});
    places.push_back({ControlKind::Label, -1, kLabel3Words, 180, 5220, 6672, 552});
    return places;
}

void ExpectLayoutAt(const MainWindow& window, UINT dpi) {
    RECT client{};
    GetClientRect(window.Window(), &client);
    EXPECT_EQ(client.right, Px(7044, dpi)) << "dpi " << dpi;
    EXPECT_EQ(client.bottom, Px(6552, dpi)) << "dpi " << dpi;
    const std::vector<Place> places = ExpectedPlaces();
    ASSERT_EQ(places.size(), 38u);
    for (const Place& place : places) {
        HWND control = nullptr;
        if (place.caption.empty()) {
            control = window.Control(place.kind, place.index);
        } else {
            for (HWND c = GetWindow(window.Window(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
                if (Text(c) == place.caption) control = c;
        }
        const std::string name =
            std::to_string(static_cast<int>(place.kind)) + "(" + std::to_string(place.index) + ") " +
            std::string(place.caption.begin(), place.caption.begin() + std::min<size_t>(place.caption.size(), 12)) +
            " dpi " + std::to_string(dpi);
        ASSERT_NE(control, nullptr) << name;
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window.Window(), reinterpret_cast<POINT*>(&r), 2);
        // Edges are rounded, not sizes, so that neighbours stay flush.
        EXPECT_EQ(r.left, Px(place.left, dpi)) << name;
        EXPECT_EQ(r.top, Px(place.top, dpi)) << name;
        EXPECT_EQ(r.right, Px(place.left + place.width, dpi)) << name;
        EXPECT_EQ(r.bottom, Px(place.top + place.height, dpi)) << name;
    }
}

TEST_F(MainWindowTest, EveryControlSitsAtItsPlaceAt96And144Dpi) {
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

TEST_F(MainWindowTest, TabOrderRunsCommonRowEditionRowsSaveCloseAndSkipsDisabledControls) {
    Open();
    // The check box, the common row, each edition row (box, "Wählen...", "Stand."),
    // "Speichern", "Schließen"; labels and frames take no focus.
    std::vector<HWND> expected = {window->Control(ControlKind::CheckBox), Row(10), Row(10, ControlKind::ChooseButton),
                                  Row(10, ControlKind::ResetButton)};
    for (int16_t r = 0; r < 7; ++r)
        for (ControlKind kind : {ControlKind::Text, ControlKind::ChooseButton, ControlKind::ResetButton})
            expected.push_back(Row(r, kind));
    expected.push_back(window->Control(ControlKind::SaveButton));
    expected.push_back(window->Control(ControlKind::CloseButton));
    ASSERT_EQ(expected.size(), 27u);
    for (HWND control : expected) ASSERT_NE(control, nullptr);
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
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) {
            wchar_t cls[64] = {};
            GetClassNameW(hwnd, cls, 64);
            if (std::wstring(cls) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(out) = hwnd;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
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

// What a screen reader reads for each control: the name, then the description ("" for
// none). Written out word for word, so that one wrong letter fails.
struct Spoken {
    ControlKind kind;
    int16_t index;
    std::wstring name, description;
};
const std::wstring kTipReset =
    L"Auf Standard zur\u00fccksetzen (Ordner 'RealtimeData\" im Installationsordner von Ovaro)";
const std::wstring kTipChoose = L"Einen Ordner w\u00e4hlen";
const std::vector<Spoken> kSpoken = {
    {ControlKind::Frame, -1, L"Gemeinsamer Ordner f\u00fcr alle Ovaro-Versionen", L""},
    {ControlKind::CheckBox, -1, L"Gemeinsamer Ordner f\u00fcr alle Ovaro-Versionen: Verwenden",
     L"Gibt an, ob f\u00fcr alle Ovaro-Versionen derselbe Datenordner verwendet werden soll"},
    {ControlKind::Text, 10, L"Gemeinsamer Ordner", L""},
    {ControlKind::ChooseButton, 10, L"Gemeinsamen Ordner w\u00e4hlen", kTipChoose},
    {ControlKind::ResetButton, 10, L"Gemeinsamen Ordner auf Standard setzen", kTipReset},
    {ControlKind::Frame, -1, L"Individuelle Ordner f\u00fcr Ovaro-Versionen", L""},
    {ControlKind::Text, 0, L"DDE", L""},
    {ControlKind::ChooseButton, 0, L"Ordner f\u00fcr DDE w\u00e4hlen", kTipChoose},
    {ControlKind::ResetButton, 0, L"Standardordner f\u00fcr DDE", kTipReset},
    {ControlKind::Text, 1, L"Kadrex PX", L""},
    {ControlKind::ChooseButton, 1, L"Ordner f\u00fcr Kadrex PX w\u00e4hlen", L""},
    {ControlKind::ResetButton, 1, L"Standardordner f\u00fcr Kadrex PX", kTipReset},
    {ControlKind::Text, 2, L"NEF", L""},
    {ControlKind::ChooseButton, 2, L"Ordner f\u00fcr NEF w\u00e4hlen", L""},
    {ControlKind::ResetButton, 2, L"Standardordner f\u00fcr NEF", kTipReset},
    {ControlKind::Text, 3, L"Belvard", L""},
    {ControlKind::ChooseButton, 3, L"Ordner f\u00fcr Belvard w\u00e4hlen", L""},
    {ControlKind::ResetButton, 3, L"Standardordner f\u00fcr Belvard", kTipReset},
    {ControlKind::Text, 4, L"QM", L""},
    {ControlKind::ChooseButton, 4, L"Ordner f\u00fcr QM w\u00e4hlen", L""},
    {ControlKind::ResetButton, 4, L"Standardordner f\u00fcr QM", kTipReset},
    {ControlKind::Text, 5, L"Sundale", L""},
    {ControlKind::ChooseButton, 5, L"Ordner f\u00fcr Sundale w\u00e4hlen", L""},
    {ControlKind::ResetButton, 5, L"Standardordner f\u00fcr Sundale", kTipReset},
    {ControlKind::Text, 6, L"tirra desk", L""},
    {ControlKind::ChooseButton, 6, L"Ordner f\u00fcr tirra desk w\u00e4hlen", L""},
    {ControlKind::ResetButton, 6, L"Standardordner f\u00fcr tirra desk", kTipReset},
    {ControlKind::SaveButton, -1, L"Speichern", L""},
    {ControlKind::CloseButton, -1, L"Schlie\u00dfen", L""},
};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// Read in-process through AccessibleObjectFromWindow, as a screen reader reads them.
TEST_F(MainWindowTest, ScreenReadersHearWhichEditionEachControlIsForAndTheToolTips) {
    Open();
    const testing::AccessibleRead main = testing::ReadAccessible(window->Window());
    ASSERT_TRUE(main.found);
    EXPECT_EQ(main.name, L"Datenordner f\u00fcr Ovaro festlegen");
    EXPECT_EQ(main.description, kLabel1Words);
    EXPECT_EQ(main.role, ROLE_SYSTEM_DIALOG);

    HWND frames[2] = {};
    for (HWND c = GetWindow(window->Window(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (Text(c) == L"Gemeinsamer Ordner f\u00fcr alle Ovaro-Versionen") frames[0] = c;
        if (Text(c) == L"Individuelle Ordner f\u00fcr Ovaro-Versionen") frames[1] = c;
    }
    ASSERT_EQ(kSpoken.size(), 29u);
    int frame = 0;
    for (const Spoken& expected : kSpoken) {
        HWND control =
            expected.kind == ControlKind::Frame ? frames[frame++] : window->Control(expected.kind, expected.index);
        ASSERT_NE(control, nullptr) << Narrow(expected.name);
        const testing::AccessibleRead read = testing::ReadAccessible(control);
        EXPECT_TRUE(read.found) << Narrow(expected.name);
        EXPECT_EQ(read.name, expected.name) << "read: " << Narrow(read.name);
        EXPECT_EQ(read.description, expected.description) << Narrow(expected.name);
        EXPECT_EQ(read.help, expected.description) << Narrow(expected.name);  // UI Automation's HelpText
    }
    // A control keeps its texts through a change of its state, and to the end.
    Click(window->Control(ControlKind::CheckBox));
    EXPECT_EQ(testing::ReadAccessible(Row(3, ControlKind::ResetButton)).name, L"Standardordner f\u00fcr Belvard");
}

// Where the system takes annotations, the texts go through its annotation service and
// every window keeps the platform's own object (WM_GETOBJECT answers 0), so UI
// Automation keeps its proxies of the edits and buttons. A recording service stands in
// for the system's; the names checked are those of the table above, the frames, the
// edition boxes and "Speichern" and "Schließen" being named by the platform.
class RecordingAnnotations final : public IAccPropServices {
public:
    struct Call {
        HWND window;
        DWORD object, child;
        std::wstring property;  // "name", "description", "help", "role"
        std::wstring value;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetHwndPropStr(HWND hwnd, DWORD object, DWORD child, MSAAPROPID property,
                                             LPCWSTR text) override {
        calls.push_back({hwnd, object, child, Name(property), text});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHwndProp(HWND hwnd, DWORD object, DWORD child, MSAAPROPID property,
                                          VARIANT value) override {
        calls.push_back({hwnd, object, child, Name(property),
                         value.vt == VT_I4 ? std::to_wstring(value.lVal) : std::wstring(L"<not VT_I4>")});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                            AnnoScope) override {
        return Unused();
    }
    HRESULT STDMETHODCALLTYPE ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                                AnnoScope) override {
        return Unused();
    }
    HRESULT STDMETHODCALLTYPE ClearHwndProps(HWND, DWORD, DWORD, const MSAAPROPID*, int) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return Unused();
    }
    HRESULT STDMETHODCALLTYPE DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return Unused();
    }
    HRESULT STDMETHODCALLTYPE SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                                 AnnoScope) override {
        return Unused();
    }
    HRESULT STDMETHODCALLTYPE ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return Unused(); }
    HRESULT STDMETHODCALLTYPE DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return Unused();
    }

private:
    HRESULT Unused() {
        calls.push_back({nullptr, 0, 0, L"<unexpected call>", L""});
        return E_NOTIMPL;
    }
    // The property IDs as the system's headers give them.
    static std::wstring Name(const GUID& id) {
        static constexpr GUID name = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
        static constexpr GUID description = {
            0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};
        static constexpr GUID help = {0xc831e11f, 0x44db, 0x4a99, {0x97, 0x68, 0xcb, 0x8f, 0x97, 0x8b, 0x72, 0x31}};
        static constexpr GUID role = {0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};
        if (id == name) return L"name";
        if (id == description) return L"description";
        if (id == help) return L"help";
        if (id == role) return L"role";
        return L"<other property>";
    }
};

TEST_F(MainWindowTest, WhereTheSystemTakesAnnotationsTheTextsGoThroughItAndTheControlsKeepTheirOwnObjects) {
    RecordingAnnotations service;
    UseAnnotationServiceForTesting(&service);
    struct Restore {
        ~Restore() { UseAnnotationServiceForTesting(nullptr); }
    } const restore;
    Open();
    const DWORD client = static_cast<DWORD>(OBJID_CLIENT);
    const auto ask = [&](HWND w) { return SendMessageW(w, WM_GETOBJECT, 0, static_cast<LPARAM>(client)); };

    using Call = RecordingAnnotations::Call;
    std::vector<Call> expected;
    EXPECT_EQ(ask(window->Window()), 0);
    expected.push_back({window->Window(), client, CHILDID_SELF, L"description", kLabel1Words});
    expected.push_back({window->Window(), client, CHILDID_SELF, L"help", kLabel1Words});
    expected.push_back({window->Window(), client, CHILDID_SELF, L"role", L"18"});  // ROLE_SYSTEM_DIALOG
    for (const Spoken& s : kSpoken) {
        if (s.kind == ControlKind::Frame) continue;  // named by the platform, from its caption
        HWND control = window->Control(s.kind, s.index);
        ASSERT_NE(control, nullptr) << Narrow(s.name);
        EXPECT_EQ(ask(control), 0) << Narrow(s.name);
        EXPECT_EQ(ask(control), 0) << Narrow(s.name);  // annotated once
        // The edition boxes are named by their labels, the two buttons by their captions.
        const bool platformsName = (s.kind == ControlKind::Text && s.index != 10) ||
                                   s.kind == ControlKind::SaveButton || s.kind == ControlKind::CloseButton;
        if (!platformsName) expected.push_back({control, client, CHILDID_SELF, L"name", s.name});
        if (!s.description.empty()) {
            expected.push_back({control, client, CHILDID_SELF, L"description", s.description});
            expected.push_back({control, client, CHILDID_SELF, L"help", s.description});
        }
    }
    ASSERT_EQ(expected.size(), 3u + 18u + 2u * 11u);
    ASSERT_EQ(service.calls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(service.calls[i], expected[i])
            << i << ": " << Narrow(service.calls[i].property) << " " << Narrow(service.calls[i].value);
}

// The wrapper that answers WM_GETOBJECT where the system takes no annotations is one COM
// object: whatever interface of it is asked, IUnknown is the same pointer and IAccessible
// is the wrapper with our texts, never the platform's object inside it; what it does not
// offer is refused.
TEST(AccessibleWrapper, KeepsComIdentityThroughEveryInterfaceItGives) {
    static constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static constexpr GUID kIidAccessible = {
        0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    static constexpr GUID kIidOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static constexpr GUID kIidEnumVariant = {0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static constexpr GUID kIidServiceProvider = {
        0x6d5140c1, 0x7436, 0x11ce, {0x80, 0x34, 0x00, 0xaa, 0x00, 0x60, 0x09, 0xfa}};
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Knopf", WS_POPUP | BS_PUSHBUTTON, 0, 0, 80, 24, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    IAccessible* inner = nullptr;
    ASSERT_EQ(CreateStdAccessibleObject(button, static_cast<LONG>(OBJID_CLIENT), kIidAccessible,
                                        reinterpret_cast<void**>(&inner)),
              S_OK);
    IAccessible* wrapper = WrapAccessibleForTesting(inner, {L"Mein Name", L"", 0});
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    const auto nameOf = [&](IAccessible* object) {
        BSTR text = nullptr;
        std::wstring out = SUCCEEDED(object->get_accName(self, &text)) && text ? text : L"<none>";
        SysFreeString(text);
        return out;
    };
    IUnknown* identity = nullptr;
    ASSERT_EQ(wrapper->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&identity)), S_OK);

    // The platform's object has a window and an enumeration of children; through both,
    // the way leads back to the wrapper.
    int given = 0;
    for (const GUID& iid : {kIidOleWindow, kIidEnumVariant}) {
        IUnknown* other = nullptr;
        ASSERT_EQ(wrapper->QueryInterface(iid, reinterpret_cast<void**>(&other)), S_OK);
        ++given;
        IUnknown* unknown = nullptr;
        ASSERT_EQ(other->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown, identity);
        unknown->Release();
        IAccessible* back = nullptr;
        ASSERT_EQ(other->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, wrapper);
        EXPECT_EQ(nameOf(back), L"Mein Name");
        back->Release();
        IUnknown* again = nullptr;  // symmetric: the interface asked of itself
        ASSERT_EQ(other->QueryInterface(iid, reinterpret_cast<void**>(&again)), S_OK);
        EXPECT_EQ(again, other);
        again->Release();
        other->Release();
    }
    EXPECT_EQ(given, 2);
    HWND window = nullptr;
    IOleWindow* ole = nullptr;
    ASSERT_EQ(wrapper->QueryInterface(kIidOleWindow, reinterpret_cast<void**>(&ole)), S_OK);
    EXPECT_EQ(ole->GetWindow(&window), S_OK);
    EXPECT_EQ(window, button);
    ole->Release();

    IUnknown* refused = reinterpret_cast<IUnknown*>(&given);
    EXPECT_EQ(wrapper->QueryInterface(kIidServiceProvider, reinterpret_cast<void**>(&refused)), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
    identity->Release();
    EXPECT_EQ(wrapper->Release(), 0u);
    DestroyWindow(button);
}

// Screen readers find a control's group among the windows before it: each frame comes
// just before the first control it holds, and the nearest frame before a control that
// encloses it is its own. Tab order and places are checked above and stay as they were.
TEST_F(MainWindowTest, EachFrameComesBeforeItsControlsInZOrder) {
    Open();
    std::vector<HWND> zOrder;
    for (HWND c = GetWindow(window->Window(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        zOrder.push_back(c);
    ASSERT_EQ(zOrder.size(), 38u);
    auto isFrame = [](HWND c) { return (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX; };
    auto rectOf = [](HWND c) {
        RECT r{};
        GetWindowRect(c, &r);
        return r;
    };
    // The group a reader finds: the nearest frame before the control that encloses it.
    auto groupOf = [&](HWND control) -> std::wstring {
        const RECT own = rectOf(control);
        const auto at = std::find(zOrder.begin(), zOrder.end(), control);
        for (auto it = at; it != zOrder.begin();) {
            --it;
            RECT frame = rectOf(*it), both{};
            if (isFrame(*it) && IntersectRect(&both, &frame, &own) && EqualRect(&both, &own)) return Text(*it);
        }
        return L"<none>";
    };
    const std::wstring common = L"Gemeinsamer Ordner f\u00fcr alle Ovaro-Versionen";
    const std::wstring single = L"Individuelle Ordner f\u00fcr Ovaro-Versionen";
    HWND checkBox = window->Control(ControlKind::CheckBox);
    EXPECT_EQ(Text(GetWindow(checkBox, GW_HWNDPREV)), common);
    EXPECT_EQ(Text(GetWindow(Row(0, ControlKind::Label), GW_HWNDPREV)), single);
    EXPECT_EQ(groupOf(checkBox), common);
    for (ControlKind kind : {ControlKind::Text, ControlKind::ChooseButton, ControlKind::ResetButton}) {
        EXPECT_EQ(groupOf(Row(10, kind)), common);
        for (int16_t r = 0; r < 7; ++r) EXPECT_EQ(groupOf(Row(r, kind)), single) << "row " << r;
    }
    for (int16_t r = 0; r < 7; ++r) EXPECT_EQ(groupOf(Row(r, ControlKind::Label)), single) << "row " << r;
    EXPECT_EQ(groupOf(window->Control(ControlKind::SaveButton)), L"<none>");
    EXPECT_EQ(groupOf(window->Control(ControlKind::CloseButton)), L"<none>");
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
    EXPECT_EQ(shown[0].text, kSaveQuestionText);
    EXPECT_EQ(shown[0].style, 4u);
    EXPECT_EQ(shown[1].text, kSaveReportText);
    EXPECT_EQ(shown[1].style, 0u);
    DWORD type = 0;
    EXPECT_EQ(Stored(1, &type), L"d:\\Daten\\");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Stored(3, &type), L"");  // emptied, still there as an empty string value
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    for (int e = 4; e <= 7; ++e) EXPECT_EQ(Stored(e), L"") << e;
    EXPECT_FALSE(window->Behaviour().bGeaendert());

    // A plain string value that the registry tool reads too.
    const std::wstring query = L"reg query \"HKCU\\" + SectionPath(1) + L"\" /v Datenpfad";
    FILE* reg = _wpopen(query.c_str(), L"r");
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
    RegDeleteTreeW(HKEY_CURRENT_USER, AppPath(5).c_str());
    HKEY vol = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, AppPath(5).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &vol, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(vol);
    Open();
    for (int16_t r = 0; r < 7; ++r) SetWindowTextW(Row(r), (L"neu" + std::to_wstring(r)).c_str());
    Click(window->Control(ControlKind::SaveButton));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].style, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_NE(shown[1].text.find(L"'Lumarix Ovaro f\u00fcr QM'"), std::wstring::npos)
        << std::string(shown[1].text.begin(), shown[1].text.end());
    EXPECT_NE(shown[1].text.find(L"1021"), std::wstring::npos);
    for (int e = 1; e <= 4; ++e) EXPECT_EQ(Stored(e), L"neu" + std::to_wstring(e - 1)) << e;
    for (int e = 6; e <= 7; ++e) EXPECT_EQ(Stored(e), L"alt") << e;
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    EXPECT_EQ(Text(Row(6)), L"neu6");

    RegDeleteTreeW(HKEY_CURRENT_USER, AppPath(5).c_str());
    shown.clear();
    Click(window->Control(ControlKind::SaveButton));
    EXPECT_EQ(shown.size(), 2u);
    for (int e = 1; e <= 7; ++e) EXPECT_EQ(Stored(e), L"neu" + std::to_wstring(e - 1)) << e;
    EXPECT_FALSE(window->Behaviour().bGeaendert());
}

TEST_F(MainWindowTest, CloseBoxWithoutChangesEndsWithoutAQuestion) {
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
    EXPECT_EQ(shown[0].text, kCloseQuestionText);
    EXPECT_EQ(shown[0].style, 4u);
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(IsWindow(window->Window()));
    SendMessageW(window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Stored(2), L"<missing>");
}

// The folder dialog and each message box run a loop in which a close request reaches the
// disabled main window (the taskbar's close): it asks nothing there and ends nothing.
TEST_F(MainWindowTest, ACloseRequestWhileTheDialogOrAMessageIsOpenAsksNothing) {
    struct ClosingChoice final : FolderChoice {
        explicit ClosingChoice(std::function<void()> close) : close_(std::move(close)) {}
        void SetPath(const std::wstring&) override {}
        void ShowModal() override { close_(); }
        std::wstring Tag() const override { return L"OK"; }
        std::wstring Path() const override { return L"c:\\Gew\u00e4hlt\\"; }
        std::function<void()> close_;
    };
    int requests = 0;
    const auto requestClose = [&] {
        ++requests;
        EnableWindow(window->Window(), FALSE);  // as the dialog and the box hold their owner
        SendMessageW(window->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        SendMessageW(window->Window(), WM_CLOSE, 0, 0);
        EnableWindow(window->Window(), TRUE);
    };
    folderChoice = [&] { return std::make_unique<ClosingChoice>(requestClose); };
    Open();
    Type(Row(1), L"x");

    duringMessage = requestClose;
    answers = {IDNO};
    Click(window->Control(ControlKind::SaveButton));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kSaveQuestionText);
    duringMessage = nullptr;
    Click(Row(0, ControlKind::ChooseButton));
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(testing::WindowText(Row(0)), L"c:\\Gew\u00e4hlt\\");  // the dialog's result was kept

    // With nothing open, the close request asks again.
    answers = {IDNO};
    SendMessageW(window->Window(), WM_CLOSE, 0, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, kCloseQuestionText);
    EXPECT_EQ(ended, 0);
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

TEST_F(MainWindowTest, RealBoxesCarryTitleTextButtonsAndIcon) {
    Open(true);  // the real message boxes
    {
        testing::MessageBoxWatcher watcher(kTitle, IDNO);
        SendMessageW(window->Control(ControlKind::SaveButton), BM_CLICK, 0, 0);
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, kSaveQuestionText);
        EXPECT_TRUE(seen.hasYes);
        EXPECT_TRUE(seen.hasNo);
        EXPECT_EQ(seen.defaultButton, IDYES);
        EXPECT_FALSE(seen.hasIcon);
    }
    SetWindowTextW(window->Control(ControlKind::Text, 0), L"x");
    {
        testing::MessageBoxWatcher watcher(kTitle, IDYES);
        SendMessageW(window->Control(ControlKind::CloseButton), BM_CLICK, 0, 0);
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, kCloseQuestionText);
    }
    EXPECT_EQ(ended, 1);
    {
        testing::MessageBoxWatcher watcher(kTitle, IDOK);
        window->ReportFailure(L"Fehlertext");
        const auto& seen = watcher.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_TRUE(seen.hasOk);
        EXPECT_TRUE(seen.hasIcon);
    }
}

}  // namespace
}  // namespace ovaro
