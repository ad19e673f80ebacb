// soak [CYCLES]: the folder dialog a thousand times (CYCLES) in one process; s: holds
// Projekt01..20\Jahr2010..2024. The main window with the real dialog and a scratch settings
// base; a driver thread plays the user: writes a folder into a row, presses its "Wählen..."
// (the dialog walks there), closes with OK or Abbrechen in turn, and every tenth time saves
// and answers both boxes.
#include "BenchSupport.h"

#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

#include "FolderChoiceDialog.h"
#include "MainWindow.h"
#include "MessageLoop.h"
#include "RegistrySettingsStore.h"

namespace ovaro::bench {

namespace {

constexpr DWORD kPoolIdleMs = 6000;

struct Usage {
    DWORD handles = 0, gdi = 0, user = 0, threads = 0;
    SIZE_T privateBytes = 0, heapBytes = 0;
    long long windows = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    EnumChildWindows(hwnd, &CountChild, count);
    return TRUE;
}

// Wine reports 0 handles and 0 GUI objects. There, handles are counted by asking each
// possible handle value, and GDI objects likewise (Wine takes a GDI handle without its
// upper bits); USER objects stay unreported, the window count stands in for them.
DWORD ProbedHandles() {
    DWORD n = 0, flags = 0;
    for (std::uintptr_t h = 4; h < 0x10000; h += 4) n += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) != 0;
    return n;
}

DWORD ProbedGdiObjects() {
    DWORD n = 0;
    for (std::uintptr_t h = 1; h < 0x10000; ++h) n += GetObjectType(reinterpret_cast<HGDIOBJ>(h)) != 0;
    return n;
}

// Bytes in the blocks the process's heaps hand out: finer than private bytes, which grow
// only when a heap commits another region.
SIZE_T HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(std::size(heaps)), heaps);
    SIZE_T total = 0;
    for (DWORD i = 0; i < count && i < std::size(heaps); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

// Live threads of this process: under Wine each holds about 3.2 MB of private bytes (its
// stack and the stack Wine's own code runs on), and the thread pool keeps idle workers
// alive for a while, so a growth of private bytes in such steps is threads, not the heap.
DWORD LiveThreads() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return n;
}

Usage MeasureUsage(DWORD uiThread) {
    Usage u;
    if (!GetProcessHandleCount(GetCurrentProcess(), &u.handles) || u.handles == 0) u.handles = ProbedHandles();
    u.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (u.gdi == 0) u.gdi = ProbedGdiObjects();
    u.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    u.privateBytes = PrivateBytes();
    u.heapBytes = HeapBytesInUse();
    u.threads = LiveThreads();
    EnumThreadWindows(uiThread, &CountTopLevel, reinterpret_cast<LPARAM>(&u.windows));
    return u;
}

struct FindVisible {
    const wchar_t* cls;
    HWND found = nullptr;
};

BOOL CALLBACK FindVisibleOfClass(HWND hwnd, LPARAM lParam) {
    auto* find = reinterpret_cast<FindVisible*>(lParam);
    wchar_t name[64]{};
    GetClassNameW(hwnd, name, 64);
    if (IsWindowVisible(hwnd) && std::wcscmp(name, find->cls) == 0) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

class SoakDriver {
public:
    SoakDriver(HWND main, int cycles) : main_(main), thread_(GetWindowThreadProcessId(main, nullptr)), cycles_(cycles) {
        times_.reserve(static_cast<std::size_t>(cycles));  // its own growth would count as the program's
    }

    void Run() {
        // On the window's desktop: windows are found only on the caller's own.
        SetThreadDesktop(GetThreadDesktop(thread_));
        for (int i = 1; i <= cycles_ && error_.empty(); ++i) {
            const double t0 = NowMs();
            Cycle(i);
            times_.push_back(NowMs() - t0);
            // Measured once the thread pool has let its idle workers go (after 5 s under
            // Wine), so that both counts hold the same threads, whose stacks are private bytes.
            if (i == 50 || i == cycles_) Sleep(kPoolIdleMs);
            if (i == 50) at50_ = MeasureUsage(thread_);
            if (i == cycles_) atEnd_ = MeasureUsage(thread_);
        }
        PostThreadMessageW(thread_, WM_QUIT, 0, 0);
    }

    HWND main_;
    DWORD thread_;
    int cycles_;
    Usage at50_, atEnd_;
    std::vector<double> times_;
    int saves_ = 0, walkedTo_ = 0;
    std::string error_;

private:
    template <class Condition>
    bool WaitFor(Condition condition, const char* what, int cycle) {
        for (const double end = NowMs() + 30000; !condition();) {
            if (NowMs() > end) {
                if (error_.empty()) error_ = std::string("timeout-") + what + "-cycle-" + std::to_string(cycle);
                return false;
            }
            Sleep(1);
        }
        return true;
    }

    HWND Visible(const wchar_t* cls) const {
        FindVisible find{cls};
        EnumThreadWindows(thread_, &FindVisibleOfClass, reinterpret_cast<LPARAM>(&find));
        return find.found;
    }

    void Press(HWND window, int id) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    }

    // Answers the next message box with `id` and waits until it is gone.
    bool Answer(int id, int cycle) {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = Visible(L"#32770")) != nullptr; }, "message-box", cycle)) return false;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, "message-box-close", cycle);
    }

    void Cycle(int i) {
        const int row = (i - 1) % 7;
        wchar_t target[64];
        std::swprintf(target, std::size(target), L"s:\\Projekt%02d\\Jahr%04d\\", (i - 1) % 20 + 1,
                      2010 + (i - 1) / 20 % 15);
        SendMessageW(GetDlgItem(main_, 100 + row), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target));
        Press(main_, 200 + row);
        HWND dialog = nullptr;
        if (!WaitFor([&] { return (dialog = Visible(L"OvaroOrdnerwahl")) != nullptr; }, "dialog", i)) return;
        Press(dialog, i % 2 ? IDOK : IDCANCEL);
        if (!WaitFor([&] { return !IsWindow(dialog) && IsWindowEnabled(main_); }, "dialog-close", i)) return;
        wchar_t text[64]{};
        GetWindowTextW(GetDlgItem(main_, 100 + row), text, 64);
        if (i % 2) walkedTo_ += std::wcscmp(text, target) == 0;  // OK copied the tree's Path into the row
        if (i % 10 == 0) {
            Press(main_, 401);  // "Speichern": the question, then the report
            if (Answer(IDYES, i) && Answer(IDOK, i)) ++saves_;
        }
    }
};

