#include "MessageLoop.h"

namespace ovaro {

int RunMessageLoop(HWND window) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsWindow(window) && IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void RunModalLoop(const std::function<HWND()>& modal) {
    MSG msg;
    for (HWND window = modal(); window != nullptr && IsWindow(window); window = modal()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        // Sent messages handled inside GetMessageW may have ended the window.
        const HWND current = modal();
        if (current != nullptr && IsDialogMessageW(current, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace ovaro
