// overlap: whether a listing on one thread and tree-view inserts on another run side by
// side in this process, with bare platform calls only. s: (10,000 folders) is listed on a
// second thread while the window's thread inserts 10,000 nodes into a bare tree view with
// redraw held; each alone, then both at once. Side by side the pair takes about the longer
// of the two; if the platform made one wait for the other, it takes their sum. The same
// with the window's thread only computing (no platform calls), to tell a shared lock from
// a shared core.
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace ovaro::bench {

namespace {

double ListAlone() {
    const double t0 = NowMs();
    const auto names = ListNames(L"s:\\");
    return names.size() >= 10000 ? NowMs() - t0 : -1;
}

double InsertAlone(HWND host) {
    const HWND tree = MakeBareTree(host);
    const double t0 = NowMs();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    const HTREEITEM top = Insert(tree, TVI_ROOT, L"s:");
    wchar_t name[32];
    for (int i = 0; i < 10000; ++i) {
        std::swprintf(name, std::size(name), L"Ordner_%06d", i);
        Insert(tree, top, name);
    }
    const double t1 = NowMs();
    DestroyWindow(tree);
    return t1 - t0;
}

// About as long as the inserts, without a call into the platform.
double ComputeAlone(double ms) {
    const double t0 = NowMs();
    volatile unsigned long long x = 1;
    while (NowMs() - t0 < ms) {
        for (int i = 0; i < 1000; ++i) x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    }
    return NowMs() - t0;
}

int CaseOverlap() {
    const HWND host = MakeHost();
    const std::size_t reps = 7;
    std::vector<double> list, insert, both, compute, bothCompute;
    for (std::size_t i = 0; i <= reps; ++i) {
        Pump();
        const double l = ListAlone();
        const double n = InsertAlone(host);
        if (l < 0) return ReportError("overlap", "drive-s-has-fewer-folders"), 1;
        double listed = 0;
        const double t0 = NowMs();
        std::thread lister([&listed] { listed = ListAlone(); });
        InsertAlone(host);
        lister.join();
        const double b = NowMs() - t0;
        const double c = ComputeAlone(n);
        const double t1 = NowMs();
        std::thread lister2([&listed] { listed = ListAlone(); });
        ComputeAlone(n);
        lister2.join();
        const double bc = NowMs() - t1;
        if (i > 0) {
            list.push_back(l);
            insert.push_back(n);
            both.push_back(b);
            compute.push_back(c);
            bothCompute.push_back(bc);
        }
    }
    const Figures l = Summarise(list), n = Summarise(insert), b = Summarise(both), bc = Summarise(bothCompute);
    char line[640];
    std::snprintf(line, sizeof line,
                  "BENCH case=overlap n=10000 reps=%zu list_ms=%.2f insert_ms=%.2f both_ms=%.2f both_min_ms=%.2f "
                  "both_max_ms=%.2f sum_ms=%.2f longer_ms=%.2f overlap=%.2f list_beside_compute_ms=%.2f",
                  reps, l.median, n.median, b.median, b.min, b.max, l.median + n.median, std::max(l.median, n.median),
                  // 1: fully side by side (the longer of the two); 0: one after the other (their sum).
                  (l.median + n.median - b.median) / std::min(l.median, n.median), bc.median);
    Emit(line);
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseOverlap(); }

}  // namespace

const BenchCase kOverlap{"overlap", "", &Run};

}  // namespace ovaro::bench
