#include "tools/sim/SimConfig.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "catalogue/DeviceCatalogue.h"
#include "link/LineSpeed.h"
#include "link/Link.h"
#include "link/NumberText.h"
#include "tools/sim/SimBus.h"

namespace {

// Longest pause a configuration may ask for, in ms: a device's or the bus's latency, or a
// late byte. Replies are timed in microseconds in 32 bits, which this keeps far from
// wrapping, even with several pauses on one reply.
constexpr int64_t MaxPauseMs = 60'000;
// Slowest pace of reply bytes, in µs per byte: a second.
constexpr int64_t MaxCharUs = 1'000'000;
// Longest latency timer of a USB serial chip, in ms.
constexpr int64_t MaxUsbMs = 255;
// Largest count of replies or requests a fault's `count` or `after` names.
constexpr int64_t MaxFaultCount = 3'600'000;

// A percentage: decimal digits with an optional fraction, 0 to 100. Nothing else is read as
// one, so no "nan" or "inf" can make a chance that every comparison fails.
bool ParsePercent(const std::string &text, double &percent)
{
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    auto digits = [](const std::string &part) {
        return part.find_first_not_of("0123456789") == std::string::npos;
    };
    if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) {
        return false;
    }
    double value = 0;
    for (const char c : whole) {
        value = value * 10 + (c - '0');
        if (value > 100) {
            return false;
        }
    }
    double scale = 0.1;
    for (const char c : fraction) {
        value += (c - '0') * scale;
        scale /= 10;
    }
    if (value > 100) {
        return false;
    }
    percent = value;
    return true;
}

// "111" (the number itself) or "1.11" (major and exactly two minor digits, so that a
// configuration never leaves it to the reader whether 1.5 means 1.05 or 1.50).
bool ParseDeviceVersion(const std::string &text, uint16_t &version)
{
    if (text.find('.') != std::string::npos) {
        return ParseVersion(text, version, {.Exact = true, .MinorDigits = 2});
    }
    int64_t value = 0;
    if (!ParseNumber(text, 0, 0xFFFF, value)) {
        return false;
    }
    version = static_cast<uint16_t>(value);
    return true;
}

bool ParseFaultKind(const std::string &name, TFaultKind &kind)
{
    static const std::map<std::string, TFaultKind> kinds = {
        {"no-reply", TFaultKind::NoReply},  {"bad-crc", TFaultKind::BadCrc},
        {"truncate", TFaultKind::Truncate}, {"wrong-address", TFaultKind::WrongAddress},
        {"noise", TFaultKind::Noise},       {"late", TFaultKind::Late},
        {"long", TFaultKind::Long},
    };
    const auto it = kinds.find(name);
    if (it == kinds.end()) {
        return false;
    }
    kind = it->second;
    return true;
}

bool ParseCommand(const std::string &name, int &command)
{
    static const std::map<std::string, int> commands = {
        {"ping", CMD_PING},
        {"identify", CMD_IDENTIFY},
        {"read", CMD_READ_PARAM},
        {"write", CMD_WRITE_PARAM},
    };
    const auto it = commands.find(name);
    if (it == commands.end()) {
        return false;
    }
    command = it->second;
    return true;
}

// KIND [PERCENT] [ms N] [on COMMAND] [count N] [after N], from words[first], added to `faults`.
bool AddFault(const std::vector<std::string> &words, size_t first, bool needPercent,
              std::vector<TFault> &faults, std::string &error)
{
    TFault fault;
    if (first >= words.size() || !ParseFaultKind(words[first], fault.Kind)) {
        error = "unknown fault kind";
        return false;
    }
    bool havePercent = false;
    for (size_t i = first + 1; i < words.size(); ++i) {
        int64_t value = 0;
        const std::string &word = words[i];
        if (word == "ms" || word == "count" || word == "after") {
            const int64_t largest = word == "ms" ? MaxPauseMs : MaxFaultCount;
            if (i + 1 >= words.size() || !ParseNumber(words[i + 1], 0, largest, value)) {
                error = "'" + word + "' needs a number 0.." + std::to_string(largest);
                return false;
            }
            if (word == "ms") {
                fault.Ms = static_cast<uint32_t>(value);
            } else {
                (word == "count" ? fault.Count : fault.After) = static_cast<int>(value);
            }
            ++i;
        } else if (word == "on") {
            if (i + 1 >= words.size() || !ParseCommand(words[i + 1], fault.Command)) {
                error = "'on' needs ping, identify, read or write";
                return false;
            }
            ++i;
        } else {
            if (havePercent || !ParsePercent(word, fault.Percent)) {
                error = "unexpected '" + word + "'";
                return false;
            }
            havePercent = true;
        }
    }
    if (needPercent && !havePercent) {
        error = "random-fault needs a percentage";
        return false;
    }
    faults.push_back(fault);
    return true;
}

