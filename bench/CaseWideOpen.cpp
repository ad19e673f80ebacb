// wide-open NAME PATH TARGET_MS, slow-open PATH: the exe started as its own process, row 0
// set to PATH and its "Wählen..." pressed. Timed from the press until the dialog shows,
// until it takes input (a message posted to row 0's field once the dialog exists is
// handled: the dialog's own loop runs, no operation of the tree holds the thread), and, for
// wide-open, until the last read left for later is in (the dialog's tree holds as many nodes
// as the floor's; every folder below PATH holds one sub-folder, so each read adds a node).
// The floor: the same reads done bare in this process, one after the other, in a bare tree:
// the creation's listings and inserts, then the walk's (FloorCreate, FloorWalk).
// scripts/bench.sh maps l: to a local folder or to the slow drive before each case.
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace ovaro::bench {

namespace {

struct Opening {
    double shown = -1, input = -1, last = -1;  // ms after the press; -1: not within the limit
    double longestAnswer = 0;                   // the longest wait for an answer once it took input
    long long nodes = 0;                        // in the dialog's tree when last looked
};

// One opening at path; with expectNodes 0 it ends once the dialog takes input.
bool OpenOnce(const std::wstring& path, long long expectNodes, double limitMs, Opening* o) {
    Child child(ProgramCommandLine());
    const HWND main = MainWindowOf(child);
    if (main == nullptr) return false;
    const HWND field = GetDlgItem(main, 100);
    const auto probe = static_cast<WPARAM>(SendMessageW(field, EM_GETLIMITTEXT, 0, 0)) - 1;
    const double t0 = NowMs();
    PressChoose(main, path);
    HWND dialog = nullptr, tree = nullptr;
    while (NowMs() - t0 < limitMs) {
        if (dialog == nullptr && (dialog = WindowOf(child.pi.dwProcessId, kDialogClass, false)) != nullptr)
            PostMessageW(field, EM_SETLIMITTEXT, probe, 0);  // held while an operation of the tree runs
        const double a = NowMs();
        DWORD_PTR got = 0;
        if (dialog != nullptr && o->input < 0) {
            if (!SendMessageTimeoutW(field, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 60000, &got)) return false;
            if (got == probe) o->input = NowMs() - t0;
        } else if (o->input >= 0) {
            if (tree == nullptr) tree = FindWindowExW(GetDlgItem(dialog, 100), nullptr, WC_TREEVIEWW, nullptr);
            if (!SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 60000, &got)) return false;
            o->longestAnswer = std::max(o->longestAnswer, NowMs() - a);
            o->nodes = static_cast<long long>(got);
            if (o->nodes >= expectNodes) {
                o->last = NowMs() - t0;
                break;
            }
        }
        if (o->shown < 0 && dialog != nullptr && IsWindowVisible(dialog)) o->shown = NowMs() - t0;
        if (o->input >= 0 && o->shown >= 0 && expectNodes == 0) break;
        Sleep(dialog == nullptr ? 1 : 5);
    }
    return o->shown >= 0;
}

// The floor of opening the dialog at path: creation and walk, bare; *nodes the tree's count.
double FloorOpen(HWND host, const std::wstring& path, long long* nodes) {
    HWND tree = nullptr;
    const double create = FloorCreate(host, nodes, &tree);
    std::vector<std::wstring> parts;
    for (std::size_t from = 3, to; from < path.size(); from = to + 1) {
        to = std::min(path.find(L'\\', from), path.size());
        if (to > from) parts.push_back(path.substr(from, to - from));
    }
    const HTREEITEM drive = ChildByText(tree, TreeView_GetRoot(tree), path.substr(0, 2).c_str());
    const double walk = drive ? FloorWalk(host, tree, drive, path.substr(0, 3), parts) : -1;
    *nodes = static_cast<long long>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
    DestroyWindow(tree);
    Pump();
    return walk < 0 ? -1 : create + walk;
}

void EmitOpening(const char* name, long long n, std::size_t reps, const char* until, const Figures& key,
                 const Figures& shown, const Figures& input, double longestAnswer, const char* target) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "BENCH case=%s n=%lld reps=%zu until=%s median_ms=%.1f min_ms=%.1f max_ms=%.1f shown_ms=%.1f "
                  "input_ms=%.1f longest_answer_ms=%.1f target=%s",
                  name, n, reps, until, key.median, key.min, key.max, shown.median, input.median, longestAnswer,
                  target);
    Emit(line);
}

int CaseWideOpen(const std::string& name, const std::wstring& path, double targetMs) {
    const HWND host = MakeHost();
    const std::size_t reps = 3;
    const auto children = static_cast<long long>(ListNames(path).size());
    std::vector<double> shown, input, last, floor;
    double longest = 0;
    long long expect = 0;
    for (std::size_t i = 0; i < reps; ++i) {
        const double f = FloorOpen(host, path, &expect);
        if (f < 0) return ReportError(name.c_str(), "floor-path-missing"), 1;
        Opening o;
        if (!OpenOnce(path, expect, 600000, &o)) return ReportError(name.c_str(), "no-dialog"), 1;
        if (o.last < 0) {
            char what[160];
            std::snprintf(what, sizeof what, "last-read-not-in-within-600s:nodes=%lld,floor_nodes=%lld", o.nodes,
                          expect);
            return ReportError(name.c_str(), what), 1;
        }
        floor.push_back(f);
        shown.push_back(o.shown);
        input.push_back(o.input);
        last.push_back(o.last);
        longest = std::max(longest, o.longestAnswer);
    }
    char target[32];
    std::snprintf(target, sizeof target, "<=%.0f", targetMs);
    const Figures in = Summarise(input);
    EmitOpening(name.c_str(), children, reps, "input", in, Summarise(shown), in, longest, target);
    ReportVsFloor((name + "-last-read").c_str(), children, reps, Summarise(last), Summarise(floor), expect, "<=1.1");
    DestroyWindow(host);
    return 0;
}

int CaseSlowOpen(const std::wstring& path) {
    const std::size_t reps = 3;
    const long long levels = std::count(path.begin() + 3, path.end(), L'\\');
    std::vector<double> shown, input;
    for (std::size_t i = 0; i < reps; ++i) {
        Opening o;
        if (!OpenOnce(path, 0, 90000, &o)) return ReportError("slow-open", "no-dialog"), 1;
        shown.push_back(o.shown);
        input.push_back(o.input);  // -1: not within 90 s
    }
    const Figures s = Summarise(shown);
    EmitOpening("slow-open", levels, reps, "shown", s, s, Summarise(input), 0, "<=1000");
    return 0;
}

// The folder path as the row holds it, ending in "\".
std::wstring Folder(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

int RunWide(const std::vector<std::wstring>& args) {
    if (args.size() < 2) return 2;
    std::string name;
    for (const wchar_t c : args[0]) name += static_cast<char>(c);  // ASCII
    return CaseWideOpen(name, Folder(args[1]), NumberArg(args, 2, 300));
}

int RunSlow(const std::vector<std::wstring>& args) { return args.empty() ? 2 : CaseSlowOpen(Folder(args[0])); }

}  // namespace

const BenchCase kWideOpen{"wide-open", "NAME PATH [TARGET_MS]", &RunWide};
const BenchCase kSlowOpen{"slow-open", "PATH", &RunSlow};

}  // namespace ovaro::bench
