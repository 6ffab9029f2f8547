#include "link/SettingsFile.h"

#include "link/FileRead.h"
#include "link/LineSpeed.h"
#include "link/LinkState.h"
#include "link/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include "link/RegistrySettings.h"
#include <direct.h>
#endif

namespace {

#ifdef _WIN32
// Windows has no descriptors to keep from child programs, and a file opened without
// O_BINARY would have its line ends translated.
constexpr int CreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
#else
constexpr int CreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
#endif

// True when LINVAR_SETTINGS names a settings file.
bool SettingsFileNamed()
{
    const char *env = std::getenv("LINVAR_SETTINGS");
    return env != nullptr && *env != '\0';
}

std::string Trim(const std::string &text)
{
    const auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Reads the settings file, at most MaxSettingsBytes of it; empty when it is missing (`exists`
// false) or unreadable (`fault` says why).
std::string ReadSettingsFile(const std::string &path, bool &exists, TSettingsReadFault &fault)
{
    fault = {};
    fault.Path = path;
    std::string text;
    int error = 0;
    // Not only a regular file: a device named by mistake (/dev/zero) is told as too large.
    const TFileReadFault read = ReadFileBounded(path, MaxSettingsBytes, false, text, error);
    exists = read != TFileReadFault::NotOpened || error != ENOENT;
    if (read == TFileReadFault::TooLarge)
        fault = {TSettingsFault::TooLarge, 0, path};
    else if (read != TFileReadFault::None && exists)
        fault = {TSettingsFault::NotReadable, error, path}; // a folder: EISDIR
    return text;
}

// What tells one file at a path from another: a test or a person that puts a new file in its
// place gets it read, while a run that maps many ports reads an unchanged file once.
struct TFileIdentity
{
    int64_t Device = 0;
    int64_t Inode = 0;
    int64_t Size = 0;
    int64_t ModifiedNs = 0;
    bool operator==(const TFileIdentity &) const = default;
};

// The identity of the file at `path`; all zero when there is none to see.
TFileIdentity IdentityOf(const std::string &path)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0) {
        return {};
    }
#ifdef _WIN32
    const int64_t modifiedNs = static_cast<int64_t>(status.st_mtime) * 1'000'000'000;
#else
    const int64_t modifiedNs =
        static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
#endif
    return {static_cast<int64_t>(status.st_dev), static_cast<int64_t>(status.st_ino),
            static_cast<int64_t>(status.st_size), modifiedNs};
}

// The settings file as last read: the program reads it once, however many ports it maps.
struct TSettingsCache
{
    bool Read = false;
    std::string Path;
    TFileIdentity Identity;
    std::map<std::string, std::string> Values;
    TSettingsReadFault Fault;
};

std::mutex CacheLock; // ports are mapped from the window's thread and the workers alike
TSettingsCache Cache;

// Creates the missing settings file empty, as the registry key is created empty. Without
// the rights to do so nothing happens; an existing file is never touched.
void CreateEmptySettingsFile(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
#ifdef _WIN32
        _mkdir(path.substr(0, slash).c_str());
#else
        mkdir(path.substr(0, slash).c_str(), 0755);
#endif
    }
    const int fd = open(path.c_str(), CreateFlags, 0644);
    if (fd >= 0) {
        close(fd);
    }
}

} // namespace

std::map<std::string, std::string> ParseSettingsText(const std::string &text)
{
    std::map<std::string, std::string> values;
    const std::string key = Lower(SettingsKeyPath);
    // Lines before the first section header count as the key's own, so a file of bare
    // name=value lines works too.
    bool inKey = true;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string section =
                close == std::string::npos ? std::string() : Trim(line.substr(1, close - 1));
            inKey = Lower(section) == key;
            continue;
        }
        if (!inKey) {
            continue;
        }
        const auto equals = line.find('=');
        const std::string name = Trim(line.substr(0, equals));
        if (name.empty()) {
            continue;
        }
        values[Lower(name)] =
            equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
    }
    return values;
}