int CaseSoak(int cycles) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // A desktop of its own: a thousand dialogs neither flash on the user's screen nor take
    // the focus. Under Wine it is a virtual desktop (the bench prefix names its size), where
    // hiding a window does not wait 2 s for a window manager as on a bare X server.
    if (const HDESK desktop = CreateDesktopW(L"OvaroSoak", nullptr, nullptr, 0, GENERIC_ALL, nullptr))
        SetThreadDesktop(desktop);
    // A scratch base in the bench's own prefix, never the editions' real settings.
    const wchar_t* scratch = L"Software\\OvaroBench";
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch);
    ovaro::RegistrySettingsStore store(HKEY_CURRENT_USER, std::wstring(scratch) + L"\\Soak");
    ovaro::MainWindowHooks hooks;
    hooks.folderChoice = ovaro::DefaultFolderChoice(instance);
    hooks.endProgram = [] {};
    auto window = ovaro::MainWindow::Create(instance, store, std::move(hooks));
    if (!window) return ReportError("soak", "main-window-not-created"), 1;
    window->Show(SW_SHOWNORMAL);
    SoakDriver driver(window->Window(), cycles);
    std::thread user([&driver] { driver.Run(); });
    ovaro::RunMessageLoop(window->Window());
    user.join();
    window.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch);
    if (!driver.error_.empty()) return ReportError("soak", driver.error_.c_str()), 1;

    const Usage& a = driver.at50_;
    const Usage& b = driver.atEnd_;
    auto grow = [](auto from, auto to) { return static_cast<long long>(to) - static_cast<long long>(from); };
    char gdi[32], user32[32];
    if (a.gdi == 0 && b.gdi == 0)
        std::snprintf(gdi, sizeof gdi, "not-reported");
    else
        std::snprintf(gdi, sizeof gdi, "%+lld", grow(a.gdi, b.gdi));
    if (a.user == 0 && b.user == 0)
        std::snprintf(user32, sizeof user32, "not-reported");
    else
        std::snprintf(user32, sizeof user32, "%+lld", grow(a.user, b.user));
    const Figures t = Summarise(driver.times_);
    char line[768];
    std::snprintf(
        line, sizeof line,
        "BENCH case=soak n=%d from_cycle=50 handles=%+lld gdi=%s user=%s windows=%+lld private_bytes=%+lld "
        "heap_bytes=%+lld threads=%+lld "
        "handles_at_end=%lu gdi_at_end=%lu windows_at_end=%lld private_bytes_at_end=%llu saves=%d walked_to=%d "
        "cycle_median_ms=%.2f cycle_min_ms=%.2f cycle_max_ms=%.2f target=handles+0,gdi+0,user+0,private<65536",
        cycles, grow(a.handles, b.handles), gdi, user32, grow(a.windows, b.windows),
        grow(a.privateBytes, b.privateBytes), grow(a.heapBytes, b.heapBytes), grow(a.threads, b.threads), static_cast<unsigned long>(b.handles),
        static_cast<unsigned long>(b.gdi), b.windows, static_cast<unsigned long long>(b.privateBytes), driver.saves_,
        driver.walkedTo_, t.median, t.min, t.max);
    Emit(line);
    return 0;
}

int Run(const std::vector<std::wstring>& args) { return CaseSoak(static_cast<int>(NumberArg(args, 0, 1000))); }

}  // namespace

const BenchCase kSoak{"soak", "[CYCLES]", &Run};

}  // namespace ovaro::bench
