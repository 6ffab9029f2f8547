#include "link/PortList.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "link/NetAddress.h"
#include "link/NumberText.h"
#include "link/SettingsFile.h"

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute file, without its line end; empty when unreadable.
std::string Attribute(const fs::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// A USB serial adapter's tty sits a few levels below the USB device that carries the ids:
// the interface, then the device. Walks up from the tty's device to the first folder with a
// vendor id, never above the sysfs root.
void ReadUsbIds(const std::string &deviceName, const TPortRoots &roots, TPortInfo &info)
{
    std::error_code error;
    const fs::path sys = fs::weakly_canonical(roots.Sys, error);
    fs::path folder =
        fs::canonical(fs::path(roots.Sys) / "class/tty" / deviceName / "device", error);
    for (int level = 0; !error && level < 6 && folder.has_relative_path(); ++level) {
        if (fs::exists(folder / "idVendor", error)) {
            info.UsbVendor = Attribute(folder / "idVendor");
            info.UsbProduct = Attribute(folder / "idProduct");
            info.UsbSerial = Attribute(folder / "serial");
            return;
        }
        if (folder == sys) {
            return;
        }
        folder = folder.parent_path();
    }
}

// The latency timer a USB serial driver publishes for the tty (ms; -1: none): how long the
// chip holds received bytes before it hands them over.
int LatencyTimer(const std::string &deviceName, const TPortRoots &roots)
{
    const std::string text =
        Attribute(fs::path(roots.Sys) / "bus/usb-serial/devices" / deviceName / "latency_timer");
    int64_t ms = 0;
    return ParseNumber(text, 0, 255, ms) ? static_cast<int>(ms) : -1;
}

// The by-id entry that leads to `device`, if any.
std::string ByIdName(const fs::path &device, const TPortRoots &roots)
{
    std::error_code error;
    for (fs::directory_iterator it(roots.ById, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code resolved;
        if (fs::canonical(it->path(), resolved) == device && !resolved) {
            return it->path().filename().string();
        }
    }
    return {};
}

bool Describe(uint8_t number, const std::string &path, const TPortRoots &roots, TPortInfo &info)
{
    info = TPortInfo();
    info.Number = number;
    info.Path = path;
    if (DescribeNetPort(path, info)) {
        return true;
    }
    std::error_code error;
    if (path.empty() || !fs::exists(path, error)) {
        return false;
    }
    const fs::path device = fs::canonical(path, error);
    info.Device = error ? path : device.string();
    info.ById = ByIdName(device, roots);
    ReadUsbIds(device.filename().string(), roots, info);
    info.LatencyTimerMs = LatencyTimer(device.filename().string(), roots);
    info.Accessible = access(path.c_str(), R_OK | W_OK) == 0;
    info.AccessError = info.Accessible ? 0 : errno;
    return true;
}

} // namespace

std::vector<TPortInfo> ListPorts(const TPortRoots &roots)
{
    // One reading of the settings file for all the numbers.
    const std::map<std::string, std::string> values = ReadSettingsValues();
    std::vector<TPortInfo> ports;
    for (int number = 0; number <= 255; ++number) {
        TPortInfo info;
        const auto n = static_cast<uint8_t>(number);
        if (Describe(n, ComPortPathFromValues(values, n), roots, info)) {
            ports.push_back(info);
        }
    }
    return ports;
}

bool DescribePort(uint8_t number, TPortInfo &info, const TPortRoots &roots)
{
    return Describe(number, ComPortPath(number), roots, info);
}
