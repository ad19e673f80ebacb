// The window base every window of the program stands on: a failure in a handler stops
// at the platform's frames and is reported, and the window lives on.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "WindowBase.h"

namespace ovaro {
namespace {

constexpr UINT kMsgThrowStd = WM_APP + 7;
constexpr UINT kMsgThrowOther = WM_APP + 8;

class ThrowingWindow final : public WindowBase {
public:
    explicit ThrowingWindow(bool failCreation) : failCreation_(failCreation) {
        EXPECT_TRUE(RegisterWindowClass(GetModuleHandleW(nullptr), {L"OvaroTestThrowingWindow"}));
        MakeWindow(0, L"OvaroTestThrowingWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                   GetModuleHandleW(nullptr));
    }

    std::vector<std::wstring> reports;
    bool recordReports = true;  // false: the base's own report shows

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE && failCreation_) throw std::runtime_error("no window");
        if (message == kMsgThrowStd) throw std::runtime_error("broken");
        if (message == kMsgThrowOther) throw 42;
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
    void ReportFailure(std::wstring_view text) override {
        if (recordReports)
            reports.emplace_back(text);
        else
            WindowBase::ReportFailure(text);
    }

    bool failCreation_;
};

TEST(WindowBase, AFailingHandlerIsReportedAndTheWindowLivesOn) {
    auto window = std::make_unique<ThrowingWindow>(false);
    const HWND hwnd = window->Window();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SendMessageW(hwnd, kMsgThrowStd, 0, 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, kMsgThrowOther, 0, 0), 0);
    EXPECT_EQ(window->reports, (std::vector<std::wstring>{L"Ein unerwarteter Fehler ist aufgetreten: broken",
                                                          L"Ein unerwarteter Fehler ist aufgetreten."}));
    EXPECT_TRUE(IsWindow(hwnd));
    window.reset();
    EXPECT_FALSE(IsWindow(hwnd));

    // A window whose creation handler fails is not made.
    ThrowingWindow unmade(true);
    EXPECT_EQ(unmade.Window(), nullptr);
    EXPECT_EQ(unmade.reports, (std::vector<std::wstring>{L"Ein unerwarteter Fehler ist aufgetreten: no window"}));

    EXPECT_EQ(WindowDpi(nullptr), 96u);  // the system gives no DPI for no window
}

TEST(WindowBase, TheDefaultReportIsACriticalBoxWithTheProgramTitle) {
    ThrowingWindow window(false);
    window.recordReports = false;
    testing::MessageBoxWatcher watcher(L"Datenorder f\u00fcr Ovaro festlegen", IDOK);
    EXPECT_EQ(SendMessageW(window.Window(), kMsgThrowStd, 0, 0), 0);
    const auto& seen = watcher.Wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Ein unerwarteter Fehler ist aufgetreten: broken");
    EXPECT_TRUE(seen.hasOk);
    EXPECT_FALSE(seen.hasYes);
    EXPECT_TRUE(seen.hasIcon);
}

}  // namespace
}  // namespace ovaro
