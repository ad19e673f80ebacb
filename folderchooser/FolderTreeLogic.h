#pragma once
// The folder tree's behaviour: filling the tree from the drive list, reading folders one
// level ahead of what the user opened, the Path walk and the PathChanged reports. It owns
// no platform state; the tree's nodes are the only state there is.

#include <functional>
#include <string>
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

    // Handlers of the tree's notifications and of the user's clicks.
    void OnExpand(NodeHandle node);
    void OnCollapse(NodeHandle node);
    void OnNodeClick(NodeHandle node);
    // Expands from code: runs the expand handling, then shows the children.
    void ExpandFromCode(NodeHandle node);

    void SetPath(std::wstring_view newPath);
    std::wstring Path() const;
    std::wstring SelectedPath() const;

    NodeHandle Root() const { return root_; }

    // Raised synchronously; the raising operation goes on after it returns.
    std::function<void(const std::wstring&)> PathChanged;

private:
    using UnreadChildren = std::vector<std::pair<NodeHandle, std::wstring>>;
    // The children of node not read yet, each with its folder path, announced to the
    // lister so that they are read together.
    UnreadChildren AnnounceUnreadChildren(NodeHandle node);
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
};

}  // namespace ovaro::folders
