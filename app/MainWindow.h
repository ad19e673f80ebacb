#pragma once
// The main window on Win32: the controls of the layout table as real windows,
// the platform's dialog keys, and the behaviour's handlers wired to their events.

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "DialogWindow.h"
#include "GdiObjects.h"
#include "MainWindowBehaviour.h"
#include "WindowBase.h"

namespace ovaro {

// Control IDs: arrays take the row index as offset, so GetDlgItem finds any element.
int MainWindowControlId(ControlKind kind, int16_t index);
// The control of the layout table whose ID is id; null for none.
const ControlSpec* MainWindowControlOf(int id);
// The window class and styles a control of the table is made with.
struct MainWindowControlWindow {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};
MainWindowControlWindow MainWindowControlClass(ControlKind kind);

// What the window uses of the world beyond itself; tests put fakes in.
struct MainWindowHooks {
    // A modal message box owned by `owner`; style as the platform numbers it. The
    // default shows MessageBoxW with the program title.
    std::function<int(HWND owner, std::wstring_view text, unsigned style)> showMessage;
    // Ends the process at once; the default is ExitProcess.
    std::function<void()> endProgram;
    // Ends the process when the Windows session ends, once the window has agreed to close;
    // none (the default) lets the window close and the program end with it.
    std::function<void()> endSession;
    // Told the window as soon as it exists, before the settings are read: a report of a
    // failure to read them shows before the window does.
    std::function<void(HWND)> created;
    // The folder choice dialog for "Wählen...", owned by the window given, this one;
    // none means the button does nothing.
    OwnedFolderChoiceFactory<HWND> folderChoice;
};

class MainWindow final : public WindowBase, public MainWindowSurface {
public:
    static constexpr const wchar_t* kClassName = L"OvaroHauptfenster";

    // Creates the window and its controls (hidden), then runs the load handler.
    static std::unique_ptr<MainWindow> Create(HINSTANCE instance, SettingsStore& store, MainWindowHooks hooks);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Show(int showCommand);
    HWND Control(ControlKind kind, int16_t index = -1) const;
    MainWindowBehaviour& Behaviour() { return behaviour_; }
    UINT Dpi() const { return dpi_; }

    // MainWindowSurface
    std::wstring RowText(int16_t index) const override;
    void SetRowText(int16_t index, const std::wstring& text) override;
    void SetEnabled(int16_t index, RowControl control, bool enabled) override;
    int CheckState() const override;
    int ShowMessage(std::wstring_view text, unsigned style) override;
    void EndProgramAtOnce() override;
    void ReportFailure(std::wstring_view text) override;

private:
    MainWindow(SettingsStore& store, MainWindowHooks hooks);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::wstring FailureText(const std::exception& failure) const override;
    void OnCommand(int id, int code);
    void OnClose(CloseReason reason);
    bool CloseBringsOpenWindowForward();
    void CreateControls();
    void ApplyLayout(UINT dpi);
    void ClipBeneathControls();

    HWND toolTip_ = nullptr;
    UINT dpi_ = 96;
    DialogFocus focus_;
    std::vector<HWND> controls_;    // in tab order, parallel to the layout table
    std::vector<OwnedFont> fonts_;  // the dialog font and any fitted label fonts
    MainWindowHooks hooks_;
    MainWindowBehaviour behaviour_;
};

}  // namespace ovaro
