#include "OneCopyPerUser.h"

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <cstdint>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "ProgramIdentity.h"

namespace ovaro {

namespace {

// The SID of the process's user, as bytes; empty when it cannot be had.
std::vector<std::uint8_t> UserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const Owned<HANDLE, &CloseHandle> owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<std::uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

std::wstring SidText(const std::vector<std::uint8_t>& sid) {
    wchar_t* text = nullptr;
    if (sid.empty() || !ConvertSidToStringSidW(const_cast<std::uint8_t*>(sid.data()), &text)) return {};
    std::wstring result = text;
    LocalFree(text);
    return result;
}

std::wstring ObjectName(std::wstring_view space, std::wstring_view base, const std::vector<std::uint8_t>& sid) {
    const std::wstring text = SidText(sid);
    if (text.empty()) return {};
    return std::wstring(space) + L"\\" + std::wstring(base) + L"-" + text;
}

// Owned by the user, open to the user alone. The owner is set, not left to the token's
// default, which for an administrator's elevated token is the Administrators group.
class UserOnly {
public:
    explicit UserOnly(const std::vector<std::uint8_t>& sid) {
        const std::wstring text = SidText(sid);
        const std::wstring sddl = L"O:" + text + L"D:P(A;;GA;;;" + text + L")";
        if (!text.empty())
            ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
        attributes_ = {sizeof attributes_, descriptor_, FALSE};
    }
    ~UserOnly() { LocalFree(descriptor_); }
    UserOnly(const UserOnly&) = delete;
    UserOnly& operator=(const UserOnly&) = delete;
    // Null when the descriptor could not be made: the object then gets the default one.
    SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

bool OwnedBy(HANDLE object, const std::vector<std::uint8_t>& sid) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const bool mine = owner != nullptr && EqualSid(owner, const_cast<std::uint8_t*>(sid.data()));
    LocalFree(descriptor);
    return mine;
}

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

// The file name of a process's exe, "" when it cannot be had.
std::wstring ExeName(HANDLE process) {
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(path));
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) return {};
    const std::wstring_view full(path, size);
    const size_t slash = full.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
}

// The process runs an exe of this program's name: the installed one or a copy from the
// download, wherever it lies, is the same program and keeps the same settings.
std::optional<bool> IsProgram(std::uint32_t processId) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return std::nullopt;
    const Owned<HANDLE, &CloseHandle> owned(process);
    const std::wstring theirs = ExeName(process), ours = ExeName(GetCurrentProcess());
    if (theirs.empty() || ours.empty()) return std::nullopt;
    return CompareStringOrdinal(theirs.c_str(), -1, ours.c_str(), -1, TRUE) == CSTR_EQUAL;
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

std::wstring PerUserObjectName(std::wstring_view space, std::wstring_view base) {
    return ObjectName(space, base, UserSid());
}

OneCopyPerUser::OneCopyPerUser(std::wstring_view base) : user_(UserSid()), base_(base) {}

OneCopyPerUser::~OneCopyPerUser() {
    Release();
    if (view_ != nullptr) UnmapViewOfFile(view_);
}

StartChoice OneCopyPerUser::Choose(std::chrono::milliseconds limit) {
    if (user_.empty()) return StartChoice::Run;
    const CopyInSession copy = ReadRecord(limit);
    // A copy of this session holds the claim itself: not touched, whatever it would say.
    if (copy == CopyInSession::Front || copy == CopyInSession::Starting)
        return DecideStart(copy, UserClaim::HeldByCopy);
    return DecideStart(copy, TakeClaim());
}

