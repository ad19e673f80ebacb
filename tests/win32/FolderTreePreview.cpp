// Shows the folder tree in a window of its own, for a look at its pictures and texts:
//   folder_tree_preview [PATH]   walks to PATH, prints the time taken to stdout.
// Messages are printed instead of shown, so that nothing covers the tree.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "OvaroFolderTreeView.h"

namespace {

class PrintedMessages final : public ovaro::folders::MessageSink {
public:
    void Show(std::wstring_view text, ovaro::folders::MessageStyle) override {
        std::wprintf(L"Meldung: %.*ls\n", static_cast<int>(text.size()), text.data());
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const HWND top = CreateWindowExW(0, L"STATIC", L"Ordnerbaum", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20, 360,
                                     420, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    PrintedMessages messages;
    RECT client{};
    GetClientRect(top, &client);
    const auto start = std::chrono::steady_clock::now();
    auto view = ovaro::OvaroFolderTreeView::Create(top, 1, client, {nullptr, nullptr, &messages});
    const auto created = std::chrono::steady_clock::now();
    if (!view) return 1;
    SendMessageW(view->Window(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    if (argc > 1) view->SetPath(argv[1]);
    const auto walked = std::chrono::steady_clock::now();
    using ms = std::chrono::duration<double, std::milli>;
    std::wprintf(L"Erzeugen: %.1f ms, Pfad: %.1f ms, Pfad gelesen: %ls\n", ms(created - start).count(),
                 ms(walked - created).count(), view->Path().c_str());
    std::fflush(stdout);
    ShowWindow(top, SW_SHOW);
    SetFocus(view->TreeWindow());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
