#pragma once
// OvaroFolderTreeView: the folder tree control. A child window that hosts a tree view
// filling it, with the computer, its drives and their folders, read lazily one level
// ahead of what the user opened. Creating it fills the tree at once (root, drives and
// the first folder level of every hard disk); destroying the object destroys the windows.

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "BackgroundFolderLister.h"
#include "FolderTreeLogic.h"
#include "FolderTreePorts.h"
#include "WindowBase.h"

namespace ovaro {

class OvaroFolderTreeView final : public WindowBase {
public:
    // Replacements for the platform's sources, for tests; null members mean the real ones.
    // The objects must outlive the control.
    struct Sources {
        folders::DriveSource* drives = nullptr;
        folders::FolderLister* lister = nullptr;
        folders::MessageSink* messages = nullptr;
        // With the control's own lister: the listing of one folder on a worker thread.
        folders::ReadFolderFn read = nullptr;
        // Called once when an operation has kept the user waiting for a moment (the host
        // shows itself then, if it is still hidden, so that the user sees it work).
        std::function<void()> onLongWait = nullptr;
    };

    // Creates the control as child id of parent at rcPixels (client coordinates) and
    // fills the tree. Null when the windows cannot be created. Messages shown while
    // filling are owned by the parent's top-level window, which may still be hidden.
    static std::unique_ptr<OvaroFolderTreeView> Create(HWND parent, int id, const RECT& rcPixels);
    static std::unique_ptr<OvaroFolderTreeView> Create(HWND parent, int id, const RECT& rcPixels,
                                                       const Sources& sources);
    ~OvaroFolderTreeView() override;

    // Window() is the control; size it, the tree follows.
    HWND TreeWindow() const { return tree_; }  // the SysTreeView32 inside

    // True while one operation of the tree runs (creation, a Path walk, an expansion, a
    // click): it may be waiting for a read in a restricted message loop, or showing a
    // message box. The control must not be destroyed from inside it, only its windows
    // (which stops the reads).
    //
    // One operation at a time: whatever would enter the tree's logic meanwhile (through
    // the wait, or through the loop of a message box it shows) is dropped if it is the
    // user's input and otherwise deferred, in order, until the operation has ended.
    bool Busy() const { return operating_; }
    // True while a handler of the tree view itself is on the stack, such as its loop
    // that tells a click from a drag, which dispatches messages: the tree view must not
    // be destroyed now.
    bool InsideTreeView() const { return inTreeView_ > 0; }
    // Runs task now when no operation runs, otherwise once the operations before it are
    // over; for the commands of the control's host. Dropped once the window is gone.
    void WhenIdle(std::function<void()> task);

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
    // A node selected with the keyboard counts as clicked once the selection has rested
    // for half a second; this counts a selection that is still waiting at once. False
    // when that click was stopped (Esc, the window closed) or could not run now.
    bool CommitKeyboardSelection();

    // Raised with a folder path after a write of Path, a node click and a collapse.
    std::function<void(const std::wstring&)> PathChanged;

private:
    OvaroFolderTreeView() = default;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override { tree_ = nullptr; }
    bool OnCreate();
    void OnSize(int width, int height);
    LRESULT OnNotify(const NMHDR& header);
    void AwaitRest(HTREEITEM item);
    void LoadPictures();

    // Where something asks to enter the tree's logic from.
    // Background: a hand-over of reads left for later, which runs only when nothing else
    // waits and is never deferred (the next read that comes in asks again).
    enum class Arrival { UserInput, Deferrable, Background };
    // Runs step as the one operation; true when it ran now and was not stopped.
    bool Operate(Arrival arrival, const std::function<void()>& step);
    bool MustWait() const;  // an operation runs, or deferred ones come first
    void Defer(std::function<void()> task);
    void PostRunDeferred();
    void RunDeferred();
    bool Commit(Arrival arrival);
    void NodeClick(HTREEITEM item);
    void RunBackground();
    void TellShowing();

    struct Parts;
    std::unique_ptr<Parts> parts_;
    HWND tree_ = nullptr;
    HTREEITEM resting_ = nullptr;  // selected with the keyboard, not yet counted as a click
    HWND orphan_ = nullptr;        // the tree view, kept past its window's end while in use
    bool operating_ = false;
    int inTreeView_ = 0;  // the tree view's handlers on the stack
    bool gone_ = false;  // the window is gone: nothing more runs
    std::deque<std::function<void()>> deferred_;
    bool runPosted_ = false;  // a message to run deferred_ is on its way
    bool draining_ = false;   // deferred_ is being run: its tasks go first
    bool backgroundDue_ = false;  // reads came in while something else ran
};

}  // namespace ovaro
