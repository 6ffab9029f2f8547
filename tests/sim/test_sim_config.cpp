#include <gtest/gtest.h>

#include "Link.h"
#include "SimConfig.h"

TEST(SimConfig, DemoBusMatchesTheSampleCatalogue)
{
    TSimConfig config;
    std::string error;
    ASSERT_TRUE(LoadSimConfig(LINVAR_DEMO_CONF, config, error)) << error;
    struct TDevice
    {
        uint8_t Address, Type;
        uint16_t Version;
        uint8_t Identify;
        std::vector<std::tuple<uint8_t, bool, uint16_t>> Params;
    };
    const std::vector<TDevice> expected = {
        {5, 18, 111, 5, {{1, false, 5}, {2, true, 192}, {5, false, 0}, {7, true, 20}}},
        {12,
         9,
         205,
         6,
         {{1, false, 12}, {2, true, 96}, {3, false, 4}, {4, true, 250}, {6, false, 3}}},
        {33,
         24,
         340,
         6,
         {{1, false, 33}, {2, true, 96}, {8, true, 1180}, {9, false, 30}, {10, false, 1}}},
        {90, 7, 100, 6, {{1, false, 90}, {2, true, 96}}},
    };
    ASSERT_EQ(config.Devices.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TSimDevice &d = config.Devices[i];
        EXPECT_EQ(d.Address, expected[i].Address);
        EXPECT_EQ(d.Type, expected[i].Type);
        EXPECT_EQ(d.Version, expected[i].Version);
        EXPECT_EQ(d.IdentifyLength, expected[i].Identify);
        EXPECT_TRUE(d.Faults.empty());
        ASSERT_EQ(d.Params.size(), expected[i].Params.size());
        for (const auto &[index, word, value] : expected[i].Params) {
            ASSERT_EQ(d.Params.count(index), 1u) << int(d.Address) << "/" << int(index);
            EXPECT_EQ(d.Params.at(index).Word, word);
            EXPECT_EQ(d.Params.at(index).Value, value);
        }
    }
}

TEST(SimConfig, DirectivesAndFaults)
{
    TSimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimConfig("latency 010   # comment\n"
                               "char-us 0x10\n"
                               "seed 42\n"
                               "random-fault noise 2.5\n"
                               "device 0 type 0xFF version 65535 identify 127 latency 0\n"
                               "fault late 50 ms 300 on read count 2\n"
                               "fault no-reply on identify\n"
                               "device 1 type 1 version 1.08\n"
                               "device 2 type 1 version 0x6F\n",
                               config, error))
        << error;
    EXPECT_EQ(config.LatencyMs, 10u); // decimal, as written: a leading 0 is no octal prefix
    EXPECT_EQ(config.CharUs, 16u);
    EXPECT_EQ(config.Seed, 42u);
    ASSERT_EQ(config.RandomFaults.size(), 1u);
    EXPECT_EQ(config.RandomFaults[0].Kind, TFaultKind::Noise);
    EXPECT_DOUBLE_EQ(config.RandomFaults[0].Percent, 2.5);
    const TSimDevice &d = config.Devices.at(0);
    EXPECT_EQ(d.Type, 255);
    EXPECT_EQ(d.Version, 65535);
    EXPECT_EQ(d.IdentifyLength, 127);
    EXPECT_EQ(d.LatencyMs, 0);
    ASSERT_EQ(d.Faults.size(), 2u);
    EXPECT_EQ(d.Faults[0].Kind, TFaultKind::Late);
    EXPECT_DOUBLE_EQ(d.Faults[0].Percent, 50);
    EXPECT_EQ(d.Faults[0].Ms, 300u);
    EXPECT_EQ(d.Faults[0].Command, CMD_READ_PARAM);
    EXPECT_EQ(d.Faults[0].Count, 2);
    EXPECT_DOUBLE_EQ(d.Faults[1].Percent, 100);
    EXPECT_EQ(d.Faults[1].Command, CMD_IDENTIFY);
    EXPECT_EQ(config.Devices.at(1).Version, 108); // 08 is no broken octal number
    EXPECT_EQ(config.Devices.at(2).Version, 111);
}

TEST(SimConfig, MistakesNameTheirLine)
{
    const char *bad[] = {
        "bogus 1",
        "device 128 type 1",
        "device 5",
        "device 5 type 256",
        "device 5 type 1 version 1.5",
        "device 5 type 1 identify 4",
        "device 5 type 1 colour red",
        "device 5 type 1\ndevice 5 type 2",
        "param 1 byte 5",
        "device 5 type 1\nparam 1 byte 256",
        "device 5 type 1\nparam 1 long 5",
        "device 5 type 1\nparam 300 word 5",
        "device 5 type 1\nfault melt",
        "device 5 type 1\nfault late ms",
        "device 5 type 1\nfault late 150",
        "device 5 type 1\nfault no-reply on reset",
        "random-fault noise",
        "latency -1",
        "seed",
    };
    for (const char *text : bad) {
        TSimConfig config;
        std::string error;
        EXPECT_FALSE(ParseSimConfig(text, config, error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << text << ": " << error;
    }
    TSimConfig config;
    std::string error;
    EXPECT_FALSE(ParseSimConfig("\n\n# fine\nlatency x\n", config, error));
    EXPECT_EQ(error.rfind("line 4:", 0), 0u) << error;
    EXPECT_FALSE(LoadSimConfig("/nonexistent/demo.conf", config, error));
}
