#include "OneCopyPerUser.h"

#include <sddl.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "ProgramIdentity.h"
#include "RunningCopyRecord.h"

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

namespace {

constexpr int kOwnerWord = 0;
constexpr int kWindowWord = 1;
constexpr DWORD kBlockBytes = 2 * sizeof(std::uint64_t);

// Written and read whole across processes: the block is page-aligned.
std::uint64_t Load(std::uint64_t* word) { return std::atomic_ref<std::uint64_t>(*word).load(); }
void Store(std::uint64_t* word, std::uint64_t value) { std::atomic_ref<std::uint64_t>(*word).store(value); }

// A tag of a process's start, so that a process id taken over by a later process is told apart.
std::uint32_t StartTag(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return created.dwLowDateTime ^ created.dwHighDateTime;
}

std::uint64_t OwnWord() { return OwnerWord(GetCurrentProcessId(), StartTag(GetCurrentProcess())); }

bool OwnerRuns(std::uint64_t owner) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, ProcessOf(owner));
    // A process that runs with other rights may not be looked at: it runs.
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    const Owned<HANDLE, &CloseHandle> owned(process);
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT && StartTag(process) == LowHalf(owner);
}

HWND WindowOf(std::uint32_t low) {
    // Sign-extended, as the platform widens a 32-bit window handle.
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(low)));
}

bool WindowExists(std::uint32_t window, std::uint32_t processId) {
    DWORD process = 0;
    return IsWindow(WindowOf(window)) && GetWindowThreadProcessId(WindowOf(window), &process) != 0 &&
           process == processId;
}

}  // namespace

OneCopyPerUser::OneCopyPerUser(std::wstring_view base) {
    const std::wstring name = PerUserObjectName(base);
    if (name.empty()) return;
    // A small shared block: its existence says a copy runs, its content names the copy's
    // process and window. Its default security lets only this user, with these rights, open it.
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockBytes, name.c_str());
    const DWORD error = GetLastError();
    if (mapping == nullptr) {
        // Counting ourselves first here would let two copies overwrite each other's saves.
        if (error == ERROR_ACCESS_DENIED) {
            first_ = false;
            refused_ = true;
        }
        return;
    }
    mapping_.reset(mapping);
    view_ = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockBytes);
    first_ = error != ERROR_ALREADY_EXISTS;
    if (first_ && view_ != nullptr) Store(Word(kOwnerWord), OwnWord());
}

OneCopyPerUser::~OneCopyPerUser() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
}

void OneCopyPerUser::Publish(HWND mainWindow) {
    if (view_ == nullptr || !first_) return;
    Store(Word(kWindowWord),
          WindowWord(GetCurrentProcessId(), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mainWindow))));
}

HWND OneCopyPerUser::RunningWindow(std::chrono::milliseconds limit) {
    if (view_ == nullptr || first_) return nullptr;
    const RunningCopyProbe probe{OwnerRuns, WindowExists};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint64_t owner = Load(Word(kOwnerWord));
        const std::uint64_t window = Load(Word(kWindowWord));
        switch (DecideLaterStart(owner, window, probe)) {
            case LaterStart::BringForward: return WindowOf(LowHalf(window));
            case LaterStart::RunInstead:
                // Only one of several starts that see the same copy gone takes its place;
                // the others find the winner named and wait for its window.
                if (std::atomic_ref<std::uint64_t>(*Word(kOwnerWord)).compare_exchange_strong(owner, OwnWord())) {
                    first_ = true;
                    return nullptr;
                }
                continue;
            case LaterStart::Wait: break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void TellAlreadyRunning() {
    const std::wstring text(kAlreadyRunningText), title(kProgramTitle);
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
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
