#pragma once
// The bus simulator's configuration: the devices on the simulated bus, what they hold,
// how fast they answer and which faults they show. Format: tools/sim/README.md.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Ways a reply can go wrong.
enum class TFaultKind
{
    NoReply,      // the device stays silent
    BadCrc,       // the check byte is wrong
    Truncate,     // the last three bytes never come
    WrongAddress, // another address answers
    Noise,        // one to three stray bytes before the reply
    Late,         // a pause before the last byte
    Long          // the reply grows to L = 127 (valid check byte)
};

// One fault of a device or of the whole bus.
struct TFault
{
    TFaultKind Kind = TFaultKind::NoReply;
    double Percent = 100; // chance per reply
    uint32_t Ms = 100;    // pause of a late byte
    int Command = -1;     // only replies to this command code; -1: all
    int Count = -1;       // only this many replies in all; -1: no limit
    int After = 0;        // the first this many matching requests pass untouched
};

// One parameter a device holds.
struct TSimParam
{
    bool Word = false; // two bytes (L = 6 replies) rather than one
    uint16_t Value = 0;
    int RefuseStatus = -1; // status of the reply that refuses a write; -1: writes are stored
    // The parameter is the device's bus address: a value 0..127 written to it moves the
    // device there once it has replied (from the new address at once with
    // RepliesFromNewAddress).
    bool MovesAddress = false;
    bool RepliesFromNewAddress = false;
    // The parameter picks the device's line speed: a value written that the table holds moves
    // the device to that speed once it has replied.
    std::map<uint16_t, uint32_t> BaudTable;
};

// One simulated device.
struct TSimDevice
{
    uint8_t Address = 0;
    uint8_t Type = 0;
    uint16_t Version = 0;
    uint8_t IdentifyLength = 6; // L of the identify reply (5: version low byte only)
    int LatencyMs = -1;         // -1: the bus default
    bool Shared = false;        // shares its address with a device before it: replies collide
    // Line speed the device listens and answers at; at any other it hears nothing. Kept in
    // the device's record, so what the device does after a reply can move it to another.
    uint32_t BaudRate = 9600;
    std::map<uint8_t, TSimParam> Params;
    std::vector<TFault> Faults;
};

// The whole configuration.
struct TSimConfig
{
    uint32_t LatencyMs = 2;   // pause before the first reply byte
    uint32_t CharUs = 1041;   // pace of reply bytes: one character at 9600 baud
    bool CharUsFixed = false; // char-us given: the pace no longer follows the line speed
    uint32_t Seed = 1;        // seed of the random faults and of collisions
    bool Echo = false;        // the converter hands back every byte the program sends
    uint32_t UsbMs = 0;       // bytes reach the program in batches on this timer; 0: at once
    std::vector<TFault> RandomFaults;
    std::vector<TSimDevice> Devices;
};

// Parses configuration text; false with "line N: reason" in `error` on the first mistake.
bool ParseSimConfig(const std::string &text, TSimConfig &config, std::string &error);
// Reads and parses a configuration file.
bool LoadSimConfig(const std::string &path, TSimConfig &config, std::string &error);
