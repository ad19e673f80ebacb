#include "DialogWindow.h"

namespace ovaro {

bool DialogFocus::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE) {
        // Give the focus back to the control that had it, as dialogs do.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus)) lastFocus_ = focus;
        } else {
            HWND target = lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)
                              ? lastFocus_
                              : GetNextDlgTabItem(window, nullptr, FALSE);
            if (target != nullptr) SetFocus(target);
        }
        return true;
    }
    if (message == WM_NEXTDLGCTL) {
        // lParam set: wParam is the control itself; otherwise the next (0) or previous one.
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                     : GetNextDlgTabItem(window, GetFocus(), wParam != 0 ? TRUE : FALSE);
        if (target != nullptr) {
            SetFocus(target);
            if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(target, EM_SETSEL, 0, -1);
        }
        return true;
    }
    return false;
}

}  // namespace ovaro
