// What a later start makes of the running copy's record, with the platform's answers given.
#include <gtest/gtest.h>

#include <set>

#include "RunningCopyRecord.h"

namespace ovaro {
namespace {

TEST(RunningCopyRecord, ALaterStartWaitsBringsForwardOrRunsInsteadNeverEndsSilently) {
    std::set<std::uint64_t> running;                            // owner words whose process runs
    std::set<std::pair<std::uint32_t, std::uint32_t>> windows;  // (window, process) that exist
    const RunningCopyProbe probe{[&](std::uint64_t owner) { return running.count(owner) != 0; },
                                 [&](std::uint32_t w, std::uint32_t p) {
                                     return windows.count({w, p}) != 0;
                                 }};
    const std::uint64_t owner = OwnerWord(1200, 0xABCD1234);
    EXPECT_EQ(ProcessOf(owner), 1200u);
    EXPECT_EQ(LowHalf(owner), 0xABCD1234u);

    // Nothing named yet: the first copy is about to write itself.
    EXPECT_EQ(DecideLaterStart(0, 0, probe), LaterStart::Wait);
    // Named, its process gone (the same id with another start is another process).
    running.insert(OwnerWord(1200, 0x99));
    EXPECT_EQ(DecideLaterStart(owner, WindowWord(1200, 0x10020), probe), LaterStart::RunInstead);
    running.insert(owner);
    // Running, no window yet, or only the window an earlier owner published.
    EXPECT_EQ(DecideLaterStart(owner, 0, probe), LaterStart::Wait);
    windows.insert({0x10020, 800});
    EXPECT_EQ(DecideLaterStart(owner, WindowWord(800, 0x10020), probe), LaterStart::Wait);
    // Its window exists: it comes forward.
    windows.insert({0x10044, 1200});
    EXPECT_EQ(DecideLaterStart(owner, WindowWord(1200, 0x10044), probe), LaterStart::BringForward);
    // Its window is gone while the process lives on: it is ending.
    windows.clear();
    EXPECT_EQ(DecideLaterStart(owner, WindowWord(1200, 0x10044), probe), LaterStart::RunInstead);
}

}  // namespace
}  // namespace ovaro
