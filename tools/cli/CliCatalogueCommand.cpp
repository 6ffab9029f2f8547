// The catalogue command: the device entries of params.cfg, or the parameters one device
// type and firmware gets.

#include "CliRun.h"
#include "JsonWriter.h"
#include "workers/ValueText.h"

#include "catalogue/DeviceCatalogue.h"

#include <iostream>

namespace {

int ListDevices(const TCliOptions &options)
{
    const std::vector<TDeviceEntry> devices = DeviceEntries();
    if (options.Json) {
        TJsonWriter json;
        json.BeginObject();
        json.BeginArray("devices");
        for (const auto &entry : devices) {
            json.BeginObject();
            json.Number("type", entry.Type);
            json.String("name", Cp1251ToUtf8(entry.Name));
            json.String("versions", entry.Versions);
            json.Number("parameters", entry.Parameters);
            json.Bool("offered", entry.Offered);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        std::cout << json.Text() << '\n';
        return ExitOk;
    }
    if (devices.empty()) {
        std::cout << "The catalogue has no device entries.\n";
        return ExitOk;
    }
    std::cout << "Type  Versions              Parameters  Name\n";
    for (const auto &entry : devices) {
        std::cout << PadRight(std::to_string(entry.Type), 6)
                  << PadRight(entry.Versions.empty() ? "(none)" : entry.Versions, 22)
                  << PadRight(std::to_string(entry.Parameters), 12) << Cp1251ToUtf8(entry.Name)
                  << '\n';
    }
    return ExitOk;
}

int ListParameters(const TCliOptions &options)
{
    const uint8_t type = *options.Type;
    const uint16_t version = *options.Firmware;
    const bool offered = GoDeviceParams(type, version);
    FormDeviceParam(type, version);
    if (options.Json) {
        TJsonWriter json;
        json.BeginObject();
        json.Number("type", type);
        json.String("name", Cp1251ToUtf8(TypeName(type)));
        json.String("firmware", FormatVersion(version));
        json.Number("version", version);
        json.Bool("offered", offered);
        json.BeginArray("parameters");
        for (const auto &entry : DeviceParameters) {
            json.BeginObject();
            WriteParameterFields(json, entry);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        std::cout << json.Text() << '\n';
    } else {
        std::cout << "Type " << int(type) << " (" << Cp1251ToUtf8(TypeName(type)) << "), firmware "
                  << FormatVersion(version) << (offered ? "" : ": not offered by the catalogue")
                  << '\n';
        if (!DeviceParameters.empty())
            std::cout << "Index  Size    Minimum  Maximum  Default  Name\n";
        for (const auto &entry : DeviceParameters) {
            std::cout << PadRight(std::to_string(entry.Index), 7)
                      << PadRight(Cp1251ToUtf8(entry.Size), 8)
                      << PadRight(FormatParameterValue(entry.Minimum, entry.Divisor), 9)
                      << PadRight(FormatParameterValue(entry.Maximum, entry.Divisor), 9)
                      << PadRight(FormatParameterValue(entry.Default, entry.Divisor), 9)
                      << Cp1251ToUtf8(entry.Name) << '\n';
        }
    }
    return offered ? ExitOk : ExitCatalogue;
}

} // namespace

void WriteParameterFields(TJsonWriter &json, const ParameterDescription &entry)
{
    json.Number("index", entry.Index);
    json.String("name", Cp1251ToUtf8(entry.Name));
    json.String("size", Cp1251ToUtf8(entry.Size));
    json.Number("divisor", entry.Divisor);
    json.Number("minimum", entry.Minimum);
    json.Number("maximum", entry.Maximum);
    json.Number("default", entry.Default);
}

int RunCatalogue(const TCliOptions &options)
{
    return options.Type ? ListParameters(options) : ListDevices(options);
}
