#pragma once
// The machine's drives and folders as the folder tree sees them on Win32, plus its
// message boxes and lower-casing.

#include <windows.h>

#include <string>

#include "FolderTreePorts.h"

namespace ovaro::folders {

class Win32DriveSource final : public DriveSource {
public:
    std::wstring LogicalDriveStrings() override;
    unsigned DriveTypeOf(std::wstring_view driveName) override;
};

// Lists the sub-folders of folder (ending in "\") with the platform's file functions;
// safe on any thread.
FolderListing ReadFolder(std::wstring_view folder);
// The same, handing the sub-folders to onPart every partSize of them as they are read and
// the rest at the end; the result carries only the failure (see FolderLister::ListInParts).
// By handle first, by the search functions where that cannot start; BySearch only for tests.
enum class ListingWay { ByHandle, BySearch };
FolderListing ReadFolderInParts(std::wstring_view folder, const ListingPart& onPart, std::size_t partSize,
                                ListingWay way = ListingWay::ByHandle);

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
