#include "MessageBoxWatcher.h"

#include <chrono>

#include "TestSupport.h"

namespace ovaro::testing {

namespace {

bool Shows(HWND control) { return control != nullptr && IsWindowVisible(control); }

SeenMessageBox Read(HWND box) {
    SeenMessageBox seen;
    seen.found = true;
    seen.title = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, 0xFFFF));  // the message box's text control
    seen.hasYes = Shows(GetDlgItem(box, IDYES));
    seen.hasNo = Shows(GetDlgItem(box, IDNO));
    seen.hasOk = Shows(GetDlgItem(box, IDOK));
    HWND icon = GetDlgItem(box, 0x0014);  // the icon static: this ID on Windows, stc1 under Wine
    if (icon == nullptr) icon = GetDlgItem(box, 0x0440);
    seen.hasIcon = Shows(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    for (int id : {IDOK, IDYES, IDNO})
        if (HWND b = GetDlgItem(box, id); b && (GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            seen.defaultButton = id;
    seen.owner = GetWindow(box, GW_OWNER);
    return seen;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::wstring title, Action action, bool every)
    : title_(std::move(title)), action_(std::move(action)), every_(every) {
    thread_ = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() { Stop(); }

MessageBoxWatcher::Action MessageBoxWatcher::Press(int button) {
    return [button](HWND box) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    };
}

HWND MessageBoxWatcher::FindBox() const {
    struct Search {
        const std::wstring* title;
        HWND found;
    } search{&title_, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(w, cls, 16);
            if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(w)) return TRUE;
            if (!s->title->empty() && WindowText(w) != *s->title) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void MessageBoxWatcher::Run() {
    do {
        HWND box = nullptr;
        Eventually([&] { return stop_ || (box = FindBox()) != nullptr; }, every_ ? std::chrono::hours(24) : 20s);
        if (box == nullptr) return;
        const SeenMessageBox seen = Read(box);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (seen_.empty()) first_ = seen;
            seen_.push_back(seen);
        }
        action_(box);
        if (!every_) return;
        Eventually([&] { return stop_ || !IsWindow(box); }, 20s);
    } while (!stop_);
}

const SeenMessageBox& MessageBoxWatcher::Wait() {
    if (thread_.joinable()) thread_.join();
    return first_;
}

std::vector<SeenMessageBox> MessageBoxWatcher::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

}  // namespace ovaro::testing
