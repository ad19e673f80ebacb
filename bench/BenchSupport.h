#pragma once
// What every benchmark case shares: the clock and the figures (median, min, max), the
// "BENCH key=value ..." line, the host window and the control, the floors (bare listings
// and bare tree-view inserts), child processes, and the list of cases. A case is one file
// that defines its function and registers it with a BenchCase at namespace scope.
//
// The bench prefix's drives (scripts/bench.sh makes them):
//   s:  N first-level folders (1,000, 10,000 or 100,000; the soak's Projekt01..20\Jahr2010..2024)
//   t:  30 levels E01_042\E02_042\..., every level 100 siblings E<L>_000..099 of 5 sub-folders
//   u:  Breit\K0000..K0999, each with 10 sub-folders
//   l:  mapped only for the cases that need it: a slow drive (tests/slowdrive/slowfs.py),
//       Breit40\K00..K39 with one sub-folder each, Weit\Breit\Ordner0000..1999 with one each,
//       Daten\Kurse\Jahr2024..2026\Q1..Q4; every listing waits as scripts/bench.sh sets (3 s for
//       responsive-slow and slow-open, 250 ms for slow-expand, 5 ms for wide-open-slow); for
//       wide-open a local folder, Weit\Breit\Ordner00000..09999 with one sub-folder each
// Nothing passes or fails on time; a case that cannot run prints BENCH case=... error=...

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "FolderTreePorts.h"
#include "OvaroFolderTreeView.h"

namespace ovaro::bench {

// ---- timing and figures ------------------------------------------------------------

double NowMs();

struct Figures {
    double median = 0, min = 0, max = 0;
};

Figures Summarise(std::vector<double> v);

// One line on stdout, flushed at once (a case may be killed by the script's time limit).
void Emit(const char* line);

// One row against a floor: ratio = ours / floor (target: at most `target`).
void ReportVsFloor(const char* name, long long n, std::size_t reps, const Figures& ours, const Figures& floor,
                   long long nodes, const char* target);
void ReportError(const char* name, const char* what);

// ---- windows -------------------------------------------------------------------

inline constexpr RECT kTreeRect{0, 0, 360, 560};
inline constexpr DWORD kTreeStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;

HWND MakeHost();
void Pump();
// Paints what is pending in host and its children: part of every timed operation, so
// that work the tree defers to painting is counted on both sides.
void PaintNow(HWND host);
// Runs the message loop (the control hands over its reads left for later there) until tree
// holds `nodes` nodes; false after limitMs.
bool PumpUntilCount(HWND tree, long long nodes, double limitMs);

class CountedMessages final : public folders::MessageSink {
public:
    void Show(std::wstring_view text, folders::MessageStyle) override;
    int count_ = 0;
};

std::unique_ptr<OvaroFolderTreeView> MakeControl(HWND host, CountedMessages& messages);

// ---- the floor: bare listing and bare tree-view inserts ----------------------------------

HWND MakeBareTree(HWND host);
HTREEITEM Insert(HWND tree, HTREEITEM parent, const wchar_t* text);
// The same form the control's lister hands to the file functions.
std::wstring Pattern(const std::wstring& folder);

// Lists folder's sub-folders and inserts each below parent; onEach sees (item, name).
template <class Each>
std::size_t ListAndInsert(HWND tree, HTREEITEM parent, const std::wstring& folder, Each&& onEach) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(Pattern(folder).c_str(), FindExInfoBasic, &data,
                                         FindExSearchLimitToDirectories, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    std::size_t n = 0;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        onEach(Insert(tree, parent, name), name);
        ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

inline void NoEach(HTREEITEM, const wchar_t*) {}

// The sub-folder names of folder, listed bare: the listing half of the floor alone.
std::vector<std::wstring> ListNames(const std::wstring& folder);

// The drive roots; readAtCreation tells the hard-disk kind, which the control reads at creation.
std::vector<std::wstring> DriveRoots(std::vector<bool>* readAtCreation);

// Floor of creation: root, drive nodes and the first level of every hard-disk drive,
// listed bare and inserted bare with redraw held. Leaves the tree in *keep if given.
double FloorCreate(HWND host, long long* nodes, HWND* keep = nullptr);

std::wstring ItemText(HWND tree, HTREEITEM node);
HTREEITEM ChildByText(HWND tree, HTREEITEM parent, const wchar_t* text);

// Floor of a Path walk from drive (root such as t:\, its first level inserted already)
// along parts: at every level each child of the node listed and inserted (one level
// ahead), the node selected and expanded, the last one too; redraw held over the walk.
double FloorWalk(HWND host, HWND tree, HTREEITEM drive, const std::wstring& root,
                 const std::vector<std::wstring>& parts);

// ---- the 30-level path on t: ------------------------------------------------------------

inline constexpr int kDeepLevels = 30;
std::wstring DeepPart(int level);  // E07_042
std::wstring DeepPath();           // t:\E01_042\...\E30_042\ .

// ---- child processes -------------------------------------------------------------------

// The folder of this exe, ending in "\"; the exe under test and the peers lie beside it.
std::wstring ProgramFolder();

// A child process, killed when it goes out of scope unless it ended.
struct Child {
    PROCESS_INFORMATION pi{};
    bool started = false;
    explicit Child(std::wstring commandLine);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // The exit code, or nothing when the child did not end within limitMs.
    bool Wait(DWORD limitMs, DWORD* code);
};

// Milliseconds from CreateProcess until the process is idle and shows a top-level window.
double StartUntilShown(const std::wstring& exe);

// The program (ZomaOvaroOrdnerSetzen.exe beside this one) and its windows' classes.
inline constexpr const wchar_t* kMainClass = L"OvaroHauptfenster";
inline constexpr const wchar_t* kDialogClass = L"OvaroOrdnerwahl";
std::wstring ProgramCommandLine();
// The top-level window of pid with this class (only a visible one if visible), or null.
HWND WindowOf(DWORD pid, const wchar_t* cls, bool visible);
// The child's main window once it shows, or null.
HWND MainWindowOf(const Child& child);
// Writes rowText into row 0 (unless empty) and presses its "Wählen...".
void PressChoose(HWND main, const std::wstring& rowText);

// Committed private memory of this process.
SIZE_T PrivateBytes();

// ---- the cases ---------------------------------------------------------------------

// args are the words after the case's name on the command line.
using CaseFn = int (*)(const std::vector<std::wstring>& args);

struct CaseEntry {
    const char* name;
    const char* usage;  // null for the modes a case runs in its own child processes
    CaseFn run;
};

const std::vector<CaseEntry>& Cases();

// Registers a case at start-up: `const BenchCase kCreate{"create", "N", &RunCreate};`.
struct BenchCase {
    BenchCase(const char* name, const char* usage, CaseFn run);
};

// args[i] as a number, or fallback when absent.
double NumberArg(const std::vector<std::wstring>& args, std::size_t i, double fallback);

}  // namespace ovaro::bench
