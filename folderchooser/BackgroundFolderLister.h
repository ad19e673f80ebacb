#pragma once
// The folder lister that reads on worker threads of the platform's thread pool, several
// folders at a time, while the window's thread waits in a RestrictedWait. The logic still
// asks for one folder after the other and gets them in its own order; what it announced
// with Prefetch is read meanwhile.
//
// Every listing says what happened: read, failed (the platform's failure, an exception in
// the read, or no worker to be had) or stopped (the operation was stopped before the read
// ended; nothing is known about the folder). A read that is no longer wanted (stopped, or
// read ahead and not asked for by the end of the operation) is abandoned: its I/O is
// cancelled where the platform can, it is told to start nothing further (no next block,
// no second way of reading), and whatever it returns later goes nowhere. Its worker no
// longer counts: a new read always gets a worker of its own, however many abandoned reads
// still hang: once many hang in the platform's thread pool, new workers are threads of
// their own (see PoolCrowded), so that the pool's maximum is never reached. They hold only
// reference-counted state, so a read that hangs inside the platform never keeps anything
// alive that the tree frees, and nothing ever waits for such a thread, not even the end
// of the program.
//
// Beside the usual number of workers, the read the logic waits for may have a worker of
// its own, so that it never waits behind reads ahead that hang; that worker takes no read
// ahead.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "FolderTreePorts.h"
#include "RestrictedWait.h"

namespace ovaro::folders {

// Lists one folder; runs on a worker thread.
using ReadFolderFn = std::function<FolderListing(const std::wstring& folder)>;
// The same, handing the sub-folders over in parts as they are read (see ListInParts).
using ReadInPartsFn = std::function<FolderListing(const std::wstring& folder, const ListingPart& onPart)>;
// The same, told through `stop` once nobody waits for the listing any more: it should then
// start nothing further.
using StoppableReadFn =
    std::function<FolderListing(const std::wstring& folder, const ListingPart& onPart, const std::atomic<bool>& stop)>;
// Starts one worker that runs callback(nullptr, context) on another thread; false, with the
// reason in GetLastError, when it cannot. TrySubmitThreadpoolCallback by default; once the
// pool is crowded with stuck workers, StartDetachedThread instead.
using SubmitWorkerFn = std::function<bool(PTP_SIMPLE_CALLBACK callback, void* context)>;

class BackgroundFolderLister final : public FolderLister {
public:
    // Reads wait on the network more than they compute, so more at a time than cores.
    static constexpr unsigned kReadsAtOnce = 8;
    // A big folder reaches the window's thread in parts of this many sub-folders, each
    // added while the worker reads the next.
    static constexpr std::size_t kPartSize = 256;

    // read lists one folder, handing it over whole (the platform's listing in parts by default).
    explicit BackgroundFolderLister(RestrictedWait& wait, ReadFolderFn read = nullptr,
                                    unsigned readsAtOnce = kReadsAtOnce, SubmitWorkerFn submit = nullptr);
    // readInParts lists one folder, handing it over in parts as it reads.
    BackgroundFolderLister(RestrictedWait& wait, ReadInPartsFn readInParts, unsigned readsAtOnce = kReadsAtOnce);
    // read lists one folder in parts and is told when it is no longer wanted.
    BackgroundFolderLister(RestrictedWait& wait, StoppableReadFn read, unsigned readsAtOnce = kReadsAtOnce,
                           SubmitWorkerFn submit = nullptr);
    ~BackgroundFolderLister() override;
    BackgroundFolderLister(const BackgroundFolderLister&) = delete;
    BackgroundFolderLister& operator=(const BackgroundFolderLister&) = delete;

    // Waits in the RestrictedWait for the folder's read; stopped when the wait's operation
    // is or becomes stopped, which abandons every outstanding read.
    FolderListing List(std::wstring_view folder) override;
    // The same wait, handing each part to onPart on the window's thread as soon as the
    // worker has read it, also while the worker reads on.
    FolderListing ListInParts(std::wstring_view folder, const ListingPart& onPart) override;
    void Prefetch(const std::vector<std::wstring>& folders) override;
    void Hurry(const std::vector<std::wstring>& folders) override;
    std::optional<ListOutcome> Progress(std::wstring_view folder) override;

    // Abandons every read not yet handed to the logic (Esc, the tree's end).
    void DropOutstanding();
    // tell runs on a worker when a read is in: once, until Heard. It must not block.
    void WhenReadIn(std::function<void()> tell);
    void Heard();

private:
    struct Request;
    struct Shared;
    static void CALLBACK ReadWorker(PTP_CALLBACK_INSTANCE instance, void* context);
    static bool StartWorkers(const std::shared_ptr<Shared>& shared, bool forWanted);
    static bool Submit(const std::shared_ptr<Shared>& shared, bool reserve);
    static void Abandon(Shared& shared, Request& request);
    std::shared_ptr<Request> Start(const std::wstring& folder, bool first);

    RestrictedWait& wait_;
    std::shared_ptr<Shared> shared_;
    // Read ahead and not yet asked for; a List call takes its request out of here.
    std::unordered_map<std::wstring, std::shared_ptr<Request>> requests_;
};

}  // namespace ovaro::folders
