#include "BackgroundFolderLister.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "Win32FolderSources.h"

namespace ovaro::folders {

// One folder's read. All fields but `folder` are guarded by Shared::mutex.
struct BackgroundFolderLister::Request {
    explicit Request(std::wstring f) : folder(std::move(f)) {}
    const std::wstring folder;
    bool started = false;     // a worker has taken it
    bool done = false;        // result is valid
    bool abandoned = false;   // nobody will take the result
    bool released = false;    // abandoned while read: its worker no longer counts
    HANDLE thread = nullptr;  // the worker's thread while it reads, for cancelling
    FolderListing result;
};

// What the workers share with the lister; the last of them to let go frees it.
struct BackgroundFolderLister::Shared {
    explicit Shared(ReadFolderFn r, unsigned n) : read(std::move(r)), readsAtOnce(n) {
        wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~Shared() {
        if (wake != nullptr) CloseHandle(wake);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const ReadFolderFn read;
    const unsigned readsAtOnce;
    HANDLE wake = nullptr;  // set after every finished read
    std::mutex mutex;
    std::deque<std::shared_ptr<Request>> pending;
    unsigned running = 0;  // workers that count against readsAtOnce
    // Whether the window's thread sleeps on `wake`: only then is it set, since setting it
    // is a round trip to the system (under Wine, to its server) for every listing.
    std::atomic<bool> waiting{false};
};

namespace {

// A worker of the platform's pool: reads pending folders until there are none. Nothing
// joins it; a read that hangs holds one pool thread and its own reference, nothing more.
void CALLBACK ReadWorker(PTP_CALLBACK_INSTANCE, void* context);

}  // namespace

BackgroundFolderLister::BackgroundFolderLister(RestrictedWait& wait, ReadFolderFn read, unsigned readsAtOnce)
    : wait_(wait), shared_(std::make_shared<Shared>(
                       read ? std::move(read) : ReadFolderFn([](const std::wstring& f) { return ReadFolder(f); }),
                       std::max(1u, readsAtOnce))) {
    wait_.dropReads = [this] { DropOutstanding(); };
}

BackgroundFolderLister::~BackgroundFolderLister() {
    wait_.dropReads = nullptr;
    DropOutstanding();
}

void BackgroundFolderLister::DropOutstanding() {
    if (requests_.empty()) return;
    std::lock_guard lock(shared_->mutex);
    for (auto& [folder, request] : requests_) {
        request->abandoned = true;
        if (request->started && !request->done && !request->released) {
            // Its worker is stuck in this read: let another take its place, and ask the
            // platform to give up the read (a no-op where it cannot).
            request->released = true;
            --shared_->running;
            if (request->thread != nullptr) CancelSynchronousIo(request->thread);
        }
    }
    requests_.clear();
    // Abandoned reads that no worker took yet are skipped by the workers.
    std::erase_if(shared_->pending, [](const std::shared_ptr<Request>& r) { return r->abandoned; });
}

std::shared_ptr<BackgroundFolderLister::Request> BackgroundFolderLister::Start(const std::wstring& folder, bool first) {
    auto request = std::make_shared<Request>(folder);
    requests_.emplace(folder, request);
    std::lock_guard lock(shared_->mutex);
    if (first)
        shared_->pending.push_front(request);
    else
        shared_->pending.push_back(request);
    return request;
}

namespace {

// Starts workers until readsAtOnce are busy or each pending read has one; shared->mutex held.
void StartWorkers(const std::shared_ptr<BackgroundFolderLister::Shared>& shared) {
    unsigned& running = shared->running;
    while (running < shared->readsAtOnce && running < shared->pending.size()) {
        auto* context = new std::shared_ptr<BackgroundFolderLister::Shared>(shared);
        if (!TrySubmitThreadpoolCallback(&ReadWorker, context, nullptr)) {
            delete context;
            return;
        }
        ++running;
    }
}

}  // namespace

void BackgroundFolderLister::Prefetch(const std::vector<std::wstring>& folders) {
    if (wait_.Stopped()) return;
    std::size_t n = 0;
    for (const auto& folder : folders) {
        if (!requests_.count(folder)) Start(folder, false);
        // 10,000 children of one node are announced at once.
        if ((++n & 255) == 0) {
            wait_.Breathe();
            if (wait_.Stopped()) return;
        }
    }
    std::lock_guard lock(shared_->mutex);
    StartWorkers(shared_);
}

FolderListing BackgroundFolderLister::List(std::wstring_view folderView) {
    // Let the window answer between many quick listings as well.
    wait_.Breathe();
    if (wait_.Stopped()) return {};
    const std::wstring folder(folderView);
    std::shared_ptr<Request> request;
    if (const auto it = requests_.find(folder); it != requests_.end()) {
        request = it->second;
        std::lock_guard lock(shared_->mutex);
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
    }
    {
        std::lock_guard lock(shared_->mutex);
        StartWorkers(shared_);
    }
    const auto done = [&] {
        std::lock_guard lock(shared_->mutex);
        return request->done;
    };
    // Most listings take well under a millisecond: a moment's yielding picks them up
    // without putting the thread to sleep and waking it again.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(500);
    while (!done() && std::chrono::steady_clock::now() < spinUntil) std::this_thread::yield();
    shared_->waiting = true;
    wait_.WaitFor(shared_->wake, done);
    shared_->waiting = false;
    // Handed over or stopped: in either case it is no longer outstanding.
    if (const auto it = requests_.find(folder); it != requests_.end() && it->second == request) requests_.erase(it);
    std::lock_guard lock(shared_->mutex);
    if (!request->done || request->abandoned) {
        request->abandoned = true;
        return {};
    }
    return std::move(request->result);
}

namespace {

void CALLBACK ReadWorker(PTP_CALLBACK_INSTANCE, void* context) {
    using Shared = BackgroundFolderLister::Shared;
    const std::unique_ptr<std::shared_ptr<Shared>> holder(static_cast<std::shared_ptr<Shared>*>(context));
    const std::shared_ptr<Shared> shared = *holder;
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    while (true) {
        std::shared_ptr<BackgroundFolderLister::Request> request;
        {
            std::lock_guard lock(shared->mutex);
            while (!shared->pending.empty() && shared->pending.front()->abandoned) shared->pending.pop_front();
            if (shared->pending.empty()) {
                --shared->running;
                break;
            }
            request = shared->pending.front();
            shared->pending.pop_front();
            request->started = true;
            request->thread = self;
        }
        FolderListing result = shared->read(request->folder);
        bool released = false;
        {
            std::lock_guard lock(shared->mutex);
            request->thread = nullptr;
            released = request->released;
            if (!request->abandoned) {
                request->result = std::move(result);
                request->done = true;
            }
        }
        // A read given up on while it ran has been replaced by another worker already.
        if (released) break;
        if (shared->waiting) SetEvent(shared->wake);
    }
    if (self != nullptr) CloseHandle(self);
}

}  // namespace

}  // namespace ovaro::folders
