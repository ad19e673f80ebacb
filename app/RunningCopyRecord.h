#pragma once
// The record a running copy keeps in its session's per-user shared block, what a later
// start makes of it, and what a start does once it has looked at the user's names.
// Portable: the platform only says whether a process runs, a window exists, a process
// runs this program and who owns an object.

#include <cstdint>
#include <functional>
#include <optional>

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
    RunInstead,    // it is gone, ending (its window is gone) or not the program: this start runs in its place
    CannotAsk,     // its window exists, but whether its process runs this program cannot be seen
};

struct RunningCopyProbe {
    // The process of an owner word still runs: same id, same start.
    std::function<bool(std::uint64_t owner)> runs;
    // The window still exists and belongs to the process.
    std::function<bool(std::uint32_t window, std::uint32_t processId)> exists;
    // The process runs this program's exe; nullopt when it may not be looked at.
    std::function<std::optional<bool>(std::uint32_t processId)> isProgram;
};

LaterStart DecideLaterStart(std::uint64_t owner, std::uint64_t window, const RunningCopyProbe& probe);

// What a start knows of a copy in its own session, from the session's record.
enum class CopyInSession {
    None,       // no copy named: this start made the record, or the copy named is gone
    Front,      // a copy of the program runs here and its window may be brought forward
    Starting,   // a copy runs here and shows no window yet, or cannot be asked to come forward
    Displaced,  // the process named lives on without its window, or is not the program: replaced
    Unknown,    // the record belongs to another account (or cannot be had) and is ignored
};

// Who holds the user's claim, the one name that all sessions of the user share.
enum class UserClaim {
    Taken,         // this start holds it now
    HeldByCopy,    // a live process of this user holds it
    OtherAccount,  // its object belongs to another account or shuts this user out: ignored
};

enum class StartChoice {
    Run,               // this start is the user's copy
    BringForward,      // ask the copy in this session to come forward, and end
    TellRunning,       // say that the program runs, and end
    TellOtherSession,  // say that it runs in another session of this user, and end
};

// An object of another account never stops a start or makes it speak of a copy: the start
// runs as if the object were not there. "Another session" is said only where this session
// is known to have no copy.
StartChoice DecideStart(CopyInSession copy, UserClaim claim);

}  // namespace ovaro
