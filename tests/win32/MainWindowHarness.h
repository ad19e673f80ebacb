#pragma once
// The real main window over the real registry, below a scratch key of the test's own,
// with message boxes recorded and answered from a list (or shown for real) and the
// program's end counted instead of carried out.

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MainWindow.h"
#include "RegistrySettingsStore.h"
#include "TestSupport.h"

namespace ovaro::testing {

class MainWindowHarness : public ::testing::Test {
protected:
    struct Shown {
        std::wstring text;
        unsigned style;
    };

    void Open(bool realMessageBoxes = false) {
        MainWindowHooks hooks;
        if (!realMessageBoxes) {
            hooks.showMessage = [this](HWND, std::wstring_view text, unsigned style) {
                shown.push_back({std::wstring(text), style});
                if (duringMessage) duringMessage();
                if (answers.empty()) return IDYES;
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            };
        }
        hooks.endProgram = [this] { ++ended; };
        if (folderChoice) hooks.folderChoice = [this](HWND) { return folderChoice(); };
        window = MainWindow::Create(GetModuleHandleW(nullptr), store, std::move(hooks));
        ASSERT_NE(window, nullptr);
        window->Show(SW_SHOWNORMAL);
        Pump();
    }

    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    HWND Row(int16_t index, ControlKind kind = ControlKind::Text) const { return window->Control(kind, index); }

    // Where the store keeps edition `edition`'s (1 to 7) application key, and its section.
    std::wstring AppPath(int edition) const {
        return scratch.Path() + L"\\" + std::wstring(kEditionen[edition - 1].applicationName);
    }
    std::wstring SectionPath(int edition) const { return AppPath(edition) + L"\\Optionen"; }
    RegistryValue Stored(int edition) const {
        return ReadRegistryValue(HKEY_CURRENT_USER, SectionPath(edition), L"Datenpfad");
    }
    void PutText(int edition, const std::wstring& text) {
        ASSERT_EQ(WriteRegistryText(HKEY_CURRENT_USER, SectionPath(edition), L"Datenpfad", text), ERROR_SUCCESS);
    }

    void TearDown() override { window.reset(); }

    ScratchRegistryKey scratch;  // made before the store and the window, removed after them
    RegistrySettingsStore store{HKEY_CURRENT_USER, scratch.Path()};
    std::unique_ptr<MainWindow> window;
    std::vector<Shown> shown;
    std::deque<int> answers;              // answers to give, Yes when none is left
    std::function<void()> duringMessage;  // runs while a recorded message box is open
    FolderChoiceFactory folderChoice;     // the dialog of "Wählen..."; none by default
    int ended = 0;
};

}  // namespace ovaro::testing
