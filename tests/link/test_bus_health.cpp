// The bus health added up from attempts: every kind of attempt counted where it belongs, the
// reply times' median, 99th percentile and maximum, the mark of a troubled device.

#include "link/BusHealth.h"
#include "link/Frame.h"

#include <gtest/gtest.h>

namespace {

// An attempt at `address` of `command`, number `attempt`, ending as `verdict`, its reply
// `replyMs` after the request (none when negative) with status `status`.
TTrafficAttempt At(uint8_t address, uint8_t command, int attempt, TAttemptVerdict verdict,
                   double replyMs = -1, uint8_t status = 0, bool echo = false)
{
    TTrafficAttempt a;
    a.Request = {address, 6, 0, command, 1, 0, 0};
    a.Attempt = attempt;
    a.Verdict = verdict;
    a.Echo = echo;
    a.RequestEndNs = 1'000'000'000;
    if (replyMs >= 0) {
        a.Reply = {address, 5, status, command, 0, 0};
        a.ReplyEndNs = a.RequestEndNs + static_cast<int64_t>(replyMs * 1e6);
    }
    return a;
}

} // namespace

TEST(BusHealthTest, CountsEachKindOfAttemptAndTheReplyTimes)
{
    using enum TAttemptVerdict;
    TBusHealth health;
    // Address 3: 100 well-formed reads, 1..100 ms, one refused, two echoed; then a read
    // answered at its third attempt after a time-out and a wrong check byte.
    for (int i = 1; i <= 100; ++i)
        health.Add(At(3, CMD_READ_PARAM, 1, Accepted, i, i == 50 ? 0x21 : REPLY_ACCEPTED, i <= 2));
    health.Add({At(3, CMD_READ_PARAM, 1, NoReply), At(3, CMD_READ_PARAM, 2, WrongCheckByte, 5),
                At(3, CMD_READ_PARAM, 3, Accepted, 200, REPLY_ACCEPTED)});
    // Address 9: pings that go unanswered; a ping's status is no refusal.
    health.Add({At(9, CMD_PING, 1, NoReply), At(9, CMD_PING, 2, TooShort, 1),
                At(9, CMD_PING, 1, Accepted, 4, 0x21)});
    const std::vector<TDeviceHealth> devices = health.Devices();
    ASSERT_EQ(devices.size(), 2u);
    const TDeviceHealth &d = devices[0];
    EXPECT_EQ(d.Address, 3);
    EXPECT_EQ(d.Attempts, 103u);
    EXPECT_EQ(d.Transactions, 101u);
    EXPECT_EQ(d.Valid, 101u);
    EXPECT_EQ(d.Retries, 2u);
    EXPECT_EQ(d.TimeOuts, 1u);
    EXPECT_EQ(d.WrongCheck, 1u);
    EXPECT_EQ(d.Echoes, 2u);
    EXPECT_EQ(d.Refusals, 1u);
    EXPECT_EQ(d.Answered, 102u);
    // 101 valid replies: 1..100 ms and 200 ms; nearest rank.
    EXPECT_DOUBLE_EQ(d.MedianMs, 51);
    EXPECT_DOUBLE_EQ(d.P99Ms, 100);
    EXPECT_DOUBLE_EQ(d.MaxMs, 200);
    EXPECT_FALSE(d.Troubled());
    const TDeviceHealth &p = devices[1];
    EXPECT_EQ(p.Address, 9);
    EXPECT_EQ(p.Attempts, 3u);
    EXPECT_EQ(p.Refusals, 0u);
    EXPECT_DOUBLE_EQ(p.MaxMs, 4);
    EXPECT_NEAR(p.ErrorShare(), 2.0 / 3, 1e-9);
    EXPECT_TRUE(p.Troubled());

    health.Clear();
    EXPECT_TRUE(health.Devices().empty());
}

// Only the latest reply times stay for the percentiles; the maximum stays for good.
TEST(BusHealthTest, KeepsTheLatestReplyTimesAndTheMaximumOfAll)
{
    TBusHealth health;
    health.Add(At(1, CMD_PING, 1, TAttemptVerdict::Accepted, 500));
    for (size_t i = 0; i < TBusHealth::MaxReplyTimes; ++i)
        health.Add(At(1, CMD_PING, 1, TAttemptVerdict::Accepted, 2));
    const TDeviceHealth d = health.Devices().front();
    EXPECT_DOUBLE_EQ(d.P99Ms, 2);
    EXPECT_DOUBLE_EQ(d.MaxMs, 500);
}
