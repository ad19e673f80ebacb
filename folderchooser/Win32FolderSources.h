#pragma once
// The machine's drives and folders as the folder tree sees them on Win32, plus its
// message boxes and lower-casing.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "FolderTreePorts.h"

namespace ovaro::folders {

class RestrictedWait;

// Asks for the type of a drive root such as "c:\"; runs on a worker thread.
using DriveTypeFn = std::function<unsigned(const std::wstring& root)>;

// With a wait, a drive's type is asked on a worker thread while the window's thread waits
// in it: a dead network or removable device may take long to answer, and meanwhile the
// window paints and Esc works. A stopped question gives kDriveUnknown. The types of all
// drives in the list are asked at once, as soon as the list is known.
class Win32DriveSource final : public DriveSource {
public:
    explicit Win32DriveSource(RestrictedWait* wait = nullptr, DriveTypeFn typeOf = nullptr);
    ~Win32DriveSource() override;
    Win32DriveSource(const Win32DriveSource&) = delete;
    Win32DriveSource& operator=(const Win32DriveSource&) = delete;
    std::wstring LogicalDriveStrings() override;
    unsigned DriveTypeOf(std::wstring_view driveName) override;

private:
    struct Question;
    std::shared_ptr<Question> Ask(std::wstring root);
    void GiveUpAll();

    RestrictedWait* wait_;
    DriveTypeFn typeOf_;
    // Asked when the list came, by drive name in lower case ("c:"), and not yet taken.
    std::unordered_map<std::wstring, std::shared_ptr<Question>> asked_;
};

// Starts a thread of its own that runs work; false, with the reason in GetLastError, when it
// cannot. Nothing ever waits for such a thread: one stuck in the platform keeps nobody
// waiting, and the program still ends at once.
bool StartDetachedThread(std::function<void()> work);

// The program's workers that were given up while they hang in the platform's thread pool.
// The pool runs at most 500 threads, and past that a submit still succeeds but nothing runs;
// so once this many hang there, new workers are threads of their own, which cost more to
// start (under Wine about 1.7 ms on the starting thread, against 0.05 ms for a submit).
inline constexpr int kPoolStuckAtMost = 128;
bool PoolCrowded();
void CountStuckInPool(int delta);

// Lists the sub-folders of folder (ending in "\") with the platform's file functions;
// safe on any thread.
FolderListing ReadFolder(std::wstring_view folder);
// The same, handing the sub-folders to onPart every partSize of them as they are read and
// the rest at the end; the result carries only the failure (see FolderLister::ListInParts).
// By handle first, by the search functions where the file system offers no reading by
// handle; BySearch only for tests. Once *stop is set (nobody waits for the listing any
// more) the read starts nothing further: no next block, no second way.
enum class ListingWay { ByHandle, BySearch };
FolderListing ReadFolderInParts(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize,
                                ListingWay way = ListingWay::ByHandle, const std::atomic<bool>* stop = nullptr);

// One way of reading a folder, given in the \\?\ form: hands every entry to add and
// returns the platform's error (ERROR_SUCCESS once all are in; an empty folder is no
// error), and whether it got past its start (the folder opened and its first entries came).
struct ListingAttempt {
    DWORD error = ERROR_SUCCESS;
    bool begun = false;
};
using ListingEntryFn = std::function<void(DWORD attributes, std::wstring_view name)>;
using ListingWayFn =
    std::function<ListingAttempt(const std::wstring& form, const ListingEntryFn& add, const std::atomic<bool>* stop)>;
struct ListingWays {
    ListingWayFn byHandle;
    ListingWayFn bySearch;
};
// The same read with the two ways given: for tests.
FolderListing ReadFolderInParts(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize,
                                const ListingWays& ways, const std::atomic<bool>* stop = nullptr);

// Whether a failure to open a folder by handle, or to read its first block, means that the
// file system offers no reading by handle, so that the search functions may still read it.
// Any other failure (access, network, a time-out, a cancelled read) would only come again.
bool IsHandleReadingUnsupported(DWORD error);

// Lists on the calling thread.
class Win32FolderLister final : public FolderLister {
public:
    FolderListing List(std::wstring_view folder) override;
};

// Whether a listing error of folder means "the drive is not available" rather than a
// problem with that one folder.
bool IsDriveNotAvailable(DWORD error, std::wstring_view folder);

// The form of folder (ending in "\") to hand to the file functions: always the \\?\ form
// (\\?\UNC\ for a network path), so that neither MAX_PATH nor the trimming of trailing
// blanks and dots applies; a folder already in that form stays unchanged.
std::wstring ListingForm(std::wstring_view folder);

// The window a message about `window` belongs to: its top-level window when that shows,
// else the nearest owner up the chain that shows (else the last one there is).
HWND VisibleOwner(HWND window);

// Message boxes with the program title, owned by the window the user sees (VisibleOwner).
// Once owner is gone (the dialog closed while a folder was read) there is nobody to tell.
class Win32MessageSink final : public MessageSink {
public:
    explicit Win32MessageSink(HWND owner) : owner_(owner) {}
    void Show(std::wstring_view text, MessageStyle style) override;

private:
    HWND owner_;
};

// Invariant lower case, the same for node keys and for the Path walk.
std::wstring Win32LowerCase(std::wstring_view text);

}  // namespace ovaro::folders
