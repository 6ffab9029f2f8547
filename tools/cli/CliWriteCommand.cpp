#include "tools/cli/CliWriteCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliSetFile.h"
#include "tools/cli/CliTarget.h"

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/ParameterSize.h"
#include "link/NumberText.h"
#include "values/ValueText.h"

#include <iostream>

namespace {

// Finds the entry an assignment names: by its name, or by its index number.
ParameterDescription *FindEntry(const std::string &name)
{
    const std::string catalogueName = Utf8ToCp1251(name);
    for (auto &entry : DeviceParameters) {
        if (entry.Name == catalogueName)
            return &entry;
    }
    int64_t index = 0;
    if (ParseNumber(name, 0, 0x7FFFFFFF, index, TNumberForm::SignedDecimal)) {
        for (auto &entry : DeviceParameters) {
            if (entry.Index == index)
                return &entry;
        }
    }
    return nullptr;
}

// write NAME=VALUE... [--defaults]: one device.
int WriteAssignments(const TCliOptions &options)
{
    TTarget target;
    if (const int status = ResolveFirstDevice(options, target); status != ExitOk)
        return status;
    if (options.Defaults) {
        for (auto &entry : DeviceParameters)
            entry.Value = entry.Default;
    }
    for (const auto &assignment : options.Assignments) {
        ParameterDescription *entry = FindEntry(assignment.Name);
        if (!entry) {
            ReportError("the device has no parameter '" + assignment.Name + "'");
            return ExitUsage;
        }
        if (!IsWritable(*entry)) {
            ReportError("parameter '" + assignment.Name + "' cannot be written");
            return ExitUsage;
        }
        // Nothing is sent unless every value names exactly what will be written.
        const TValueReading reading = ReadParameterValue(
            assignment.Value, entry->Divisor, options.Raw, entry->Minimum, entry->Maximum);
        if (reading.Verdict != TValueVerdict::Ok) {
            ReportError("parameter '" + assignment.Name + "': " +
                        ValueRefusal(reading, assignment.Value, entry->Divisor, options.Raw,
                                     entry->Minimum, entry->Maximum));
            return ExitUsage;
        }
        entry->Value = reading.Raw;
    }
    TJson report;
    const int status = WriteTarget(options, target, {}, report);
    if (options.Json)
        PrintJson(report);
    return status;
}

// A device that failed before anything was written to it, as the JSON result names it.
TJson FailedBeforeWriting(uint8_t address, const std::string &error)
{
    return TJson{{"complete", true}, {"address", address}, {"error", error}};
}

// write --from FILE: each device in turn.
int WriteSetFile(const TCliOptions &options)
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
        } else if (plan.Values.empty()) {
            // Writing nothing is no success: the set was meant for something else.
            error = "nothing of the set can be written to the device";
            ReportError(prefix + options.SetFile + ": " + error);
            result = ExitUsage;
        }
        TJson report;
        if (result == ExitOk) {
            ApplySetPlan(plan, DeviceParameters);
            result = WriteTarget(options, target, prefix, report);
            report["result"] = result == ExitOk ? "written" : "failed";
        } else {
            report = FailedBeforeWriting(address, error);
            report["complete"] = result != ExitPortLost;
            report["result"] = "failed";
        }
        devices.push_back(std::move(report));
        summary.push_back("address " + std::to_string(address) + ": " +
                          (result == ExitOk ? "written" : "failed"));
        if (result == ExitPortLost) {
            status = ExitPortLost; // every further device would fail the same way
            break;
        }
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

} // namespace

int RunWrite(const TCliOptions &options)
{
    return options.SetFile.empty() ? WriteAssignments(options) : WriteSetFile(options);
}
