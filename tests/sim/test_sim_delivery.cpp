#include <gtest/gtest.h>

#include "link/Link.h"
#include "tools/sim/SimDelivery.h"

namespace {

constexpr int64_t CharNs = 1041'000;

// All the bytes of a plan, in order.
std::vector<uint8_t> Joined(const TSimDeliveryPlan &plan)
{
    std::vector<uint8_t> bytes;
    for (const TSimWrite &write : plan.Writes) {
        bytes.insert(bytes.end(), write.Bytes.begin(), write.Bytes.end());
    }
    return bytes;
}

} // namespace

TEST(SimDelivery, EchoComesBeforeTheReplyAndBatchesKeepTheTimersTicks)
{
    const std::vector<uint8_t> request = WithCheckByte({5, 6, 0, CMD_PING, 0, 0});
    TSimReply reply;
    reply.LatencyUs = 2000 + 7 * 1041;
    reply.Bytes = WithCheckByte({5, 5, 0, CMD_PING, 0});
    reply.GapUs.assign(reply.Bytes.size(), 0);
    std::vector<uint8_t> both = request;
    both.insert(both.end(), reply.Bytes.begin(), reply.Bytes.end());
    const int64_t now = 1'000'003'000; // between two ticks of any timer

    // No echo, no batches: the reply alone, a byte a character time.
    TSimDeliveryPlan plan = PlanDelivery(now, request, {reply}, {1041, false, 0});
    EXPECT_EQ(Joined(plan), reply.Bytes);
    ASSERT_EQ(plan.Writes.size(), reply.Bytes.size());
    EXPECT_EQ(plan.Writes[0].AtNs, now + 2'000'000 + 7 * CharNs);
    EXPECT_FALSE(plan.Writes[0].AfterReplyStart);
    EXPECT_TRUE(plan.Writes[1].AfterReplyStart);
    EXPECT_EQ(plan.EndNs, now + 2'000'000 + 13 * CharNs);

    // With the echo: the request first, at the pace it leaves the wire, then the reply.
    plan = PlanDelivery(now, request, {reply}, {1041, true, 0});
    EXPECT_EQ(Joined(plan), both);
    EXPECT_EQ(plan.Writes[1].AtNs - plan.Writes[0].AtNs, CharNs);
    EXPECT_FALSE(plan.Writes[6].AfterReplyStart);
    EXPECT_FALSE(plan.Writes[7].AfterReplyStart);
    EXPECT_TRUE(plan.Writes[8].AfterReplyStart);
    // An address nobody answers still echoes.
    EXPECT_EQ(Joined(PlanDelivery(now, request, {}, {1041, true, 0})), request);

    // With 16 ms batches: every write on a tick, no byte before its last bit, none held
    // past the next tick.
    plan = PlanDelivery(now, request, {reply}, {1041, true, 16});
    EXPECT_EQ(Joined(plan), both);
    EXPECT_LT(plan.Writes.size(), both.size());
    for (const TSimWrite &write : plan.Writes) {
        EXPECT_EQ(write.AtNs % 16'000'000, 0);
    }
    EXPECT_GE(plan.Writes.front().AtNs, now + CharNs);
    EXPECT_LT(plan.Writes.front().AtNs, now + CharNs + 16'000'000);
    const int64_t lastReceived = now + 2'000'000 + 13 * CharNs;
    EXPECT_GE(plan.Writes.back().AtNs, lastReceived);
    EXPECT_LT(plan.Writes.back().AtNs, lastReceived + 16'000'000);
}
