#include "OneCopyPerUser.h"

#include <sddl.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "ProgramIdentity.h"

namespace ovaro {

std::wstring PerUserObjectName(std::wstring_view base) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const Owned<HANDLE, &CloseHandle> owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<std::uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) return {};
    std::wstring name = L"Local\\" + std::wstring(base) + L"-" + sid;
    LocalFree(sid);
    return name;
}

OneCopyPerUser::OneCopyPerUser(std::wstring_view base) {
    const std::wstring name = PerUserObjectName(base);
    if (name.empty()) return;
    // A small shared block: its existence says a copy runs, its content names the window.
    // Its default security lets only this user open it.
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t), name.c_str());
    const DWORD error = GetLastError();
    if (mapping == nullptr) return;
    mapping_.reset(mapping);
    view_ = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t));
    first_ = error != ERROR_ALREADY_EXISTS;
}

OneCopyPerUser::~OneCopyPerUser() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
}

void OneCopyPerUser::Publish(HWND mainWindow) {
    if (view_ == nullptr || !first_) return;
    const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(mainWindow));
    std::memcpy(view_, &value, sizeof value);
}

HWND OneCopyPerUser::RunningWindow(std::chrono::milliseconds limit) const {
    if (view_ == nullptr) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint64_t value = 0;
        std::memcpy(&value, view_, sizeof value);
        const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
        if (window != nullptr && IsWindow(window)) return window;
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

namespace {

// The window that takes input: the main window, or, while a dialog or a message box holds
// it disabled, the enabled window shown over it. Null while none shows.
HWND InputWindowOf(HWND mainWindow) {
    if (IsWindowEnabled(mainWindow)) return mainWindow;
    struct Search {
        HWND main;
        HWND found;
    } search{mainWindow, nullptr};
    EnumThreadWindows(
        GetWindowThreadProcessId(mainWindow, nullptr),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            // A dialog or a message box: shown, enabled and with a caption. Tool tips are
            // owned popups too, and activating one would hand the foreground to nobody.
            const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
            if (!IsWindowVisible(window) || !IsWindowEnabled(window) || (style & WS_CAPTION) != WS_CAPTION) return TRUE;
            for (HWND owner = GetWindow(window, GW_OWNER); owner != nullptr; owner = GetWindow(owner, GW_OWNER)) {
                if (owner == s->main) {
                    s->found = window;
                    return FALSE;
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

UINT ComeToFrontMessage() {
    static const UINT message = RegisterWindowMessageW((std::wstring(kInternalName) + L"-NachVorn").c_str());
    return message;
}

void AskToComeToFront(HWND mainWindow) {
    // The running copy brings itself forward: restoring and activating on its own thread
    // leaves no race between its restore and our activation. This start was the user's,
    // so it may hand on the right to take the foreground.
    DWORD process = 0;
    GetWindowThreadProcessId(mainWindow, &process);
    AllowSetForegroundWindow(process);
    PostMessageW(mainWindow, ComeToFrontMessage(), 0, 0);
}

void ComeToFront(HWND mainWindow) {
    // Restoring shows the popups that minimising hid before it returns, on this thread.
    if (IsIconic(mainWindow)) ShowWindow(mainWindow, SW_RESTORE);
    const HWND target = InputWindowOf(mainWindow);
    SetForegroundWindow(target != nullptr ? target : mainWindow);
}

}  // namespace ovaro
