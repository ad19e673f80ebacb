#include "WindowBase.h"

#include "ProgramIdentity.h"

namespace ovaro {

UINT WindowDpi(HWND window) {
    const UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
    return dpi == 0 ? 96 : dpi;
}

bool RegisterWindowClass(HINSTANCE instance, const WindowClassInfo& info) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, info.name, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = info.style;
    wc.lpfnWndProc = &WindowBase::Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(info.background + 1));
    wc.lpszClassName = info.name;
    if (info.programIcon) {
        wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
        wc.hIconSm =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    }
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

WindowBase::~WindowBase() { DestroyDetached(); }

HWND WindowBase::MakeWindow(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance) {
    // The base's own address: the procedure reads the parameter back as a WindowBase*.
    return CreateWindowExW(exStyle, className, caption, style, x, y, width, height, parent, menu, instance,
                           static_cast<WindowBase*>(this));
}

void WindowBase::DestroyDetached() {
    if (hwnd_ == nullptr) return;
    const HWND hwnd = hwnd_;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    DestroyWindow(hwnd);
}

std::wstring WindowBase::FailureText(const std::exception& failure) const {
    const std::string what = failure.what();
    return L"Ein unerwarteter Fehler ist aufgetreten: " + std::wstring(what.begin(), what.end());
}

void WindowBase::ReportFailure(std::wstring_view text) {
    const std::wstring body(text), title(kProgramTitle);
    const HWND owner = hwnd_ != nullptr ? GetAncestor(hwnd_, GA_ROOT) : nullptr;
    MessageBoxW(owner, body.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

void WindowBase::ReportUnhandled() noexcept {
    // Called inside a catch block, so the failure can be looked at once more here.
    try {
        try {
            throw;
        } catch (const std::exception& failure) {
            ReportFailure(FailureText(failure));
        } catch (...) {
            ReportFailure(L"Ein unerwarteter Fehler ist aufgetreten.");
        }
    } catch (...) {
        // A report that fails itself has nobody left to tell.
    }
}

LRESULT CALLBACK WindowBase::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self != nullptr) {
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // What a handler does not handle ends that handler and goes to the report; the
    // program keeps running.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->ReportUnhandled();
    }
    return message == WM_CREATE ? -1 : 0;  // a window whose creation failed is not made
}

}  // namespace ovaro
