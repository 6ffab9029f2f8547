#pragma once
// The settings file that stands in for the machine-wide registry key: its location, its
// text format, the numeric values and the port-number-to-device mapping.

#include <cstdint>
#include <map>
#include <string>

#include "Link.h"

// The key path whose section holds the link settings.
constexpr const char *SettingsKeyPath = "Software\\KAVEN\\VELMO\\RS";
// Where the settings live unless LINVAR_SETTINGS names another file.
constexpr const char *DefaultSettingsPath = "/etc/linvar/rs485.conf";

// Value names (lower-cased, as names match without regard to case) to their texts, from
// the key's section of a settings text; a later line of the same name wins.
std::map<std::string, std::string> ParseSettingsText(const std::string &text);
// The link settings that the parsed values give; missing or unusable values keep defaults.
TLinkSettings LinkSettingsFromValues(const std::map<std::string, std::string> &values);
// The device path that port `number` names when the settings file says nothing about it.
std::string DefaultComPortPath(uint8_t number);
// The device path behind port `number` in the parsed values (a "COM<n>" entry) or by default.
std::string ComPortPathFromValues(const std::map<std::string, std::string> &values, uint8_t number);
