#pragma once
// The one base of the program's windows: the object behind an HWND is found from the
// window itself, a window class is registered once, and no exception crosses the
// platform's frames.

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace ovaro {

// The DPI the window is drawn at; 96 where the system gives none.
UINT WindowDpi(HWND window);

struct WindowClassInfo {
    const wchar_t* name;
    UINT style = 0;
    int background = COLOR_BTNFACE;  // a system colour index
    bool programIcon = false;        // the program icon (resource 1) or none
};

// Registers the class once per process, with WindowBase's procedure; false when the
// system refuses it.
bool RegisterWindowClass(HINSTANCE instance, const WindowClassInfo& info);

// A window of a class registered with RegisterWindowClass, made by MakeWindow. From
// WM_NCCREATE to WM_NCDESTROY every message goes to HandleMessage. Destroying the object destroys the window without
// running its handlers any more.
class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Window() const { return hwnd_; }

    // The procedure every class of RegisterWindowClass has.
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    WindowBase() = default;
    virtual ~WindowBase();

    // CreateWindowExW with this object as the window's handler; null when it fails.
    HWND MakeWindow(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The window is gone; Window() is null from here on.
    virtual void OnDestroyed() {}
    // The text for a failure that a handler did not handle; windows that know their own
    // failures give a better one.
    virtual std::wstring FailureText(const std::exception& failure) const;
    // Shows the text of a failure that a handler did not handle. The default is a
    // critical message box with the program title, owned by this window's top level.
    virtual void ReportFailure(std::wstring_view text);

    // Destroys the window with its handlers already detached, so that nothing runs on a
    // half-destroyed object; for destructors that must end the window before their members.
    void DestroyDetached();

    HWND hwnd_ = nullptr;

private:
    void ReportUnhandled() noexcept;
};

}  // namespace ovaro
