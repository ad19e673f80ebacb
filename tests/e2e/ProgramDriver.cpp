#include "ProgramDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace ovaro::e2e {

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

HWND TreeViewOf(HWND dialog) {
    HWND tree = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM out) {
            if (ClassOf(child) == WC_TREEVIEWW) *reinterpret_cast<HWND*>(out) = child;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tree));
    return tree;
}

namespace {

// The exe sits in the build tree; the test knows its Linux path, Wine sees it below Z:.
std::wstring ExePath() {
    std::string unix = OVARO_EXE_PATH;
    std::wstring path = L"Z:";
    for (char c : unix) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

struct FindArgs {
    DWORD pid;
    std::wstring caption;
    HWND found;
};

std::string Utf8(const std::wstring& text) {
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr,
                                                                   nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    if (!out.empty()) out.pop_back();
    return out;
}

// Why a start failed: the error, the system's text for it and the command line.
std::string StartFailure(DWORD error, const std::wstring& command) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring why = text != nullptr ? text : L"";
    if (text != nullptr) LocalFree(text);
    while (!why.empty() && (why.back() == L'\r' || why.back() == L'\n' || why.back() == L' ')) why.pop_back();
    return "cannot start the program: CreateProcessW failed with error " + std::to_string(error) + " (" + Utf8(why) +
           "), command line " + Utf8(command);
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Failures that a second try cannot mend: the exe is missing, not an exe, or not ours to run.
bool Lasting(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        case ERROR_ACCESS_DENIED: return true;
        default: return false;
    }
}

PROCESS_INFORMATION StartExe(const std::wstring& exe = ExePath()) {
    const std::wstring command = L"\"" + exe + L"\"";
    const auto start = [&command](PROCESS_INFORMATION& info) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring line = command;  // CreateProcessW may write into it
        return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info) !=
                       FALSE
                   ? ERROR_SUCCESS
                   : GetLastError();
    };
    PROCESS_INFORMATION info{};
    DWORD error = start(info);
    // Once, on a fresh machine, a start from the Clang suite failed under Wine while every
    // later run passed: the Wine session (its server, the new process's set-up) can refuse
    // a start while it is still busy with the one before. Such a failure is tried once
    // more, and told on the test's output so that it is counted; a failure that lasts, or
    // any failure on Windows, fails the test with its reason.
    if (error != ERROR_SUCCESS && UnderWine() && !Lasting(error)) {
        std::fprintf(stderr, "[ProgramDriver] %s; trying once more\n", StartFailure(error, command).c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        info = PROCESS_INFORMATION{};
        error = start(info);
    }
    if (error != ERROR_SUCCESS) throw std::runtime_error(StartFailure(error, command));
    CloseHandle(info.hThread);
    return info;
}

}  // namespace

int RunAnotherCopy(std::chrono::milliseconds limit) {
    const PROCESS_INFORMATION info = StartExe();
    DWORD code = 0;
    if (WaitForSingleObject(info.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        return -1;
    }
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

OtherWindow::OtherWindow() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] {
        threadId_ = GetCurrentThreadId();
        window_ = CreateWindowExW(0, L"STATIC", L"Anderes Programm", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 120,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        DestroyWindow(window_);
    });
    WaitForSingleObject(ready, 10000);
    CloseHandle(ready);
}

OtherWindow::~OtherWindow() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

Program::Program() : Program(L"Datenordner f\u00fcr Ovaro festlegen") { main_ = first_; }

Program::Program(const std::wstring& firstCaption) : Program(firstCaption, ExePath()) {}

Program::Program(const std::wstring& firstCaption, const std::wstring& exe) {
    const PROCESS_INFORMATION info = StartExe(exe);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    first_ = WaitForWindow(firstCaption, 30s);
    if (first_ == nullptr) {
        TerminateProcess(process_, 1);
        CloseHandle(process_);
        throw std::runtime_error("the program's first window did not show");
    }
    Activate(first_);
}

Program::~Program() {
    if (Running()) TerminateProcess(process_, 1);
    WaitForExit(5s);
    CloseHandle(process_);
}

bool Program::Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Program::WaitForExit(std::chrono::milliseconds limit) const {
    return WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

HWND Program::FindWindowNow(const std::wstring& caption) const {
    FindArgs args{pid_, caption, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            auto* a = reinterpret_cast<FindArgs*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == a->pid && IsWindowVisible(hwnd) && Text(hwnd) == a->caption) {
                a->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&args));
    return args.found;
}

