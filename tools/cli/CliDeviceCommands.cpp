// The commands that talk to the bus: scan, read and write.

#include "CliRun.h"
#include "JsonWriter.h"
#include "workers/ValueText.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "link/NumberText.h"
#include "workers/DeviceListEntry.h"
#include "workers/DeviceRequests.h"
#include "workers/ParameterReply.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TMessageQueue.h"
#include "workers/TSaveThread.h"
#include "workers/TSearchThread.h"

#include <iostream>

namespace {

struct TTarget
{
    uint8_t Address = 0;
    TDeviceIdentity Identity;
};

// The device the options name: type and firmware as given, or as the device reports them.
// Builds DeviceParameters for it.
int ResolveDevice(const TCliOptions &options, TTarget &target)
{
    target.Address = *options.Address;
    if (options.Type) {
        target.Identity.Type = *options.Type;
        target.Identity.Version = *options.Firmware;
    } else if (!ProbeAddress(target.Address, target.Identity)) {
        ReportError("no device answers at address " + std::to_string(target.Address));
        return ExitDeviceFailure;
    }
    const auto &id = target.Identity;
    if (!GoDeviceParams(id.Type, id.Version)) {
        ReportError("the catalogue describes no parameters for type " + std::to_string(id.Type) +
                    " (" + Cp1251ToUtf8(TypeName(id.Type)) + "), " +
                    (id.Version ? "firmware " + FormatVersion(id.Version)
                                : std::string("no firmware version")));
        return ExitCatalogue;
    }
    FormDeviceParam(id.Type, id.Version);
    return ExitOk;
}

std::string ValueOrUndefined(int32_t raw, int32_t divisor)
{
    return raw == VALUE_UNDEFINED ? std::string("undefined") : FormatParameterValue(raw, divisor);
}

void WriteDeviceHead(TJsonWriter &json, const TTarget &target)
{
    json.Number("address", target.Address);
    json.Number("type", target.Identity.Type);
    json.String("name", Cp1251ToUtf8(TypeName(target.Identity.Type)));
    json.String("firmware", FormatVersion(target.Identity.Version));
    json.Number("version", target.Identity.Version);
}

void PrintDeviceHead(const TTarget &target)
{
    const auto &id = target.Identity;
    std::cout << "Address " << int(target.Address) << ", type " << int(id.Type) << " ("
              << Cp1251ToUtf8(TypeName(id.Type)) << "), firmware " << FormatVersion(id.Version)
              << '\n';
}

void WriteValue(TJsonWriter &json, const char *key, int32_t raw, int32_t divisor)
{
    if (raw == VALUE_UNDEFINED)
        json.Null(key);
    else
        json.RawNumber(key, FormatParameterValue(raw, divisor));
}

void WriteRaw(TJsonWriter &json, const char *key, int32_t raw)
{
    if (raw == VALUE_UNDEFINED)
        json.Null(key);
    else
        json.Number(key, raw);
}

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
void WriteCompletion(TJsonWriter &json, const std::string &error)
{
    json.Bool("complete", error.empty());
    if (!error.empty())
        json.String("error", error);
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
    case TParameterReply::None:
        break;
    }
    return "not asked";
}

} // namespace

int RunScan(const TCliOptions &options)
{
    std::vector<DeviceListEntry> found;
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
        TJsonWriter json;
        json.BeginObject();
        WriteCompletion(json, lost);
        json.BeginArray("devices");
        for (const auto &entry : found) {
            json.BeginObject();
            json.Number("address", entry.Address());
            json.Number("type", entry.Type());
            json.String("name", Cp1251ToUtf8(TypeName(entry.Type())));
            json.String("firmware", FormatVersion(entry.Version()));
            json.Number("version", entry.Version());
            json.Number("tag", entry.Tag);
            json.String("text", entry.TextUtf8());
            json.Bool("catalogued", GoDeviceParams(entry.Type(), entry.Version()));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        std::cout << json.Text() << '\n';
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

int RunRead(const TCliOptions &options)
{
    TTarget target;
    if (const int status = ResolveDevice(options, target); status != ExitOk)
        return status;
    size_t done = 0; // one progress message per entry done
    RunWorker(
        [&](TWorkerHandle &handle) { return StartWorker<TLoadThread>(handle, target.Address); },
        WM_LOADDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS) {
                ++done;
                ReportProgress(options, "read", message.WParam);
            }
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
        TJsonWriter json;
        json.BeginObject();
        WriteCompletion(json, lost);
        WriteDeviceHead(json, target);
        json.BeginArray("parameters");
        for (const auto &entry : DeviceParameters) {
            json.BeginObject();
            WriteParameterFields(json, entry);
            WriteRaw(json, "raw", entry.Value);
            WriteValue(json, "value", entry.Value, entry.Divisor);
            json.String("reply", ReplyName(ReplyOf(entry)));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        std::cout << json.Text() << '\n';
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
    if (const int status = ResolveDevice(options, target); status != ExitOk)
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

    // The write worker sends every entry that has a value; remember what was asked for.
    std::vector<int32_t> requested;
    for (const auto &entry : DeviceParameters)
        requested.push_back(Writable(entry) ? int32_t(entry.Value) : VALUE_UNDEFINED);

    size_t done = 0; // one progress message below 100 per entry done
    RunWorker(
        [&](TWorkerHandle &handle) { return StartWorker<TSaveThread>(handle, target.Address); },
        WM_SAVEDONE,
        [&](const TPostedMessage &message) {
            if (message.Message == WM_PROGRESS) {
                done += message.WParam < 100;
                ReportProgress(options, "write", message.WParam);
            }
        });
    EndProgress(options);

    const std::string lost = PortLost() ? PortLostText(ProgressOf("write", done)) : std::string();

    int status = ExitOk;
    TJsonWriter json;
    json.BeginObject();
    WriteCompletion(json, lost);
    WriteDeviceHead(json, target);
    json.BeginArray("parameters");
    if (!options.Json)
        PrintDeviceHead(target);
    for (size_t i = 0; i < DeviceParameters.size(); ++i) {
        const auto &entry = DeviceParameters[i];
        if (requested[i] == VALUE_UNDEFINED)
            continue;
        const int32_t stored = entry.Value;
        const TParameterReply reply = ReplyOf(entry);
        const char *result = "written";
        std::string problem;
        if (reply == TParameterReply::Rejected) {
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
            ReportError("parameter '" + Cp1251ToUtf8(entry.Name) + "': " + problem);
        }
        if (options.Json) {
            json.BeginObject();
            json.Number("index", entry.Index);
            json.String("name", Cp1251ToUtf8(entry.Name));
            json.String("size", Cp1251ToUtf8(entry.Size));
            json.Number("divisor", entry.Divisor);
            json.Number("requested_raw", requested[i]);
            WriteValue(json, "requested", requested[i], entry.Divisor);
            WriteRaw(json, "raw", stored);
            WriteValue(json, "value", stored, entry.Divisor);
            json.String("result", result);
            json.EndObject();
        } else {
            std::cout << PadRight(std::to_string(entry.Index), 5)
                      << PadRight(Cp1251ToUtf8(entry.Name), 34)
                      << PadRight(ValueOrUndefined(stored, entry.Divisor), 12) << result << '\n';
        }
    }
    json.EndArray();
    json.EndObject();
    if (options.Json)
        std::cout << json.Text() << '\n';
    if (!lost.empty()) {
        ReportError(lost);
        return ExitPortLost;
    }
    return status;
}
