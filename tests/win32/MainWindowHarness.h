#pragma once
// The real main window over the real registry, with message boxes recorded and answered
// from a list (or shown for real) and the program's end counted instead of carried out.

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "MainWindow.h"
#include "RegistrySettingsStore.h"

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
                if (answers.empty()) return IDYES;
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            };
        }
        hooks.endProgram = [this] { ++ended; };
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

    RegistrySettingsStore store;
    std::unique_ptr<MainWindow> window;
    std::vector<Shown> shown;
    std::deque<int> answers;  // answers to give, Yes when none is left
    int ended = 0;
};

}  // namespace ovaro::testing
