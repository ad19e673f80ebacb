// listing-ways: what one listing of s: (10,000 folders) costs by each way the platform
// offers, on the window's thread and on a worker: the search functions the floor uses, the
// same with the long-path form, and directory information read by handle in large blocks
// (full information, and names only).
#include "BenchSupport.h"

#include <winternl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace ovaro::bench {

namespace {

std::size_t BySearch(const wchar_t* pattern) {
    std::size_t n = 0;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchLimitToDirectories, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

std::size_t ByHandle(const wchar_t* folder, FILE_INFO_BY_HANDLE_CLASS first, FILE_INFO_BY_HANDLE_CLASS next,
                     DWORD bufferSize) {
    const HANDLE dir = CreateFileW(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (dir == INVALID_HANDLE_VALUE) return 0;
    std::vector<unsigned char> buffer(bufferSize);
    std::size_t n = 0;
    FILE_INFO_BY_HANDLE_CLASS cls = first;
    while (GetFileInformationByHandleEx(dir, cls, buffer.data(), bufferSize)) {
        cls = next;
        auto* p = buffer.data();
        while (true) {
            const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(p);
            if (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ++n;
            if (info->NextEntryOffset == 0) break;
            p += info->NextEntryOffset;
        }
    }
    CloseHandle(dir);
    return n;
}

// On this thread; on a worker; and on a worker while this thread computes throughout.
template <typename Fn>
void Row(const char* name, Fn fn) {
    std::vector<double> here, worker, beside;
    std::size_t n = 0;
    for (int i = 0; i <= 7; ++i) {
        double t0 = NowMs();
        n = fn();
        const double a = NowMs() - t0;
        double b = 0, c = 0;
        std::thread t([&] {
            const double s = NowMs();
            fn();
            b = NowMs() - s;
        });
        t.join();
        std::atomic<bool> listed{false};
        std::thread u([&] {
            const double s = NowMs();
            fn();
            c = NowMs() - s;
            listed = true;
        });
        volatile unsigned long long x = 1;
        while (!listed)
            for (int k = 0; k < 1000; ++k) x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        u.join();
        if (i > 0) here.push_back(a), worker.push_back(b), beside.push_back(c);
    }
    const Figures h = Summarise(here), w = Summarise(worker), c = Summarise(beside);
    char line[480];
    std::snprintf(line, sizeof line,
                  "BENCH case=listing-ways way=%s folders=%zu median_ms=%.2f min_ms=%.2f max_ms=%.2f "
                  "worker_ms=%.2f worker_min_ms=%.2f worker_max_ms=%.2f beside_compute_ms=%.2f",
                  name, n, h.median, h.min, h.max, w.median, w.min, w.max, c.median);
    Emit(line);
}

// Each of u:\\Breit's 1,000 folders of 10, as an expansion reads them.
template <typename Fn>
std::size_t EachSmall(Fn fn) {
    std::size_t n = 0;
    wchar_t folder[64];
    for (int k = 0; k < 1000; ++k) {
        std::swprintf(folder, std::size(folder), L"u:\\Breit\\K%04d\\", k);
        n += fn(folder);
    }
    return n;
}

int Run(const std::vector<std::wstring>&) {
    Row("search", [] { return BySearch(L"s:\\*"); });
    Row("search-long-form", [] { return BySearch(L"\\\\?\\s:\\*"); });
    Row("full-info-64k", [] { return ByHandle(L"s:\\", FileFullDirectoryRestartInfo, FileFullDirectoryInfo, 65536); });
    Row("full-info-1m", [] { return ByHandle(L"s:\\", FileFullDirectoryRestartInfo, FileFullDirectoryInfo, 1 << 20); });
    Row("id-both-64k",
        [] { return ByHandle(L"s:\\", FileIdBothDirectoryRestartInfo, FileIdBothDirectoryInfo, 65536); });
    Row("small-search", [] {
        return EachSmall([](const wchar_t* folder) { return BySearch((std::wstring(folder) + L"*").c_str()); });
    });
    Row("small-full-info-64k", [] {
        return EachSmall([](const wchar_t* folder) {
            return ByHandle(folder, FileFullDirectoryRestartInfo, FileFullDirectoryInfo, 65536);
        });
    });
    Row("small-full-info-4k", [] {
        return EachSmall(
            [](const wchar_t* folder) { return ByHandle(folder, FileFullDirectoryInfo, FileFullDirectoryInfo, 4096); });
    });
    return 0;
}

}  // namespace

const BenchCase kListingWays{"listing-ways", "", &Run};

}  // namespace ovaro::bench
