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
    return probe.exists(LowHalf(window), ProcessOf(owner)) ? LaterStart::BringForward : LaterStart::RunInstead;
}

}  // namespace ovaro
