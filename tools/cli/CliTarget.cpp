#include "tools/cli/CliTarget.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/ParameterSize.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "values/ValueText.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TMessageQueue.h"
#include "workers/TSaveThread.h"

#include <functional>
#include <iostream>
#include <vector>

namespace {

// Runs the worker that `start` starts on one device until `doneMessage`, showing its progress
// as `what` and handing every message it posts to `onMessage`; returns that last message.
TPostedMessage RunDeviceWorker(const TCliOptions &options, const char *what,
                               const std::function<bool(TWorkerHandle &)> &start,
                               uint32_t doneMessage,
                               const std::function<void(const TPostedMessage &)> &onMessage)
{
    TPostedMessage done;
    RunWorker(start, doneMessage, [&](const TPostedMessage &message) {
        if (message.Message == WM_PROGRESS)
            ReportProgress(options, what, message.WParam);
        if (message.Message == doneMessage)
            done = message;
        onMessage(message);
    });
    EndProgress();
    return done;
}

} // namespace

int ResolveDevice(const TCliOptions &options, uint8_t address, TTarget &target, std::string &error)
{
    target.Address = address;
    if (options.Type) {
        target.Identity.Type = *options.Type;
        target.Identity.Version = *options.Firmware;
    } else if (!ProbeAddress(target.Address, target.Identity)) {
        // A converter pulled out between two devices silences every address after it; that
        // is the cable's fault, not the device's.
        if (PortLost()) {
            error = PortLostText("the probe of address " + std::to_string(target.Address));
            return ExitPortLost;
        }
        error = "no device answers at address " + std::to_string(target.Address);
        return ExitDeviceFailure;
    }
    const auto &id = target.Identity;
    if (!GoDeviceParams(id.Type, id.Version)) {
        error = "the catalogue describes no parameters for type " + std::to_string(id.Type) + " (" +
                Cp1251ToUtf8(TypeName(id.Type)) + "), " +
                (id.Version ? "firmware " + FormatVersion(id.Version)
                            : std::string("no firmware version"));
        return ExitCatalogue;
    }
    FormDeviceParam(id.Type, id.Version);
    return ExitOk;
}

int ResolveFirstDevice(const TCliOptions &options, TTarget &target)
{
    std::string error;
    const int status = ResolveDevice(options, options.Addresses[0], target, error);
    if (status != ExitOk)
        ReportError(error);
    return status;
}

size_t ReadTarget(const TCliOptions &options, const TTarget &target, bool *silent)
{
    size_t done = 0; // one progress message per entry done
    const TPostedMessage end = RunDeviceWorker(
        options, "read",
        [&](TWorkerHandle &handle) { return StartWorker<TLoadThread>(handle, target.Address); },
        WM_LOADDONE,
        [&](const TPostedMessage &message) { done += message.Message == WM_PROGRESS; });
    if (silent != nullptr)
        *silent = end.WParam == DONE_DEVICE_SILENT;
    return done;
}

std::string ProgressOf(const char *what, size_t done)
{
    return std::string(what) + " after " + std::to_string(done) + " of " +
           std::to_string(DeviceParameters.size()) + " parameters";
}

std::string ValueOrUndefined(int32_t raw, int32_t divisor)
{
    return raw == VALUE_UNDEFINED ? std::string("undefined") : FormatParameterValue(raw, divisor);
}

TJson DeviceHead(const TTarget &target)
{
    TJson json;
    json["address"] = target.Address;
    json["type"] = target.Identity.Type;
    json["name"] = Cp1251ToUtf8(TypeName(target.Identity.Type));
    json["firmware"] = FormatVersion(target.Identity.Version);
    json["version"] = target.Identity.Version;
    return json;
}

void PrintDeviceHead(const TTarget &target)
{
    const auto &id = target.Identity;
    std::cout << "Address " << int(target.Address) << ", type " << int(id.Type) << " ("
              << Cp1251ToUtf8(TypeName(id.Type)) << "), firmware " << FormatVersion(id.Version)
              << '\n';
}

