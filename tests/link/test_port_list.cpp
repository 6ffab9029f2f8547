// The port list on a machine of the test's own: device files, a sysfs tree and a by-id folder
// in a temporary folder, port numbers mapped to them through the settings file.

#include <filesystem>

#include "LinkTestSupport.h"
#include "PortList.h"

namespace fs = std::filesystem;

TEST(PortList, TellsWhatStandsBehindEachNumber)
{
    TTempDir root("linvar-ports-");
    ASSERT_FALSE(root.Path.empty());
    fs::create_directories(root.File("dev/serial/by-id"));
    const std::string usb = root.Write("dev/ttyUSB7", "");
    const std::string plain = root.Write("dev/ttyS9", "");
    fs::create_symlink(usb, root.File("dev/serial/by-id/usb-Maker_Converter_A12345-if00-port0"));
    // A USB adapter: the tty's device is the interface, the ids sit on its parent.
    const std::string usbDevice = root.File("sys/devices/pci0/usb1/1-1");
    fs::create_directories(usbDevice + "/1-1:1.0");
    root.Write("sys/devices/pci0/usb1/1-1/idVendor", "0403\n");
    root.Write("sys/devices/pci0/usb1/1-1/idProduct", "6001\n");
    root.Write("sys/devices/pci0/usb1/1-1/serial", "A12345\n");
    fs::create_directories(root.File("sys/class/tty/ttyUSB7"));
    fs::create_symlink(usbDevice + "/1-1:1.0", root.File("sys/class/tty/ttyUSB7/device"));
    // A port behind a link to it, as the settings file may name one.
    fs::create_symlink(plain, root.File("dev/rs485"));

    const std::string settings =
        root.Write("rs485.conf", "COM3=" + usb + "\nCOM4=" + root.File("dev/rs485") +
                                     "\nCOM5=" + root.File("dev/missing") + "\n");
    for (int n = 0; n <= 255; ++n) {
        if (n < 3 || n > 5) {
            std::ofstream(settings, std::ios::app)
                << "COM" << n << "=" << root.File("none") << "\n";
        }
    }
    TSettingsEnv env(settings);
    const TPortRoots roots{root.File("sys"), root.File("dev/serial/by-id")};

    const std::vector<TPortInfo> ports = ListPorts(roots);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].Number, 3);
    EXPECT_EQ(ports[0].Path, usb);
    EXPECT_EQ(ports[0].ById, "usb-Maker_Converter_A12345-if00-port0");
    EXPECT_EQ(ports[0].UsbVendor, "0403");
    EXPECT_EQ(ports[0].UsbProduct, "6001");
    EXPECT_EQ(ports[0].UsbSerial, "A12345");
    EXPECT_TRUE(ports[0].Accessible);

    EXPECT_EQ(ports[1].Number, 4);
    EXPECT_EQ(ports[1].Device, fs::canonical(plain).string());
    EXPECT_TRUE(ports[1].ById.empty());
    EXPECT_TRUE(ports[1].UsbVendor.empty());

    TPortInfo info;
    EXPECT_FALSE(DescribePort(5, info, roots));
    EXPECT_EQ(info.Path, root.File("dev/missing"));
    ASSERT_TRUE(DescribePort(3, info, roots));
    EXPECT_EQ(info.UsbSerial, "A12345");
}
