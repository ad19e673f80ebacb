#pragma once
// Replacing a control's window procedure, the old one kept with the caller's data in the
// control's GWLP_USERDATA. Not SetWindowSubclass: under Wine that looks a window property
// up on every message, a server round trip, where GWLP_USERDATA of a window of our own
// process is read without one.

#include <windows.h>

namespace ovaro {

struct ReplacedProcedure {
    WNDPROC original = nullptr;
    void* data = nullptr;  // the caller's, owned by the caller
};

// Puts replacement in place of the control's procedure for the rest of its life; false,
// with nothing changed, when the control is gone or its GWLP_USERDATA is taken already.
bool ReplaceProcedure(HWND control, WNDPROC replacement, void* data);

// The record of a control whose procedure was replaced; null for any other window.
inline const ReplacedProcedure* ReplacedOf(HWND control) {
    return reinterpret_cast<const ReplacedProcedure*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

// Hands a message to the control's original procedure. After WM_NCDESTROY the record is
// gone: read what the replacement needs of it before.
LRESULT CallOriginalProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ovaro
