#include <gtest/gtest.h>

#include "link/Link.h"
#include "tools/sim/SimBus.h"

namespace {

TSimConfig Config(const std::string &text)
{
    TSimConfig config;
    std::string error;
    EXPECT_TRUE(ParseSimConfig(text, config, error)) << error;
    return config;
}

// The replies to one request sent whole.
std::vector<TSimReply> Ask(TSimBus &bus, const std::vector<uint8_t> &request)
{
    const std::vector<uint8_t> frame = WithCheckByte(request);
    return bus.Feed(frame.data(), frame.size());
}

// The one reply's bytes; empty when there was none.
std::vector<uint8_t> Reply(TSimBus &bus, const std::vector<uint8_t> &request)
{
    const auto replies = Ask(bus, request);
    EXPECT_LE(replies.size(), 1u);
    return replies.empty() ? std::vector<uint8_t>() : replies[0].Bytes;
}

const char *Devices = "latency 3\n"
                      "device 5 type 18 version 1.11 identify 5\n"
                      "param 1 byte 5\nparam 2 word 192\n"
                      "device 12 type 9 version 2.05 latency 9\n";

} // namespace

TEST(SimBus, AnswersAsDevices)
{
    TSimBus bus(Config(Devices));
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_IDENTIFY, 0, 0}),
              (std::vector<uint8_t>{0x05, 0x05, 0x00, 0x12, 0x6F, 0x0A}));
    EXPECT_EQ(Reply(bus, {12, 6, 0, CMD_IDENTIFY, 0, 0}), WithCheckByte({12, 6, 0, 9, 205, 0}));
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}), WithCheckByte({5, 5, 0, CMD_PING, 0}));
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_READ_PARAM, 1, 0}),
              WithCheckByte({5, 5, REPLY_ACCEPTED, CMD_READ_PARAM, 5}));
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_READ_PARAM, 2, 0}),
              WithCheckByte({5, 6, REPLY_ACCEPTED, CMD_READ_PARAM, 192, 0}));
    // Unknown parameter or command: a rejecting status.
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_READ_PARAM, 3, 0})[2], REPLY_REJECTED);
    EXPECT_EQ(Reply(bus, {5, 6, 0, 0x55, 0, 0})[2], REPLY_REJECTED);
    // Nobody at address 7.
    EXPECT_TRUE(Reply(bus, {7, 6, 0, CMD_PING, 0, 0}).empty());
    // Latency per device or bus-wide, counted from the end of the request on the wire.
    EXPECT_EQ(Ask(bus, {5, 6, 0, CMD_PING, 0, 0}).at(0).LatencyUs, 3000u + 7 * 1041);
    EXPECT_EQ(Ask(bus, {12, 6, 0, CMD_PING, 0, 0}).at(0).LatencyUs, 9000u + 7 * 1041);
    EXPECT_EQ(Ask(bus, {12, 7, 0, CMD_WRITE_PARAM, 9, 0, 0}).at(0).LatencyUs, 9000u + 8 * 1041);
}

TEST(SimBus, DevicesHearOnlyTheirOwnLineSpeed)
{
    TSimBus bus(Config("latency 0\n"
                       "device 5 type 18 version 1.11\n"
                       "device 6 type 18 version 1.11 baud 19200\n"));
    // At the default 9600: the device at 9600 answers, the one at 19200 hears nothing.
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    EXPECT_TRUE(Reply(bus, {6, 6, 0, CMD_PING, 0, 0}).empty());
    bus.SetLineSpeed(19200);
    EXPECT_TRUE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    const auto replies = Ask(bus, {6, 6, 0, CMD_PING, 0, 0});
    ASSERT_EQ(replies.size(), 1u);
    // The pace follows the line: the request's wire time at 19200.
    EXPECT_EQ(bus.CharUs(), 520u);
    EXPECT_EQ(replies[0].LatencyUs, 7u * 520);
    // A speed change drops what was half received at the old one.
    const std::vector<uint8_t> ping = WithCheckByte({6, 6, 0, CMD_PING, 0, 0});
    bus.Feed(ping.data(), 3);
    bus.SetLineSpeed(9600);
    bus.SetLineSpeed(19200);
    EXPECT_TRUE(bus.Feed(ping.data() + 3, ping.size() - 3).empty());
    // A char-us of the configuration paces replies at every speed.
    TSimBus fixed(Config("char-us 100\ndevice 6 type 1 baud 115200\n"));
    fixed.SetLineSpeed(115200);
    EXPECT_EQ(fixed.CharUs(), 100u);
}

