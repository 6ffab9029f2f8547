#include "link/PortList.h"

#include "link/WindowsApi.h"

#include <map>

#include "link/NetAddress.h"
#include "link/SettingsFile.h"

namespace {

// "\\.\COM7" names the DOS device "COM7"; other paths (a settings file's mapping) are files.
constexpr const char DevicePrefix[] = "\\\\.\\";

bool Describe(uint8_t number, const std::string &path, TPortInfo &info)
{
    info = TPortInfo();
    info.Number = number;
    info.Path = path;
    if (path.empty()) {
        return false;
    }
    if (DescribeNetPort(path, info)) {
        return true;
    }

    if (path.rfind(DevicePrefix, 0) == 0) {
        // The object manager knows which driver's device the name leads to
        // ("\Device\Serial0", "\Device\VCP0"); a name it does not know has no device.
        char target[512] = {};
        const std::string name = path.substr(sizeof DevicePrefix - 1);
        if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) {
            return false;
        }
        info.Device = target;
    } else {
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        info.Device = path;
    }
    // Windows has no per-user rights on serial ports; a port is refused only while another
    // program holds it, and finding that out would mean opening it, which resets some
    // converters. So the port counts as one this user may open.
    info.Accessible = true;
    return true;
}

} // namespace

std::vector<TPortInfo> ListPorts(const TPortRoots &)
{
    std::vector<TPortInfo> ports;
    for (int number = 0; number <= 255; ++number) {
        TPortInfo info;
        const auto n = static_cast<uint8_t>(number);
        if (Describe(n, ComPortPath(n), info)) {
            ports.push_back(info);
        }
    }
    return ports;
}

bool DescribePort(uint8_t number, TPortInfo &info, const TPortRoots &)
{
    return Describe(number, ComPortPath(number), info);
}
