#pragma once
// The folder tree's behaviour: filling the tree from the drive list, reading folders one
// level ahead of what the user opened, the Path walk and the PathChanged reports. It owns
// no platform state; the tree's nodes are the only state there is.

#include <functional>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <string_view>
#include <utility>
#include <vector>

#include "FolderTreePorts.h"

namespace ovaro::folders {

inline constexpr std::wstring_view kRootText = L"Arbeitsplatz";

// The user's texts, exactly as the users know them.
inline constexpr std::wstring_view kTextNoAccessBefore = L"Auf Ordner ";
inline constexpr std::wstring_view kTextNoAccessAfter =
    L" kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.";
inline constexpr std::wstring_view kTextReadFailed = L"Fehler beim Lesen des Ordners aufgetreten: ";
inline constexpr std::wstring_view kTextAddFailed = L"Beim Einlesen des Verzeichnisses ist ein Fehler aufgetreten: ";
// Descriptions for failures that have no platform error behind them.
inline constexpr std::wstring_view kTextKeyTaken = L"Der Ordner ist im Baum schon vorhanden: ";
inline constexpr std::wstring_view kTextBadEntry = L"Ungültiger Eintrag in der Ordnerliste: ";

// Lower case for the characters the native tests use (Latin, Greek, Cyrillic); the Win32
// control uses the platform's invariant lower-casing instead.
std::wstring PortableLowerCase(std::wstring_view text);

class FolderTreeLogic {
public:
    FolderTreeLogic(TreeNodes& tree, DriveSource& drives, FolderLister& lister, MessageSink& messages,
                    LowerCaseFn lower);

    // Root, drive nodes and the first folder level of every hard-disk kind drive.
    void Create();

    // Reads the sub-folders of actNode (folder path pfad, ending in "\") unless it has
    // children already; tells the user about failures.
    void SetzeSubNodes(NodeHandle actNode, const std::wstring& pfad);
    // The node's folder path: c:\Windows\ for Arbeitsplatz\c:\Windows; "\" for no node.
    std::wstring VollerPfad(NodeHandle node) const;

    // Handlers of the tree's notifications and of the user's clicks. An expansion reads the
    // node first when it was not read yet, then its children: those that can show at once,
    // the others later (ReadOnInBackground). False when those reads were stopped: the node
    // does not open as if it were empty.
    bool OnExpand(NodeHandle node);
    void OnCollapse(NodeHandle node);
    void OnNodeClick(NodeHandle node);
    // Expands from code: runs the expand handling, then shows the children unless stopped.
    void ExpandFromCode(NodeHandle node);

    // The reads expansions left for later, in the tree's order. Each listing that is in is
    // handed over as it comes, in any order; a message waits until every read before it is
    // over, so that messages come in the tree's order, one after the other.
    bool HasBackgroundReads() const { return !later_.empty(); }
    // Announces the reads left for later, then hands over the listings that are in, asking
    // enough() after each, until it holds; true while reads remain.
    bool ReadOnInBackground(const std::function<bool()>& enough);
    // Esc stopped the operation, or the window went: the reads left for later end too, their
    // nodes stay unread, and nothing more is told.
    void StopLeftOver();
    // These nodes show now: those whose reads were left for later are read before the others.
    void ShowingNow(const std::vector<NodeHandle>& nodes);

    void SetPath(std::wstring_view newPath);
    std::wstring Path() const;
    std::wstring SelectedPath() const;

    NodeHandle Root() const { return root_; }

    // Raised synchronously; the raising operation goes on after it returns.
    std::function<void(const std::wstring&)> PathChanged;

private:
    struct Message {
        std::wstring text;
        MessageStyle style;
    };
    struct ReadResult {
        ListOutcome outcome = ListOutcome::Read;
        std::optional<Message> message;  // what the user is to be told
    };
    // A read left for later, or read out of the tree's order and waiting to tell.
    struct LaterRead {
        NodeHandle node;
        std::wstring pfad;
        bool over = false;
        std::optional<Message> message;
        bool announced = false;  // to the lister
    };
    struct UnreadChild {
        NodeHandle node;
        std::wstring pfad;
        bool shows;  // can show when the node opens: read within the expansion
    };
    // The children of node not read yet, in the tree's order, each with its folder path and
    // whether it can show (around target, when given, else from the first); announced to
    // the lister, those that show first. Those that do not show come without a path; with
    // showingOnly, not at all.
    std::vector<UnreadChild> AnnounceUnreadChildren(NodeHandle node, NodeHandle target, bool showingOnly = false);
    // Reads the node's children as planned; false when the reads were stopped.
    bool ReadChildren(NodeHandle node, NodeHandle target);
    ReadResult Read(NodeHandle actNode, const std::wstring& pfad);
    std::wstring ChildPath(const std::wstring& base, bool simpleParent, NodeHandle child) const;
    void Forget(NodeHandle node);
    // Adds a left-over read's listing once it is in; false while it is still being read.
    bool HandOver(LaterRead& read);
    // Tells what the reads at the front of the queue have to say, and lets them go.
    void TellInOrder();
    void RaisePathChanged(const std::wstring& pfad);
    // Redraw held over a bulk read; messages let go of it while they show.
    void Hold();
    void Release();
    void ShowMessage(const std::wstring& text, MessageStyle style);

    TreeNodes& tree_;
    DriveSource& drives_;
    FolderLister& lister_;
    MessageSink& messages_;
    LowerCaseFn lower_;
    NodeHandle root_ = kNoNode;
    int holds_ = 0;
    std::list<LaterRead> later_;
    std::unordered_map<NodeHandle, std::list<LaterRead>::iterator> laterByNode_;
    std::vector<NodeHandle> hurried_;  // shown while left for later: looked at first
};

}  // namespace ovaro::folders
