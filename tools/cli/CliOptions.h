#pragma once
// The command line of linvar-cli: global options, the command and its arguments.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Commands.
enum class TCliCommand
{
    None,
    Help,
    Scan,
    Read,
    Write,
    Diff,
    Catalogue,
    Ports,
    Watch
};

// One NAME=VALUE assignment of the write command.
struct TAssignment
{
    std::string Name; // parameter name (UTF-8) or index number
    std::string Value;
};

// Everything the command line says.
struct TCliOptions
{
    TCliCommand Command = TCliCommand::None;
    std::optional<uint8_t> Port;        // --port N
    std::string Device;                 // --device PATH
    std::string Catalogue;              // --catalogue FILE
    bool Json = false;                  // --json
    bool Quiet = false;                 // --quiet: no progress on stderr
    bool Trace = false;                 // --trace: every attempt on the bus on stderr
    bool Stats = false;                 // --stats: the bus health after the command
    bool Fast = false;                  // scan --fast: one short ping per address first
    std::vector<uint32_t> BaudRates;    // --baud B, B,B... or all; none: the settings' speed
    bool ZeroAddress = false;           // scan --zero, write --zero
    std::optional<uint8_t> LastAddress; // scan --last A
    std::vector<uint8_t> Addresses;     // --address A, or A,B,C for write --from
    std::optional<uint8_t> Type;        // --type T
    std::optional<uint16_t> Firmware;   // --firmware V (version number, 1.11 -> 111)
    bool Defaults = false;              // write --defaults
    bool Raw = false;                   // write --raw: values are raw device units
    std::string SetFile;                // write --from FILE, diff FILE: a parameter set
    std::optional<uint32_t> IntervalMs; // watch --interval MS between rounds
    std::optional<uint32_t> Count;      // watch --count N rounds
    std::optional<int32_t> Index;       // watch --index I: a read instead of an identify
    std::vector<TAssignment> Assignments;
    std::string Help; // the help text asked for (Command is Help): the program's or a command's
};

// Parses argv; false with a one-line `error` when the command line is not usable.
bool ParseCliOptions(int argc, const char *const argv[], TCliOptions &options, std::string &error);
