#pragma once
// Watches for the real message boxes of this process from a second thread, the way a
// user sees them: it finds a box by its title, reads it, then answers it.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ovaro::testing {

struct SeenMessageBox {
    bool found = false;
    std::wstring title;
    std::wstring text;
    bool hasYes = false, hasNo = false, hasOk = false;
    bool hasIcon = false;
    int defaultButton = 0;
    HWND owner = nullptr;
};

class MessageBoxWatcher {
public:
    using Action = std::function<void(HWND box)>;

    // Presses `button` (IDOK, IDYES, IDNO) on the first box titled `title` that shows.
    MessageBoxWatcher(std::wstring title, int button) : MessageBoxWatcher(std::move(title), Press(button)) {}
    // Runs `action` on the first box titled `title` (any title when empty) that shows;
    // with `every`, on each box that shows until Stop(), one after the other.
    MessageBoxWatcher(std::wstring title, Action action, bool every = false);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The first box, once handled; `found` is false when none showed within 20 s. Only
    // for a watch of the first box: a watch of every box ends with Stop().
    const SeenMessageBox& Wait();
    // Ends the watch; every box seen, in order.
    std::vector<SeenMessageBox> Stop();

    static Action Press(int button);

private:
    void Run();
    HWND FindBox() const;

    std::wstring title_;
    Action action_;
    bool every_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenMessageBox> seen_;
    SeenMessageBox first_;
    std::thread thread_;
};

}  // namespace ovaro::testing
