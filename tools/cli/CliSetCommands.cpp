// The commands that use a parameter set file: write --from (one device or several) and diff.

#include "tools/cli/CliRun.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "values/ValueText.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TMessageQueue.h"

#include <iostream>

namespace {

// Reads the options' set file; false after saying why.
bool ReadSet(const TCliOptions &options, TParameterSet &set)
{
    TSetError fault;
    if (ReadParameterSetFile(options.SetFile, set, fault))
        return true;
    ReportError(options.SetFile + ": " + SetFaultText(fault));
    return false;
}

// Checks the set against the target's list; false after saying why. Parameters the list
// lacks are pointed out, since the device keeps its own values for them.
bool PlanFor(const TCliOptions &options, const TParameterSet &set, const TTarget &target,
             const std::string &prefix, TSetPlan &plan)
{
    TSetError fault;
    if (!PlanParameterSet(set, target.Identity.Type, DeviceParameters, plan, fault)) {
        ReportError(prefix + options.SetFile + ": " + SetFaultText(fault));
        return false;
    }
    if (!plan.Skipped.empty()) {
        std::string names;
        for (const std::string &name : plan.Skipped)
            names += (names.empty() ? "'" : ", '") + name + "'";
        ReportError("warning: " + prefix + "the device (firmware " +
                    FormatVersion(target.Identity.Version) + ") has no parameter " + names +
                    " of the set (firmware " + FormatVersion(set.Device.Version) + "); skipped");
    }
    return true;
}

// Reads every parameter of DeviceParameters from the target.
void ReadTarget(const TCliOptions &options, const TTarget &target)
{
    RunWorker(
        [&](TWorkerHandle &handle) { return StartWorker<TLoadThread>(handle, target.Address); },
        WM_LOADDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS)
                ReportProgress(options, "read", message.WParam);
        });
    EndProgress(options);
}

// A device that failed before anything was written to it, as the JSON result names it.
TJson FailedBeforeWriting(uint8_t address, const std::string &error)
{
    return TJson{{"complete", true}, {"address", address}, {"error", error}};
}

} // namespace

int RunWriteFrom(const TCliOptions &options)
{
    TParameterSet set;
    if (!ReadSet(options, set))
        return ExitUsage;
    const bool several = options.Addresses.size() > 1;
    TJson devices = TJson::array();
    std::vector<std::string> summary;
    int status = ExitOk;
    for (const uint8_t address : options.Addresses) {
        if (InterruptRequested())
            break;
        // One device's failure is reported and the next one is tried: the others of an
        // installation should not wait for one that is broken or switched off.
        const std::string prefix = several ? "address " + std::to_string(address) + ": " : "";
        TTarget target;
        std::string error;
        int result = ResolveDevice(options, address, target, error);
        TSetPlan plan;
        if (result != ExitOk) {
            ReportError(prefix + error);
        } else if (!PlanFor(options, set, target, prefix, plan)) {
            error = "the set does not fit the device";
            result = ExitUsage;
        }
        TJson report;
        if (result == ExitOk) {
            ApplySetPlan(plan, DeviceParameters);
            result = WriteTarget(options, target, prefix, report);
            report["result"] = result == ExitOk ? "written" : "failed";
        } else {
            report = FailedBeforeWriting(address, error);
            report["result"] = "failed";
        }
        devices.push_back(std::move(report));
        summary.push_back("address " + std::to_string(address) + ": " +
                          (result == ExitOk ? "written" : "failed"));
        if (result == ExitPortLost)
            return ExitPortLost; // every further device would fail the same way
        if (result != ExitOk)
            status = several ? ExitDeviceFailure : result;
    }
    if (options.Json) {
        PrintJson(several ? TJson{{"devices", std::move(devices)}} : devices.at(0));
    } else if (several) {
        for (const std::string &line : summary)
            std::cout << line << '\n';
    }
    return status;
}

int RunDiff(const TCliOptions &options)
{
    TParameterSet set;
    if (!ReadSet(options, set))
        return ExitUsage;
    TTarget target;
    if (const int status = ResolveFirstDevice(options, target); status != ExitOk) {
        // diff's 1 says "differs"; a device that cannot be read gets a status of its own.
        return status == ExitDeviceFailure ? ExitUnread : status;
    }
    TSetPlan plan;
    if (!PlanFor(options, set, target, {}, plan))
        return ExitUsage;
    ReadTarget(options, target);
    const std::string lost = PortLost()
                                 ? PortLostText("read of address " + std::to_string(target.Address))
                                 : std::string();

    TJson differences = TJson::array();
    std::vector<std::string> unread;
    std::string lines; // the text output's lines of differences
    for (const auto &[row, fileRaw] : plan.Values) {
        const ParameterDescription &entry = DeviceParameters[row];
        const int32_t deviceRaw = entry.Value;
        if (ReplyOf(entry) != TParameterReply::Valid) {
            unread.push_back(Cp1251ToUtf8(entry.Name));
            continue;
        }
        if (deviceRaw == fileRaw)
            continue;
        lines += PadRight(std::to_string(entry.Index), 5) + PadRight(Cp1251ToUtf8(entry.Name), 34) +
                 "file " + PadRight(FormatParameterValue(fileRaw, entry.Divisor), 10) + "device " +
                 FormatParameterValue(deviceRaw, entry.Divisor) + '\n';
        differences.push_back(TJson{{"index", entry.Index},
                                    {"name", Cp1251ToUtf8(entry.Name)},
                                    {"file_raw", fileRaw},
                                    {"file_value", ShownValue(fileRaw, entry.Divisor)},
                                    {"device_raw", deviceRaw},
                                    {"device_value", ShownValue(deviceRaw, entry.Divisor)}});
    }

    if (options.Json) {
        TJson json = TJson{{"complete", lost.empty()}};
        if (!lost.empty())
            json["error"] = lost;
        json.update(DeviceHead(target));
        json["file"] = options.SetFile;
        json["same"] = lost.empty() && differences.empty() && unread.empty();
        json["differences"] = differences;
        json["unread"] = unread;
        json["skipped"] = plan.Skipped;
        PrintJson(json);
    } else {
        PrintDeviceHead(target);
        std::cout << lines;
        if (lost.empty() && differences.empty())
            std::cout << (unread.empty() ? "No differences.\n"
                                         : "No differences among the parameters read.\n");
    }
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
    for (const std::string &name : unread)
        ReportError("parameter '" + name + "': no valid reply, not compared");
    if (!differences.empty())
        return ExitDeviceFailure;
    return unread.empty() ? ExitOk : ExitUnread;
}
