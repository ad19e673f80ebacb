#include "Win32FolderSources.h"

#include <array>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "OwnedHandle.h"
#include "ProgramIdentity.h"
#include "RestrictedWait.h"
#include "SystemErrorText.h"

namespace ovaro::folders {

namespace {

std::wstring DriveList() {
    // 26 drives of "x:\" and a NUL each, and the closing NUL, fit: one call, which under
    // Wine costs a round trip to its mount manager.
    wchar_t all[4 * 26 + 2]{};
    if (const DWORD written = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(all)), all);
        written != 0 && written < std::size(all))
        return std::wstring(all, written + 1);  // with the closing NUL
    // The needed size, then the list; drives may come and go in between, so retry.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
        if (needed == 0) return {};
        std::vector<wchar_t> buffer(needed + 1, L'\0');
        const DWORD written = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (written == 0) return {};
        if (written < buffer.size()) return std::wstring(buffer.data(), written + 1);  // with the closing NUL
    }
    return {};
}

// "C:" and "c:\" alike give "c:".
std::wstring DriveKey(std::wstring_view name) {
    std::wstring key(name.substr(0, 2));
    if (!key.empty() && key[0] >= L'A' && key[0] <= L'Z') key[0] = static_cast<wchar_t>(key[0] - L'A' + L'a');
    return key;
}

}  // namespace

// One drive's question, shared with its worker, which may outlive it (and the source) when
// it hangs in the platform.
struct Win32DriveSource::Question {
    enum : int { kAsking, kAnswered, kGivenUp };
    DriveTypeFn typeOf;
    std::wstring root;
    bool inPool = false;
    std::atomic<int> state{kAsking};
    unsigned type = kDriveUnknown;  // once answered
    HANDLE answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ~Question() {
        if (answered != nullptr) CloseHandle(answered);
    }

    static void CALLBACK Run(PTP_CALLBACK_INSTANCE, void* context) {
        const std::unique_ptr<std::shared_ptr<Question>> holder(static_cast<std::shared_ptr<Question>*>(context));
        Question& q = **holder;
        unsigned type = kDriveUnknown;
        try {
            type = q.typeOf(q.root);
        } catch (...) {
        }
        q.type = type;
        if (q.state.exchange(kAnswered) == kGivenUp && q.inPool) CountStuckInPool(-1);
        SetEvent(q.answered);
    }
    void GiveUp() {
        if (state.exchange(kGivenUp) == kAsking && inPool) CountStuckInPool(1);
    }
};

Win32DriveSource::Win32DriveSource(RestrictedWait* wait, DriveTypeFn typeOf)
    : wait_(wait),
      typeOf_(typeOf ? std::move(typeOf) : DriveTypeFn([](const std::wstring& root) {
          return static_cast<unsigned>(GetDriveTypeW(root.c_str()));
      })) {}

Win32DriveSource::~Win32DriveSource() { GiveUpAll(); }

void Win32DriveSource::GiveUpAll() {
    for (auto& [name, question] : asked_) question->GiveUp();
    asked_.clear();
}

std::shared_ptr<Win32DriveSource::Question> Win32DriveSource::Ask(std::wstring root) {
    auto question = std::make_shared<Question>();
    if (question->answered == nullptr) return nullptr;
    question->typeOf = typeOf_;
    question->root = std::move(root);
    question->inPool = !PoolCrowded();
    auto* context = new std::shared_ptr<Question>(question);
    const bool started = question->inPool ? TrySubmitThreadpoolCallback(&Question::Run, context, nullptr) != FALSE
                                          : StartDetachedThread([context] { Question::Run(nullptr, context); });
    if (!started) {
        delete context;
        return nullptr;
    }
    return question;
}

std::wstring Win32DriveSource::LogicalDriveStrings() {
    std::wstring list = DriveList();
    if (wait_ == nullptr || wait_->Stopped()) return list;
    // Every drive's type at once: under Wine each question is a round trip to its mount
    // manager, and a dead device holds up only its own.
    GiveUpAll();
    for (std::size_t at = 0; at < list.size() && list[at] != L'\0'; at = list.find(L'\0', at) + 1) {
        const std::wstring_view entry = std::wstring_view(list).substr(at, list.find(L'\0', at) - at);
        if (entry.size() < 2 || entry[1] != L':') continue;
        if (auto question = Ask(DriveKey(entry) + L"\\")) asked_.emplace(DriveKey(entry), std::move(question));
    }
    return list;
}

