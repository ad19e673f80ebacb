// What a later start makes of the running copy's record, with the platform's answers given.
#include <gtest/gtest.h>

#include <optional>
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
                                 },
                                 [](std::uint32_t p) -> std::optional<bool> { return p == 1200; }};
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

// The record may name a live process and its own window that are not the program's (a
// record an earlier owner of the name left, a process id taken over): nothing is posted
// there. Where the process may not be looked at, nothing is posted either.
TEST(RunningCopyRecord, OnlyAWindowOfAProcessRunningThisProgramIsAskedToComeForward) {
    const std::uint64_t owner = OwnerWord(1200, 0x5150);
    const std::uint64_t window = WindowWord(1200, 0x10044);
    std::optional<bool> program = true;
    int asked = 0;
    const RunningCopyProbe probe{[&](std::uint64_t o) { return o == owner; },
                                 [&](std::uint32_t w, std::uint32_t p) { return w == 0x10044 && p == 1200; },
                                 [&](std::uint32_t p) {
                                     ++asked;
                                     EXPECT_EQ(p, 1200u);
                                     return program;
                                 }};
    EXPECT_EQ(DecideLaterStart(owner, window, probe), LaterStart::BringForward);
    program = false;
    EXPECT_EQ(DecideLaterStart(owner, window, probe), LaterStart::RunInstead);
    program = std::nullopt;
    EXPECT_EQ(DecideLaterStart(owner, window, probe), LaterStart::CannotAsk);
    EXPECT_EQ(asked, 3);
    // Not asked about a window of another process than the one named.
    EXPECT_EQ(DecideLaterStart(owner, WindowWord(1300, 0x10044), probe), LaterStart::Wait);
    EXPECT_EQ(asked, 3);
}

// A start once it has read its session's record and tried the user's claim, for every pair:
// another account's object never stops it, "another session" is said only where this
// session is known to have no copy, and a copy of this session is asked or named as before.
TEST(RunningCopyRecord, AStartRunsBringsForwardOrSaysWhereTheCopyRuns) {
    using C = CopyInSession;
    using U = UserClaim;
    using S = StartChoice;
    struct Case {
        C copy;
        U claim;
        S expected;
    };
    const Case cases[] = {
        // No copy here: free or another account's claim runs; a held one is another session's.
        {C::None, U::Taken, S::Run},
        {C::None, U::OtherAccount, S::Run},
        {C::None, U::HeldByCopy, S::TellOtherSession},
        // A process named here lives on without its window: where the holder runs is open.
        {C::Displaced, U::Taken, S::Run},
        {C::Displaced, U::OtherAccount, S::Run},
        {C::Displaced, U::HeldByCopy, S::TellRunning},
        // This session's record is another account's: ignored; nothing known of this session.
        {C::Unknown, U::Taken, S::Run},
        {C::Unknown, U::OtherAccount, S::Run},
        {C::Unknown, U::HeldByCopy, S::TellRunning},
        // A copy here, whatever the claim says: as within one session before.
        {C::Front, U::Taken, S::BringForward},
        {C::Front, U::HeldByCopy, S::BringForward},
        {C::Front, U::OtherAccount, S::BringForward},
        {C::Starting, U::Taken, S::TellRunning},
        {C::Starting, U::HeldByCopy, S::TellRunning},
        {C::Starting, U::OtherAccount, S::TellRunning},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideStart(c.copy, c.claim), c.expected)
            << "copy " << static_cast<int>(c.copy) << ", claim " << static_cast<int>(c.claim);
}

}  // namespace
}  // namespace ovaro
