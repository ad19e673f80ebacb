// Program start: the main window is the whole program.
#include <windows.h>

#include <commctrl.h>

#include "FolderChoiceDialog.h"
#include "MainWindow.h"
#include "MessageLoop.h"
#include "OneCopyPerUser.h"
#include "ProgramIdentity.h"
#include "RegistrySettingsStore.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The system must never show its own "no disk in drive" boxes: the folder
    // tree reports unreadable drives itself.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // DLLs come from the system folder only, never from the download folder the exe sits in.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    // Two copies would overwrite each other's saves without a word: a second start of
    // the same user brings the running copy forward and ends; it runs in the place of a copy
    // that is gone or ending, and says so when it can do neither, or when the copy runs in
    // another session of the user.
    ovaro::OneCopyPerUser copy(ovaro::kInternalName);
    switch (copy.Choose(std::chrono::seconds(10))) {
        case ovaro::StartChoice::Run: break;
        case ovaro::StartChoice::BringForward:
            if (!ovaro::AskToComeToFront(copy.RunningWindow())) ovaro::TellAlreadyRunning();
            return 0;
        case ovaro::StartChoice::TellRunning: ovaro::TellAlreadyRunning(); return 0;
        case ovaro::StartChoice::TellOtherSession: ovaro::TellRunningInOtherSession(); return 0;
    }

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    ovaro::RegistrySettingsStore store;
    ovaro::MainWindowHooks hooks;
    hooks.folderChoice = ovaro::DefaultFolderChoice(instance);
    // The system ends the process once the session's end is answered; ending it at once
    // spares tearing down the windows, which waits on a folder read stuck in the kernel.
    hooks.endSession = [] { ExitProcess(0); };
    // Published before the settings are read, so that a later start also finds a report
    // of a failure to read them and brings it forward.
    hooks.created = [&copy](HWND created) { copy.Publish(created); };
    auto window = ovaro::MainWindow::Create(instance, store, std::move(hooks));
    if (!window) return 1;
    window->Show(showCommand);
    const int exitCode = ovaro::RunMessageLoop(window->Window());
    // The window is gone; what follows may wait on a folder read stuck in the kernel, and a
    // start in another session must not be told meanwhile that the program runs.
    copy.Release();
    return exitCode;
}
