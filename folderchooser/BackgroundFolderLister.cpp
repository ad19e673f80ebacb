#include "BackgroundFolderLister.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <iterator>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "SystemErrorText.h"
#include "Win32FolderSources.h"

namespace ovaro::folders {

// One folder's read. All fields but `folder` are guarded by Shared::mutex.
struct BackgroundFolderLister::Request {
    explicit Request(std::wstring f) : folder(std::move(f)) {}
    const std::wstring folder;
    bool wanted = false;      // the logic waits for it
    bool started = false;     // a worker has taken it
    bool byReserve = false;   // taken by a worker kept for the reads the logic waits for
    bool inPool = false;      // taken by a worker of the platform's thread pool
    bool done = false;        // result (or error) is valid
    bool abandoned = false;   // nobody will take the result
    bool released = false;    // abandoned while read: its worker no longer counts
    std::atomic<bool> stop{false};  // abandoned: the read starts nothing further
    HANDLE thread = nullptr;  // the worker's thread while it reads, for cancelling
    // Read and not yet handed over, in order; the result's sub-folders come after them.
    std::vector<std::vector<std::wstring>> parts;
    FolderListing result;
    // Nonzero when the read ended in an exception or could not be started: the platform's
    // error number for the failure. Turned into text on the window's thread, so that a
    // worker short of memory needs none to report it.
    DWORD error = 0;
};

// What the workers share with the lister; the last of them to let go frees it.
struct BackgroundFolderLister::Shared {
    Shared(StoppableReadFn r, unsigned n, SubmitWorkerFn s) : read(std::move(r)), submit(std::move(s)), readsAtOnce(n) {
        wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~Shared() {
        if (wake != nullptr) CloseHandle(wake);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const StoppableReadFn read;
    const SubmitWorkerFn submit;
    const unsigned readsAtOnce;
    HANDLE wake = nullptr;  // set after every finished read while the window's thread waits
    std::mutex mutex;
    std::deque<std::shared_ptr<Request>> pending;
    unsigned running = 0;  // workers that count: each reads, or takes the next pending read
    unsigned reading = 0;  // of those, the ones inside a read
    // The same for the workers kept for wanted reads, which take nothing else.
    unsigned reserveRunning = 0;
    unsigned reserveReading = 0;
    // Whether the window's thread sleeps on `wake`: only then is it set, since setting it
    // is a round trip to the system (under Wine, to its server) for every listing.
    std::atomic<int> waiting{0};
    // Tells the window's thread of reads that are in; once until it heard. Guarded by mutex.
    std::function<void()> readIn;
    bool told = false;
};

namespace {

// What a worker is started with.
struct WorkerStart {
    std::shared_ptr<void> shared;
    bool reserve;
    bool inPool;
};

SubmitWorkerFn ThreadPool() {
    return [](PTP_SIMPLE_CALLBACK callback, void* context) {
        return TrySubmitThreadpoolCallback(callback, context, nullptr) != FALSE;
    };
}

}  // namespace

BackgroundFolderLister::BackgroundFolderLister(RestrictedWait& wait, StoppableReadFn read, unsigned readsAtOnce,
                                               SubmitWorkerFn submit)
    : wait_(wait),
      shared_(std::make_shared<Shared>(
          read ? std::move(read)
               : StoppableReadFn([](const std::wstring& f, const ListingPart& onPart, const std::atomic<bool>& stop) {
                     return ReadFolderInParts(f, onPart, kPartSize, ListingWay::ByHandle, &stop);
                 }),
          std::max(1u, readsAtOnce), submit ? std::move(submit) : ThreadPool())) {}

BackgroundFolderLister::BackgroundFolderLister(RestrictedWait& wait, ReadFolderFn read, unsigned readsAtOnce,
                                               SubmitWorkerFn submit)
    : BackgroundFolderLister(
          wait,
          read ? StoppableReadFn([read = std::move(read)](const std::wstring& f, const ListingPart&,
                                                          const std::atomic<bool>&) { return read(f); })
               : StoppableReadFn(),
          readsAtOnce, std::move(submit)) {}

BackgroundFolderLister::BackgroundFolderLister(RestrictedWait& wait, ReadInPartsFn readInParts, unsigned readsAtOnce)
    : BackgroundFolderLister(wait,
                             readInParts ? StoppableReadFn([read = std::move(readInParts)](
                                                               const std::wstring& f, const ListingPart& onPart,
                                                               const std::atomic<bool>&) { return read(f, onPart); })
                                         : StoppableReadFn(),
                             readsAtOnce) {}

BackgroundFolderLister::~BackgroundFolderLister() {
    WhenReadIn(nullptr);
    DropOutstanding();
}

void BackgroundFolderLister::WhenReadIn(std::function<void()> tell) {
    std::lock_guard lock(shared_->mutex);
    shared_->readIn = std::move(tell);
}

void BackgroundFolderLister::Heard() {
    std::lock_guard lock(shared_->mutex);
    shared_->told = false;
}

void BackgroundFolderLister::Hurry(const std::vector<std::wstring>& folders) {
    std::lock_guard lock(shared_->mutex);
    auto& pending = shared_->pending;
    // Backwards, each to the front, so that they keep their order.
    for (auto f = folders.rbegin(); f != folders.rend(); ++f) {
        const auto it = requests_.find(*f);
        if (it == requests_.end() || it->second->started) continue;
        if (const auto p = std::find(pending.begin(), pending.end(), it->second); p != pending.end()) {
            pending.erase(p);
            pending.push_front(it->second);
        }
    }
}

std::optional<ListOutcome> BackgroundFolderLister::Progress(std::wstring_view folder) {
    const auto it = requests_.find(std::wstring(folder));
    if (it == requests_.end()) return ListOutcome::Stopped;
    std::lock_guard lock(shared_->mutex);
    const Request& request = *it->second;
    if (!request.done) return std::nullopt;
    if (request.error != 0) return ListOutcome::Failed;
    return request.result.Outcome();
}

// shared.mutex held.
void BackgroundFolderLister::Abandon(Shared& shared, Request& request) {
    request.abandoned = true;
    if (request.started && !request.done && !request.released) {
        // Its worker is stuck in this read: let another take its place, and ask the
        // platform to give up the read (a no-op where it cannot). The read is told first,
        // so that the failure the cancelled call returns starts nothing more.
        request.stop = true;
        request.released = true;
        if (request.inPool) CountStuckInPool(1);
        if (request.byReserve) {
            --shared.reserveRunning;
            --shared.reserveReading;
        } else {
            --shared.running;
            --shared.reading;
        }
        if (request.thread != nullptr) CancelSynchronousIo(request.thread);
    }
}

void BackgroundFolderLister::DropOutstanding() {
    if (requests_.empty()) return;
    std::lock_guard lock(shared_->mutex);
    for (auto& [folder, request] : requests_) Abandon(*shared_, *request);
    requests_.clear();
    // Abandoned reads that no worker took yet are skipped by the workers.
    std::erase_if(shared_->pending, [](const std::shared_ptr<Request>& r) { return r->abandoned; });
}

std::shared_ptr<BackgroundFolderLister::Request> BackgroundFolderLister::Start(const std::wstring& folder, bool first) {
    auto request = std::make_shared<Request>(folder);
    std::lock_guard lock(shared_->mutex);
    if (first)
        shared_->pending.push_front(request);
    else
        shared_->pending.push_back(request);
    return request;
}

// shared->mutex held.
bool BackgroundFolderLister::Submit(const std::shared_ptr<Shared>& shared, bool reserve) {
    // Past the pool's share of stuck workers, a thread of its own.
    const bool inPool = !PoolCrowded();
    auto* context = new WorkerStart{shared, reserve, inPool};
    if (!(inPool ? shared->submit(&ReadWorker, context)
                 : StartDetachedThread([context] { ReadWorker(nullptr, context); }))) {
        const DWORD error = GetLastError();
        delete context;
        SetLastError(error);
        return false;
    }
    ++(reserve ? shared->reserveRunning : shared->running);
    return true;
}

// Starts a worker for each pending read that no idle worker will take, while fewer than
// the usual number count; shared->mutex held. Comparing with the idle workers, not with all
// that run, keeps a read that hangs from holding up the next. With forWanted, a wanted read
// that no idle worker will take gets a worker kept for it, however many read ahead. False
// when the platform would not start a worker.
bool BackgroundFolderLister::StartWorkers(const std::shared_ptr<Shared>& shared, bool forWanted) {
    while (shared->running - shared->reading < shared->pending.size() && shared->running < shared->readsAtOnce)
        if (!Submit(shared, false)) return false;
    if (!forWanted) return true;
    // The wanted reads stand at the front, where idle workers of either kind take them first.
    std::size_t wanted = 0;
    for (const auto& request : shared->pending) {
        if (!request->wanted) break;
        ++wanted;
    }
    const unsigned idle = (shared->running - shared->reading) + (shared->reserveRunning - shared->reserveReading);
    for (std::size_t n = idle; n < wanted; ++n)
        if (!Submit(shared, true)) return false;
    return true;
}

void BackgroundFolderLister::Prefetch(const std::vector<std::wstring>& folders) {
    if (wait_.Stopped()) return;
    std::size_t n = 0;
    for (const auto& folder : folders) {
        if (!requests_.count(folder)) requests_.emplace(folder, Start(folder, false));
        // 10,000 children of one node are announced at once.
        if ((++n & 255) == 0) {
            wait_.Breathe();
            if (wait_.Stopped()) return;
        }
    }
    std::lock_guard lock(shared_->mutex);
    // A worker that cannot be had now is asked for again when the folder is listed.
    StartWorkers(shared_, false);
}

FolderListing BackgroundFolderLister::List(std::wstring_view folder) {
    std::vector<std::wstring> subFolders;
    FolderListing listing = ListInParts(folder, [&subFolders](std::vector<std::wstring>& part) {
        if (subFolders.empty())
            subFolders = std::move(part);
        else
            subFolders.insert(subFolders.end(), std::make_move_iterator(part.begin()),
                              std::make_move_iterator(part.end()));
    });
    // What broke off counts for nothing.
    if (listing.Outcome() == ListOutcome::Read) listing.subFolders = std::move(subFolders);
    return listing;
}

FolderListing BackgroundFolderLister::ListInParts(std::wstring_view folderView, const ListingPart& onPart) {
    // Let the window answer between many quick listings as well.
    wait_.Breathe();
    if (wait_.Stopped()) return FolderListing::Stopped();
    const std::wstring folder(folderView);
    // This call owns its request from here on: a second List of the same folder, even
    // one nested in this wait, reads anew instead of taking this one's result.
    std::shared_ptr<Request> request;
    if (const auto it = requests_.find(folder); it != requests_.end()) {
        request = std::move(it->second);
        requests_.erase(it);
        std::lock_guard lock(shared_->mutex);
        request->wanted = true;
        if (!request->started) {
            // The logic wants this one now: before any other that is still waiting.
            auto& pending = shared_->pending;
            if (const auto p = std::find(pending.begin(), pending.end(), request); p != pending.end()) {
                pending.erase(p);
                pending.push_front(request);
            }
        }
    } else {
        request = Start(folder, true);
        std::lock_guard lock(shared_->mutex);
        request->wanted = true;
    }
    {
        std::lock_guard lock(shared_->mutex);
        // The read the logic waits for may start a worker beyond the usual number, so that
        // it never waits behind reads ahead that hang.
        if (!StartWorkers(shared_, true) && !request->started && shared_->running == shared_->reading &&
            shared_->reserveRunning == shared_->reserveReading) {
            // No worker will ever take it: a failure, not a wait until Esc.
            request->done = true;
            request->error = GetLastError() != 0 ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
            std::erase(shared_->pending, request);
        }
    }
    // Ready when the read is done or a part of it waits to be handed over.
    const auto ready = [&] {
        std::lock_guard lock(shared_->mutex);
        return request->done || !request->parts.empty();
    };
    bool waited = true;
    while (true) {
        // Most listings, and the parts of a big one, come within a millisecond or two: a
        // moment's yielding picks them up without putting the thread to sleep and waking it
        // again, which costs two round trips to the system (under Wine, to its server) that
        // the workers' listings wait behind. 2 ms measured better than 0.5 for an expansion
        // of 1,000 small folders; a read that takes longer is waited for asleep.
        const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
        while (!ready() && std::chrono::steady_clock::now() < spinUntil) std::this_thread::yield();
        ++shared_->waiting;
        waited = wait_.WaitFor(shared_->wake, ready);
        --shared_->waiting;
        if (!waited) break;
        std::vector<std::vector<std::wstring>> parts;
        bool done = false;
        {
            std::lock_guard lock(shared_->mutex);
            parts.swap(request->parts);
            done = request->done;
        }
        // Added on this thread while the worker reads on; adding may pump and be stopped.
        for (auto& part : parts) onPart(part);
        if (done) break;
        if (wait_.Stopped()) {
            waited = false;
            break;
        }
    }
    if (!waited) {
        // Stopped: this read and every other outstanding one are given up.
        {
            std::lock_guard lock(shared_->mutex);
            Abandon(*shared_, *request);
            std::erase(shared_->pending, request);
        }
        DropOutstanding();
        return FolderListing::Stopped();
    }
    FolderListing result;
    {
        std::lock_guard lock(shared_->mutex);
        if (request->error != 0) return FolderListing::Failed(ListFailure{false, SystemErrorText(request->error)});
        result = std::move(request->result);
    }
    // A reader that hands the listing over whole: the last part, or the only one.
    if (result.Outcome() == ListOutcome::Read && !result.subFolders.empty()) onPart(result.subFolders);
    result.subFolders.clear();
    return result;
}

void CALLBACK BackgroundFolderLister::ReadWorker(PTP_CALLBACK_INSTANCE, void* context) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(context));
    const std::shared_ptr<Shared> shared = std::static_pointer_cast<Shared>(start->shared);
    const bool reserve = start->reserve;
    const bool inPool = start->inPool;
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    while (true) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(shared->mutex);
            while (!shared->pending.empty() && shared->pending.front()->abandoned) shared->pending.pop_front();
            // A kept worker takes only what the logic waits for.
            if (shared->pending.empty() || (reserve && !shared->pending.front()->wanted)) {
                --(reserve ? shared->reserveRunning : shared->running);
                break;
            }
            request = shared->pending.front();
            shared->pending.pop_front();
            request->started = true;
            request->byReserve = reserve;
            request->inPool = inPool;
            request->thread = self;
            ++(reserve ? shared->reserveReading : shared->reading);
        }
        // Nothing may leave the pool's callback: whatever the read throws becomes a failed
        // listing, without allocating anything to say so.
        FolderListing result;
        DWORD error = 0;
        try {
            result = shared->read(
                request->folder,
                [&shared, &request](std::vector<std::wstring>& part) {
                    std::lock_guard lock(shared->mutex);
                    if (request->abandoned) return;
                    request->parts.push_back(std::move(part));
                    part = {};
                    if (shared->waiting > 0) SetEvent(shared->wake);
                },
                request->stop);
        } catch (const std::bad_alloc&) {
            error = ERROR_NOT_ENOUGH_MEMORY;
        } catch (...) {
            error = ERROR_INTERNAL_ERROR;
        }
        bool released = false;
        {
            std::lock_guard lock(shared->mutex);
            request->thread = nullptr;
            released = request->released;
            if (!released) --(reserve ? shared->reserveReading : shared->reading);
            if (!request->abandoned) {
                request->result = std::move(result);
                request->error = error;
                request->done = true;
            }
        }
        // A read given up on while it ran has been replaced by another worker already.
        if (released) {
            if (inPool) CountStuckInPool(-1);
            break;
        }
        if (shared->waiting > 0) SetEvent(shared->wake);
        {
            std::lock_guard lock(shared->mutex);
            if (!request->abandoned && shared->readIn && !shared->told) {
                shared->told = true;
                shared->readIn();
            }
        }
    }
    if (self != nullptr) CloseHandle(self);
}

}  // namespace ovaro::folders
