#pragma once
// OvaroFolderTreeView: the folder tree control. A child window that hosts a tree view
// filling it, with the computer, its drives and their folders, read lazily one level
// ahead of what the user opened. Creating it fills the tree at once (root, drives and
// the first folder level of every hard disk); destroying the object destroys the windows.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "FolderTreeLogic.h"
#include "FolderTreePorts.h"

namespace ovaro {

class OvaroFolderTreeView {
public:
    // Replacements for the platform's sources, for tests; null members mean the real ones.
    // The objects must outlive the control.
    struct Sources {
        folders::DriveSource* drives = nullptr;
        folders::FolderLister* lister = nullptr;
        folders::MessageSink* messages = nullptr;
    };

    // Creates the control as child id of parent at rcPixels (client coordinates) and
    // fills the tree. Null when the windows cannot be created. Messages shown while
    // filling are owned by the parent's top-level window, which may still be hidden.
    static std::unique_ptr<OvaroFolderTreeView> Create(HWND parent, int id, const RECT& rcPixels);
    static std::unique_ptr<OvaroFolderTreeView> Create(HWND parent, int id, const RECT& rcPixels,
                                                       const Sources& sources);
    ~OvaroFolderTreeView();
    OvaroFolderTreeView(const OvaroFolderTreeView&) = delete;
    OvaroFolderTreeView& operator=(const OvaroFolderTreeView&) = delete;

    HWND Window() const { return window_; }       // the control; size it, the tree follows
    HWND TreeWindow() const { return tree_; }     // the SysTreeView32 inside

    // True while the tree reads or inserts folders. Its window's thread then runs a
    // restricted message loop; the control must not be destroyed from inside it, only
    // its windows (which stops the reads).
    bool Busy() const;

    // Path (write): walks the tree along newPath and selects the deepest node found.
    void SetPath(std::wstring_view newPath);
    // Path (read): folder path of the selected node, such as c:\Windows\; "" for none.
    std::wstring Path() const;
    // Folder path of the selected node; "\" for none.
    std::wstring SelectedPath() const;
    // Reads the node's sub-folders unless it has children already.
    void SetzeSubNodes(HTREEITEM node, const std::wstring& pfad);
    // Folder path of a node (null: "\").
    std::wstring VollerPfad(HTREEITEM node) const;

    // Raised with a folder path after a write of Path, a node click and a collapse.
    std::function<void(const std::wstring&)> PathChanged;

private:
    OvaroFolderTreeView() = default;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnSize(int width, int height);
    LRESULT OnNotify(const NMHDR& header);
    void OnNodeClickPosted(HTREEITEM item);
    void LoadPictures();

    struct Parts;
    std::unique_ptr<Parts> parts_;
    HWND window_ = nullptr;
    HWND tree_ = nullptr;
    HWND orphan_ = nullptr;  // the tree view, kept past its window's end while in use
};

}  // namespace ovaro
