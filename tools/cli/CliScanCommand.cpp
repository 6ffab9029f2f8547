#include "tools/cli/CliScanCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "workers/DeviceListEntry.h"
#include "workers/GarbledAddress.h"
#include "workers/StartWorker.h"
#include "workers/TMessageQueue.h"
#include "workers/TSearchThread.h"
#include "workers/TSpeedSearchThread.h"

#include <algorithm>
#include <iostream>
#include <vector>

int RunScan(const TCliOptions &options)
{
    std::vector<DeviceListEntry> found;
    std::vector<TGarbledAddress> garbled;
    size_t polled = 0; // one progress message per address done
    // Several speeds are searched in turn, each device reported at the one it answered at.
    const bool acrossSpeeds = options.BaudRates.size() > 1;
    uint32_t speed = BaudRate;
    const uint8_t start = options.ZeroAddress ? 0 : 1;
    const uint8_t last = options.LastAddress.value_or(126);
    RunWorker(
        [&](TWorkerHandle &handle) {
            if (acrossSpeeds)
                return StartWorker<TSpeedSearchThread>(handle, start, last, options.BaudRates);
            return StartWorker<TSearchThread>(handle, start, last, options.Fast);
        },
        WM_SEARCHDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_DEVICEFOUND) {
                found.push_back(DeviceListEntry::FromDeviceFound(message.WParam, message.LParam));
                found.back().BaudRate = speed;
            } else if (message.Message == WM_GARBLED) {
                garbled.push_back(TGarbledAddress::FromMessage(message.WParam, message.LParam));
            } else if (message.Message == WM_PROGRESS) {
                ++polled;
                ReportProgress(options, "scan", message.WParam);
            } else if (message.Message == WM_SEARCHSPEED) {
                speed = message.WParam;
                polled = 0;
            } else if (message.Message == WM_DEVICEAGAIN && message.WParam < found.size()) {
                const DeviceListEntry &entry = found[message.WParam];
                ReportError("warning: the device at address " + std::to_string(entry.Address()) +
                            " answered at " + std::to_string(entry.BaudRate) + " and at " +
                            std::to_string(message.LParam) + " baud; listed once, at " +
                            std::to_string(entry.BaudRate));
            }
        });
    EndProgress();
    // An address that garbled at one speed and answered at another is the device found there;
    // at each address only the first garbled speed is told.
    std::erase_if(garbled, [&](const TGarbledAddress &address) {
        return std::any_of(found.begin(), found.end(), [&](const DeviceListEntry &entry) {
            return entry.Address() == address.Address;
        });
    });
    for (size_t i = 1; i < garbled.size(); ++i) {
        const auto earlier =
            std::find_if(garbled.begin(), garbled.begin() + i, [&](const TGarbledAddress &address) {
                return address.Address == garbled[i].Address;
            });
        if (earlier != garbled.begin() + i)
            garbled.erase(garbled.begin() + i--);
    }
    // The sweep polls 127 first, then upwards from the start address.
    const std::string during = acrossSpeeds ? "scan at " + std::to_string(speed) + " baud" : "scan";
    const std::string lost =
        !PortLost()   ? std::string()
        : polled == 0 ? PortLostText(during + " at address 127")
                      : PortLostText(during + " after address " +
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
            device["baud"] = entry.BaudRate;
            devices.push_back(std::move(device));
        }
        json["devices"] = std::move(devices);
        TJson unclear = TJson::array();
        for (const auto &address : garbled) {
            TJson verdicts = TJson::array();
            for (const TAttemptVerdict verdict : address.Verdicts)
                verdicts.push_back(VerdictName(verdict));
            unclear.push_back({{"address", address.Address}, {"verdicts", std::move(verdicts)}});
        }
        json["garbled"] = std::move(unclear);
        PrintJson(json);
    } else if (found.empty()) {
        std::cout << (lost.empty() ? "No devices found.\n" : "No devices found before the loss.\n");
    } else {
        // The speed column only when the speeds differ from one device to the next.
        std::cout << (acrossSpeeds ? "Baud    " : "") << "Address  Type  Firmware  Name\n";
        for (const auto &entry : found) {
            if (acrossSpeeds)
                std::cout << PadRight(std::to_string(entry.BaudRate), 8);
            std::cout << PadRight(std::to_string(entry.Address()), 9)
                      << PadRight(std::to_string(entry.Type()), 6)
                      << PadRight(FormatVersion(entry.Version()), 10)
                      << Cp1251ToUtf8(TypeName(entry.Type())) << '\n';
        }
    }
    // Something answered there, but never in a way the list could show.
    for (const auto &address : garbled)
        ReportError("warning: " + GarbledText(address));
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
    return ExitOk;
}
