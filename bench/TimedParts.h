#pragma once
// The control's parts behind stopwatches, for the cases that ask where the time goes: a
// tree of nodes and a folder lister that forward to the real ones and add up the time of
// each kind of call, and note every call that holds the thread for long.

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "FolderTreePorts.h"

namespace ovaro::bench {

struct Account {
    double ms = 0;
    std::size_t calls = 0;
};

// A call that took long, for finding what held the window's thread.
struct LongCall {
    const char* what;
    double from, to;
};

struct Accounts {
    Account handOver, keys, map, insert, redraw, queries;
    Account listing;  // on the workers: guarded by mutex
    std::mutex mutex;
    double paint = 0;
    // Every folder listed and what it held, for the floor.
    std::vector<std::pair<std::wstring, std::size_t>> listed;
    // Calls of at least longCallMs, when it is above 0.
    double longCallMs = 0;
    std::vector<LongCall> longCalls;
    // The window's thread's calls by name (not the workers').
    std::map<std::string, Account> byCall;

    // Zero, for the timed operation after an untimed set-up.
    void Reset() {
        std::lock_guard lock(mutex);
        handOver = keys = map = insert = redraw = queries = listing = Account{};
        paint = 0;
        listed.clear();
        longCalls.clear();
        byCall.clear();
    }
};

class Stopwatch {
public:
    Stopwatch(Account& account, Accounts& all, const char* what)
        : account_(account), all_(all), what_(what), t0_(NowMs()) {}
    ~Stopwatch() {
        const double t1 = NowMs();
        account_.ms += t1 - t0_;
        ++account_.calls;
        Account& named = all_.byCall[what_];
        named.ms += t1 - t0_;
        ++named.calls;
        if (all_.longCallMs > 0 && t1 - t0_ >= all_.longCallMs) all_.longCalls.push_back({what_, t0_, t1});
    }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    Account& account_;
    Accounts& all_;
    const char* what_;
    double t0_;
};

class TimedNodes final : public folders::TreeNodes {
public:
    TimedNodes(folders::TreeNodes& real, Accounts& a) : real_(real), a_(a) {}
    folders::NodeHandle AddLast(folders::NodeHandle parent, std::wstring_view key, std::wstring_view text,
                                folders::Picture picture, folders::Picture selectedPicture,
                                std::wstring* error) override {
        Stopwatch s(a_.insert, a_, "AddLast");
        return real_.AddLast(parent, key, text, picture, selectedPicture, error);
    }
    bool HasChildren(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "HasChildren");
        return real_.HasChildren(node);
    }
    std::size_t ChildCount(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "ChildCount");
        return real_.ChildCount(node);
    }
    folders::NodeHandle FirstChild(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "FirstChild");
        return real_.FirstChild(node);
    }
    folders::NodeHandle NextSibling(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "NextSibling");
        return real_.NextSibling(node);
    }
    folders::NodeHandle Parent(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "Parent");
        return real_.Parent(node);
    }
    std::wstring Text(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "Text");
        return real_.Text(node);
    }
    folders::Picture PictureOf(folders::NodeHandle node) const override { return real_.PictureOf(node); }
    folders::Picture SelectedPictureOf(folders::NodeHandle node) const override {
        return real_.SelectedPictureOf(node);
    }
    std::wstring FullPath(folders::NodeHandle node) const override {
        Stopwatch s(a_.queries, a_, "FullPath");
        return real_.FullPath(node);
    }
    folders::NodeHandle Find(std::wstring_view key) const override {
        Stopwatch s(a_.map, a_, "Find");
        return real_.Find(key);
    }
    folders::NodeHandle Selected() const override {
        Stopwatch s(a_.queries, a_, "Selected");
        return real_.Selected();
    }
    void Select(folders::NodeHandle node) override {
        Stopwatch s(a_.redraw, a_, "Select");
        real_.Select(node);
    }
    void Expand(folders::NodeHandle node) override {
        Stopwatch s(a_.redraw, a_, "Expand");
        real_.Expand(node);
    }
    bool IsExpanded(folders::NodeHandle node) const override { return real_.IsExpanded(node); }
    void EnsureVisible(folders::NodeHandle node) override {
        Stopwatch s(a_.redraw, a_, "EnsureVisible");
        real_.EnsureVisible(node);
    }
    void BeginUpdate() override {
        Stopwatch s(a_.redraw, a_, "BeginUpdate");
        real_.BeginUpdate();
    }
    void EndUpdate() override {
        Stopwatch s(a_.redraw, a_, "EndUpdate");
        real_.EndUpdate();
    }
    void RemoveChildren(folders::NodeHandle node) override { real_.RemoveChildren(node); }

private:
    folders::TreeNodes& real_;
    Accounts& a_;
};

class TimedLister final : public folders::FolderLister {
public:
    TimedLister(folders::FolderLister& real, Accounts& a) : real_(real), a_(a) {}
    folders::FolderListing List(std::wstring_view folder) override {
        folders::FolderListing listing;
        {
            Stopwatch s(a_.handOver, a_, "List");
            listing = real_.List(folder);
        }
        a_.listed.emplace_back(std::wstring(folder), listing.subFolders.size());
        return listing;
    }
    // The parts are added inside the wait: their time counts as adding, not as hand-over.
    folders::FolderListing ListInParts(std::wstring_view folder, const folders::ListingPart& onPart) override {
        std::size_t count = 0;
        double adding = 0;
        folders::FolderListing listing;
        {
            Stopwatch s(a_.handOver, a_, "ListInParts");
            listing = real_.ListInParts(folder, [&](std::vector<std::wstring>& part) {
                count += part.size();
                const double t0 = NowMs();
                onPart(part);
                adding += NowMs() - t0;
            });
        }
        a_.handOver.ms -= adding;
        a_.listed.emplace_back(std::wstring(folder), count);
        return listing;
    }
    void Prefetch(const std::vector<std::wstring>& folders) override {
        Stopwatch s(a_.handOver, a_, "Prefetch");
        real_.Prefetch(folders);
    }

private:
    folders::FolderLister& real_;
    Accounts& a_;
};

}  // namespace ovaro::bench
