#pragma once
// The link settings in the machine-wide registry key, the settings' home on Windows.

#include "link/WindowsApi.h"

#include <string>
#include <vector>

#include "link/SettingsFile.h"

// The key's full name as messages show it.
constexpr const char *RegistryKeyName = "HKEY_LOCAL_MACHINE\\Software\\KAVEN\\VELMO\\RS";

// The link settings that the values of the open `key` give, with the bounds and warnings of
// the settings file; missing or unusable values keep their defaults.
TLinkSettings LinkSettingsFromKey(HKEY key, std::vector<std::string> *warnings = nullptr);
// Reads LinkSettings from the machine-wide key, creating it empty where it is missing and
// the rights allow; defaults when it can be neither opened nor created. Never writes a value.
void LoadRegistrySettings(std::vector<std::string> *warnings = nullptr);
// The device name of port `number`: "\\.\COM" and the number, which reaches every port,
// 1..9 included.
std::string WindowsComPortName(uint8_t number);
// The device behind port `number`: the key's string value "COM<n>" where it has one (a remote
// port's address, say "rfc2217://10.0.0.7:4001"), else WindowsComPortName.
std::string RegistryComPortPath(uint8_t number);