unsigned Win32DriveSource::DriveTypeOf(std::wstring_view driveName) {
    // GetDriveType wants a root path; "c:" alone would mean the current folder of c:.
    std::wstring root = std::wstring(driveName) + L"\\";
    if (wait_ == nullptr) return typeOf_(root);
    if (wait_->Stopped()) {
        GiveUpAll();
        return kDriveUnknown;
    }
    std::shared_ptr<Question> question;
    if (const auto it = asked_.find(DriveKey(driveName)); it != asked_.end()) {
        question = std::move(it->second);
        asked_.erase(it);
    } else {
        question = Ask(root);
    }
    if (question == nullptr) return typeOf_(root);  // no worker to be had: asked here, as it always was
    if (!wait_->WaitFor(question->answered, [&] { return question->state.load() == Question::kAnswered; })) {
        question->GiveUp();
        GiveUpAll();
        return kDriveUnknown;
    }
    return question->type;
}

namespace {

struct ThreadStart {
    std::function<void()> work;
};

DWORD WINAPI RunThread(void* context) {
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(context));
    start->work();
    return 0;
}

}  // namespace

namespace {
std::atomic<int> stuckInPool{0};
}  // namespace

bool PoolCrowded() { return stuckInPool.load() >= kPoolStuckAtMost; }
void CountStuckInPool(int delta) { stuckInPool += delta; }

bool StartDetachedThread(std::function<void()> work) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(work)});
    // A small reservation: a thread stuck in a read holds no more address space than it needs
    // (a block of 32 KB and the platform's calls).
    constexpr SIZE_T kStack = 256 * 1024;
    const HANDLE thread = CreateThread(nullptr, kStack, &RunThread, start.get(), STACK_SIZE_PARAM_IS_A_RESERVATION,
                                       nullptr);
    if (thread == nullptr) return false;
    (void)start.release();
    CloseHandle(thread);
    return true;
}

bool IsDriveNotAvailable(DWORD error, std::wstring_view folder) {
    switch (error) {
        // The device itself does not answer: no medium, no such drive, or the device is gone.
        case ERROR_NOT_READY:
        case ERROR_INVALID_DRIVE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NO_MEDIA_IN_DRIVE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_UNRECOGNIZED_MEDIA:
        // A network drive whose server or share cannot be reached now.
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_REM_NOT_LIST:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_HOST_UNREACHABLE:
        case ERROR_NO_NET_OR_BAD_PATH:
        case ERROR_NOT_CONNECTED: return true;
        // The root of a drive always exists while the drive is there; "not found" for a
        // root means the medium or its mount point is missing (Wine reports a CD-ROM drive
        // without a disc this way). For a folder below the root it is an ordinary failure.
        case ERROR_PATH_NOT_FOUND: return folder.size() == 3 && folder[1] == L':' && folder[2] == L'\\';
        default: return false;
    }
}