TLinkSettings LinkSettingsFromValues(const std::map<std::string, std::string> &values,
                                     std::vector<std::string> *warnings)
{
    TLinkSettings settings;
    const TLinkSettings defaults;
    struct TNumeric
    {
        const char *Name;
        uint32_t TLinkSettings::*Field;
        uint32_t Maximum;
        const char *Unit;
    };
    static const TNumeric numerics[] = {
        {"IntervalTimeout", &TLinkSettings::IntervalTimeout, MaxTimeoutMs, "ms"},
        {"TimeoutMultiplier", &TLinkSettings::TimeoutMultiplier, MaxTimeoutMultiplierMs, "ms"},
        {"TimeoutConstant", &TLinkSettings::TimeoutConstant, MaxTimeoutMs, "ms"},
        {"CmdIntervalTimeout", &TLinkSettings::CmdIntervalTimeout, MaxTimeoutMs, "ms"},
        {"CmdTimeoutMultiplier", &TLinkSettings::CmdTimeoutMultiplier, MaxTimeoutMultiplierMs,
         "ms"},
        {"CmdTimeoutConstant", &TLinkSettings::CmdTimeoutConstant, MaxTimeoutMs, "ms"},
        {"StartTimeOut", &TLinkSettings::StartTimeOut, MaxTimeoutMs, "ms"},
        {"TailinUS", &TLinkSettings::TailinUS, MaxTailinUS, "us"},
        {"FastSweepAllowance", &TLinkSettings::FastSweepAllowance, MaxTimeoutMs, "ms"},
        // Only 0, 1 and 2 name a stop-bit setting; a larger code would also break the
        // character time (its divisor becomes zero).
        {"StopBits", &TLinkSettings::StopBits, MaxStopBits, ""},
    };
    auto warn = [warnings](const std::string &text) {
        if (warnings != nullptr) {
            warnings->push_back(text);
        }
    };
    for (const TNumeric &numeric : numerics) {
        settings.*numeric.Field = defaults.*numeric.Field;
        const auto it = values.find(Lower(numeric.Name));
        if (it == values.end()) {
            continue;
        }
        int64_t value = 0;
        // A value wider than 32 bits counts as missing, like registry data over four bytes.
        if (!ParseNumber(it->second, 0, 0xFFFFFFFF, value)) {
            warn(std::string(numeric.Name) + "=" + it->second +
                 " ignored: not a number from 0 to " + std::to_string(numeric.Maximum) + "; " +
                 std::to_string(defaults.*numeric.Field) + " applies");
        } else if (value > numeric.Maximum) {
            warn(std::string(numeric.Name) + "=" + it->second + " ignored: above " +
                 std::to_string(numeric.Maximum) +
                 (*numeric.Unit ? std::string(" ") + numeric.Unit : std::string()) + "; " +
                 std::to_string(defaults.*numeric.Field) + " applies");
        } else {
            settings.*numeric.Field = static_cast<uint32_t>(value);
        }
    }
    // Only a standard speed: a converter set to anything else would talk past every device.
    if (const auto it = values.find("baudrate"); it != values.end()) {
        int64_t value = 0;
        if (ParseNumber(it->second, 0, 0xFFFFFFFF, value) &&
            IsStandardBaudRate(static_cast<uint32_t>(value))) {
            settings.BaudRate = static_cast<uint32_t>(value);
        } else {
            std::string list;
            for (const uint32_t speed : StandardBaudRates) {
                list += (list.empty() ? "" : ", ") + std::to_string(speed);
            }
            warn("BaudRate=" + it->second + " ignored: not one of " + list + "; " +
                 std::to_string(defaults.BaudRate) + " applies");
        }
    }
    settings.SmartPI = values.count("smartpi") != 0;
    settings.USARTMode = values.count("usartmode") != 0;

    for (const auto &[name, text] : values) {
        bool known = name == "smartpi" || name == "usartmode" || name == "baudrate";
        for (const TNumeric &numeric : numerics) {
            known = known || name == Lower(numeric.Name);
        }
        // A port line names its number as ComPortPathFromValues looks it up: "com" and the
        // number in decimal without leading zeros.
        int64_t number = 0;
        known = known ||
                (name.compare(0, 3, "com") == 0 && ParseNumber(name.substr(3), 0, 255, number) &&
                 name == "com" + std::to_string(number));
        if (!known) {
            warn("unknown setting '" + name + "' ignored");
        }
    }
    return settings;
}

std::string DefaultComPortPath(uint8_t number)
{
    // USB converters come first: the window takes the first of ports 1..15 that opens, and
    // the built-in UARTs' device nodes exist (and often open) even with no hardware behind
    // them, so they must not be reachable from that range.
    if (number >= 1 && number <= 99) {
        return "/dev/ttyUSB" + std::to_string(number - 1);
    }
    if (number >= 100 && number <= 199) {
        return "/dev/ttyS" + std::to_string(number - 100);
    }
    if (number >= 200) {
        return "/dev/ttyACM" + std::to_string(number - 200);
    }
    return {};
}

std::string ComPortPathFromValues(const std::map<std::string, std::string> &values, uint8_t number)
{
    const auto it = values.find("com" + std::to_string(number));
    if (it != values.end()) {
        return it->second;
    }
    return DefaultComPortPath(number);
}

std::string LinkSettingsPath()
{
    if (SettingsFileNamed()) {
        return std::getenv("LINVAR_SETTINGS");
    }
#ifdef _WIN32
    return RegistryKeyName;
#else
    return DefaultSettingsPath;
#endif
}

TLinkSettings LinkSettings;

namespace {

// Reads the settings file into the cache; the caller holds CacheLock.
void ReadIntoCache(bool createMissing)
{
    const std::string path = LinkSettingsPath();
    bool exists = false;
    TSettingsReadFault fault;
    const std::string text = ReadSettingsFile(path, exists, fault);
    if (!exists && createMissing) {
        CreateEmptySettingsFile(path);
    }
    Cache = {true, path, IdentityOf(path), ParseSettingsText(text), fault};
}

} // namespace

void LoadLinkSettings(std::vector<std::string> *warnings)
{
#ifdef _WIN32
    if (!SettingsFileNamed()) {
        LoadRegistrySettings(warnings);
        SetComState(LinkSettings.BaudRate);
        return;
    }
#endif
    {
        std::lock_guard<std::mutex> lock(CacheLock);
        ReadIntoCache(true);
        LinkSettings = LinkSettingsFromValues(Cache.Values, warnings);
    }
    SetComState(LinkSettings.BaudRate);
}

std::map<std::string, std::string> ReadSettingsValues()
{
#ifdef _WIN32
    if (!SettingsFileNamed()) {
        return {};
    }
#endif
    std::lock_guard<std::mutex> lock(CacheLock);
    const std::string path = LinkSettingsPath();
    if (!Cache.Read || Cache.Path != path || !(Cache.Identity == IdentityOf(path))) {
        ReadIntoCache(false);
    }
    return Cache.Values;
}

TSettingsReadFault SettingsReadFault()
{
    std::lock_guard<std::mutex> lock(CacheLock);
    return Cache.Fault;
}

std::string ComPortPath(uint8_t number)
{
#ifdef _WIN32
    if (!SettingsFileNamed()) {
        return RegistryComPortPath(number);
    }
#endif
    return ComPortPathFromValues(ReadSettingsValues(), number);
}
