#pragma once
// What the folder tree's logic needs from the platform: a tree of nodes, the drive
// list, a folder lister and message boxes. The Win32 control and the in-memory test
// doubles implement these, so the same logic runs against both.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "MessageBoxStyles.h"

namespace ovaro::folders {

// Opaque node handle; 0 is "no node". Handles stay valid for the tree's life,
// since nodes are only ever added.
using NodeHandle = std::uintptr_t;
inline constexpr NodeHandle kNoNode = 0;

// Image list indices, in the order of the picture strip.
enum class Picture : int { Removable = 0, Computer, ClosedFolder, Floppy, Harddisk, OpenFolder, CDRom };
inline constexpr int kPictureCount = 7;

class TreeNodes {
public:
    virtual ~TreeNodes() = default;

    // Adds a node as the last child of parent (kNoNode: a top-level node). An empty key
    // is not indexed. Returns kNoNode, and a description in error, when the node could
    // not be added (a key that is already taken, a platform failure).
    virtual NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                               Picture selectedPicture, std::wstring* error) = 0;
    virtual bool HasChildren(NodeHandle node) const = 0;
    virtual std::size_t ChildCount(NodeHandle node) const = 0;
    virtual NodeHandle FirstChild(NodeHandle node) const = 0;
    virtual NodeHandle NextSibling(NodeHandle node) const = 0;
    virtual NodeHandle Parent(NodeHandle node) const = 0;
    virtual std::wstring Text(NodeHandle node) const = 0;
    virtual Picture PictureOf(NodeHandle node) const = 0;
    virtual Picture SelectedPictureOf(NodeHandle node) const = 0;
    // Texts from the top-level node down to node, joined by "\"; "" for kNoNode.
    virtual std::wstring FullPath(NodeHandle node) const = 0;
    // Exact, case-sensitive key lookup in constant time; kNoNode when no node has it.
    virtual NodeHandle Find(std::wstring_view key) const = 0;
    virtual NodeHandle Selected() const = 0;
    virtual void Select(NodeHandle node) = 0;
    // Shows the node's children. Only the display: the caller runs the expand handling,
    // so it runs exactly once whether or not the platform would notify. A node without
    // children is marked expanded, so that children added later show at once.
    virtual void Expand(NodeHandle node) = 0;
    virtual bool IsExpanded(NodeHandle node) const = 0;
    virtual void EnsureVisible(NodeHandle node) = 0;
    // Bracket bulk inserts so the display is not redrawn per node; nestable.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // Takes the children of node out again, with everything below them and their keys: for
    // a listing that broke off after its first parts were added. The node's expanded state
    // stays; handles of the removed nodes are not used again.
    virtual void RemoveChildren(NodeHandle node) = 0;

    // How many rows the tree's window shows: an expansion reads first the children that
    // can show. A tree without a window shows them all.
    virtual std::size_t RowsShowing() const { return std::numeric_limits<std::size_t>::max(); }
    // Whether a node without children shows as one that opens. Every node is added so, since
    // a folder not read yet is not known to be empty; a node read and found empty, or that
    // cannot be read, is set otherwise, and one whose read was stopped stays so.
    virtual void SetExpandable(NodeHandle node, bool expandable) { (void)node, (void)expandable; }
};

// Platform drive type numbers.
enum DriveType : unsigned {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6
};

class DriveSource {
public:
    virtual ~DriveSource() = default;
    // The drive root names as the platform gives them: each followed by a NUL, the list
    // closed by one more NUL. Empty when the list cannot be had.
    virtual std::wstring LogicalDriveStrings() = 0;
    // Type of a two-character drive name such as "c:".
    virtual unsigned DriveTypeOf(std::wstring_view driveName) = 0;
};

struct ListFailure {
    bool driveNotAvailable = false;  // the drive is absent, not ready or unreachable
    std::wstring description;        // the platform's text for the error
};

// What became of a listing: the folder was read (its sub-folders may be none), the read
// failed, or it was stopped before it ended, which says nothing about the folder.
enum class ListOutcome { Read, Failed, Stopped };

struct FolderListing {
    std::vector<std::wstring> subFolders;  // read: full paths, each beginning with the listed path
    std::optional<ListFailure> failure;    // failed: what went wrong
    bool stopped = false;                  // stopped

    ListOutcome Outcome() const {
        if (stopped) return ListOutcome::Stopped;
        return failure ? ListOutcome::Failed : ListOutcome::Read;
    }
    static FolderListing Failed(ListFailure why) {
        FolderListing listing;
        listing.failure = std::move(why);
        return listing;
    }
    static FolderListing Stopped() {
        FolderListing listing;
        listing.stopped = true;
        return listing;
    }
};

// Takes the next part of a listing's sub-folders (full paths, in the lister's order); it
// may move them out.
using ListingPart = std::function<void(std::vector<std::wstring>& part)>;

class FolderLister {
public:
    virtual ~FolderLister() = default;
    // Lists the sub-folders of folder, a path ending in "\".
    virtual FolderListing List(std::wstring_view folder) = 0;
    // The same listing, its sub-folders handed to onPart in parts while it is read, so that
    // the caller adds one part while the next is read. The result carries the outcome and
    // no sub-folders: all went to onPart. Failed or stopped after some parts means the
    // listing broke off, and the parts handed over do not count. This one hands the whole
    // listing over at its end, as one part.
    virtual FolderListing ListInParts(std::wstring_view folder, const ListingPart& onPart) {
        FolderListing listing = List(folder);
        if (listing.Outcome() == ListOutcome::Read && !listing.subFolders.empty()) onPart(listing.subFolders);
        listing.subFolders.clear();
        return listing;
    }
    // The folders that List will be asked for next, in that order: a lister that can read
    // ahead starts them now. Only a hint; List is still called for each.
    virtual void Prefetch(const std::vector<std::wstring>& folders) { (void)folders; }
    // Puts these announced folders before every other read not yet started, in this order:
    // they show now.
    virtual void Hurry(const std::vector<std::wstring>& folders) { (void)folders; }
    // Where an announced folder's read stands without waiting for it: nullopt while it is
    // still being read, else what List would say now. A lister that reads in List says Read.
    // Stopped also for a folder that is not announced (any more).
    virtual std::optional<ListOutcome> Progress(std::wstring_view folder) {
        (void)folder;
        return ListOutcome::Read;
    }
};

enum class MessageStyle : unsigned { Ok = kMbOk, Critical = kMbCritical };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A modal message with the program title and an OK button.
    virtual void Show(std::wstring_view text, MessageStyle style) = 0;
};

// The one lower-casing used for node keys and for the path walk, so both agree.
using LowerCaseFn = std::function<std::wstring(std::wstring_view)>;

}  // namespace ovaro::folders
