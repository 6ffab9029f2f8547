// The child-process runner every test starts programs with: a failed start is told, output
// and exit status come back, and a stop reaches the whole group by its deadline even when
// the child and what it started ignore SIGTERM.

#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// True when process `pid` is gone or only waits to be reaped.
bool Ended(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return true;
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

} // namespace

TEST(ChildProcess, TellsAFailedStartAndBringsBackOutputAndStatus)
{
    TChildProcess missing;
    EXPECT_FALSE(missing.Start({"/nonexistent/linvar-program"}));
    EXPECT_NE(missing.Error().find("No such file"), std::string::npos) << missing.Error();
    EXPECT_FALSE(missing.Running());

    TChildProcess shell;
    TChildOptions options;
    options.Stdout = TChildOutput::Pipe;
    options.Stderr = TChildOutput::Pipe;
    options.Environment = {"LINVAR_CHILD_TEST=given"};
    ASSERT_TRUE(shell.Start({"/bin/sh", "-c", "echo out $LINVAR_CHILD_TEST; echo err >&2; exit 3"},
                            options))
        << shell.Error();
    ASSERT_TRUE(shell.WaitExit(10'000));
    EXPECT_EQ(shell.Out(), "out given\n");
    EXPECT_EQ(shell.Err(), "err\n");
    EXPECT_EQ(shell.ExitCode(), 3);
}

TEST(ChildProcess, StopReachesTheWholeGroupByItsDeadline)
{
    TChildProcess shell;
    TChildOptions options;
    options.Stdout = TChildOutput::Pipe;
    // The shell ignores SIGTERM, and so does the process it starts, which outlives it.
    ASSERT_TRUE(shell.Start({"/bin/sh", "-c", "trap '' TERM; sleep 100 & echo $!; wait"}, options))
        << shell.Error();
    ASSERT_TRUE(shell.WaitForOutput("\n", 10'000));
    const pid_t started = std::stoi(shell.Out());
    EXPECT_EQ(shell.Stop(100), -1); // killed, not ended by itself
    EXPECT_FALSE(shell.Running());
    EXPECT_TRUE(WaitUntil([&] { return Ended(started); }));
}
