#pragma once
// The main window on Win32: the controls of the layout table as real windows,
// the platform's dialog keys, and the behaviour's handlers wired to their events.

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "DialogWindow.h"
#include "MainWindowBehaviour.h"

namespace ovaro {

// Control IDs: arrays take the row index as offset, so GetDlgItem finds any element.
int MainWindowControlId(ControlKind kind, int16_t index);

// What the window uses of the world beyond itself; tests put fakes in.
struct MainWindowHooks {
    // A modal message box owned by `owner`; style as the platform numbers it. The
    // default shows MessageBoxW with the program title.
    std::function<int(HWND owner, std::wstring_view text, unsigned style)> showMessage;
    // Ends the process at once; the default is ExitProcess.
    std::function<void()> endProgram;
    // The folder choice dialog for "Wählen..."; none means the button does nothing.
    FolderChoiceFactory folderChoice;
};

class MainWindow final : public MainWindowSurface {
public:
    static constexpr const wchar_t* kClassName = L"OvaroHauptfenster";

    // Creates the window and its controls (hidden), then runs the load handler.
    static std::unique_ptr<MainWindow> Create(HINSTANCE instance, SettingsStore& store, MainWindowHooks hooks);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Show(int showCommand);
    HWND Window() const { return hwnd_; }
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
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnClose(int16_t reason);
    void CreateControls();
    void ApplyLayout(UINT dpi);
    void ClipBeneathControls();

    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    UINT dpi_ = 96;
    DialogFocus focus_;
    std::vector<HWND> controls_;   // in tab order, parallel to the layout table
    std::vector<HFONT> fonts_;     // owned; the dialog font and any fitted label fonts
    MainWindowHooks hooks_;
    MainWindowBehaviour behaviour_;
};

// Runs the message loop with the platform's dialog keys for `window`; returns the exit code.
int RunMessageLoop(HWND window);

}  // namespace ovaro
