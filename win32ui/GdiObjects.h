#pragma once
// Owned GDI objects and device contexts, and a scoped SelectObject: every one is given
// back once, also when the code between throws.

#include <windows.h>

#include "OwnedHandle.h"

namespace ovaro {

using OwnedFont = Owned<HFONT, &DeleteObject>;
using OwnedRegion = Owned<HRGN, &DeleteObject>;
using OwnedBitmap = Owned<HBITMAP, &DeleteObject>;

// The DC of a window's client area, released again at the end of the scope.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for the length of a scope; the one it replaced goes back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace ovaro
