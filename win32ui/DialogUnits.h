#pragma once
// Twips, the dialog font and window sizes at a window's DPI: the one place where
// the layouts' twips become pixels.

#include <windows.h>

#include "GdiObjects.h"

namespace ovaro {

inline constexpr int kDialogFontPoints = 8;  // the layouts were made for the classic 8-point dialog font

inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// A rectangle given in twips (left, top, width, height) in pixels; edges are rounded,
// not sizes, so that neighbours stay flush.
RECT TwipsToPixels(int left, int top, int width, int height, UINT dpi);

// The platform's classic dialog face; pixelHeight 0 means 8 points at `dpi`.
OwnedFont CreateDialogFont(UINT dpi, int pixelHeight = 0);

// Sizes the window so that its client area is exactly width × height pixels. The
// frame is measured, not computed, so this holds whatever the title bar's size.
void SetClientSize(HWND window, int width, int height);

// Centres the window over `over`, or on the work area of its monitor when null.
void CenterWindow(HWND window, HWND over);

}  // namespace ovaro
