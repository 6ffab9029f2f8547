// The device list page as an operator uses it: a sweep of the bus, a second sweep with
// address 0 stopped early, and closing the window while a sweep runs.

#include "tests/operator/OperatorSupport.h"

#include "link/Link.h"

#include <set>

namespace {

using ListPage = TOperatorTest;

// The addresses that frames of `command` went to after the first `from`, retries counted once.
std::set<int> Addresses(const std::vector<TFrame> &frames, size_t from, uint8_t command)
{
    std::set<int> addresses;
    for (size_t i = from; i < frames.size(); ++i) {
        if (frames[i].Command == command)
            addresses.insert(frames[i].Address);
    }
    return addresses;
}

} // namespace

TEST_F(ListPage, SweepListsTheDevicesAndStopEndsASweepWithAddressZeroEarly)
{
    TLinvarRun &run = *Run;
    EXPECT_EQ(InkBands(run.Grab(Layout::List)), 0);

    // A whole sweep: 127 first, then 1 to 126; the four devices of the bus are listed.
    ASSERT_TRUE(run.Poll());
    std::vector<TFrame> frames = run.Requests();
    EXPECT_EQ(frames.front().Address, 127);
    EXPECT_EQ(Addresses(frames, 0, CMD_PING).count(0), 0u);
    EXPECT_EQ(Addresses(frames, 0, CMD_PING).size(), 127u);
    EXPECT_EQ(Addresses(frames, 0, CMD_IDENTIFY), std::set<int>({5, 12, 33, 90}));
    EXPECT_TRUE(WaitUntil([&] { return InkBands(run.Grab(Layout::List)) == 4; }))
        << InkBands(run.Grab(Layout::List)) << " entries shown";

    // With address 0 ticked the next sweep polls it; "Стоп" (the same button) ends the sweep
    // early, and the list shows what was found until then.
    run.Click(Layout::ZeroAddressBox);
    const size_t mark = run.Requests().size();
    run.Click(Layout::PollButton);
    ASSERT_TRUE(WaitUntil([&] { return !Select(run.Requests(), mark, CMD_PING, 14).empty(); }));
    run.Click(Layout::PollButton);
    // Stopped: the window is idle again with the first entry chosen.
    ASSERT_TRUE(WaitUntil([&] { return run.ParamsEnabled(); }));
    frames = run.Requests();
    const std::set<int> pinged = Addresses(frames, mark, CMD_PING);
    EXPECT_EQ(frames[mark].Address, 127);
    EXPECT_EQ(pinged.count(0), 1u);
    EXPECT_EQ(pinged.count(126), 0u);
    const size_t found = Addresses(frames, mark, CMD_IDENTIFY).size();
    EXPECT_GE(found, 2u);
    EXPECT_TRUE(WaitUntil([&] { return size_t(InkBands(run.Grab(Layout::List))) == found; }))
        << InkBands(run.Grab(Layout::List)) << " entries shown, " << found << " found";
}

TEST_F(ListPage, ClosingTheWindowDuringASweepEndsTheProgram)
{
    TLinvarRun &run = *Run;
    const size_t mark = run.Requests().size();
    run.Click(Layout::PollButton);
    ASSERT_TRUE(WaitUntil([&] { return !Select(run.Requests(), mark, CMD_PING, 10).empty(); }));

    ProgramMayEnd = true;
    run.X.ClickCloseBox(run.Main);
    ASSERT_TRUE(run.Program.WaitExit(10'000)) << "the program is still running";
    EXPECT_EQ(run.Program.ExitCode(), 0) << run.ProgramOutput();
    EXPECT_TRUE(run.X.WindowsOf(run.Program.Pid()).empty());
    // The sweep ended with the program, not at the last address.
    EXPECT_TRUE(Select(run.Requests(), mark, CMD_PING, 126).empty());
}
