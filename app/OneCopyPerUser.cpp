#include "OneCopyPerUser.h"

#include <sddl.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

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
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t),
                                        name.c_str());
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

void BringToFront(HWND mainWindow) {
    if (IsIconic(mainWindow)) ShowWindowAsync(mainWindow, SW_RESTORE);
    // The running copy may be waiting in a dialog or a message box: that is what the
    // user has to see, and it is the window that takes input.
    HWND popup = GetLastActivePopup(mainWindow);
    if (popup == nullptr || !IsWindowVisible(popup)) popup = mainWindow;
    SetForegroundWindow(popup);
}

}  // namespace ovaro
