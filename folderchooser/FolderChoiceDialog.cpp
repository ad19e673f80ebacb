#include "FolderChoiceDialog.h"

#include <oleacc.h>

#include "AccessibleText.h"
#include "DialogUnits.h"
#include "MessageLoop.h"

namespace ovaro {
namespace {

constexpr int kDialogWidthTwips = 5556;
constexpr int kDialogHeightTwips = 5304;
// Resizable, with close, minimise and maximise boxes; resizing moves nothing. A popup,
// as dialogs are: when an owned popup hides, the system hands activation to its owner
// rather than to whichever window is next in the stacking order.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

struct TreePlace {
    int left, top, width, height;
};
constexpr TreePlace kTreePlace{60, 120, 4092, 5052};

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

std::unique_ptr<FolderChoiceDialog> FolderChoiceDialog::Load(HINSTANCE instance, HWND owner) {
    return Load(instance, owner, OvaroFolderTreeView::Sources{});
}

std::unique_ptr<FolderChoiceDialog> FolderChoiceDialog::Load(HINSTANCE instance, HWND owner,
                                                             const OvaroFolderTreeView::Sources& sources) {
    std::unique_ptr<FolderChoiceDialog> dialog(new FolderChoiceDialog());
    if (!dialog->Create(instance, owner, sources)) return nullptr;
    return dialog;
}

bool FolderChoiceDialog::Create(HINSTANCE instance, HWND owner, const OvaroFolderTreeView::Sources& sources) {
    if (!RegisterWindowClass(instance, {kClassName})) return false;
    owner_ = owner != nullptr && IsWindow(owner) ? owner : nullptr;
    // The owner takes no input from here on: the tree reads the drives while it loads and
    // may tell about them, and nothing the user does in the owner may act meanwhile.
    DisableOwner();
    // WS_EX_DLGMODALFRAME with no class icon: the dialog shows no icon.
    if (MakeWindow(kExStyle, kClassName, L"Ordner wählen", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner_,
                   nullptr, instance) == nullptr)
        return false;
    const UINT dpi = WindowDpi(hwnd_);
    SetClientSize(hwnd_, TwipsToPixels(kDialogWidthTwips, dpi), TwipsToPixels(kDialogHeightTwips, dpi));

    // The buttons before the tree, since the dialog may show while the tree is being filled.
    for (const ButtonSpec& b : kButtons)
        CreateWindowExW(0, L"BUTTON", b.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
    PlaceControls(dpi);
    // The tree is made at its place, since it reads the drives and shows the selection as it
    // is made. On a slow drive that takes a while: the dialog then shows at once.
    OvaroFolderTreeView::Sources withShowing = sources;
    withShowing.onLongWait = [this] { ShowEarly(); };
    tree_ = OvaroFolderTreeView::Create(
        hwnd_, kTreeId, TwipsToPixels(kTreePlace.left, kTreePlace.top, kTreePlace.width, kTreePlace.height, dpi),
        withShowing);
    if (tree_) {
        // First in the tab order, so that it gets the focus when shown.
        SetWindowPos(tree_->Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        PlaceControls(dpi);
    }
    return true;
}

void FolderChoiceDialog::ShowEarly() {
    if (hwnd_ == nullptr || IsWindowVisible(hwnd_) || shownEarly_) return;
    shownEarly_ = true;
    // Shown, not yet modal: the tree's wait lets only closing and Esc through, as during any read.
    CenterWindow(hwnd_, owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    if (tree_ && tree_->TreeWindow() != nullptr) SetFocus(tree_->TreeWindow());
    UpdateWindow(hwnd_);
}

// The controls' places and font at a DPI: at creation and when the DPI changes.
void FolderChoiceDialog::PlaceControls(UINT dpi) {
    OwnedFont font = CreateDialogFont(dpi);
    auto place = [&](HWND control, int left, int top, int width, int height) {
        const RECT r = TwipsToPixels(left, top, width, height, dpi);
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    if (tree_) {
        place(tree_->Window(), kTreePlace.left, kTreePlace.top, kTreePlace.width, kTreePlace.height);
        SendMessageW(tree_->TreeWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    for (const ButtonSpec& b : kButtons) {
        const HWND button = GetDlgItem(hwnd_, b.id);
        place(button, b.left, b.top, b.width, b.height);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // the old font goes once no control shows it
}

FolderChoiceDialog::~FolderChoiceDialog() {
    Unload();
    EnableOwner();  // also when the window could not be made
}

void FolderChoiceDialog::Unload() {
    if (hwnd_ == nullptr) return;
    Form_QueryUnload();
    tree_.reset();
    HWND hwnd = hwnd_;
    EnableOwner();  // before the window goes, so activation returns to the owner
    DestroyWindow(hwnd);
    hwnd_ = nullptr;
}

void FolderChoiceDialog::DisableOwner() {
    // Like the platform's modal dialogs: an owner that was disabled already is left so.
    if (owner_ != nullptr && IsWindow(owner_) && IsWindowEnabled(owner_)) {
        EnableWindow(owner_, FALSE);
        ownerDisabled_ = true;
    }
}

void FolderChoiceDialog::EnableOwner() {
    if (ownerDisabled_ && owner_ != nullptr && IsWindow(owner_)) EnableWindow(owner_, TRUE);
    ownerDisabled_ = false;
}

void FolderChoiceDialog::Hide() {
    // The owner first: hiding the active window hands activation to its owner only when
    // the owner can take it; otherwise another program's window comes to the front.
    EnableOwner();
    modal_ = false;
    ShowWindow(hwnd_, SW_HIDE);
}

void FolderChoiceDialog::SetPath(const std::wstring& path) {
    if (tree_) tree_->SetPath(path);
    if (closed_ && handling_ == 0) DestroyNow();  // closed during the walk
}

// The windows of a dialog closed inside a loop it did not own, once that has unwound.
void FolderChoiceDialog::DestroyNow() {
    closed_ = false;
    if (hwnd_ == nullptr) return;
    tree_.reset();
    DestroyWindow(hwnd_);
}

std::wstring FolderChoiceDialog::Path() const { return tree_ ? tree_->Path() : std::wstring(); }

void FolderChoiceDialog::ShowModal() {
    if (hwnd_ == nullptr || closed_) return;
    HWND owner = owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr;
    // Shown while the tree was filled: it stays where it is (the user may have moved it).
    if (!IsWindowVisible(hwnd_)) CenterWindow(hwnd_, owner);
    DisableOwner();  // again, when shown once more after a button hid it
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    if (tree_) SetFocus(tree_->TreeWindow());

    // Only the dialog takes input until OK or Abbrechen hid it or it is gone. Not until
    // it is invisible: the system hides it, too, while its owner is minimised.
    modal_ = true;
    RunModalLoop([this] { return modal_ ? hwnd_ : nullptr; });
    modal_ = false;
    EnableOwner();  // the loop also ends when the program is asked to quit
    if (closed_) DestroyNow();  // closed inside a nested loop, which has unwound now
}

void FolderChoiceDialog::btnOK_Click() {
    // A folder reached with the arrow keys and confirmed at once counts as clicked, as
    // it would once it rested. When that read was stopped (Esc) OK is not carried out and
    // the dialog stays as it is; when the dialog was closed meanwhile, it hands nothing over.
    if (tree_ && !tree_->CommitKeyboardSelection()) return;
    if (hwnd_ == nullptr) return;
    tag_ = L"OK";
    Hide();
}

void FolderChoiceDialog::btnAbbrechen_Click() {
    tag_.clear();
    Hide();
}

void FolderChoiceDialog::Form_QueryUnload() { tag_.clear(); }

LRESULT FolderChoiceDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    struct Nesting {
        FolderChoiceDialog& dialog;
        explicit Nesting(FolderChoiceDialog& d) : dialog(d) { ++dialog.handling_; }
        ~Nesting() {
            // The last of its handlers has returned: a close that had to wait is carried out.
            if (--dialog.handling_ == 0 && dialog.closed_ && !(dialog.tree_ && dialog.tree_->InsideTreeView()))
                dialog.DestroyNow();
        }
    } const nesting(*this);
    switch (message) {
        case WM_COMMAND:
            if ((HIWORD(wParam) == BN_CLICKED || lParam == 0) &&
                (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
                // One that comes while the tree is busy (through the loop of a message box it
                // shows) waits until the tree is done; it is void once the dialog is gone.
                const bool ok = LOWORD(wParam) == IDOK;
                const auto press = [this, ok] {
                    if (hwnd_ == nullptr) return;
                    if (ok)
                        btnOK_Click();
                    else
                        btnAbbrechen_Click();
                };
                if (tree_)
                    tree_->WhenIdle(press);
                else
                    press();
            }
            return 0;
        case DM_GETDEFID: return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_GETOBJECT: return AnswerGetObject(hwnd_, wParam, lParam, {L"", L"", ROLE_SYSTEM_DIALOG});
        case WM_CLOSE:
            // Close box, system menu, Alt+F4: the dialog unloads, whatever the reason.
            Form_QueryUnload();
            modal_ = false;
            EnableOwner();  // before the owner loses activation
            // Closed while the tree reads a folder: the tree's code is still on the stack,
            // so only the windows go now (which stops the reads, and the tree view leaves
            // the dying window); the object goes with the dialog.
            if (tree_ && tree_->Busy()) {
                DestroyWindow(hwnd_);
                return 0;
            }
            // Closed inside a loop the dialog does not own (the tree view telling a click
            // from a drag, a move of the frame): the handler that runs it is on the stack
            // and uses its window after the loop. Hidden now, destroyed once it has unwound.
            if (handling_ > 1 || (tree_ && tree_->InsideTreeView())) {
                closed_ = true;
                ShowWindow(hwnd_, SW_HIDE);
                return 0;
            }
            tree_.reset();
            DestroyWindow(hwnd_);
            return 0;
        case WM_ACTIVATE:
        case WM_NEXTDLGCTL: focus_.Handle(hwnd_, message, wParam, lParam); return 0;
        case WM_DPICHANGED: {
            // The system's rectangle keeps the size the user gave the dialog, at the new scale.
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            PlaceControls(HIWORD(wParam));
            return 0;
        }
        case WM_GETMINMAXINFO: {
            // Never smaller than designed, where OK and Abbrechen would be cut off; the
            // frame is that of this window's DPI. Enlarging and maximising are unlimited.
            const UINT dpi = WindowDpi(hwnd_);
            RECT frame{0, 0, TwipsToPixels(kDialogWidthTwips, dpi), TwipsToPixels(kDialogHeightTwips, dpi)};
            AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
            return 0;
        }
        default: return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

OwnedFolderChoiceFactory<HWND> DefaultFolderChoice(HINSTANCE instance) {
    return
        [instance](HWND owner) -> std::unique_ptr<FolderChoice> { return FolderChoiceDialog::Load(instance, owner); };
}

}  // namespace ovaro