size_t Program::CountWindows(const std::wstring& caption) const {
    struct Count {
        DWORD pid;
        const std::wstring* caption;
        size_t n;
    } count{pid_, &caption, 0};
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            auto* c = reinterpret_cast<Count*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == c->pid && IsWindowVisible(hwnd) && Text(hwnd) == *c->caption) ++c->n;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}

HWND Program::WaitForWindow(const std::wstring& caption, std::chrono::milliseconds limit) const {
    HWND found = nullptr;
    Eventually([&] { return (found = FindWindowNow(caption)) != nullptr; }, limit);
    return found;
}

bool Program::WaitUntilGone(HWND window, std::chrono::milliseconds limit) const {
    return Eventually([&] { return !IsWindow(window) || !IsWindowVisible(window); }, limit);
}

HWND Program::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info);
    return info.hwndFocus;
}

std::vector<HWND> Controls(HWND parent, const std::wstring& cls, const std::wstring* caption) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(ClassOf(child).c_str(), cls.c_str()) != 0) continue;
        if (caption != nullptr && Text(child) != *caption) continue;
        found.push_back(child);
    }
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return found;
}

void Activate(HWND window) {
    SetForegroundWindow(window);
    Eventually([&] { return GetForegroundWindow() == window; }, 5s);
}

namespace {

void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    std::this_thread::sleep_for(30ms);  // lets the input queue hand it on; waits are on conditions elsewhere
}

INPUT Key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

}  // namespace

void ClickAt(POINT screen) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(screen.x, 65535, width - 1);
    move.mi.dy = MulDiv(screen.y, 65535, height - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down{}, up{};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    Send({move});
    Send({down});
    Send({up});
}

void Click(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    for (WORD m : modifiers) inputs.push_back(Key(m, false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) inputs.push_back(Key(*it, true));
    Send(inputs);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT down{}, up{};
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wScan = up.ki.wScan = c;
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        up.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        Send({down, up});
    }
}

std::wstring MessageBoxText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

void ClickMessageBoxButton(HWND box, int id) { Click(GetDlgItem(box, id)); }

RemoteTree::RemoteTree(HWND tree, DWORD pid) : tree_(tree) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ == nullptr) throw std::runtime_error("cannot open the program's process");
    memory_ = VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteTree::~RemoteTree() {
    VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    CloseHandle(process_);
}

HTREEITEM RemoteTree::Root() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

HTREEITEM RemoteTree::Selected() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

std::vector<HTREEITEM> RemoteTree::Children(HTREEITEM item) const {
    std::vector<HTREEITEM> children;
    auto child =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    while (child != nullptr) {
        children.push_back(child);
        child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
    }
    return children;
}

HTREEITEM RemoteTree::Child(HTREEITEM parent, const std::wstring& text) const {
    for (HTREEITEM child : Children(parent))
        if (ItemText(child) == text) return child;
    return nullptr;
}

std::wstring RemoteTree::ItemText(HTREEITEM item) const {
    // The item and its text buffer live in the program's memory.
    auto* base = static_cast<char*>(memory_);
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(base + 512);
    tv.cchTextMax = 1024;
    WriteProcessMemory(process_, base, &tv, sizeof tv, nullptr);
    SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(base));
    wchar_t text[1024] = {};
    ReadProcessMemory(process_, base + 512, text, sizeof text - sizeof(wchar_t), nullptr);
    return text;
}

bool RemoteTree::Expanded(HTREEITEM item) const {
    return (SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

RECT RemoteTree::TextRect(HTREEITEM item) const {
    RECT r{};
    std::memcpy(&r, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rectangle
    WriteProcessMemory(process_, memory_, &r, sizeof r, nullptr);
    SendMessageW(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(memory_));
    ReadProcessMemory(process_, memory_, &r, sizeof r, nullptr);
    MapWindowPoints(tree_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void RemoteTree::ClickText(HTREEITEM item) const {
    SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    const RECT r = TextRect(item);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void RemoteTree::ClickButton(HTREEITEM item) const {
    SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    const RECT text = TextRect(item);
    const int y = (text.top + text.bottom) / 2;
    // Walk left from the text until the tree says the point is on the item's button.
    for (int x = text.left - 1; x > text.left - 80; --x) {
        TVHITTESTINFO hit{};
        hit.pt = {x, y};
        ScreenToClient(tree_, &hit.pt);
        WriteProcessMemory(process_, memory_, &hit, sizeof hit, nullptr);
        SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(memory_));
        ReadProcessMemory(process_, memory_, &hit, sizeof hit, nullptr);
        if ((hit.flags & TVHT_ONITEMBUTTON) && hit.hItem == item) {
            ClickAt({x, y});
            return;
        }
    }
    throw std::runtime_error("no expand button found");
}

}  // namespace ovaro::e2e
