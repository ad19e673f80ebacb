#include "WindowProcedure.h"

#include <new>

namespace ovaro {

bool ReplaceProcedure(HWND control, WNDPROC replacement, void* data) {
    if (!IsWindow(control) || GetWindowLongPtrW(control, GWLP_USERDATA) != 0) return false;
    const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
    if (original == nullptr) return false;
    auto* record = new (std::nothrow) ReplacedProcedure{original, data};
    if (record == nullptr) return false;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacement));
    return true;
}

LRESULT CallOriginalProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    const ReplacedProcedure* record = ReplacedOf(control);
    const WNDPROC original = record->original;
    if (message != WM_NCDESTROY) return CallWindowProcW(original, control, message, wParam, lParam);
    const LRESULT result = CallWindowProcW(original, control, message, wParam, lParam);
    SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    delete record;
    return result;
}

}  // namespace ovaro
