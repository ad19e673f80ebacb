#pragma once
// The program's message loops: the main one, and the nested one of a modal window.

#include <windows.h>

#include <functional>

namespace ovaro {

// Serves messages, with the platform's dialog keys for `window`, until WM_QUIT;
// returns the exit code it carries.
int RunMessageLoop(HWND window);

// Serves messages, with the platform's dialog keys for the window `modal` names, as long
// as that window exists and is visible. `modal` is asked anew for every message, since the
// window may go while a message is handled. A WM_QUIT met on the way ends this loop and
// is posted again for the outer one.
void RunModalLoop(const std::function<HWND()>& modal);

}  // namespace ovaro
