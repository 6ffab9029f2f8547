#include "tools/cli/CliScanCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "workers/DeviceListEntry.h"
#include "workers/StartWorker.h"
#include "workers/TMessageQueue.h"
#include "workers/TSearchThread.h"

#include <iostream>
#include <vector>

int RunScan(const TCliOptions &options)
{
    std::vector<DeviceListEntry> found;
    size_t polled = 0; // one progress message per address done
    RunWorker(
        [&](TWorkerHandle &handle) {
            return StartWorker<TSearchThread>(handle, options.ZeroAddress ? 0 : 1,
                                              options.LastAddress.value_or(126), options.Fast);
        },
        WM_SEARCHDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_DEVICEFOUND) {
                found.push_back(DeviceListEntry::FromDeviceFound(message.WParam, message.LParam));
            } else if (message.Message == WM_PROGRESS) {
                ++polled;
                ReportProgress(options, "scan", message.WParam);
            }
        });
    EndProgress();
    // The sweep polls 127 first, then upwards from the start address.
    const int start = options.ZeroAddress ? 0 : 1;
    const std::string lost =
        !PortLost()   ? std::string()
        : polled == 0 ? PortLostText("scan at address 127")
                      : PortLostText("scan after address " +
                                     std::to_string(polled == 1 ? 127 : start + int(polled) - 2));

    if (options.Json) {
        TJson json = Completion(lost);
        TJson devices = TJson::array();
        for (const auto &entry : found) {
            TJson device;
            device["address"] = entry.Address();
            device["type"] = entry.Type();
            device["name"] = Cp1251ToUtf8(TypeName(entry.Type()));
            device["firmware"] = FormatVersion(entry.Version());
            device["version"] = entry.Version();
            device["tag"] = entry.Tag;
            device["text"] = entry.TextUtf8();
            device["catalogued"] = GoDeviceParams(entry.Type(), entry.Version());
            devices.push_back(std::move(device));
        }
        json["devices"] = std::move(devices);
        PrintJson(json);
    } else if (found.empty()) {
        std::cout << (lost.empty() ? "No devices found.\n" : "No devices found before the loss.\n");
    } else {
        std::cout << "Address  Type  Firmware  Name\n";
        for (const auto &entry : found) {
            std::cout << PadRight(std::to_string(entry.Address()), 9)
                      << PadRight(std::to_string(entry.Type()), 6)
                      << PadRight(FormatVersion(entry.Version()), 10)
                      << Cp1251ToUtf8(TypeName(entry.Type())) << '\n';
        }
    }
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
    return ExitOk;
}
