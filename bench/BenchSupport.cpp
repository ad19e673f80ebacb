#include "BenchSupport.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <utility>

namespace ovaro::bench {

// ---- timing and figures ------------------------------------------------------------

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

Figures Summarise(std::vector<double> v) {
    Figures f;
    if (v.empty()) return f;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    f.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    f.min = v.front();
    f.max = v.back();
    return f;
}

void Emit(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ReportVsFloor(const char* name, long long n, std::size_t reps, const Figures& ours, const Figures& floor,
                   long long nodes, const char* target) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "BENCH case=%s n=%lld reps=%zu median_ms=%.2f min_ms=%.2f max_ms=%.2f floor_ms=%.2f "
                  "floor_min_ms=%.2f floor_max_ms=%.2f ratio=%.3f nodes=%lld target=%s",
                  name, n, reps, ours.median, ours.min, ours.max, floor.median, floor.min, floor.max,
                  floor.median > 0 ? ours.median / floor.median : 0.0, nodes, target);
    Emit(line);
}

void ReportError(const char* name, const char* what) {
    char line[512];
    std::snprintf(line, sizeof line, "BENCH case=%s error=%s", name, what);
    Emit(line);
}

// ---- windows -------------------------------------------------------------------

HWND MakeHost() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"OvaroBenchHost";
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return nullptr;
    const HWND host =
        CreateWindowExW(0, L"OvaroBenchHost", L"Bench", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 10, 10, 400,
                        620, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return host;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PaintNow(HWND host) { RedrawWindow(host, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

bool PumpUntilCount(HWND tree, long long nodes, double limitMs) {
    const double t0 = NowMs();
    while (static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) < nodes) {
        if (NowMs() - t0 > limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
    }
    return true;
}

void CountedMessages::Show(std::wstring_view text, folders::MessageStyle) {
    if (count_++ < 3) std::fwprintf(stderr, L"message: %.*ls\n", static_cast<int>(text.size()), text.data());
}

std::unique_ptr<OvaroFolderTreeView> MakeControl(HWND host, CountedMessages& messages) {
    return OvaroFolderTreeView::Create(host, 1, kTreeRect, {nullptr, nullptr, &messages});
}

// ---- the floor: bare listing and bare tree-view inserts ----------------------------------

HWND MakeBareTree(HWND host) {
    return CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", kTreeStyle, kTreeRect.left, kTreeRect.top,
                           kTreeRect.right, kTreeRect.bottom, host, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HTREEITEM Insert(HWND tree, HTREEITEM parent, const wchar_t* text) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.iImage = 2;
    insert.item.iSelectedImage = 5;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::wstring Pattern(const std::wstring& folder) {
    return (folder.size() + 1 < MAX_PATH ? folder : L"\\\\?\\" + folder) + L"*";
}

std::vector<std::wstring> ListNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(Pattern(folder).c_str(), FindExInfoBasic, &data,
                                         FindExSearchLimitToDirectories, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        names.emplace_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// The hard-disk kind drives, as the control reads them at creation.
std::vector<std::wstring> DriveRoots(std::vector<bool>* readAtCreation) {
    wchar_t buffer[512]{};
    GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer) - 1), buffer);
    std::vector<std::wstring> roots;
    for (const wchar_t* p = buffer; *p; p += std::wcslen(p) + 1) {
        roots.emplace_back(p);
        const UINT type = GetDriveTypeW(p);
        readAtCreation->push_back(type != DRIVE_REMOVABLE && type != DRIVE_CDROM);
    }
    return roots;
}

double FloorCreate(HWND host, long long* nodes, HWND* keep) {
    const double t0 = NowMs();
    const HWND tree = MakeBareTree(host);
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    const HTREEITEM root = Insert(tree, TVI_ROOT, L"Arbeitsplatz");
    std::vector<bool> read;
    const auto roots = DriveRoots(&read);
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const wchar_t name[3] = {roots[i][0], L':', 0};
        const HTREEITEM drive = Insert(tree, root, name);
        if (read[i]) ListAndInsert(tree, drive, roots[i], NoEach);
    }
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    PaintNow(host);
    const double t1 = NowMs();
    *nodes = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
    if (keep)
        *keep = tree;
    else
        DestroyWindow(tree);
    return t1 - t0;
}

std::wstring ItemText(HWND tree, HTREEITEM node) {
    wchar_t buffer[300]{};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = node;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    TreeView_GetItem(tree, &item);
    return buffer;
}

HTREEITEM ChildByText(HWND tree, HTREEITEM parent, const wchar_t* text) {
    for (auto c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c))
        if (_wcsicmp(ItemText(tree, c).c_str(), text) == 0) return c;
    return nullptr;
}

