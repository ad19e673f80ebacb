#pragma once
// The program's message loops: the main one, and the nested one of a modal window.

#include <windows.h>

#include <functional>

namespace ovaro {

// Serves messages, with the platform's dialog keys for `window`, until WM_QUIT;
// returns the exit code it carries.
int RunMessageLoop(HWND window);

// Serves messages, with the platform's dialog keys for the window `modal` names, as long
// as it names one that exists. `modal` is asked anew for every message, since the window
// may go while a message is handled; it says by the program's own state when the modal
// time is over, not by visibility, since the system hides an owned window while its
// owner is minimised. A WM_QUIT met on the way ends this loop and
// is posted again for the outer one.
void RunModalLoop(const std::function<HWND()>& modal);

}  // namespace ovaro