// The session's record: a small shared block, whose content names the copy's process and window.
CopyInSession OneCopyPerUser::ReadRecord(std::chrono::milliseconds limit) {
    const std::wstring name = ObjectName(L"Local", base_, user_);
    UserOnly security(user_);
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0, kBlockBytes, name.c_str());
    const DWORD error = GetLastError();
    // Shut to this user (another account's, with an access list that denies us) or not to be had.
    if (mapping == nullptr) return CopyInSession::Unknown;
    mapping_.reset(mapping);
    const bool made = error != ERROR_ALREADY_EXISTS;
    // Another account's block could name any window: it is not read, nor written.
    if (!made && !OwnedBy(mapping, user_)) {
        mapping_.reset();
        return CopyInSession::Unknown;
    }
    view_ = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockBytes);
    if (view_ == nullptr) {
        mapping_.reset();
        return CopyInSession::Unknown;
    }
    if (made) {
        recordIsOurs_ = true;
        Store(Word(kOwnerWord), OwnWord());
        return CopyInSession::None;
    }

    const RunningCopyProbe probe{OwnerRuns, WindowExists, IsProgram};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint64_t owner = Load(Word(kOwnerWord));
        const std::uint64_t window = Load(Word(kWindowWord));
        switch (DecideLaterStart(owner, window, probe)) {
            case LaterStart::BringForward: running_ = WindowOf(LowHalf(window)); return CopyInSession::Front;
            case LaterStart::CannotAsk: return CopyInSession::Starting;
            case LaterStart::RunInstead:
                // Only one of several starts that see the same copy gone takes its place;
                // the others find the winner named and wait for its window.
                if (std::atomic_ref<std::uint64_t>(*Word(kOwnerWord)).compare_exchange_strong(owner, OwnWord())) {
                    recordIsOurs_ = true;
                    return owner != 0 && OwnerRuns(owner) ? CopyInSession::Displaced : CopyInSession::None;
                }
                continue;
            case LaterStart::Wait: break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return CopyInSession::Starting;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The user's claim: a mutex in the machine-wide namespace, which needs no privilege to make
// there (a shared block would), held by the copy that runs. The system lets go of it when
// that copy's process ends, however it ends.
UserClaim OneCopyPerUser::TakeClaim() {
    const std::wstring name = ObjectName(L"Global", base_, user_);
    UserOnly security(user_);
    HANDLE claim =
        CreateMutexExW(security.Attributes(), name.c_str(), 0, SYNCHRONIZE | READ_CONTROL | MUTEX_MODIFY_STATE);
    const DWORD error = GetLastError();
    // Shut to this user, or a name taken by an object of another kind: another account's doing.
    if (claim == nullptr) return UserClaim::OtherAccount;
    claim_.reset(claim);
    if (error == ERROR_ALREADY_EXISTS && !OwnedBy(claim, user_)) {
        claim_.reset();
        return UserClaim::OtherAccount;
    }
    switch (WaitForSingleObject(claim, 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder ended without letting go
            holdsClaim_ = true;
            return UserClaim::Taken;
        case WAIT_TIMEOUT: return UserClaim::HeldByCopy;
        default: claim_.reset(); return UserClaim::OtherAccount;
    }
}

void OneCopyPerUser::Publish(HWND mainWindow) {
    if (view_ == nullptr || !recordIsOurs_) return;
    Store(Word(kWindowWord),
          WindowWord(GetCurrentProcessId(), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mainWindow))));
}

void OneCopyPerUser::Release() {
    if (holdsClaim_) ReleaseMutex(claim_.get());
    holdsClaim_ = false;
}

void TellAlreadyRunning() {
    const std::wstring text(kAlreadyRunningText), title(kProgramTitle);
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

void TellRunningInOtherSession() {
    const std::wstring text(kRunningInOtherSessionText), title(kProgramTitle);
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

bool AskToComeToFront(HWND mainWindow) {
    // The running copy brings itself forward: restoring and activating on its own thread
    // leaves no race between its restore and our activation. This start was the user's,
    // so it may hand on the right to take the foreground.
    DWORD process = 0;
    GetWindowThreadProcessId(mainWindow, &process);
    AllowSetForegroundWindow(process);
    return PostMessageW(mainWindow, ComeToFrontMessage(), 0, 0) != FALSE;
}

void ComeToFront(HWND mainWindow) {
    // Restoring shows the popups that minimising hid before it returns, on this thread.
    if (IsIconic(mainWindow)) ShowWindow(mainWindow, SW_RESTORE);
    const HWND target = InputWindowOf(mainWindow);
    SetForegroundWindow(target != nullptr ? target : mainWindow);
}

}  // namespace ovaro
