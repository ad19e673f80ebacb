#pragma once
// Answers the next real message box of this process from a second thread, the way
// a user would: it finds the box by its title, reads its text and presses a button.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace ovaro::testing {

struct SeenMessageBox {
    bool found = false;
    std::wstring title;
    std::wstring text;
    bool hasYes = false, hasNo = false, hasOk = false;
    bool hasIcon = false;
    int defaultButton = 0;
};

class MessageBoxWatcher {
public:
    // Presses `button` (IDOK, IDYES, IDNO) on the first box titled `title` that shows.
    MessageBoxWatcher(std::wstring title, int button) : title_(std::move(title)), button_(button) {
        thread_ = std::thread([this] { Run(); });
    }
    ~MessageBoxWatcher() { Wait(); }

    const SeenMessageBox& Wait() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void Run() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            HWND box = FindWindowW(L"#32770", title_.c_str());
            if (box != nullptr && IsWindowVisible(box)) {
                seen_.found = true;
                seen_.title = title_;
                wchar_t text[4096] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 4096);
                seen_.text = text;
                seen_.hasYes = GetDlgItem(box, IDYES) != nullptr && IsWindowVisible(GetDlgItem(box, IDYES));
                seen_.hasNo = GetDlgItem(box, IDNO) != nullptr && IsWindowVisible(GetDlgItem(box, IDNO));
                seen_.hasOk = GetDlgItem(box, IDOK) != nullptr && IsWindowVisible(GetDlgItem(box, IDOK));
                HWND icon = GetDlgItem(box, 0x0014);  // the icon static: this ID on Windows, stc1 under Wine
                if (icon == nullptr) icon = GetDlgItem(box, 0x0440);
                seen_.hasIcon = icon != nullptr && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
                for (int id : {IDOK, IDYES, IDNO})
                    if (HWND b = GetDlgItem(box, id); b && (GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
                        seen_.defaultButton = id;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, button_)));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::wstring title_;
    int button_;
    SeenMessageBox seen_;
    std::thread thread_;
};

}  // namespace ovaro::testing
