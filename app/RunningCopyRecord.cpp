#include "RunningCopyRecord.h"

namespace ovaro {

LaterStart DecideLaterStart(std::uint64_t owner, std::uint64_t window, const RunningCopyProbe& probe) {
    if (owner == 0) return LaterStart::Wait;  // the first copy is about to write its name
    // Gone: another start held the shared block open past its end.
    if (!probe.runs(owner)) return LaterStart::RunInstead;
    // A window published by an earlier owner is not this one's: it has not shown its own yet.
    if (window == 0 || ProcessOf(window) != ProcessOf(owner)) return LaterStart::Wait;
    // A copy never makes a second main window: once the one it published is gone, it is
    // ending, even when it stays stuck in a read for good.
    if (!probe.exists(LowHalf(window), ProcessOf(owner))) return LaterStart::RunInstead;
    // Asked to come forward is only a copy of this program: a record naming another
    // program's window would have this start post to it and end without a word.
    const std::optional<bool> program = probe.isProgram(ProcessOf(owner));
    if (!program) return LaterStart::CannotAsk;
    return *program ? LaterStart::BringForward : LaterStart::RunInstead;
}

StartChoice DecideStart(CopyInSession copy, UserClaim claim) {
    switch (copy) {
        case CopyInSession::Front: return StartChoice::BringForward;
        case CopyInSession::Starting: return StartChoice::TellRunning;
        case CopyInSession::None:
        case CopyInSession::Displaced:
        case CopyInSession::Unknown: break;
    }
    if (claim != UserClaim::HeldByCopy) return StartChoice::Run;
    // Held, while this session has no copy of the program: the copy runs in another session.
    // A displaced process or another account's record leaves open where it runs.
    return copy == CopyInSession::None ? StartChoice::TellOtherSession : StartChoice::TellRunning;
}

}  // namespace ovaro
