#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "catalogue/DeviceCatalogue.h"
#include "link/Link.h"
#include "tests/support/FuzzInputs.h"
#include "tools/sim/SimBus.h"
#include "tools/sim/SimConfig.h"

// The demo bus and the sample catalogue ship together for a first try without hardware:
// every device the catalogue describes must have each catalogued parameter, of the right
// size and with a value the editor accepts.
TEST(SimConfig, DemoBusFitsTheSampleCatalogue)
{
    TSimConfig config;
    std::string error;
    ASSERT_TRUE(LoadSimConfig(LINVAR_DEMO_CONF, config, error)) << error;
    ASSERT_EQ(LoadParams(LINVAR_TEST_DATA "/../../catalogue/sample/params.cfg").Fault,
              TCatalogueFault::None);
    const std::string byte = Utf8ToCp1251("байт");
    const std::string word = Utf8ToCp1251("слово");
    size_t described = 0;
    for (const TSimDevice &device : config.Devices) {
        SCOPED_TRACE("address " + std::to_string(device.Address));
        EXPECT_TRUE(device.Faults.empty()); // the demo answers cleanly
        if (!GoDeviceParams(device.Type, device.Version)) {
            continue;
        }
        ++described;
        FormDeviceParam(device.Type, device.Version);
        EXPECT_FALSE(DeviceParameters.empty());
        for (const ParameterDescription &p : DeviceParameters) {
            SCOPED_TRACE(Cp1251ToUtf8(p.Name));
            const auto held = device.Params.find(static_cast<uint8_t>(p.Index));
            ASSERT_NE(held, device.Params.end());
            if (p.Size == byte || p.Size == word) {
                EXPECT_EQ(held->second.Word, p.Size == word);
            }
            EXPECT_GE(held->second.Value, p.Minimum);
            EXPECT_LE(held->second.Value, p.Maximum);
        }
    }
    EXPECT_TRUE(config.RandomFaults.empty());
    EXPECT_GT(described, 0u);
    // And one device the catalogue does not know, to show how the window lists it.
    EXPECT_LT(described, config.Devices.size());
}

TEST(SimConfig, DirectivesAndFaults)
{
    TSimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimConfig("latency 010   # comment\n"
                               "char-us 0x10\n"
                               "seed 42\n"
                               "random-fault noise 02.5\n"
                               "device 0 type 0xFF version 65535 identify 127 latency 0\n"
                               "fault late 50 ms 300 on read count 2\n"
                               "fault no-reply on identify\n"
                               "device 1 type 1 version 1.08 baud 0x4B00\n"
                               "param 3 byte 4 refuse\n"
                               "param 4 word 5 refuse 0x22\n"
                               "device 2 type 1 version 0x6F\n"
                               "fault no-reply after 3\n"
                               "device 2 type 9 shared version 1\n"
                               "echo\nusb-latency 16\n",
                               config, error))
        << error;
    EXPECT_TRUE(config.Echo);
    EXPECT_EQ(config.UsbMs, 16u);
    EXPECT_EQ(config.Devices.at(1).Params.at(3).RefuseStatus, REPLY_REJECTED);
    EXPECT_EQ(config.Devices.at(1).Params.at(4).RefuseStatus, 0x22);
    EXPECT_EQ(config.Devices.at(2).Faults.at(0).After, 3);
    EXPECT_FALSE(config.Devices.at(2).Shared);
    EXPECT_TRUE(config.Devices.at(3).Shared);
    EXPECT_EQ(config.Devices.at(3).Type, 9);
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
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(config.Devices.at(1).BaudRate, 19200u);
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
        "device 5 type 1 baud 14400", // the standard speeds only, as the link sets them
        "device 5 type 1 baud 0",
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
        "latency 60001", // as a device's latency, lest the reply's timing wrap
        "latency 4294967295",
        "char-us 1000001",
        "seed",
        "random-fault noise nan", // a chance no comparison can refuse
        "random-fault noise inf",
        "random-fault noise 1e1",
        "random-fault noise 100.5",
        "random-fault noise 2.5.1",
        "device 5 type 1\nfault late ms 60001",
        "echo 1",
        "usb-latency 256",
        "device 5 type 1 shared", // shared with nobody
        "device 5 type 1\nfault no-reply after",
        "device 5 type 1\nparam 1 byte 5 refuse 0x3E", // the accepting status refuses nothing
        "device 5 type 1\nparam 1 byte 5 refuse 256",
        "device 5 type 1\nparam 1 byte 5 keep",
        "device 5 type 1\nparam 1 byte 5 refuse 1 2",
        "device 5 type 1\nparam 1 byte 5 address later",
        "device 5 type 1\nparam 2 word 96 baud",
        "device 5 type 1\nparam 2 word 96 baud 96=14400",
        "device 5 type 1\nparam 2 word 96 baud 96:9600",
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
    EXPECT_TRUE(ParseSimConfig("latency 60000\nchar-us 1000000\nrandom-fault late .5 ms 60000",
                               config, error))
        << error;
    EXPECT_FALSE(LoadSimConfig("/nonexistent/demo.conf", config, error));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// The configuration fuzz target's stored inputs, fed again through its entry point, which
// traps when a configuration reads with a value the simulator cannot act on, or fails
// without naming a line of the text.
TEST(SimConfig, FuzzInputsKeepTheReadersPromises)
{
    EXPECT_GT(FeedFuzzInputs(LINVAR_TEST_DATA "/sim-config-fuzz", LLVMFuzzerTestOneInput), 0);
}
