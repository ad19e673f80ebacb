// parts: where creation's time goes on s:, the control's parts one at a time; one "PART" line
// per piece (for development; not part of the table).
#include "BenchSupport.h"

#include <cstdio>

#include "FolderTreeLogic.h"
#include "Win32FolderSources.h"
#include "Win32TreeNodes.h"

namespace ovaro::bench {

namespace {

int CaseParts() {
    const HWND host = MakeHost();
    char line[512];
    auto row = [&](const char* part, double ms, std::size_t count) {
        std::snprintf(line, sizeof line, "PART %-22s %9.2f ms  %zu items  %.3f us/item", part, ms, count,
                      count ? ms * 1000 / static_cast<double>(count) : 0.0);
        Emit(line);
    };
    ovaro::folders::Win32FolderLister lister;
    double t0 = NowMs();
    const auto listing = lister.List(L"s:\\");
    row("lister.List", NowMs() - t0, listing.subFolders.size());

    t0 = NowMs();
    std::size_t n = 0;
    {
        HWND tree = MakeBareTree(host);
        SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
        n = ListAndInsert(tree, TVI_ROOT, L"s:\\", NoEach);
        row("bare list+insert", NowMs() - t0, n);
        DestroyWindow(tree);
    }
    for (const bool rootExpanded : {false, true}) {
        HWND tree = MakeBareTree(host);
        const HTREEITEM top = Insert(tree, TVI_ROOT, L"Arbeitsplatz");
        if (rootExpanded) {
            TVITEMW item{};
            item.mask = TVIF_STATE | TVIF_HANDLE;
            item.hItem = top;
            item.state = item.stateMask = TVIS_EXPANDED;
            SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        const HTREEITEM drive = Insert(tree, top, L"s:");
        t0 = NowMs();
        SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
        n = ListAndInsert(tree, drive, L"s:\\", NoEach);
        row(rootExpanded ? "below drive, root exp." : "below drive, root coll.", NowMs() - t0, n);
        DestroyWindow(tree);
    }
    t0 = NowMs();
    std::vector<std::wstring> keys;
    keys.reserve(listing.subFolders.size());
    for (const auto& e : listing.subFolders) keys.push_back(ovaro::folders::Win32LowerCase(e));
    row("Win32LowerCase", NowMs() - t0, keys.size());

    {
        HWND tree = MakeBareTree(host);
        ovaro::folders::Win32TreeNodes nodes(tree);
        std::wstring error;
        nodes.BeginUpdate();
        t0 = NowMs();
        std::size_t i = 0;
        for (const auto& e : listing.subFolders) {
            nodes.AddLast(ovaro::folders::kNoNode, keys[i++], std::wstring_view(e).substr(3),
                          ovaro::folders::Picture::ClosedFolder, ovaro::folders::Picture::OpenFolder, &error);
        }
        row("Win32TreeNodes.AddLast", NowMs() - t0, i);
        t0 = NowMs();
        std::size_t found = 0;
        for (const auto& k : keys) found += nodes.Find(k) != ovaro::folders::kNoNode;
        row("Win32TreeNodes.Find", NowMs() - t0, found);
        t0 = NowMs();
        nodes.EndUpdate();
        PaintNow(host);
        row("EndUpdate+paint", NowMs() - t0, 1);
        DestroyWindow(tree);
    }
    for (int round = 0; round < 2; ++round) {
        HWND tree = MakeBareTree(host);
        ovaro::folders::Win32TreeNodes nodes(tree);
        ovaro::folders::Win32DriveSource drives;
        ovaro::folders::Win32FolderLister realLister;
        CountedMessages messages;
        ovaro::folders::FolderTreeLogic logic(nodes, drives, realLister, messages, ovaro::folders::Win32LowerCase);
        t0 = NowMs();
        logic.Create();
        row("logic on bare tree", NowMs() - t0, 1);
        DestroyWindow(tree);
    }
    for (int round = 0; round < 3; ++round) {
        struct TimedLister final : ovaro::folders::FolderLister {
            ovaro::folders::Win32FolderLister real;
            double ms = 0;
            std::size_t calls = 0;
            ovaro::folders::FolderListing List(std::wstring_view folder) override {
                const double a = NowMs();
                auto r = real.List(folder);
                ms += NowMs() - a;
                ++calls;
                return r;
            }
        } timed;
        CountedMessages messages;
        t0 = NowMs();
        auto view = ovaro::OvaroFolderTreeView::Create(host, 1, kTreeRect, {nullptr, &timed, &messages});
        row("control create", NowMs() - t0, 1);
        row("  of which lister", timed.ms, timed.calls);
        t0 = NowMs();
        PaintNow(host);
        row("control create", NowMs() - t0, 1);
        t0 = NowMs();
        view.reset();
        row("control destroy", NowMs() - t0, 1);
    }
    DestroyWindow(host);
    return 0;
}

int Run(const std::vector<std::wstring>&) { return CaseParts(); }

}  // namespace

const BenchCase kParts{"parts", "", &Run};

}  // namespace ovaro::bench
