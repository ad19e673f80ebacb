#include "MainWindow.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <string>

#include "AccessibleText.h"
#include "DialogUnits.h"
#include "EditionList.h"
#include "OneCopyPerUser.h"
#include "ProgramIdentity.h"

namespace ovaro {
namespace {

// Fixed border, close box and system menu only. No WS_CLIPCHILDREN: the frames are
// transparent and rely on the window painting the background behind them.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kSmallestFittedPixels = 8;

RECT PixelRect(const TwipsRect& t, UINT dpi) { return TwipsToPixels(t.left, t.top, t.width, t.height, dpi); }

// Height a label's text needs when wrapped at word boundaries within `width`.
int WrappedHeight(HWND label, HFONT font, const std::wstring& text, int width) {
    const WindowDC dc(label);
    const SelectedObject selected(dc.get(), font);
    RECT r{0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return r.bottom - r.top;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

int DefaultShowMessage(HWND owner, std::wstring_view text, unsigned style) {
    const std::wstring body(text), title(kProgramTitle);
    return MessageBoxW(owner, body.c_str(), title.c_str(), style);
}

}  // namespace

int MainWindowControlId(ControlKind kind, int16_t index) {
    switch (kind) {
        case ControlKind::Text: return 100 + index;
        case ControlKind::ChooseButton: return 200 + index;
        case ControlKind::ResetButton: return 300 + index;
        case ControlKind::CheckBox: return 400;
        case ControlKind::SaveButton: return 401;
        case ControlKind::CloseButton: return IDCANCEL;  // Esc presses "Schließen"
        case ControlKind::Label: return index >= 0 ? 500 + index : 0xFFFF;
        case ControlKind::Frame: return 0xFFFF;
    }
    return 0xFFFF;
}

MainWindowControlWindow MainWindowControlClass(ControlKind kind) {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::Frame: return {WC_BUTTONW, kChild | BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::CheckBox: return {WC_BUTTONW, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case ControlKind::Text: return {WC_EDITW, kChild | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ControlKind::Label: return {WC_STATICW, kChild | SS_LEFT, 0};
        default: return {WC_BUTTONW, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0};
    }
}

const ControlSpec* MainWindowControlOf(int id) {
    if (id == 0xFFFF) return nullptr;  // the ID of the controls that send no commands
    for (const ControlSpec& entry : MainWindowControls())
        if (MainWindowControlId(entry.kind, entry.index) == id) return &entry;
    return nullptr;
}

MainWindow::MainWindow(SettingsStore& store, MainWindowHooks hooks)
    : hooks_(std::move(hooks)),
      behaviour_(*this, store,
                 hooks_.folderChoice ? FolderChoiceFactory([this] { return hooks_.folderChoice(hwnd_); })
                                     : FolderChoiceFactory()) {
    if (!hooks_.showMessage) hooks_.showMessage = DefaultShowMessage;
    if (!hooks_.endProgram) hooks_.endProgram = [] { ExitProcess(0); };
}

// The window goes before the fonts its controls still show.
MainWindow::~MainWindow() { DestroyDetached(); }

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance, SettingsStore& store, MainWindowHooks hooks) {
    if (!RegisterWindowClass(instance, {kClassName, 0, COLOR_BTNFACE, true})) return nullptr;
    std::unique_ptr<MainWindow> window(new MainWindow(store, std::move(hooks)));
    const std::wstring caption(kMainWindowCaption);
    HWND hwnd = window->MakeWindow(kWindowExStyle, kClassName, caption.c_str(), kWindowStyle, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance);
    if (hwnd == nullptr) return nullptr;
    // Controls are made at their places for this DPI, so the layout pass moves nothing.
    window->dpi_ = WindowDpi(hwnd);
    window->CreateControls();
    window->ApplyLayout(window->dpi_);

    CenterWindow(hwnd, nullptr);  // centred on the screen

    if (window->hooks_.created) window->hooks_.created(hwnd);
    try {
        window->behaviour_.Form_Load();
    } catch (const SettingsError& failure) {
        window->ReportFailure(SettingsFailureText(failure));
    }
    return window;
}

void MainWindow::CreateControls() {
    const auto table = MainWindowControls();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    toolTip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    // Created in tab order: the platform's dialog keys follow the creation order.
    for (const ControlSpec& entry : table) {
        const auto [cls, style, exStyle] = MainWindowControlClass(entry.kind);
        const std::wstring caption(entry.caption);
        const RECT r = PixelRect(ClientTwips(entry), dpi_);
        HWND control = CreateWindowExW(
            exStyle, cls, caption.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(MainWindowControlId(entry.kind, entry.index))), instance,
            nullptr);
        if (entry.kind == ControlKind::Text) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no 30,000-character cap
        // What a screen reader reads: which edition a button is for, and the tool tip,
        // which it would not read otherwise. Before the tool tip subclasses the control.
        AccessibleText text{AccessibleName(entry), std::wstring(entry.toolTip)};
        if (control != nullptr && !(text.name.empty() && text.description.empty()))
            SetAccessibleText(control, std::move(text));
        if (!entry.toolTip.empty() && toolTip_ != nullptr) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = hwnd_;
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            tool.lpszText = const_cast<wchar_t*>(entry.toolTip.data());  // literals end in NUL
            SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        controls_.push_back(control);
    }
    // Each frame goes just before the first control it holds, where screen readers look
    // for a control's group. Frames never take the focus, so Tab and the access keys move
    // as before; ClipBeneathControls keeps them from painting over what they hold.
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].kind != ControlKind::Frame) continue;
        for (size_t first = 0; first < table.size(); ++first) {
            if (table[first].container != static_cast<int>(i)) continue;
            const HWND before = GetWindow(controls_[first], GW_HWNDPREV);
            if (before != controls_[i])
                SetWindowPos(controls_[i], before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        }
    }
}

void MainWindow::ApplyLayout(UINT dpi) {
    // The controls stand at their places for dpi_ already (made there, or moved before).
    const bool moveControls = (dpi == 0 ? 96 : dpi) != dpi_;
    dpi_ = dpi == 0 ? 96 : dpi;
    const auto table = MainWindowControls();
    // The old fonts stay until every control has its new one.
    std::vector<OwnedFont> fonts;
    fonts.push_back(CreateDialogFont(dpi_));
    const HFONT dialogFont = fonts.front().get();

    for (size_t i = 0; i < table.size(); ++i) {
        const ControlSpec& entry = table[i];
        const RECT r = PixelRect(ClientTwips(entry), dpi_);
        HWND control = controls_[i];
        if (moveControls)
            SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        HFONT font = dialogFont;
        if (entry.kind == ControlKind::Label && entry.index < 0) {
            // A long text that would be cut off at the dialog font gets the largest
            // smaller size at which it shows whole within its unchanged place.
            const std::wstring text(entry.caption);
            int pixels = MulDiv(kDialogFontPoints, static_cast<int>(dpi_), 72);
            while (pixels > kSmallestFittedPixels &&
                   WrappedHeight(control, font, text, r.right - r.left) > r.bottom - r.top) {
                --pixels;
                if (font != dialogFont) fonts.pop_back();
                fonts.push_back(CreateDialogFont(dpi_, pixels));
                font = fonts.back().get();
            }
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    fonts_ = std::move(fonts);
    ClipBeneathControls();

    SetClientSize(hwnd_, TwipsToPixels(kClientWidthTwips, dpi_), TwipsToPixels(kClientHeightTwips, dpi_));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Labels and the check box lie beneath the boxes and buttons they overlap (an edition
// label reaches under its row's text box, the check box touches the common row), and
// each frame beneath everything it holds: they are cut to the part that shows, so they
// never paint over those controls, whatever their place in the z-order.
void MainWindow::ClipBeneathControls() {
    const auto table = MainWindowControls();
    auto liesBeneath = [](const ControlSpec& c) {
        return c.kind == ControlKind::CheckBox || c.kind == ControlKind::Frame ||
               (c.kind == ControlKind::Label && c.index >= 0);
    };
    auto covers = [](const ControlSpec& beneath, const ControlSpec& c) {
        if (c.kind == ControlKind::Frame) return false;
        if (beneath.kind == ControlKind::Frame) return true;
        return c.kind != ControlKind::Label && c.kind != ControlKind::CheckBox;
    };
    for (size_t i = 0; i < table.size(); ++i) {
        if (!liesBeneath(table[i])) continue;
        const RECT own = PixelRect(ClientTwips(table[i]), dpi_);
        OwnedRegion region(CreateRectRgn(0, 0, own.right - own.left, own.bottom - own.top));
        if (!region) continue;
        for (size_t j = 0; j < table.size(); ++j) {
            if (!covers(table[i], table[j])) continue;
            const RECT other = PixelRect(ClientTwips(table[j]), dpi_);
            RECT overlap{};
            if (!IntersectRect(&overlap, &own, &other)) continue;
            const OwnedRegion cut(CreateRectRgn(other.left - own.left, other.top - own.top, other.right - own.left,
                                                other.bottom - own.top));
            if (cut) CombineRgn(region.get(), region.get(), cut.get(), RGN_DIFF);
        }
        // The window owns the region once it took it.
        if (SetWindowRgn(controls_[i], region.get(), FALSE)) region.release();
    }
}

void MainWindow::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

HWND MainWindow::Control(ControlKind kind, int16_t index) const {
    const auto table = MainWindowControls();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].kind == kind && table[i].index == index) return controls_[i];
    return nullptr;
}

std::wstring MainWindow::RowText(int16_t index) const {
    HWND box = Control(ControlKind::Text, index);
    if (box == nullptr) throw std::out_of_range("no such row");
    // A row whose window is gone has no text to give: reading it as empty would let a
    // save write empty folders that nobody chose.
    if (!IsWindow(box)) throw std::runtime_error("the row no longer exists");
    return WindowText(box);
}

void MainWindow::SetRowText(int16_t index, const std::wstring& text) {
    HWND box = Control(ControlKind::Text, index);
    if (box == nullptr) throw std::out_of_range("no such row");
    // The edit control reports the change (EN_CHANGE), which runs the change handler.
    if (WindowText(box) != text) SetWindowTextW(box, text.c_str());
}

void MainWindow::SetEnabled(int16_t index, RowControl control, bool enabled) {
    const ControlKind kind = control == RowControl::Text     ? ControlKind::Text
                             : control == RowControl::Choose ? ControlKind::ChooseButton
                                                             : ControlKind::ResetButton;
    HWND hwnd = Control(kind, index);
    if (hwnd == nullptr) throw std::out_of_range("no such row");
    EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

int MainWindow::CheckState() const {
    return SendMessageW(Control(ControlKind::CheckBox), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

int MainWindow::ShowMessage(std::wstring_view text, unsigned style) { return hooks_.showMessage(hwnd_, text, style); }

void MainWindow::EndProgramAtOnce() { hooks_.endProgram(); }

void MainWindow::ReportFailure(std::wstring_view text) {
    if (hwnd_ == nullptr) return;  // the window is gone (the session ended): nobody to tell
    hooks_.showMessage(hwnd_, text, kMbCritical);
}

std::wstring MainWindow::FailureText(const std::exception& failure) const {
    if (const auto* settings = dynamic_cast<const SettingsError*>(&failure)) return SettingsFailureText(*settings);
    return WindowBase::FailureText(failure);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_CLOSE:
            if (!CloseBringsOpenWindowForward()) OnClose(kCloseFromControlMenu);  // close box, system menu, Alt+F4
            return 0;
        case WM_SYSCOMMAND:
            // The taskbar's close reaches this window also while a dialog or box holds it disabled.
            if ((wParam & 0xFFF0) == SC_CLOSE && CloseBringsOpenWindowForward()) return 0;
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) OnClose(kCloseSessionEnd);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_GETOBJECT:
            // A dialog to screen readers, with the introduction as what it is about.
            return AnswerGetObject(hwnd_, wParam, lParam, {L"", std::wstring(kLabel1Text), ROLE_SYSTEM_DIALOG});
        case WM_ACTIVATE:
        case WM_NEXTDLGCTL: focus_.Handle(hwnd_, message, wParam, lParam); return 0;
        case DM_GETDEFID: return 0;  // the window has no default button
        case WM_DPICHANGED: {
            ApplyLayout(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default:
            if (message == ComeToFrontMessage()) {
                ComeToFront(hwnd_);  // a second start of the program asks for it
                return 0;
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void MainWindow::OnCommand(int id, int code) {
    const ControlSpec* control = MainWindowControlOf(id);
    if (control == nullptr) return;
    if (control->kind == ControlKind::Text) {
        if (code == EN_CHANGE) behaviour_.txtOrdner_Change(control->index);
        return;
    }
    if (code != BN_CLICKED) return;
    switch (control->kind) {
        case ControlKind::ChooseButton: behaviour_.btnOrdnerwahl_Click(control->index); break;
        case ControlKind::ResetButton: behaviour_.btnSetStandard_Click(control->index); break;
        case ControlKind::CheckBox: behaviour_.optGemeinsameVersion_Click(); break;
        case ControlKind::SaveButton: behaviour_.btnFertigstellen_Click(); break;
        case ControlKind::CloseButton: behaviour_.btnEnde_Click(); break;
        default: break;
    }
}

// Disabled, the window is held by the folder dialog or a message box of ours. A close request
// (the taskbar's still reaches it) then asks nothing and loses nothing: that dialog or box
// comes to the front, as the platform does for a disabled owner.
bool MainWindow::CloseBringsOpenWindowForward() {
    if (IsWindowEnabled(hwnd_)) return false;
    ComeToFront(hwnd_);
    return true;
}

void MainWindow::OnClose(CloseReason reason) {
    int16_t cancel = 0;
    behaviour_.Form_QueryUnload(cancel, reason);
    if (cancel == 0 && hwnd_ != nullptr) {
        if (reason == kCloseSessionEnd && hooks_.endSession) hooks_.endSession();
        DestroyWindow(hwnd_);
    }
}

}  // namespace ovaro
