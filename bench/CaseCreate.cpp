// create N: the control's creation (root, drives, first level of c:, s:, t:, u:) with s:
// holding N first-level folders, painted, against the bare listings and inserts of FloorCreate.
#include "BenchSupport.h"

namespace ovaro::bench {

namespace {

int CaseCreate(long long n) {
    const HWND host = MakeHost();
    CountedMessages messages;
    const std::size_t reps = n >= 100000 ? 5 : 9;
    std::vector<double> ours, floor;
    long long oursNodes = 0, floorNodes = 0;
    for (std::size_t i = 0; i <= reps; ++i) {  // the first round warms caches and is not counted
        Pump();
        double t0 = NowMs();
        auto view = MakeControl(host, messages);
        PaintNow(host);
        double t1 = NowMs();
        if (!view) return ReportError("create", "control-not-created"), 1;
        oursNodes = static_cast<long long>(SendMessageW(view->TreeWindow(), TVM_GETCOUNT, 0, 0));
        view.reset();
        Pump();
        const double f = FloorCreate(host, &floorNodes);
        if (i > 0) {
            ours.push_back(t1 - t0);
            floor.push_back(f);
        }
    }
    if (oursNodes != floorNodes)
        std::fprintf(stderr, "create: nodes differ, ours %lld, floor %lld\n", oursNodes, floorNodes);
    if (oursNodes < n) return ReportError("create", "drive-s-has-fewer-folders"), 1;
    ReportVsFloor("create", n, reps, Summarise(ours), Summarise(floor), oursNodes, "<=0.8");
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty()) return ReportError("create", "no-folder-count"), 2;
    return CaseCreate(static_cast<long long>(NumberArg(args, 0, 0)));
}

}  // namespace

const BenchCase kCreate{"create", "N", &Run};

}  // namespace ovaro::bench