double FloorWalk(HWND host, HWND tree, HTREEITEM drive, const std::wstring& root,
                 const std::vector<std::wstring>& parts) {
    std::vector<std::pair<HTREEITEM, std::wstring>> children;
    for (auto c = TreeView_GetChild(tree, drive); c; c = TreeView_GetNextSibling(tree, c))
        children.emplace_back(c, ItemText(tree, c));
    PaintNow(host);

    std::wstring base = root, folder;
    folder.reserve(MAX_PATH);
    const double t0 = NowMs();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    HTREEITEM node = drive;
    for (std::size_t level = 0; level <= parts.size(); ++level) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
        const std::wstring next = level < parts.size() ? parts[level] : std::wstring();
        std::vector<std::pair<HTREEITEM, std::wstring>> nextChildren;
        HTREEITEM nextNode = nullptr;
        for (const auto& [item, name] : children) {
            folder.assign(base).append(name).push_back(L'\\');
            const bool onPath = _wcsicmp(name.c_str(), next.c_str()) == 0;
            if (onPath) nextNode = item;
            ListAndInsert(tree, item, folder, [&](HTREEITEM sub, const wchar_t* subName) {
                if (onPath) nextChildren.emplace_back(sub, subName);
            });
        }
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
        if (!nextNode) break;
        base += next + L"\\";
        node = nextNode;
        children = std::move(nextChildren);
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node));
    InvalidateRect(tree, nullptr, TRUE);
    PaintNow(host);
    return NowMs() - t0;
}

// ---- the 30-level path on t: ------------------------------------------------------------

std::wstring DeepPart(int level) {
    wchar_t part[16];
    std::swprintf(part, std::size(part), L"E%02d_042", level);
    return part;
}

std::wstring DeepPath() {
    std::wstring path = L"t:\\";
    for (int level = 1; level <= kDeepLevels; ++level) path += DeepPart(level) + L"\\";
    return path;
}

// ---- child processes -------------------------------------------------------------------

std::wstring ProgramFolder() {
    wchar_t self[MAX_PATH]{};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

Child::Child(std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
}

Child::~Child() {
    if (!started) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

bool Child::Wait(DWORD limitMs, DWORD* code) {
    if (!started || WaitForSingleObject(pi.hProcess, limitMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(pi.hProcess, code) != 0;
}

std::wstring ProgramCommandLine() { return L"\"" + ProgramFolder() + L"ZomaOvaroOrdnerSetzen.exe\""; }

HWND WindowOf(DWORD pid, const wchar_t* cls, bool visible) {
    for (HWND w = FindWindowExW(nullptr, nullptr, cls, nullptr); w; w = FindWindowExW(nullptr, w, cls, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && (!visible || IsWindowVisible(w))) return w;
    }
    return nullptr;
}

HWND MainWindowOf(const Child& child) {
    if (!child.started) return nullptr;
    WaitForInputIdle(child.pi.hProcess, 20000);
    HWND main = nullptr;
    for (int i = 0; i < 2000 && !main; ++i) {
        main = WindowOf(child.pi.dwProcessId, kMainClass, true);
        if (!main) Sleep(10);
    }
    return main;
}

void PressChoose(HWND main, const std::wstring& rowText) {
    if (!rowText.empty()) SendMessageW(GetDlgItem(main, 100), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rowText.c_str()));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(200, BN_CLICKED), 0);  // "Wählen..." of row 0
}

namespace {

struct FindShown {
    DWORD pid;
    bool found = false;
};

BOOL CALLBACK FindShownWindow(HWND hwnd, LPARAM lParam) {
    auto* find = reinterpret_cast<FindShown*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == find->pid && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr) {
        find->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

double StartUntilShown(const std::wstring& exe) {
    const double t0 = NowMs();
    Child child(L"\"" + exe + L"\"");
    if (!child.started) return -1;
    WaitForInputIdle(child.pi.hProcess, 20000);
    FindShown find{child.pi.dwProcessId};
    for (int i = 0; i < 20000 && !find.found; ++i) {
        EnumWindows(&FindShownWindow, reinterpret_cast<LPARAM>(&find));
        if (!find.found) Sleep(1);
    }
    const double t1 = NowMs();
    return find.found ? t1 - t0 : -1;
}

// Committed private memory, summed over the address space. Wine leaves
// PROCESS_MEMORY_COUNTERS_EX.PrivateUsage at 0, so it is counted the long way here,
// which is what that counter means on Windows.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    if (counters.PrivateUsage != 0) return counters.PrivateUsage;
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* p = static_cast<const char*>(nullptr); VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        if (info.RegionSize == 0) break;
    }
    return total;
}

// ---- the cases ---------------------------------------------------------------------

namespace {

std::vector<CaseEntry>& Registry() {
    static std::vector<CaseEntry> cases;
    return cases;
}

}  // namespace

const std::vector<CaseEntry>& Cases() { return Registry(); }

BenchCase::BenchCase(const char* name, const char* usage, CaseFn run) { Registry().push_back({name, usage, run}); }

double NumberArg(const std::vector<std::wstring>& args, std::size_t i, double fallback) {
    return i < args.size() ? _wtof(args[i].c_str()) : fallback;
}

}  // namespace ovaro::bench
