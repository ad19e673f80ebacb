#include "FolderChoiceDialog.h"

#include "DialogUnits.h"
#include "DialogWindow.h"

namespace ovaro {
namespace {

constexpr int kDialogWidthTwips = 5556;
constexpr int kDialogHeightTwips = 5304;
// Resizable, with close, minimise and maximise boxes; resizing moves nothing.
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

struct ButtonSpec {
    int id;
    const wchar_t* caption;
    int left, top, width, height;
    DWORD style;
};
// In tab order after the tree: "OK" below "Abbrechen" at the lower right.
constexpr ButtonSpec kButtons[] = {
    {IDOK, L"OK", 4320, 4620, 1092, 372, BS_DEFPUSHBUTTON},
    {IDCANCEL, L"Abbrechen", 4320, 3960, 1092, 372, BS_PUSHBUTTON},
};

}  // namespace

std::unique_ptr<FolderChoiceDialog> FolderChoiceDialog::Load(HINSTANCE instance) {
    return Load(instance, OvaroFolderTreeView::Sources{});
}

std::unique_ptr<FolderChoiceDialog> FolderChoiceDialog::Load(HINSTANCE instance,
                                                             const OvaroFolderTreeView::Sources& sources) {
    std::unique_ptr<FolderChoiceDialog> dialog(new FolderChoiceDialog());
    if (!dialog->Create(instance, sources)) return nullptr;
    return dialog;
}

bool FolderChoiceDialog::Create(HINSTANCE instance, const OvaroFolderTreeView::Sources& sources) {
    if (!RegisterDialogWindowClass(instance, kClassName, WindowProc, false)) return false;
    owner_ = GetActiveWindow();
    // WS_EX_DLGMODALFRAME with no class icon: the dialog shows no icon.
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kClassName, L"Ordner wählen", kStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner_, nullptr, instance, this);
    if (hwnd_ == nullptr) return false;
    const UINT dpi = GetDpiForWindow(hwnd_) == 0 ? 96 : GetDpiForWindow(hwnd_);
    SetClientSize(hwnd_, TwipsToPixels(kDialogWidthTwips, dpi), TwipsToPixels(kDialogHeightTwips, dpi));
    font_ = CreateDialogFont(dpi);

    // The tree first: it is first in the tab order and gets the focus when shown.
    tree_ = OvaroFolderTreeView::Create(hwnd_, kTreeId, TwipsToPixels(60, 120, 4092, 5052, dpi), sources);
    if (tree_) SendMessageW(tree_->TreeWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (const ButtonSpec& b : kButtons) {
        const RECT r = TwipsToPixels(b.left, b.top, b.width, b.height, dpi);
        HWND button = CreateWindowExW(0, L"BUTTON", b.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, r.left,
                                      r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    return true;
}

FolderChoiceDialog::~FolderChoiceDialog() {
    Unload();
    if (font_ != nullptr) DeleteObject(font_);
}

void FolderChoiceDialog::Unload() {
    if (hwnd_ == nullptr) return;
    Form_QueryUnload();
    tree_.reset();
    HWND hwnd = hwnd_;
    DestroyWindow(hwnd);
    hwnd_ = nullptr;
}

void FolderChoiceDialog::SetPath(const std::wstring& path) {
    if (tree_) tree_->SetPath(path);
}

std::wstring FolderChoiceDialog::Path() const { return tree_ ? tree_->Path() : std::wstring(); }

void FolderChoiceDialog::ShowModal() {
    if (hwnd_ == nullptr) return;
    HWND owner = owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr;
    CenterWindow(hwnd_, owner);
    if (owner != nullptr) EnableWindow(owner, FALSE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    if (tree_) SetFocus(tree_->TreeWindow());

    // Only the dialog takes input until it is hidden or gone.
    MSG msg;
    while (hwnd_ != nullptr && IsWindowVisible(hwnd_)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner != nullptr && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
}

void FolderChoiceDialog::btnOK_Click() {
    tag_ = L"OK";
    ShowWindow(hwnd_, SW_HIDE);
}

void FolderChoiceDialog::btnAbbrechen_Click() {
    tag_.clear();
    ShowWindow(hwnd_, SW_HIDE);
}

void FolderChoiceDialog::Form_QueryUnload() { tag_.clear(); }

LRESULT CALLBACK FolderChoiceDialog::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FolderChoiceDialog*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<FolderChoiceDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT FolderChoiceDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
                if (LOWORD(wParam) == IDOK) btnOK_Click();
                else if (LOWORD(wParam) == IDCANCEL) btnAbbrechen_Click();
            }
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_CLOSE:
            // Close box, system menu, Alt+F4: the dialog unloads, whatever the reason.
            Form_QueryUnload();
            if (owner_ != nullptr && IsWindow(owner_)) EnableWindow(owner_, TRUE);  // before the owner loses activation
            // Closed while the tree reads a folder: the tree's code is still on the stack,
            // so only the windows go now (which stops the reads); the object goes with
            // the dialog.
            if (!(tree_ && tree_->Busy())) tree_.reset();
            DestroyWindow(hwnd_);
            return 0;
        case WM_ACTIVATE:
        case WM_NEXTDLGCTL:
            focus_.Handle(hwnd_, message, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

FolderChoiceFactory DefaultFolderChoice(HINSTANCE instance) {
    return [instance]() -> std::unique_ptr<FolderChoice> { return FolderChoiceDialog::Load(instance); };
}

}  // namespace ovaro
