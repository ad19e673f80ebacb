#pragma once
// What a screen reader reads of a window beyond what the platform gives: its name,
// description and role, answered through WM_GETOBJECT with the platform's own object
// for everything else (value, state, place, children, actions). Screen readers and the
// UI Automation proxy ask WM_GETOBJECT alike, so one answer serves them all.

#include <windows.h>

#include <string>

namespace ovaro {

struct AccessibleText {
    std::wstring name;         // empty: the platform's (the caption, or the label before an edit)
    std::wstring description;  // also the help text, UI Automation's HelpText; empty: none
    long role = 0;             // a ROLE_SYSTEM_ value; 0: the platform's
};

// The answer to WM_GETOBJECT for the window's client object, with `text` put in; 0 for
// any other object, which leaves it to the platform as a window procedure's 0 does.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText& text);

// Makes a control of the platform's classes answer WM_GETOBJECT with `text` for the
// rest of its life; false, with nothing changed, when the control is gone or its
// GWLP_USERDATA is taken already. Set it before anything else subclasses the control.
bool SetAccessibleText(HWND control, AccessibleText text);

}  // namespace ovaro
