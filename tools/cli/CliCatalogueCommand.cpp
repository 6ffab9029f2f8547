// The catalogue command: the device entries of params.cfg, or the parameters one device
// type and firmware gets.

#include "tools/cli/CliCatalogueCommand.h"

#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOutput.h"

#include "catalogue/DeviceCatalogue.h"
#include "values/ValueText.h"

#include <iostream>

namespace {

int ListDevices(const TCliOptions &options)
{
    const std::vector<TDeviceEntry> devices = DeviceEntries();
    if (options.Json) {
        TJson list = TJson::array();
        for (const auto &entry : devices) {
            TJson device;
            device["type"] = entry.Type;
            device["name"] = Cp1251ToUtf8(entry.Name);
            device["versions"] = entry.Versions;
            device["parameters"] = entry.Parameters;
            device["offered"] = entry.Offered;
            list.push_back(std::move(device));
        }
        PrintJson(TJson{{"devices", std::move(list)}});
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
        TJson json;
        json["type"] = type;
        json["name"] = Cp1251ToUtf8(TypeName(type));
        json["firmware"] = FormatVersion(version);
        json["version"] = version;
        json["offered"] = offered;
        TJson parameters = TJson::array();
        for (const auto &entry : DeviceParameters) {
            // The catalogue's fields only: a listing has no values.
            TJson fields = ParameterFields(entry);
            fields.erase("raw");
            fields.erase("value");
            parameters.push_back(std::move(fields));
        }
        json["parameters"] = std::move(parameters);
        PrintJson(json);
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

int RunCatalogue(const TCliOptions &options)
{
    return options.Type ? ListParameters(options) : ListDevices(options);
}
