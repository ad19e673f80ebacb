#pragma once
// What a plain top-level window needs to behave like a dialog: the focus handling the
// platform's dialog keys (IsDialogMessage) rely on.

#include <windows.h>

namespace ovaro {

// Keeps the focused control across deactivation and serves WM_NEXTDLGCTL, which the
// dialog manager sends when an access key or Tab moves the focus.
class DialogFocus {
public:
    // Handles WM_ACTIVATE and WM_NEXTDLGCTL for `window`; false for any other message.
    bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND lastFocus_ = nullptr;
};

}  // namespace ovaro
