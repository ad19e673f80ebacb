// memory N: growth of committed private memory when the control is created over N folders on
// s:, minus the growth for a bare tree view with the same items, each in a fresh process.
#include "BenchSupport.h"

#include <cstdio>

namespace ovaro::bench {

namespace {

int MemoryChild(bool ours) {
    const HWND host = MakeHost();
    CountedMessages messages;
    // Everything that is not per node is loaded first: the classes, the image list code.
    DestroyWindow(MakeBareTree(host));
    Pump();
    const SIZE_T before = PrivateBytes();
    std::unique_ptr<ovaro::OvaroFolderTreeView> view;
    long long nodes = 0;
    HWND bare = nullptr;
    if (ours) {
        view = MakeControl(host, messages);
        PaintNow(host);
        if (view) nodes = static_cast<long long>(SendMessageW(view->TreeWindow(), TVM_GETCOUNT, 0, 0));
    } else {
        FloorCreate(host, &nodes, &bare);
    }
    Pump();
    const SIZE_T after = PrivateBytes();
    std::printf("MEMORY side=%s nodes=%lld before=%llu after=%llu\n", ours ? "ours" : "bare", nodes,
                static_cast<unsigned long long>(before), static_cast<unsigned long long>(after));
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(after > before ? after - before : 0));
}

int CaseMemory(long long n) {
    const std::size_t reps = 3;
    std::vector<double> ours, bare;
    for (std::size_t i = 0; i < reps; ++i) {
        for (const bool side : {true, false}) {
            Child child(L"\"" + ProgramFolder() + L"ovaro_bench.exe\" " + (side ? L"memory-ours" : L"memory-bare"));
            DWORD code = 0;
            if (!child.Wait(300000, &code)) return ReportError("memory", "child-failed"), 1;
            (side ? ours : bare).push_back(static_cast<double>(code));
        }
    }
    // Per node beyond the bare tree: from the medians, and its spread from each round's pair.
    std::vector<double> perNode;
    for (std::size_t i = 0; i < reps; ++i) perNode.push_back((ours[i] - bare[i]) / static_cast<double>(n));
    const Figures o = Summarise(ours), b = Summarise(bare), p = Summarise(perNode);
    char line[512];
    std::snprintf(line, sizeof line,
                  "BENCH case=memory n=%lld reps=%zu ours_bytes=%.0f bare_bytes=%.0f bytes_per_node=%.1f "
                  "bytes_per_node_min=%.1f bytes_per_node_max=%.1f tree_bytes_per_node=%.1f target=<=300",
                  n, reps, o.median, b.median, (o.median - b.median) / static_cast<double>(n), p.min, p.max,
                  b.median / static_cast<double>(n));
    Emit(line);
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty()) return ReportError("memory", "no-folder-count"), 2;
    return CaseMemory(static_cast<long long>(NumberArg(args, 0, 0)));
}
int RunOurs(const std::vector<std::wstring>&) { return MemoryChild(true); }
int RunBare(const std::vector<std::wstring>&) { return MemoryChild(false); }

}  // namespace

const BenchCase kMemory{"memory", "N", &Run};
const BenchCase kMemoryOurs{"memory-ours", nullptr, &RunOurs};
const BenchCase kMemoryBare{"memory-bare", nullptr, &RunBare};

}  // namespace ovaro::bench
