// The benchmark of the folder tree and the program's start-up, each case against its floor
// (the bare platform calls the same work needs) or a peer. Run by scripts/bench.sh, which
// prepares the drives and prints the table:
//   ovaro_bench CASE [ARGS...]
// Every case prints one "BENCH key=value ..." line (or more, one per row).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"

int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS);
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    const std::wstring what = argc > 1 ? argv[1] : L"";
    const std::vector<std::wstring> args(argv + (argc > 2 ? 2 : argc), argv + argc);
    for (const auto& c : ovaro::bench::Cases()) {
        if (what == std::wstring(c.name, c.name + std::char_traits<char>::length(c.name))) return c.run(args);
    }
    std::fputs("usage: ovaro_bench CASE [ARGS]; the cases:\n", stderr);
    for (const auto& c : ovaro::bench::Cases())
        if (c.usage != nullptr) std::fprintf(stderr, "  %s %s\n", c.name, c.usage);
    return 2;
}
