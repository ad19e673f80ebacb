// picker [LIMIT_S]: the control created and walked to s:\ and to the 30-level path, against
// SHBrowseForFolderW in a child process with BFFM_SETSELECTIONW until BFFM_SELCHANGED reports
// the target (the child is killed after LIMIT_S seconds, 20 by default).
#include "BenchSupport.h"

#include <shlobj.h>

#include <cstdio>

namespace ovaro::bench {

namespace {

struct PickerState {
    std::wstring target;
    double t0 = 0;
};

bool SamePath(std::wstring a, std::wstring b) {
    while (!a.empty() && a.back() == L'\\') a.pop_back();
    while (!b.empty() && b.back() == L'\\') b.pop_back();
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

int CALLBACK PickerCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    auto* state = reinterpret_cast<PickerState*>(data);
    if (message == BFFM_INITIALIZED) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(state->target.c_str()));
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH]{};
        if (lParam && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path) &&
            SamePath(path, state->target)) {
            // The exit code carries the time in microseconds to the parent.
            ExitProcess(static_cast<UINT>((NowMs() - state->t0) * 1000.0));
        }
    }
    return 0;
}

int PickerChild(const wchar_t* target) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PickerState state{target, NowMs()};
    BROWSEINFOW info{};
    info.lpszTitle = L"Ordner";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &PickerCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    SHBrowseForFolderW(&info);
    return 0;  // closed without reaching the target
}

// Ours on the same work: the control made in a fresh host and walked to target.
double OursTo(HWND host, const std::wstring& target, CountedMessages& messages) {
    const double t0 = NowMs();
    auto view = MakeControl(host, messages);
    if (view) view->SetPath(target);
    PaintNow(host);
    const double t1 = NowMs();
    if (!view || !SamePath(view->Path(), target)) return -1;
    return t1 - t0;
}

int CasePicker(double limitS) {
    const HWND host = MakeHost();
    CountedMessages messages;
    const struct {
        const char* name;
        std::wstring target;
        const char* wanted;  // speedup
    } targets[] = {{"picker-root10k", L"s:\\", ">=1"}, {"picker-deep30", DeepPath(), ">=5"}};
    for (const auto& [name, target, wanted] : targets) {
        std::vector<double> ours, peer;
        bool timedOut = false;
        const std::size_t reps = 5;
        for (std::size_t i = 0; i <= reps && !timedOut; ++i) {
            Pump();
            const double o = OursTo(host, target, messages);
            if (o < 0) return ReportError(name, "control-walk-incomplete"), 1;
            // A backslash before the closing quote would escape it.
            const std::wstring quoted = target.ends_with(L'\\') ? target + L'\\' : target;
            Child child(L"\"" + ProgramFolder() + L"ovaro_bench.exe\" picker-child \"" + quoted + L"\"");
            DWORD code = 0;
            if (!child.Wait(static_cast<DWORD>(limitS * 1000), &code) || code == 0) {
                timedOut = true;  // the child is killed when it goes out of scope
                if (i == 0) ours.push_back(o);
                break;
            }
            if (i > 0) {
                ours.push_back(o);
                peer.push_back(code / 1000.0);
            }
        }
        const Figures f = Summarise(ours);
        char line[512];
        if (timedOut) {
            std::snprintf(line, sizeof line,
                          "BENCH case=%s reps=%zu median_ms=%.2f min_ms=%.2f max_ms=%.2f peer=no-result-within-%.0fs "
                          "speedup=>%.0f target=%s",
                          name, ours.size(), f.median, f.min, f.max, limitS, limitS * 1000 / f.median, wanted);
        } else {
            const Figures p = Summarise(peer);
            std::snprintf(line, sizeof line,
                          "BENCH case=%s reps=%zu median_ms=%.2f min_ms=%.2f max_ms=%.2f peer_ms=%.2f peer_min_ms=%.2f "
                          "peer_max_ms=%.2f speedup=%.2f target=%s",
                          name, reps, f.median, f.min, f.max, p.median, p.min, p.max, p.median / f.median, wanted);
        }
        Emit(line);
    }
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>& args) { return CasePicker(NumberArg(args, 0, 20.0)); }

int RunChild(const std::vector<std::wstring>& args) { return args.empty() ? 2 : PickerChild(args[0].c_str()); }

}  // namespace

const BenchCase kPicker{"picker", "[LIMIT_S]", &Run};
const BenchCase kPickerChild{"picker-child", nullptr, &RunChild};

}  // namespace ovaro::bench
