#pragma once
// frmOrdnerwahl: the modal dialog in which the user picks one folder in the tree.
// It reports only whether the user confirmed (Tag "OK" or empty); the folder itself
// stays in the tree, where the caller reads it.

#include <windows.h>

#include <memory>
#include <string>

#include "DialogWindow.h"
#include "FolderChoice.h"
#include "GdiObjects.h"
#include "OvaroFolderTreeView.h"
#include "WindowBase.h"

namespace ovaro {

class FolderChoiceDialog final : public WindowBase, public FolderChoice {
public:
    static constexpr const wchar_t* kClassName = L"OvaroOrdnerwahl";
    static constexpr int kTreeId = 100;

    // Loads the dialog hidden: creates its window and the tree, which reads the drives
    // at once (messages about drives may show now, owned by the owner). The owner, the
    // main window (null for none), is disabled from now until the dialog is hidden or
    // unloaded, and centres it. Never the active window: "Wählen..." can be pressed by an
    // assistive tool or a script while another window is active.
    static std::unique_ptr<FolderChoiceDialog> Load(HINSTANCE instance, HWND owner);
    static std::unique_ptr<FolderChoiceDialog> Load(HINSTANCE instance, HWND owner,
                                                    const OvaroFolderTreeView::Sources& sources);
    // Unloads the dialog (runs the close handling once more) if it is still loaded.
    ~FolderChoiceDialog() override;
    FolderChoiceDialog(const FolderChoiceDialog&) = delete;
    FolderChoiceDialog& operator=(const FolderChoiceDialog&) = delete;

    // FolderChoice
    void SetPath(const std::wstring& path) override;
    void ShowModal() override;
    std::wstring Tag() const override { return tag_; }
    std::wstring Path() const override;

    void Unload();
    bool Loaded() const { return hwnd_ != nullptr; }

private:
    FolderChoiceDialog() = default;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Create(HINSTANCE instance, HWND owner, const OvaroFolderTreeView::Sources& sources);
    void DestroyNow();
    void PlaceControls(UINT dpi);
    void btnOK_Click();
    void btnAbbrechen_Click();
    void Form_QueryUnload();
    void DisableOwner();
    void EnableOwner();
    void Hide();
    // Shows the dialog while the tree is still being filled on a slow drive.
    void ShowEarly();

    HWND owner_ = nullptr;
    bool ownerDisabled_ = false;  // by this dialog, which enables it again
    DialogFocus focus_;
    OwnedFont font_;
    std::unique_ptr<OvaroFolderTreeView> tree_;
    std::wstring tag_;
    bool modal_ = false;  // shown modally, until OK or Abbrechen hides it or it closes
    bool shownEarly_ = false;
    int handling_ = 0;    // this window's handlers on the stack
    bool closed_ = false;  // closed inside a nested loop: hidden, destroyed once it has unwound
};

// The factory the main window's "Wählen..." uses in the program.
OwnedFolderChoiceFactory<HWND> DefaultFolderChoice(HINSTANCE instance);

}  // namespace ovaro
