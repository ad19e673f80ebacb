#pragma once
// What a screen reader reads of a window beyond what the platform gives: its name,
// description and role. Where the system takes annotations (IAccPropServices), they are
// set on the window the first time an assistive tool asks for it, and the window keeps
// the platform's own objects: UI Automation's proxies of the tree view and the edits,
// with their items and patterns. Where it does not (Wine answers E_NOTIMPL), WM_GETOBJECT
// is answered with the platform's object wrapped, our texts put in. The first annotation
// decides for the whole process.

#include <windows.h>

#include <string>

struct IAccPropServices;
struct IAccessible;

namespace ovaro {

struct AccessibleText {
    std::wstring name;         // empty: the platform's (the caption, or the label before an edit)
    std::wstring description;  // also the help text, UI Automation's HelpText; empty: none
    long role = 0;             // a ROLE_SYSTEM_ value; 0: the platform's
};

// The answer to WM_GETOBJECT: annotated, 0 for every object (the platform answers); with
// the wrapper, the wrapped client object, and 0 for any other object.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText& text);

// Gives a control of the platform's classes `text` for the rest of its life, through its
// window procedure (replaced); false, with nothing changed, when the control is gone or
// its GWLP_USERDATA is taken already. Set it before anything else subclasses the control.
bool SetAccessibleText(HWND control, AccessibleText text);

// The window through which COM hands this thread the calls of assistive tools in other
// apartments and processes (class OleMainThreadWndClass); null until this thread has
// entered COM to answer one. A wait that holds posted messages lets these through.
HWND ComCallWindow();

// For tests: the annotation service windows are annotated with from now on, the choice
// made again with it; null goes back to the system's.
void UseAnnotationServiceForTesting(IAccPropServices* service);
// For tests of its COM rules: the wrapper around inner, whose reference it takes over.
IAccessible* WrapAccessibleForTesting(IAccessible* inner, const AccessibleText& text);

}  // namespace ovaro
