// startup: CreateProcess until WaitForInputIdle returns and a visible top-level window exists,
// against bench/MinimalWindow.cpp (same manifest and icon); also the exe's size.
#include "BenchSupport.h"

#include <cstdio>

namespace ovaro::bench {

namespace {

int CaseStartup() {
    const std::wstring ours = ProgramFolder() + L"ZomaOvaroOrdnerSetzen.exe";
    const std::wstring minimal = ProgramFolder() + L"ovaro_bench_minimal.exe";
    const std::size_t reps = 9;
    std::vector<double> a, b;
    for (std::size_t i = 0; i <= reps; ++i) {
        const double x = StartUntilShown(ours);
        const double y = StartUntilShown(minimal);
        if (x < 0 || y < 0) return ReportError("startup", "no-window-shown"), 1;
        if (i > 0) {
            a.push_back(x);
            b.push_back(y);
        }
    }
    ReportVsFloor("startup", 1, reps, Summarise(a), Summarise(b), 0, "<=1.2");

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExW(ours.c_str(), GetFileExInfoStandard, &attributes)) {
        char line[256];
        std::snprintf(line, sizeof line, "BENCH case=exe-size bytes=%lu target=<1048576",
                      static_cast<unsigned long>(attributes.nFileSizeLow));
        Emit(line);
    }
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseStartup(); }

}  // namespace

const BenchCase kStartup{"startup", "", &Run};

}  // namespace ovaro::bench