bool ParseDevice(const std::vector<std::string> &words, TSimDevice &device, std::string &error)
{
    int64_t value = 0;
    if (words.size() < 2 || !ParseNumber(words[1], 0, 127, value)) {
        error = "device needs an address 0..127";
        return false;
    }
    device.Address = static_cast<uint8_t>(value);
    bool haveType = false;
    for (size_t i = 2; i < words.size(); i += 2) {
        if (words[i] == "shared") {
            device.Shared = true;
            --i; // a field without a value
            continue;
        }
        if (i + 1 >= words.size()) {
            error = "'" + words[i] + "' needs a value";
            return false;
        }
        const std::string &key = words[i];
        const std::string &text = words[i + 1];
        if (key == "type" && ParseNumber(text, 0, 255, value)) {
            device.Type = static_cast<uint8_t>(value);
            haveType = true;
        } else if (key == "version" && ParseDeviceVersion(text, device.Version)) {
        } else if (key == "identify" && ParseNumber(text, 0, 254, value) && value >= 5) {
            device.IdentifyLength = static_cast<uint8_t>(value);
        } else if (key == "latency" && ParseNumber(text, 0, MaxPauseMs, value)) {
            device.LatencyMs = static_cast<int>(value);
        } else if (key == "baud" && ParseNumber(text, 0, 0xFFFFFFFF, value) &&
                   IsStandardBaudRate(static_cast<uint32_t>(value))) {
            device.BaudRate = static_cast<uint32_t>(value);
        } else {
            error = "bad device field '" + key + " " + text + "'";
            return false;
        }
    }
    if (!haveType) {
        error = "device needs a type";
        return false;
    }
    return true;
}

// "RAW=B,RAW=B,...": the speed each written value moves the device to.
bool ParseBaudTable(const std::string &text, std::map<uint16_t, uint32_t> &table)
{
    std::istringstream pairs(text);
    std::string pair;
    while (std::getline(pairs, pair, ',')) {
        const size_t equals = pair.find('=');
        int64_t raw = 0, baud = 0;
        if (equals == std::string::npos || !ParseNumber(pair.substr(0, equals), 0, 0xFFFF, raw) ||
            !ParseNumber(pair.substr(equals + 1), 0, 0xFFFFFFFF, baud) ||
            !IsStandardBaudRate(static_cast<uint32_t>(baud))) {
            return false;
        }
        table[static_cast<uint16_t>(raw)] = static_cast<uint32_t>(baud);
    }
    return !table.empty();
}

// The words after a param's VALUE: refuse [STATUS], address [at-once], baud TABLE.
bool ParseParamOptions(const std::vector<std::string> &words, TSimParam &param, std::string &error)
{
    for (size_t i = 4; i < words.size(); ++i) {
        const std::string &option = words[i];
        const bool more = i + 1 < words.size();
        if (option == "refuse") {
            // A refusal with the accepting status would be no refusal at all.
            int64_t status = REPLY_REJECTED;
            if (more && ParseNumber(words[i + 1], 0, 255, status)) {
                ++i;
            } else if (more && std::isdigit(static_cast<unsigned char>(words[i + 1][0]))) {
                status = REPLY_ACCEPTED;
            }
            if (status == REPLY_ACCEPTED) {
                error = "param's refuse takes a status 0..255 other than 0x3E";
                return false;
            }
            param.RefuseStatus = static_cast<int>(status);
        } else if (option == "address") {
            param.MovesAddress = true;
            if (more && words[i + 1] == "at-once") {
                param.RepliesFromNewAddress = true;
                ++i;
            }
        } else if (option == "baud") {
            if (!more || !ParseBaudTable(words[i + 1], param.BaudTable)) {
                error = "param's baud takes RAW=B,... with standard line speeds B";
                return false;
            }
            ++i;
        } else {
            error = "bad param option '" + option + "'";
            return false;
        }
    }
    return true;
}

