#pragma once
// Shared pieces of the linvar-cli commands: exit codes, output, the port, the catalogue and
// running a worker to its end message.

#include "tools/cli/CliOptions.h"

#include "device/DeviceRequests.h"
#include "sets/ParameterSet.h"

#include <cstdint>
#include <functional>
#include <string>

class TWorkerHandle;
struct TPostedMessage;

// Exit statuses.
constexpr int ExitOk = 0;
constexpr int ExitDeviceFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitPort = 3;
constexpr int ExitCatalogue = 4;
constexpr int ExitPortLost = 5; // the port went away (converter unplugged) during the command
constexpr int ExitUnread = 6;   // diff: the device could not be read, so sameness is unknown
constexpr int ExitInterrupted = 130;

// Runs the command the options name; returns the exit status.
int RunCli(const TCliOptions &options);

// Prints "linvar-cli: <text>" on stderr, after the trace lines pending, so that an error
// follows the attempts that led to it.
void ReportError(const std::string &text);
// Prints progress on stderr unless quiet: "<what>: <percent>%", overwriting the line on a
// terminal; elsewhere (a log, a pipe) one whole line per tenth of the way.
void ReportProgress(const TCliOptions &options, const char *what, uint32_t percent);
// Ends a progress line begun by ReportProgress.
void EndProgress(const TCliOptions &options);
// Ends a progress line left open on a terminal, so that the next line of stderr starts afresh.
void BreakProgressLine();
// The error for a port lost during `during` ("scan after address 14"): which port, why, and
// what to check. Ask before the port is closed.
std::string PortLostText(const std::string &during);

// Starts a worker with `start` (StartWorker, which fills the handle and deletes a worker
// that cannot start), feeds every posted message to `onMessage` until `endMessage` arrives,
// then waits for the worker to be gone. An interrupt (Ctrl+C) asks the worker to stop; false
// when that happened or the worker did not start.
bool RunWorker(const std::function<bool(TWorkerHandle &)> &start, uint32_t endMessage,
               const std::function<void(const TPostedMessage &)> &onMessage);

// True once Ctrl+C (or SIGTERM) has asked the command to stop.
bool InterruptRequested();
// Prints `json` on stdout, one line; with --trace --json the attempts join it.
void PrintJson(const TJson &json);

// The device a command works on.
struct TTarget
{
    uint8_t Address = 0;
    TDeviceIdentity Identity;
};

// The device at `address`: type and firmware as the options give them, or as the device
// reports them. Builds DeviceParameters for it; on failure returns the exit status with the
// reason in `error`.
int ResolveDevice(const TCliOptions &options, uint8_t address, TTarget &target, std::string &error);
// ResolveDevice for the first --address, with the reason reported on stderr.
int ResolveFirstDevice(const TCliOptions &options, TTarget &target);
// Writes the entries of DeviceParameters that have values to the target and reports each
// (text on stdout unless --json; problems on stderr, after `prefix`); `report` gets the JSON
// result. Returns ExitOk, ExitDeviceFailure or ExitPortLost.
int WriteTarget(const TCliOptions &options, const TTarget &target, const std::string &prefix,
                TJson &report);
// The device head of a JSON result: address, type, type name, firmware and its number.
TJson DeviceHead(const TTarget &target);
// Prints the device head line of a text result.
void PrintDeviceHead(const TTarget &target);
// Shown value of `raw`, or "undefined".
std::string ValueOrUndefined(int32_t raw, int32_t divisor);

// `text` (UTF-8) padded with blanks to `width` characters.
std::string PadRight(const std::string &text, size_t width);

// The commands.
int RunScan(const TCliOptions &options);
int RunRead(const TCliOptions &options);
int RunWrite(const TCliOptions &options);
int RunWriteFrom(const TCliOptions &options);
int RunDiff(const TCliOptions &options);
int RunCatalogue(const TCliOptions &options);
int RunPorts(const TCliOptions &options);
