#pragma once
// A machine's serial ports inside a temporary folder: device files under dev/, a USB
// adapter's sysfs entries under sys/ with its by-id link, and a settings file that maps port
// numbers to them. POSIX only: it makes symbolic links.

#include "tests/support/TempDir.h"

#include <filesystem>
#include <map>
#include <string>

// Makes dev/<tty> a USB adapter (vendor 0403, product 6001, serial A12345, by-id name
// usb-Maker_Converter_A12345-if00-port0, latency timer 16 ms) with its sysfs entries; returns
// the device's path.
inline std::string AddUsbAdapter(const TTempDir &root, const std::string &tty)
{
    namespace fs = std::filesystem;
    fs::create_directories(root.File("dev/serial/by-id"));
    const std::string device = root.Write("dev/" + tty, "");
    fs::create_symlink(device, root.File("dev/serial/by-id/usb-Maker_Converter_A12345-if00-port0"));
    // The tty's device is the adapter's interface; the ids sit on its parent.
    const std::string usb = "sys/devices/pci0/usb1/1-1";
    fs::create_directories(root.File(usb + "/1-1:1.0"));
    root.Write(usb + "/idVendor", "0403\n");
    root.Write(usb + "/idProduct", "6001\n");
    root.Write(usb + "/serial", "A12345\n");
    fs::create_directories(root.File("sys/class/tty/" + tty));
    fs::create_symlink(root.File(usb + "/1-1:1.0"), root.File("sys/class/tty/" + tty + "/device"));
    fs::create_directories(root.File("sys/bus/usb-serial/devices/" + tty));
    root.Write("sys/bus/usb-serial/devices/" + tty + "/latency_timer", "16\n");
    return device;
}

// Writes rs485.conf mapping the numbers of `ports` to their paths and every other number to a
// path where nothing is, so the machine's own ports stay out; returns the file's path.
inline std::string WritePortSettings(const TTempDir &root, const std::map<int, std::string> &ports)
{
    std::string text;
    for (int n = 0; n <= 255; ++n) {
        const auto port = ports.find(n);
        text += "COM" + std::to_string(n) + "=" +
                (port != ports.end() ? port->second : root.File("none")) + "\n";
    }
    return root.Write("rs485.conf", text);
}