std::wstring ListingForm(std::wstring_view folder) {
    // The search pattern is the folder and "*"; the names found come back on their own.
    // Always the \\?\ form: besides lifting the length limit it keeps the path as it
    // is, where the plain form drops trailing blanks and dots of a folder's name and
    // so could not read such a folder at all. Tree paths hold no "." or ".." parts.
    if (folder.starts_with(L"\\\\?\\")) return std::wstring(folder);
    if (folder.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(folder.substr(2));
    return L"\\\\?\\" + std::wstring(folder);
}

namespace {

using OwnedFind = Owned<HANDLE, &FindClose>;

bool IsAbsolute(std::wstring_view folder) {
    const bool drive = folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\';
    const bool unc = folder.starts_with(L"\\\\");
    return (drive || unc) && folder.ends_with(L'\\');
}

}  // namespace

FolderListing Win32FolderLister::List(std::wstring_view folder) { return ReadFolder(folder); }

FolderListing ReadFolder(std::wstring_view folder) {
    FolderListing out;
    FolderListing result = ReadFolderInParts(
        folder,
        [&out](std::vector<std::wstring>& part) {
            if (out.subFolders.empty())
                out.subFolders = std::move(part);
            else
                out.subFolders.insert(out.subFolders.end(), std::make_move_iterator(part.begin()),
                                      std::make_move_iterator(part.end()));
        },
        std::numeric_limits<std::size_t>::max());
    // A listing that broke off is not trusted in part: the node stays unread and is read
    // again at its next occasion.
    if (result.failure) out.subFolders.clear();
    out.failure = std::move(result.failure);
    return out;
}

namespace {

// Collects sub-folders into parts of partSize and hands each over when full.
class PartCollector {
public:
    PartCollector(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize)
        : folder_(folder), onPart_(onPart), partSize_(partSize) {
        Reserve();
    }

    void Add(DWORD attributes, std::wstring_view name) {
        // The directories-only flag of the search is a hint the file system may ignore.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return;
        if (name == L"." || name == L"..") return;
        // Hidden and system together mark the platform's protected folders (recycle bin,
        // restore points, compatibility links): not for the user, and mostly unreadable,
        // so listing them would show a failure on every expansion. The platform's own
        // file views leave them out by default; hidden-only or system-only folders show.
        constexpr DWORD kProtected = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if ((attributes & kProtected) == kProtected) return;
        std::wstring path;
        path.reserve(folder_.size() + name.size());
        path.append(folder_).append(name);
        part_.push_back(std::move(path));
        if (part_.size() >= partSize_) {
            onPart_(part_);
            part_.clear();
            Reserve();
        }
    }

    void Finish() {
        if (!part_.empty()) onPart_(part_);
    }

private:
    // Parts of a known size are made at their size, so that the heap is not asked again
    // and again while the window's thread allocates beside this one.
    void Reserve() {
        constexpr std::size_t kReserveUpTo = 4096;
        if (partSize_ <= kReserveUpTo) part_.reserve(partSize_);
    }

    const std::wstring_view folder_;
    const ListingPart& onPart_;
    const std::size_t partSize_;
    std::vector<std::wstring> part_;
};

ListFailure FailureOf(DWORD error, std::wstring_view folder) {
    return ListFailure{IsDriveNotAvailable(error, folder), SystemErrorText(error)};
}

bool IsSet(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// The search functions: the listing's failures, and what they mean, are theirs.
ListingAttempt ReadBySearch(const std::wstring& form, const ListingEntryFn& add, const std::atomic<bool>* stop) {
    const std::wstring pattern = form + L"*";
    WIN32_FIND_DATAW data{};
    const HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchLimitToDirectories,
                                          nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An empty folder (or root) has nothing to find: that is no failure.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return {ERROR_SUCCESS, true};
        return {error, false};
    }
    const OwnedFind find(first);  // closed also when adding a name throws
    do {
        add(data.dwFileAttributes, data.cFileName);
        if (IsSet(stop)) return {ERROR_OPERATION_ABORTED, true};
    } while (FindNextFileW(find.get(), &data));
    const DWORD error = GetLastError();
    return {error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error, true};
}

using OwnedFile = Owned<HANDLE, &CloseHandle>;

// The folder's entries read by handle in blocks of 32 KB, without the short names the
// search functions ask for: the same entries, and under Wine a tenth less time for a big
// folder.
ListingAttempt ReadByHandle(const std::wstring& form, const ListingEntryFn& add, const std::atomic<bool>* stop) {
    const HANDLE opened = CreateFileW(form.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A missing folder: the open names the file, the listing's pattern its path; the
        // message says what the search functions always said.
        return {error == ERROR_FILE_NOT_FOUND ? static_cast<DWORD>(ERROR_PATH_NOT_FOUND) : error, false};
    }
    const OwnedFile dir(opened);
    // On the worker's stack: no heap block per listing, while the window's thread allocates
    // beside this one.
    constexpr DWORD kBlock = 32 * 1024;
    std::array<LONGLONG, kBlock / sizeof(LONGLONG)> block;  // the entries' 8-byte alignment
    bool first = true;
    while (GetFileInformationByHandleEx(dir.get(), first ? FileFullDirectoryRestartInfo : FileFullDirectoryInfo,
                                        block.data(), kBlock)) {
        first = false;
        const auto* at = reinterpret_cast<const unsigned char*>(block.data());
        while (true) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            add(entry->FileAttributes, std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(wchar_t)));
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
        // Each further block may be a round trip to a server nobody waits for any more.
        if (IsSet(stop)) return {ERROR_OPERATION_ABORTED, true};
    }
    const DWORD error = GetLastError();
    return {error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error, !first || error == ERROR_NO_MORE_FILES};
}

}  // namespace

