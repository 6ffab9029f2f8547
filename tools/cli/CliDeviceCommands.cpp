// The commands that talk to the bus: scan, read and write.

#include "tools/cli/CliRun.h"
#include "values/ValueText.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "link/NumberText.h"
#include "workers/DeviceListEntry.h"
#include "workers/GarbledAddress.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TMessageQueue.h"
#include "workers/TSaveThread.h"
#include "workers/TSearchThread.h"

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

bool Writable(const ParameterDescription &entry)
{
    return entry.Size == SizeByte || entry.Size == SizeWord;
}

// "complete": whether the command ran to its end, and the error that ended it early.
TJson Completion(const std::string &error)
{
    TJson json;
    json["complete"] = error.empty();
    if (!error.empty())
        json["error"] = error;
    return json;
}

// "<what> after N of M parameters" for a message about the port's loss.
std::string ProgressOf(const char *what, size_t done)
{
    return std::string(what) + " after " + std::to_string(done) + " of " +
           std::to_string(DeviceParameters.size()) + " parameters";
}

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

int ResolveDevice(const TCliOptions &options, uint8_t address, TTarget &target, std::string &error)
{
    target.Address = address;
    if (options.Type) {
        target.Identity.Type = *options.Type;
        target.Identity.Version = *options.Firmware;
    } else if (!ProbeAddress(target.Address, target.Identity)) {
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

int RunScan(const TCliOptions &options)
{
    std::vector<DeviceListEntry> found;
    std::vector<TGarbledAddress> garbled;
    size_t polled = 0; // one progress message per address done
    RunWorker(
        [&](TWorkerHandle &handle) {
            return StartWorker<TSearchThread>(handle, options.ZeroAddress ? 0 : 1,
                                              options.LastAddress.value_or(126));
        },
        WM_SEARCHDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_DEVICEFOUND) {
                found.push_back(DeviceListEntry::FromDeviceFound(message.WParam, message.LParam));
            } else if (message.Message == WM_GARBLED) {
                garbled.push_back(TGarbledAddress::FromMessage(message.WParam, message.LParam));
            } else if (message.Message == WM_PROGRESS) {
                ++polled;
                ReportProgress(options, "scan", message.WParam);
            }
        });
    EndProgress(options);
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
        std::cout << "Address  Type  Firmware  Name\n";
        for (const auto &entry : found) {
            std::cout << PadRight(std::to_string(entry.Address()), 9)
                      << PadRight(std::to_string(entry.Type()), 6)
                      << PadRight(FormatVersion(entry.Version()), 10)
                      << Cp1251ToUtf8(TypeName(entry.Type())) << '\n';
        }
    }
    // Something answered there, but never in a way the list could show.
    for (const auto &address : garbled) {
        std::string verdicts;
        for (const TAttemptVerdict verdict : address.Verdicts)
            verdicts += (verdicts.empty() ? "" : ", ") + std::string(VerdictName(verdict));
        ReportError("warning: address " + std::to_string(address.Address) +
                    " brought garbled replies only (" + verdicts +
                    "); two devices at one address, a device at another line speed, or the "
                    "wiring?");
    }
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
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

int RunRead(const TCliOptions &options)
{
    TTarget target;
    if (const int status = ResolveFirstDevice(options, target); status != ExitOk)
        return status;
    size_t done = 0; // one progress message per entry done
    bool silent = false;
    RunWorker(
        [&](TWorkerHandle &handle) { return StartWorker<TLoadThread>(handle, target.Address); },
        WM_LOADDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS) {
                ++done;
                ReportProgress(options, "read", message.WParam);
            }
            silent =
                silent || (message.Message == WM_LOADDONE && message.WParam == DONE_DEVICE_SILENT);
        });
    EndProgress(options);

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
    if (silent) {
        ReportError("warning: the device stopped answering; the read ended after " +
                    std::to_string(done) + " of " + std::to_string(DeviceParameters.size()) +
                    " parameters");
    }
    if (unanswered != 0) {
        ReportError("warning: " + std::to_string(unanswered) + " of " +
                    std::to_string(DeviceParameters.size()) +
                    " parameters could not be read (no valid reply)");
    }
    return ExitOk;
}

int RunWrite(const TCliOptions &options)
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
        if (!Writable(*entry)) {
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

int WriteTarget(const TCliOptions &options, const TTarget &target, const std::string &prefix,
                TJson &report)
{
    // The write worker sends every entry that has a value; remember what was asked for.
    std::vector<int32_t> requested;
    for (const auto &entry : DeviceParameters)
        requested.push_back(Writable(entry) ? int32_t(entry.Value) : VALUE_UNDEFINED);

    size_t done = 0; // one progress message below 100 per entry done
    bool silent = false;
    RunWorker(
        [&](TWorkerHandle &handle) { return StartWorker<TSaveThread>(handle, target.Address); },
        WM_SAVEDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS) {
                done += message.WParam < 100;
                ReportProgress(options, "write", message.WParam);
            }
            silent =
                silent || (message.Message == WM_SAVEDONE && message.WParam == DONE_DEVICE_SILENT);
        });
    if (silent) {
        ReportError(prefix + "warning: the device stopped answering; the write ended after " +
                    std::to_string(done) + " of " + std::to_string(DeviceParameters.size()) +
                    " parameters");
    }
    EndProgress(options);

    const std::string lost = PortLost() ? PortLostText(ProgressOf("write", done)) : std::string();

    int status = ExitOk;
    report = Completion(lost);
    report.update(DeviceHead(target));
    TJson parameters = TJson::array();
    if (!options.Json)
        PrintDeviceHead(target);
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
        if (reply == TParameterReply::WriteRefused) {
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
