#include "tools/cli/CliDiffCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliSetFile.h"
#include "tools/cli/CliTarget.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "values/ValueText.h"

#include <iostream>
#include <vector>

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
