#include "link/RegistrySettings.h"

#include <map>

namespace {

// The numeric values, in the order they are read.
constexpr const char *NumericNames[] = {
    "IntervalTimeout",      "TimeoutMultiplier",  "TimeoutConstant", "CmdIntervalTimeout",
    "CmdTimeoutMultiplier", "CmdTimeoutConstant", "StartTimeOut",    "TailinUS",
    "FastSweepAllowance",   "StopBits",           "BaudRate",
};

// The flags, on when a value of the name exists at all, whatever its type and data.
constexpr const char *FlagNames[] = {"SmartPI", "USARTMode"};

std::string Lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace

TLinkSettings LinkSettingsFromKey(HKEY key, std::vector<std::string> *warnings)
{
    std::map<std::string, std::string> values;
    for (const char *name : NumericNames) {
        // Up to four bytes of data, whatever the value's type; shorter data fills the low
        // bytes of a zero, as a DWORD is stored little-endian.
        uint8_t data[4] = {0, 0, 0, 0};
        DWORD size = sizeof data;
        const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, data, &size);
        if (result == ERROR_MORE_DATA) {
            if (warnings != nullptr) {
                warnings->push_back(std::string(name) + " ignored: more than four bytes of data");
            }
            continue;
        }
        if (result != ERROR_SUCCESS) {
            continue;
        }
        const uint32_t value =
            static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
            (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
        // As text, so the bounds and the warnings are those of the settings file.
        values[Lower(name)] = std::to_string(value);
    }
    for (const char *name : FlagNames) {
        if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            values[Lower(name)] = "";
        }
    }
    return LinkSettingsFromValues(values, warnings);
}

void LoadRegistrySettings(std::vector<std::string> *warnings)
{
    LinkSettings = TLinkSettings();
    // Read access only: an existing key opens for every user, while creating a missing one
    // needs the rights to write below HKEY_LOCAL_MACHINE. Asking for full access instead
    // would make the settings unreadable to every user without those rights.
    // The 32-bit view of the key (Wow6432Node on 64-bit Windows) is where the 32-bit tools
    // that set up these installations keep the settings; a 64-bit build reads them there too.
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return;
    }
    LinkSettings = LinkSettingsFromKey(key, warnings);
    RegCloseKey(key);
}

std::string WindowsComPortName(uint8_t number)
{
    return "\\\\.\\COM" + std::to_string(number);
}

std::string RegistryComPortPath(uint8_t number)
{
    const std::string name = "COM" + std::to_string(number);
    char data[512] = {};
    DWORD size = sizeof data - 1; // room for the terminator the data may lack
    DWORD type = 0;
    HKEY key = nullptr;
    // The 32-bit view, where the link settings live.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      &key) == ERROR_SUCCESS) {
        const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE *>(data), &size);
        RegCloseKey(key);
        if (result == ERROR_SUCCESS && type == REG_SZ && data[0] != '\0') {
            return data;
        }
    }
    return WindowsComPortName(number);
}