TEST(SimBus, WritesStoreAndEchoInTheParametersSize)
{
    TSimBus bus(Config(Devices));
    // A byte parameter keeps the low eight bits, even from a word-sized write.
    EXPECT_EQ(Reply(bus, {5, 7, 0, CMD_WRITE_PARAM, 1, 0x2C, 0x01}),
              WithCheckByte({5, 5, REPLY_ACCEPTED, CMD_WRITE_PARAM, 0x2C}));
    EXPECT_EQ(bus.ParamValue(5, 1), 0x2C);
    EXPECT_EQ(Reply(bus, {5, 7, 0, CMD_WRITE_PARAM, 2, 0x34, 0x12}),
              WithCheckByte({5, 6, REPLY_ACCEPTED, CMD_WRITE_PARAM, 0x34, 0x12}));
    EXPECT_EQ(bus.ParamValue(5, 2), 0x1234);
    // A one-byte write to a word parameter.
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_WRITE_PARAM, 2, 0x07}),
              WithCheckByte({5, 6, REPLY_ACCEPTED, CMD_WRITE_PARAM, 0x07, 0x00}));
    EXPECT_EQ(Reply(bus, {5, 7, 0, CMD_WRITE_PARAM, 9, 1, 2})[2], REPLY_REJECTED);
    EXPECT_EQ(bus.ParamValue(5, 9), -1);
}

TEST(SimBus, DevicesMoveOnceTheyHaveRepliedToTheirAddressOrSpeed)
{
    TSimBus bus(Config("device 5 type 18 version 1.11\n"
                       "param 1 byte 5 address\nparam 2 word 96 baud 96=9600,192=19200\n"
                       "device 6 type 18 version 1.11\nparam 1 byte 6 address at-once\n"));
    // The reply leaves from the old address; from then on the device is at the new one.
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_WRITE_PARAM, 1, 8})[0], 5);
    EXPECT_TRUE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    EXPECT_EQ(Reply(bus, {8, 6, 0, CMD_READ_PARAM, 1, 0}),
              WithCheckByte({8, 5, REPLY_ACCEPTED, CMD_READ_PARAM, 8}));
    // One that answers from its new address at once.
    EXPECT_EQ(Reply(bus, {6, 6, 0, CMD_WRITE_PARAM, 1, 10})[0], 10);
    EXPECT_FALSE(Reply(bus, {10, 6, 0, CMD_PING, 0, 0}).empty());
    // A speed the table names: the reply at the old speed, then only the new one hears.
    EXPECT_FALSE(Reply(bus, {8, 7, 0, CMD_WRITE_PARAM, 2, 192, 0}).empty());
    EXPECT_TRUE(Reply(bus, {8, 6, 0, CMD_PING, 0, 0}).empty());
    bus.SetLineSpeed(19200);
    EXPECT_FALSE(Reply(bus, {8, 6, 0, CMD_PING, 0, 0}).empty());
    // A value the table lacks is stored and moves nothing; so is an address beyond 127.
    EXPECT_FALSE(Reply(bus, {8, 7, 0, CMD_WRITE_PARAM, 2, 77, 0}).empty());
    EXPECT_FALSE(Reply(bus, {8, 6, 0, CMD_WRITE_PARAM, 1, 200}).empty());
    EXPECT_FALSE(Reply(bus, {8, 6, 0, CMD_PING, 0, 0}).empty());
    EXPECT_EQ(bus.StateText(), "8 1 200\n8 2 77\n10 1 10\n");
}