bool IsHandleReadingUnsupported(DWORD error) {
    // What a file system without the directory query by handle answers. Seen under Wine:
    // a handle that is no folder gives ERROR_INVALID_PARAMETER; every folder it reads.
    return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
}

FolderListing ReadFolderInParts(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize,
                                ListingWay way, const std::atomic<bool>* stop) {
    static const ListingWays platform{&ReadByHandle, &ReadBySearch};
    static const ListingWays searchOnly{nullptr, &ReadBySearch};
    return ReadFolderInParts(folder, onPart, partSize, way == ListingWay::BySearch ? searchOnly : platform, stop);
}

FolderListing ReadFolderInParts(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize,
                                const ListingWays& ways, const std::atomic<bool>* stop) {
    FolderListing out;
    // Only absolute folders: the root's own path (Arbeitsplatz\) must not be read
    // relative to the program's current folder.
    if (!IsAbsolute(folder)) {
        out.failure = ListFailure{false, SystemErrorText(ERROR_BAD_PATHNAME)};
        return out;
    }
    const std::wstring form = ListingForm(folder);
    PartCollector parts(folder, onPart, partSize);
    const ListingEntryFn add = [&parts](DWORD attributes, std::wstring_view name) { parts.Add(attributes, name); };
    if (!ways.byHandle) {
        const ListingAttempt attempt = ways.bySearch(form, add, stop);
        if (attempt.error != ERROR_SUCCESS)
            out.failure = FailureOf(attempt.error, folder);
        else
            parts.Finish();
        return out;
    }
    ListingAttempt attempt = ways.byHandle(form, add, stop);
    // Only a file system that cannot be read by handle is read again, by the search
    // functions. Any other failure, above all a share that timed out, would come again
    // after as long a wait; a read nobody waits for starts nothing more.
    if (attempt.error != ERROR_SUCCESS && !attempt.begun && IsHandleReadingUnsupported(attempt.error) &&
        !IsSet(stop))
        attempt = ways.bySearch(form, add, stop);
    if (attempt.error != ERROR_SUCCESS) {
        out.failure = FailureOf(attempt.error, folder);
        return out;
    }
    parts.Finish();
    return out;
}

HWND VisibleOwner(HWND window) {
    HWND top = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
    // A dialog that is still loading is hidden: its owner is what the user sees, and a
    // box owned by it stays above it instead of hiding behind it.
    while (top != nullptr && !IsWindowVisible(top)) {
        const HWND owner = GetWindow(top, GW_OWNER);
        if (owner == nullptr) break;
        top = GetAncestor(owner, GA_ROOT);
    }
    return top;
}

void Win32MessageSink::Show(std::wstring_view text, MessageStyle style) {
    if (owner_ != nullptr && !IsWindow(owner_)) return;
    const std::wstring copy(text);
    const HWND owner = VisibleOwner(owner_);
    // The style's numbers are the platform's own.
    MessageBoxW(owner, copy.c_str(), std::wstring(kProgramTitle).c_str(), static_cast<UINT>(style));
}

std::wstring Win32LowerCase(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, nullptr, 0, nullptr, nullptr, 0);
    if (needed <= 0) return std::wstring(text);
    std::wstring out(static_cast<std::size_t>(needed), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, out.data(), needed, nullptr, nullptr, 0);
    return out;
}

}  // namespace ovaro::folders
