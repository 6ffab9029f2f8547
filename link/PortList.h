#pragma once
// What stands behind each port number on this machine: the device path, its stable
// /dev/serial/by-id name, the USB converter's vendor, product and serial number, and whether
// this user may open it. So the operator can tell which number is the converter.

#include <cstdint>
#include <string>
#include <vector>

// One port number and what stands behind it.
struct TPortInfo
{
    uint8_t Number = 0;
    std::string Path;        // the path the number names (settings file or default rule)
    std::string Device;      // that path with its symbolic links resolved
    std::string ById;        // its name in the by-id folder, empty when it has none
    std::string UsbVendor;   // four hex digits, empty for a port that is no USB device
    std::string UsbProduct;  // four hex digits
    std::string UsbSerial;   // the converter's serial number, when it reports one
    int LatencyTimerMs = -1; // the USB chip's latency timer; -1 where its driver publishes none
    bool Remote = false;     // a network serial server's port: Path is its address
    bool Accessible = false; // this user may open it for reading and writing
    int AccessError = 0;     // errno of the refusal (EACCES for a group the user is not in)
};

// Where the system's device descriptions live; tests point them at a tree of their own.
// Windows has neither: there a port is described by its DOS device name alone.
struct TPortRoots
{
    std::string Sys = "/sys";
    std::string ById = "/dev/serial/by-id";
};

// The port numbers 0..255 whose device exists, in order.
std::vector<TPortInfo> ListPorts(const TPortRoots &roots = {});
// What stands behind port `number`; false when its device does not exist.
bool DescribePort(uint8_t number, TPortInfo &info, const TPortRoots &roots = {});
