// The ports command: the port numbers whose device exists on this machine and what stands
// behind each, so the operator can tell which number is the converter.

#include "tools/cli/CliPortsCommand.h"

#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliWords.h"

#include "link/PortList.h"
#include "link/PortProbe.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// Where the device descriptions are read. LINVAR_PORT_ROOT, when set, names a folder that
// stands for "/" (its sys and dev/serial/by-id), so tests can give a machine of their own.
TPortRoots Roots()
{
    TPortRoots roots;
    const char *root = std::getenv("LINVAR_PORT_ROOT");
    if (root != nullptr && *root != '\0') {
        roots.Sys = std::string(root) + "/sys";
        roots.ById = std::string(root) + "/dev/serial/by-id";
    }
    return roots;
}

TJson PortJson(const TPortInfo &info)
{
    TJson json;
    json["number"] = info.Number;
    json["path"] = info.Path;
    json["device"] = info.Device;
    json["by_id"] = info.ById;
    json["usb_vendor"] = info.UsbVendor;
    json["usb_product"] = info.UsbProduct;
    json["usb_serial"] = info.UsbSerial;
    json["remote"] = info.Remote;
    if (info.LatencyTimerMs >= 0)
        json["latency_timer_ms"] = info.LatencyTimerMs;
    json["accessible"] = info.Accessible;
    if (!info.Accessible)
        json["access_error"] = std::strerror(info.AccessError);
    return json;
}

// "port 3: /dev/ttyUSB0, USB 0403:6001, serial A12345, latency timer 16 ms, by-id usb-...,
// may open"
std::string PortLine(const TPortInfo &info)
{
    std::string line = "port " + std::to_string(info.Number) + ": " + PortSummary(info);
    if (info.LatencyTimerMs >= 0)
        line += ", latency timer " + std::to_string(info.LatencyTimerMs) + " ms";
    if (!info.ById.empty())
        line += ", by-id " + info.ById;
    line += info.Accessible ? std::string(", may open")
                            : ", refused: " + std::string(std::strerror(info.AccessError));
    return line;
}

} // namespace

int RunPorts(const TCliOptions &options)
{
    const std::vector<TPortInfo> ports = ListPorts(Roots());
    bool refused = false;
    for (const TPortInfo &info : ports)
        refused = refused || (!info.Accessible && IsAccessRefusal(info.AccessError));

    if (options.Json) {
        TJson list = TJson::array();
        for (const TPortInfo &info : ports)
            list.push_back(PortJson(info));
        PrintJson(TJson{{"ports", std::move(list)}});
    } else if (ports.empty()) {
        std::cout << "No serial ports found.\n";
    } else {
        for (const TPortInfo &info : ports)
            std::cout << PortLine(info) << '\n';
    }
    if (refused)
        ReportError(PortAccessHint);
    return ExitOk;
}
