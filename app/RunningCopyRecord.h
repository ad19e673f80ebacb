#pragma once
// The record a running copy keeps in its per-user shared block, and what a later start
// makes of it. Portable: the platform only says whether a process runs and a window exists.

#include <cstdint>
#include <functional>

namespace ovaro {

// Two 64-bit words, each written whole, so that a reader never sees half of one.
// owner: the process id in the high half, a tag of the process's start time in the low
// half (a process id alone may belong to another process by now); 0 while none is named.
// window: the process id of the copy that published it in the high half, its main window
// in the low half (window handles are 32-bit values on 64-bit Windows too).
inline constexpr std::uint64_t OwnerWord(std::uint32_t processId, std::uint32_t startTag) {
    return (std::uint64_t{processId} << 32) | startTag;
}
inline constexpr std::uint64_t WindowWord(std::uint32_t processId, std::uint32_t window) {
    return (std::uint64_t{processId} << 32) | window;
}
inline constexpr std::uint32_t ProcessOf(std::uint64_t word) { return static_cast<std::uint32_t>(word >> 32); }
inline constexpr std::uint32_t LowHalf(std::uint64_t word) { return static_cast<std::uint32_t>(word); }

enum class LaterStart {
    Wait,          // the running copy is still starting: ask again shortly
    BringForward,  // its window exists: ask it to come forward and end
    RunInstead,    // it is gone, or ending (its window is gone): this start runs in its place
};

struct RunningCopyProbe {
    // The process of an owner word still runs: same id, same start.
    std::function<bool(std::uint64_t owner)> runs;
    // The window still exists and belongs to the process.
    std::function<bool(std::uint32_t window, std::uint32_t processId)> exists;
};

LaterStart DecideLaterStart(std::uint64_t owner, std::uint64_t window, const RunningCopyProbe& probe);

}  // namespace ovaro
