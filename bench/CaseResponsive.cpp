// responsive-slow, responsive-wide: the exe started as its own process, row 0's "Wählen..."
// pressed, and the main window probed with WM_NULL every 20 ms from this process until the
// dialog has shown and 300 ms more; slow: the dialog reads l:, whose every listing waits 3 s;
// wide: row 0 holds s:\ (10,000 first-level folders, all read one level ahead).
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>

namespace ovaro::bench {

namespace {

// Starts the exe, presets row 0 with rowText, presses its "Wählen..." and probes the main
// window with WM_NULL every 20 ms (SendMessageTimeout, from this second process) until the
// dialog has shown and 300 ms more. Returns the longest wait for an answer; *openMs the
// time until the dialog showed. Negative on failure.
double LongestUnanswered(const std::wstring& rowText, double* openMs) {
    Child child(ProgramCommandLine());
    const HWND main = MainWindowOf(child);
    return main == nullptr ? -1 : [&] {
        double longest = 0;
        const double t0 = NowMs();
        PressChoose(main, rowText);
        double shownAt = -1;
        while (NowMs() - t0 < 120000) {
            const double a = NowMs();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) return -1.0;
            const double b = NowMs();
            longest = std::max(longest, b - a);
            if (shownAt < 0 && WindowOf(child.pi.dwProcessId, kDialogClass, true)) shownAt = b;
            if (shownAt >= 0 && b - shownAt > 300) break;
            const double next = a + 20;
            if (NowMs() < next) Sleep(static_cast<DWORD>(next - NowMs()));
        }
        *openMs = shownAt < 0 ? -1 : shownAt - t0;
        return shownAt < 0 ? -1.0 : longest;
    }();
}

int CaseResponsive(const char* name, const std::wstring& rowText) {
    const std::size_t reps = 3;
    std::vector<double> longest, open;
    for (std::size_t i = 0; i < reps; ++i) {
        double openMs = 0;
        const double l = LongestUnanswered(rowText, &openMs);
        if (l < 0) return ReportError(name, "no-dialog-or-no-answer"), 1;
        longest.push_back(l);
        open.push_back(openMs);
    }
    const Figures f = Summarise(longest), o = Summarise(open);
    char line[512];
    std::snprintf(line, sizeof line,
                  "BENCH case=%s reps=%zu longest_unanswered_ms=%.1f median_ms=%.1f min_ms=%.1f max_ms=%.1f "
                  "open_ms=%.0f target=<=100",
                  name, reps, f.max, f.median, f.min, f.max, o.median);
    Emit(line);
    return 0;
}

int RunSlow(const std::vector<std::wstring>&) { return CaseResponsive("responsive-slow", L""); }
int RunWide(const std::vector<std::wstring>&) { return CaseResponsive("responsive-wide", L"s:\\"); }

}  // namespace

const BenchCase kResponsiveSlow{"responsive-slow", "", &RunSlow};
const BenchCase kResponsiveWide{"responsive-wide", "", &RunWide};

}  // namespace ovaro::bench