int WriteTarget(const TCliOptions &options, TTarget &target, const std::string &prefix,
                TJson &report)
{
    const uint8_t fromAddress = target.Address;
    const uint32_t fromBaudRate = BaudRate;
    // The write worker sends every entry that has a value; remember what was asked for.
    std::vector<int32_t> requested;
    for (const auto &entry : DeviceParameters)
        requested.push_back(IsWritable(entry) ? int32_t(entry.Value) : VALUE_UNDEFINED);

    size_t done = 0; // one progress message below 100 per entry done
    const TPostedMessage end = RunDeviceWorker(
        options, "write",
        [&](TWorkerHandle &handle) {
            return StartWorker<TSaveThread>(handle, target.Address, target.Identity,
                                            options.ZeroAddress);
        },
        WM_SAVEDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS)
                done += message.WParam < 100;
            else if (message.Message == WM_DEVICEMOVED)
                target.Address = static_cast<uint8_t>(message.WParam);
        });
    const uint32_t ending = end.WParam;
    if (ending == DONE_DEVICE_SILENT) {
        ReportError(prefix +
                    "warning: " + DeviceSilentText("write", done, DeviceParameters.size()));
    } else if (ending != 0) {
        ReportError(prefix + "warning: " + DeviceLostText(ending == DONE_ADDRESS_HELD, end.LParam));
    }
    const bool moved = target.Address != fromAddress || BaudRate != fromBaudRate;

    const std::string lost = PortLost() ? PortLostText(ProgressOf("write", done)) : std::string();
    // The worker goes through the entries in order and stops at Ctrl+C or a lost port: those
    // past the one it was at were never sent. On a lost port that one may have gone out.
    const size_t sent = lost.empty() ? done : done + 1;

    // A device no longer found is a failure even when every value it was sent landed.
    int status = ending != 0 ? ExitDeviceFailure : ExitOk;
    report = Completion(lost);
    report.update(DeviceHead(target));
    if (moved) {
        report["baud"] = BaudRate.load();
        report["moved_from"] = TJson{{"address", fromAddress}, {"baud", fromBaudRate}};
    }
    TJson parameters = TJson::array();
    if (!options.Json) {
        PrintDeviceHead(target);
        if (moved)
            std::cout << DeviceMovedText(target.Address, BaudRate, fromAddress, fromBaudRate)
                      << '\n';
    }
    for (size_t i = 0; i < DeviceParameters.size(); ++i) {
        const auto &entry = DeviceParameters[i];
        if (requested[i] == VALUE_UNDEFINED)
            continue;
        const TParameterReply reply = ReplyOf(entry);
        // A refused write keeps the value asked for, but the device holds its own.
        const int32_t stored =
            reply == TParameterReply::WriteRefused ? VALUE_UNDEFINED : int32_t(entry.Value);
        const char *result = "written";
        std::string problem;
        if (i >= sent && reply != TParameterReply::Valid &&
            reply != TParameterReply::WriteRefused) {
            result = "unsent";
            problem = "not sent: the write stopped first";
        } else if (reply == TParameterReply::WriteRefused) {
            result = "rejected";
            problem = "the device rejected the write";
        } else if (reply != TParameterReply::Valid) {
            // The value stays as asked, but nobody knows whether the device took it.
            result = "unconfirmed";
            problem = "the device did not confirm the write";
        } else if (stored != requested[i]) {
            result = "differs";
            problem = "the device stored " + FormatParameterValue(stored, entry.Divisor) +
                      " instead of " + FormatParameterValue(requested[i], entry.Divisor);
        }
        if (!problem.empty()) {
            status = ExitDeviceFailure;
            ReportError(prefix + "parameter '" + Cp1251ToUtf8(entry.Name) + "': " + problem);
        }
        if (options.Json) {
            TJson parameter;
            parameter["index"] = entry.Index;
            parameter["name"] = Cp1251ToUtf8(entry.Name);
            parameter["size"] = Cp1251ToUtf8(entry.Size);
            parameter["divisor"] = entry.Divisor;
            parameter["requested_raw"] = requested[i];
            parameter["requested"] = ShownValue(requested[i], entry.Divisor);
            parameter["raw"] = stored == VALUE_UNDEFINED ? TJson(nullptr) : TJson(stored);
            parameter["value"] = ShownValue(stored, entry.Divisor);
            parameter["result"] = result;
            parameters.push_back(std::move(parameter));
        } else {
            std::cout << PadRight(std::to_string(entry.Index), 5)
                      << PadRight(Cp1251ToUtf8(entry.Name), 34)
                      << PadRight(ValueOrUndefined(stored, entry.Divisor), 12) << result << '\n';
        }
    }
    report["parameters"] = std::move(parameters);
    if (!lost.empty()) {
        ReportError(prefix + lost);
        return ExitPortLost;
    }
    return status;
}
