// The fault soak in short: whatever the faults do to the replies, the tool never shows a
// value the device did not send, never sends the undefined marker, and ends up holding what
// the devices hold.

#include "tests/soak/FaultSoak.h"

#include <gtest/gtest.h>

TEST(FaultSoak, NoHurtReplyIsTakenAndTheToolEndsWithTheDevicesValues)
{
    TFaultSoakOptions options;
    options.Seed = 20240611;
    options.Transactions = 360;
    TFaultSoakResult result;
    ASSERT_TRUE(RunFaultSoak(options, result)) << result.Error;
    for (const std::string &incident : result.Incidents)
        ADD_FAILURE() << incident;
    EXPECT_GE(result.Transactions, options.Transactions);
    EXPECT_EQ(result.FalseAccepts, 0u);
    EXPECT_EQ(result.Mismatches, 0u);
    EXPECT_EQ(result.UndefinedWritten, 0u);
    // Faults did strike: a soak without retries proves nothing.
    EXPECT_GT(result.RetryRatio(), 0.0) << result.Summary();
    RecordProperty("summary", result.Summary());
}