bool ParseLine(const std::vector<std::string> &words, TSimConfig &config, std::string &error)
{
    const std::string &keyword = words[0];
    int64_t value = 0;
    if (keyword == "latency" || keyword == "char-us" || keyword == "seed" ||
        keyword == "usb-latency") {
        const int64_t largest = keyword == "latency"       ? MaxPauseMs
                                : keyword == "char-us"     ? MaxCharUs
                                : keyword == "usb-latency" ? MaxUsbMs
                                                           : 0xFFFFFFFF;
        if (words.size() != 2 || !ParseNumber(words[1], 0, largest, value)) {
            error = keyword + " needs one number 0.." + std::to_string(largest);
            return false;
        }
        (keyword == "latency"       ? config.LatencyMs
         : keyword == "char-us"     ? config.CharUs
         : keyword == "usb-latency" ? config.UsbMs
                                    : config.Seed) = static_cast<uint32_t>(value);
        config.CharUsFixed = config.CharUsFixed || keyword == "char-us";
        return true;
    }
    if (keyword == "echo") {
        if (words.size() != 1) {
            error = "echo takes no value";
            return false;
        }
        config.Echo = true;
        return true;
    }
    if (keyword == "device") {
        TSimDevice device;
        if (!ParseDevice(words, device, error)) {
            return false;
        }
        // Two devices at one address are a mistake unless the second says it means it.
        bool taken = false;
        for (const TSimDevice &other : config.Devices) {
            taken = taken || other.Address == device.Address;
        }
        if (taken != device.Shared) {
            error = "address " + std::to_string(device.Address) +
                    (taken ? " used twice (mark the second 'shared')" : " shared with nobody");
            return false;
        }
        config.Devices.push_back(device);
        return true;
    }
    if (keyword == "param" || keyword == "fault") {
        if (config.Devices.empty()) {
            error = keyword + " before any device";
            return false;
        }
        TSimDevice &device = config.Devices.back();
        if (keyword == "fault") {
            return AddFault(words, 1, false, device.Faults, error);
        }
        int64_t index = 0;
        if (words.size() < 4 || !ParseNumber(words[1], 0, 255, index) ||
            (words[2] != "byte" && words[2] != "word") ||
            !ParseNumber(words[3], 0, 0xFFFF, value)) {
            error = "param needs INDEX byte|word VALUE [refuse [STATUS]] [address [at-once]] "
                    "[baud RAW=B,...]";
            return false;
        }
        TSimParam param;
        if (!ParseParamOptions(words, param, error)) {
            return false;
        }
        param.Word = words[2] == "word";
        if (!param.Word && value > 0xFF) {
            error = "a byte parameter holds 0..255";
            return false;
        }
        param.Value = static_cast<uint16_t>(value);
        device.Params[static_cast<uint8_t>(index)] = param;
        return true;
    }
    if (keyword == "random-fault") {
        return AddFault(words, 1, true, config.RandomFaults, error);
    }
    error = "unknown keyword '" + keyword + "'";
    return false;
}

} // namespace

bool ParseSimConfig(const std::string &text, TSimConfig &config, std::string &error)
{
    config = TSimConfig();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            continue;
        }
        std::string reason;
        if (!ParseLine(words, config, reason)) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

bool LoadSimConfig(const std::string &path, TSimConfig &config, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseSimConfig(text.str(), config, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