TEST(SimBus, FindsFramesInAnUntidyStream)
{
    TSimBus bus(Config(Devices));
    const std::vector<uint8_t> ping = WithCheckByte({5, 6, 0, CMD_PING, 0, 0});
    // Byte by byte, as an untimed client may send it.
    for (size_t i = 0; i + 1 < ping.size(); ++i) {
        EXPECT_TRUE(bus.Feed(&ping[i], 1).empty());
    }
    EXPECT_EQ(bus.Feed(&ping.back(), 1).size(), 1u);
    EXPECT_EQ(bus.Pending(), 0u);

    // Garbage, a cut-off frame, and a frame with a bad check byte before a good one.
    std::vector<uint8_t> stream = {0xFF, 0x80, 0x05, 0x7E, 0x00};
    const std::vector<uint8_t> cut = WithCheckByte({12, 6, 0, CMD_IDENTIFY, 0, 0});
    stream.insert(stream.end(), cut.begin(), cut.begin() + 4);
    std::vector<uint8_t> bad = WithCheckByte({12, 6, 0, CMD_PING, 0, 0});
    bad.back() ^= 1;
    stream.insert(stream.end(), bad.begin(), bad.end());
    stream.insert(stream.end(), ping.begin(), ping.end());
    const auto replies = bus.Feed(stream.data(), stream.size());
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].Bytes[0], 5);

    // Two frames in one chunk get two replies; a pause drops a partial frame.
    std::vector<uint8_t> two = ping;
    two.insert(two.end(), ping.begin(), ping.end());
    EXPECT_EQ(bus.Feed(two.data(), two.size()).size(), 2u);
    bus.Feed(ping.data(), 3);
    bus.Idle();
    EXPECT_TRUE(bus.Feed(ping.data() + 3, ping.size() - 3).empty());

    // Endless garbage is bounded.
    const std::vector<uint8_t> noise(5000, 0x05);
    bus.Feed(noise.data(), noise.size());
    EXPECT_LE(bus.Pending(), 512u);
}

TEST(SimBus, FaultsShapeTheReply)
{
    const std::vector<uint8_t> identify = {5, 6, 0, CMD_IDENTIFY, 0, 0};
    const std::vector<uint8_t> good = WithCheckByte({5, 6, 0, 18, 111, 0});
    auto faulty = [&](const std::string &fault) {
        TSimBus bus(Config("device 5 type 18 version 111\nfault " + fault + "\n"));
        const auto replies = Ask(bus, identify);
        return replies.empty() ? TSimReply() : replies[0];
    };
    EXPECT_TRUE(faulty("no-reply").Bytes.empty());

    std::vector<uint8_t> bytes = faulty("bad-crc").Bytes;
    ASSERT_EQ(bytes.size(), good.size());
    EXPECT_NE(bytes.back(), good.back());

    EXPECT_EQ(faulty("truncate").Bytes, std::vector<uint8_t>(good.begin(), good.end() - 3));

    bytes = faulty("wrong-address").Bytes;
    EXPECT_EQ(bytes[0], 6);
    EXPECT_EQ(Crc8(bytes.data(), bytes.size() - 1), bytes.back());

    bytes = faulty("noise").Bytes;
    ASSERT_GT(bytes.size(), good.size());
    ASSERT_LE(bytes.size(), good.size() + 3);
    EXPECT_TRUE(std::equal(good.begin(), good.end(), bytes.end() - good.size()));

    const TSimReply late = faulty("late ms 250");
    EXPECT_EQ(late.Bytes, good);
    EXPECT_EQ(late.GapUs.back(), 250000u);
    EXPECT_EQ(late.GapUs.front(), 0u);

    bytes = faulty("long").Bytes;
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(bytes[1], 127);
    EXPECT_EQ(Crc8(bytes.data(), 127), bytes[127]);
}

TEST(SimBus, FaultsByCommandCountAndChance)
{
    TSimBus bus(Config("device 5 type 18 version 111\n"
                       "fault no-reply on identify count 2\n"));
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    EXPECT_TRUE(Reply(bus, {5, 6, 0, CMD_IDENTIFY, 0, 0}).empty());
    EXPECT_TRUE(Reply(bus, {5, 6, 0, CMD_IDENTIFY, 0, 0}).empty());
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_IDENTIFY, 0, 0}).empty());

    // A count is spent only on replies the fault changed: not on one already suppressed, one
    // whose check byte is already wrong, or a pause of nothing.
    TSimBus counted(Config("device 5 type 18 version 111\n"
                           "fault no-reply count 1\nfault bad-crc count 1\n"
                           "fault bad-crc count 1\nfault late ms 0 count 1\n"));
    const std::vector<uint8_t> ping = {5, 6, 0, CMD_PING, 0, 0};
    const std::vector<uint8_t> good = WithCheckByte({5, 5, 0, CMD_PING, 0});
    EXPECT_TRUE(Reply(counted, ping).empty());
    for (int i = 0; i < 2; ++i) {
        const std::vector<uint8_t> bad = Reply(counted, ping);
        ASSERT_EQ(bad.size(), good.size()) << i;
        EXPECT_NE(bad.back(), good.back()) << i;
    }
    EXPECT_EQ(Reply(counted, ping), good);

    // Random faults: the seed decides which replies suffer, and runs repeat exactly.
    auto pattern = [](uint32_t seed) {
        TSimConfig config = Config("device 5 type 18 version 111\nrandom-fault no-reply 30\n");
        config.Seed = seed;
        TSimBus bus(config);
        std::string silent;
        for (int i = 0; i < 200; ++i) {
            silent += Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty() ? '1' : '0';
        }
        return silent;
    };
    const std::string a = pattern(1);
    EXPECT_EQ(a, pattern(1));
    EXPECT_NE(a, pattern(2));
    const auto silent = std::count(a.begin(), a.end(), '1');
    EXPECT_GT(silent, 20);
    EXPECT_LT(silent, 120);
}

