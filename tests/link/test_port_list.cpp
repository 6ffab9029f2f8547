// The port list on a machine of the test's own: device files, a sysfs tree and a by-id folder
// in a temporary folder, port numbers mapped to them through the settings file.

#include <filesystem>

#include "link/PortList.h"
#include "tests/link/LinkTestSupport.h"
#include "tests/support/FakePortTree.h"

namespace fs = std::filesystem;

TEST(PortList, TellsWhatStandsBehindEachNumber)
{
    TTempDir root("linvar-ports-");
    ASSERT_FALSE(root.Path.empty());
    const std::string usb = AddUsbAdapter(root, "ttyUSB7");
    const std::string plain = root.Write("dev/ttyS9", "");
    // A port behind a link to it, as the settings file may name one.
    fs::create_symlink(plain, root.File("dev/rs485"));

    root.SetEnv("LINVAR_SETTINGS",
                WritePortSettings(
                    root, {{3, usb}, {4, root.File("dev/rs485")}, {5, root.File("dev/missing")}}));
    const TPortRoots roots{root.File("sys"), root.File("dev/serial/by-id")};

    const std::vector<TPortInfo> ports = ListPorts(roots);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].Number, 3);
    EXPECT_EQ(ports[0].Path, usb);
    EXPECT_EQ(ports[0].ById, "usb-Maker_Converter_A12345-if00-port0");
    EXPECT_EQ(ports[0].UsbVendor, "0403");
    EXPECT_EQ(ports[0].UsbProduct, "6001");
    EXPECT_EQ(ports[0].UsbSerial, "A12345");
    EXPECT_EQ(ports[0].LatencyTimerMs, 16);
    EXPECT_TRUE(ports[0].Accessible);

    EXPECT_EQ(ports[1].Number, 4);
    EXPECT_EQ(ports[1].Device, fs::canonical(plain).string());
    EXPECT_TRUE(ports[1].ById.empty());
    EXPECT_TRUE(ports[1].UsbVendor.empty());
    EXPECT_EQ(ports[1].LatencyTimerMs, -1);

    TPortInfo info;
    EXPECT_FALSE(DescribePort(5, info, roots));
    EXPECT_EQ(info.Path, root.File("dev/missing"));
    ASSERT_TRUE(DescribePort(3, info, roots));
    EXPECT_EQ(info.UsbSerial, "A12345");
}
