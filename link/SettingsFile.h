#pragma once
// The link settings and the settings file that stands in for the machine-wide registry key:
// its location, its text format, the numeric values and the port-number-to-device mapping.
// On Windows the settings live in the key itself (RegistrySettings.h); a file is read there
// only when LINVAR_SETTINGS names one (tests, demonstrations).

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Timing and line options, read once at start; nothing in the program writes them.
struct TLinkSettings
{
    uint32_t IntervalTimeout = 0;      // ms, read interval time-out for pings
    uint32_t TimeoutMultiplier = 0;    // ms per byte, pings
    uint32_t TimeoutConstant = 30;     // ms, pings
    uint32_t CmdIntervalTimeout = 0;   // ms, all other commands and at opening
    uint32_t CmdTimeoutMultiplier = 0; // ms per byte, other commands
    uint32_t CmdTimeoutConstant = 600; // ms, other commands
    uint32_t StartTimeOut = 4;         // ms of pause before every attempt
    uint32_t TailinUS = 400;           // µs the transmitter stays on after the frame
    uint32_t StopBits = 0;             // 0 one, 1 one and a half, 2 two
    uint32_t FastSweepAllowance = 20;  // ms beyond a ping reply's wire time, fast sweep only
    uint32_t BaudRate = 9600;          // line speed at start: one of StandardBaudRates
    bool SmartPI = false;              // converter switches direction by itself
    bool USARTMode = false;            // send untimed: request and check byte as two writes
};

// The key path whose section holds the link settings.
constexpr const char *SettingsKeyPath = "Software\\KAVEN\\VELMO\\RS";
// Where the settings live unless LINVAR_SETTINGS names another file.
constexpr const char *DefaultSettingsPath = "/etc/linvar/rs485.conf";

// Largest values that make sense; a value above counts as missing, since a typo there would
// hold the port lock for minutes on every transaction.
constexpr uint32_t MaxTimeoutMs = 60'000;        // time-outs, interval time-outs, StartTimeOut
constexpr uint32_t MaxTimeoutMultiplierMs = 200; // per byte: a whole frame stays under a minute
constexpr uint32_t MaxTailinUS = 1'000'000;      // one second
constexpr uint32_t MaxStopBits = 2;

// Largest settings file that is read at all: a settings file is a few hundred bytes, and a
// device or a runaway file named by mistake (LINVAR_SETTINGS=/dev/zero) must not fill memory.
constexpr size_t MaxSettingsBytes = 1024 * 1024;

// Why the settings file in use could not be read.
enum class TSettingsFault
{
    None,        // it was read, or it is missing (the defaults apply without a word)
    NotReadable, // it exists but does not open or read (no rights, a folder, a loop of links):
                 // Errno is the system's reason
    TooLarge,    // more than MaxSettingsBytes
};

// The fault of the latest reading of the settings file; the defaults apply in its place.
struct TSettingsReadFault
{
    TSettingsFault Fault = TSettingsFault::None;
    int Errno = 0;    // of NotReadable
    std::string Path; // the file
};

// The link settings in force.
extern TLinkSettings LinkSettings;
// Reads LinkSettings from the settings file (anew, and keeps its values for ComPortPath and
// ReadSettingsValues) and makes its BaudRate the line speed in force (SetComState); missing
// values keep their defaults, and a missing file is created empty where the rights allow. A
// file that cannot be read counts as empty; SettingsReadFault says why. `warnings`, when
// given, receives one line per setting ignored and per name the file holds that names no
// setting.
void LoadLinkSettings(std::vector<std::string> *warnings = nullptr);
// Where the settings come from: $LINVAR_SETTINGS when set, else /etc/linvar/rs485.conf
// (Windows: the registry key's full name).
std::string LinkSettingsPath();
// The device path behind port `number` (the settings file's "COM<n>" entry, else the
// default rule; Windows without a settings file: "\\.\COM<n>"); empty when the number
// names no device.
std::string ComPortPath(uint8_t number);

// The values of the settings file in use, parsed as ParseSettingsText does; none when it is
// missing or unreadable. The file is read once and kept; LoadLinkSettings or another
// LINVAR_SETTINGS reads it anew.
std::map<std::string, std::string> ReadSettingsValues();
// Why the latest reading of the settings file failed; Fault None when it did not.
TSettingsReadFault SettingsReadFault();
// Value names (lower-cased, as names match without regard to case) to their texts, from
// the key's section of a settings text; a later line of the same name wins.
std::map<std::string, std::string> ParseSettingsText(const std::string &text);
// The link settings that the parsed values give; missing or unusable values keep defaults.
// `warnings`, when given, receives why each value present was not used and the names that
// are no setting.
TLinkSettings LinkSettingsFromValues(const std::map<std::string, std::string> &values,
                                     std::vector<std::string> *warnings = nullptr);
// The device path that port `number` names when the settings file says nothing about it.
std::string DefaultComPortPath(uint8_t number);
// The device path behind port `number` in the parsed values (a "COM<n>" entry) or by default.
std::string ComPortPathFromValues(const std::map<std::string, std::string> &values, uint8_t number);
