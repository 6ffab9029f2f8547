#include "tools/cli/CliReadCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliTarget.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"

#include <iostream>

namespace {

// How an entry's last exchange went, as JSON names it.
const char *ReplyName(TParameterReply reply)
{
    switch (reply) {
    case TParameterReply::Valid:
        return "valid";
    case TParameterReply::Rejected:
        return "rejected";
    case TParameterReply::NoValidReply:
        return "none";
    case TParameterReply::WriteRefused:
        return "refused";
    case TParameterReply::None:
        break;
    }
    return "not asked";
}

} // namespace

int RunRead(const TCliOptions &options)
{
    TTarget target;
    if (const int status = ResolveFirstDevice(options, target); status != ExitOk)
        return status;
    bool silent = false;
    const size_t done = ReadTarget(options, target, &silent);

    size_t defined = 0;
    size_t unanswered = 0;
    for (const auto &entry : DeviceParameters) {
        defined += entry.Value != VALUE_UNDEFINED;
        unanswered += ReplyOf(entry) == TParameterReply::NoValidReply;
    }
    const std::string lost = PortLost() ? PortLostText(ProgressOf("read", done)) : std::string();

    if (options.Json) {
        // The read's output is a parameter set as it stands, plus how each read went.
        const TSetDevice device{target.Address, target.Identity.Type, target.Identity.Version,
                                CurrentTimeText()};
        TJson json = Completion(lost);
        json.update(ParameterSetDocument(device, DeviceParameters));
        for (size_t i = 0; i < DeviceParameters.size(); ++i)
            json["parameters"][i]["reply"] = ReplyName(ReplyOf(DeviceParameters[i]));
        PrintJson(json);
    } else {
        PrintDeviceHead(target);
        for (const auto &entry : DeviceParameters) {
            std::cout << PadRight(std::to_string(entry.Index), 5)
                      << PadRight(Cp1251ToUtf8(entry.Name), 34)
                      << ValueOrUndefined(entry.Value, entry.Divisor) << '\n';
        }
    }
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
    if (!DeviceParameters.empty() && defined == 0) {
        ReportError("the device at address " + std::to_string(target.Address) +
                    " gave no parameter value");
        return ExitDeviceFailure;
    }
    // Rejections are the device's answer; silence is worth a word.
    if (silent)
        ReportError("warning: " + DeviceSilentText("read", done, DeviceParameters.size()));
    if (unanswered != 0) {
        ReportError("warning: " + std::to_string(unanswered) + " of " +
                    std::to_string(DeviceParameters.size()) +
                    " parameters could not be read (no valid reply)");
    }
    return ExitOk;
}
