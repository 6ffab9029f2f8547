#pragma once
// Shared pieces of the linvar-cli commands: exit codes, output, the port, the catalogue and
// running a worker to its end message.

#include "CliOptions.h"

#include <cstdint>
#include <functional>
#include <string>

class TJsonWriter;
class TWorkerHandle;
struct ParameterDescription;
struct TPostedMessage;

// Exit statuses.
constexpr int ExitOk = 0;
constexpr int ExitDeviceFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitPort = 3;
constexpr int ExitCatalogue = 4;
constexpr int ExitPortLost = 5; // the port went away (converter unplugged) during the command
constexpr int ExitInterrupted = 130;

// Runs the command the options name; returns the exit status.
int RunCli(const TCliOptions &options);

// Prints "linvar-cli: <text>" on stderr.
void ReportError(const std::string &text);
// Prints progress on stderr unless quiet: "<what>: <percent>%", overwriting the line on a
// terminal; elsewhere (a log, a pipe) one whole line per tenth of the way.
void ReportProgress(const TCliOptions &options, const char *what, uint32_t percent);
// Ends a progress line begun by ReportProgress.
void EndProgress(const TCliOptions &options);
// The error for a port lost during `during` ("scan after address 14"): which port, why, and
// what to check. Ask before the port is closed.
std::string PortLostText(const std::string &during);

// Starts a worker with `start` (StartWorker, which fills the handle and deletes a worker
// that cannot start), feeds every posted message to `onMessage` until `endMessage` arrives,
// then waits for the worker to be gone. An interrupt (Ctrl+C) asks the worker to stop; false
// when that happened or the worker did not start.
bool RunWorker(const std::function<bool(TWorkerHandle &)> &start, uint32_t endMessage,
               const std::function<void(const TPostedMessage &)> &onMessage);

// Writes a parameter's catalogue fields (index, name, size, divisor, limits, default) into
// the open JSON object.
void WriteParameterFields(TJsonWriter &json, const ParameterDescription &entry);

// `text` (UTF-8) padded with blanks to `width` characters.
std::string PadRight(const std::string &text, size_t width);

// The commands.
int RunScan(const TCliOptions &options);
int RunRead(const TCliOptions &options);
int RunWrite(const TCliOptions &options);
int RunCatalogue(const TCliOptions &options);
