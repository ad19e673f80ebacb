// startup-controls: start-up against bench/ControlsWindow.cpp, the main window's class, styles
// and icon with the same 38 controls, tool tips and font, and nothing else; with the split
// window alone (bench/MinimalWindow.cpp), the controls, the program's own work.
#include "BenchSupport.h"

#include <cstdio>

namespace ovaro::bench {

namespace {

int CaseStartupControls() {
    const std::wstring ours = ProgramFolder() + L"ZomaOvaroOrdnerSetzen.exe";
    const std::wstring controls = ProgramFolder() + L"ovaro_bench_controls.exe";
    const std::wstring minimal = ProgramFolder() + L"ovaro_bench_minimal.exe";
    const std::size_t reps = 9;
    std::vector<double> a, b, c;
    for (std::size_t i = 0; i <= reps; ++i) {
        const double x = StartUntilShown(ours), y = StartUntilShown(controls), z = StartUntilShown(minimal);
        if (x < 0 || y < 0 || z < 0) return ReportError("startup-controls", "no-window-shown"), 1;
        if (i > 0) {
            a.push_back(x);
            b.push_back(y);
            c.push_back(z);
        }
    }
    // The split: window alone (minimal), + the controls (floor), + the program's own work (ours).
    const Figures o = Summarise(a), f = Summarise(b), w = Summarise(c);
    char line[640];
    std::snprintf(line, sizeof line,
                  "BENCH case=startup-controls n=38 reps=%zu median_ms=%.2f min_ms=%.2f max_ms=%.2f floor_ms=%.2f "
                  "floor_min_ms=%.2f floor_max_ms=%.2f ratio=%.3f window_ms=%.2f controls_part_ms=%.2f "
                  "own_part_ms=%.2f target=<=1.2",
                  reps, o.median, o.min, o.max, f.median, f.min, f.max, f.median > 0 ? o.median / f.median : 0.0,
                  w.median, f.median - w.median, o.median - f.median);
    Emit(line);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseStartupControls(); }

}  // namespace

const BenchCase kStartupControls{"startup-controls", "", &Run};

}  // namespace ovaro::bench