TEST(SimBus, StateTextHoldsWhatWasWrittenAndReadsBack)
{
    TSimBus bus(Config(Devices));
    Reply(bus, {5, 7, 0, CMD_WRITE_PARAM, 2, 0x34, 0x12});
    const std::string text = bus.StateText();
    EXPECT_EQ(text, "5 1 5\n5 2 4660\n");
    TSimState state;
    ASSERT_TRUE(ParseSimState(text, state));
    EXPECT_EQ(state, (TSimState{{{5, 1}, 5}, {{5, 2}, 4660}}));
    for (const char *bad :
         {"5 1\n", "5 1 2 3\n", "128 1 2\n", "5 256 2\n", "5 1 65536\n", "5 1 x\n"}) {
        EXPECT_FALSE(ParseSimState(bad, state)) << bad;
    }
}

TEST(SimBus, RefusedWritesAndDevicesThatFallSilent)
{
    TSimBus bus(Config("device 5 type 18 version 111\n"
                       "param 1 byte 5 refuse 0x22\nparam 2 word 192 refuse\n"
                       "fault no-reply on ping after 2\n"));
    // The write is refused with the value kept; reads are still accepted.
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_WRITE_PARAM, 1, 9}),
              WithCheckByte({5, 5, 0x22, CMD_WRITE_PARAM, 5}));
    EXPECT_EQ(Reply(bus, {5, 7, 0, CMD_WRITE_PARAM, 2, 1, 2}),
              WithCheckByte({5, 6, REPLY_REJECTED, CMD_WRITE_PARAM, 192, 0}));
    EXPECT_EQ(bus.ParamValue(5, 1), 5);
    EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_READ_PARAM, 1, 0})[2], REPLY_ACCEPTED);
    // Two pings answered, then silence for good; other commands are not counted.
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}).empty()) << i;
    }
    EXPECT_FALSE(Reply(bus, {5, 6, 0, CMD_IDENTIFY, 0, 0}).empty());
}

TEST(SimBus, DevicesSharingAnAddressGarbleEachOther)
{
    const char *shared = "device 5 type 18 version 111\n"
                         "device 5 type 9 version 205 shared\n";
    const std::vector<uint8_t> identify = {5, 6, 0, CMD_IDENTIFY, 0, 0};
    const std::vector<uint8_t> a = WithCheckByte({5, 6, 0, 18, 111, 0});
    const std::vector<uint8_t> b = WithCheckByte({5, 6, 0, 9, 205, 0});
    auto garbled = [&](uint32_t seed) {
        TSimConfig config = Config(shared);
        config.Seed = seed;
        TSimBus bus(config);
        std::vector<std::vector<uint8_t>> replies;
        for (int i = 0; i < 8; ++i) {
            replies.push_back(Reply(bus, identify));
        }
        // Identical replies (a ping) overlap into one clean frame.
        EXPECT_EQ(Reply(bus, {5, 6, 0, CMD_PING, 0, 0}), WithCheckByte({5, 5, 0, CMD_PING, 0}));
        return replies;
    };
    const auto first = garbled(1);
    bool mixed = false;
    for (const std::vector<uint8_t> &reply : first) {
        ASSERT_EQ(reply.size(), a.size());
        for (size_t i = 0; i < reply.size(); ++i) {
            // Every bit comes from one of the two drivers.
            EXPECT_EQ(reply[i] & ~(a[i] | b[i]), 0);
            EXPECT_EQ(~reply[i] & a[i] & b[i], 0);
        }
        mixed = mixed || (reply != a && reply != b);
    }
    EXPECT_TRUE(mixed);
    EXPECT_EQ(first, garbled(1)); // the seed decides, and runs repeat exactly
    EXPECT_NE(first, garbled(2));
}
