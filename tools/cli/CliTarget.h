#pragma once
// The device a linvar-cli command works on: finding out what it is, reading and writing its
// parameters, and how results name it.

#include "tools/cli/CliOptions.h"

#include "device/DeviceRequests.h"
#include "sets/ParameterSet.h"

#include <cstdint>
#include <string>

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
// Reads every parameter of DeviceParameters from the target, showing progress; returns how
// many entries were done. `silent`, when given, tells whether the read ended early because
// the device stopped answering.
size_t ReadTarget(const TCliOptions &options, const TTarget &target, bool *silent = nullptr);
// Writes the entries of DeviceParameters that have values to the target and reports each
// (text on stdout unless --json; problems on stderr, after `prefix`); `report` gets the JSON
// result. A device that stops answering ends the write early, with a warning. A device that a
// value moves to another address or line speed is followed there when it can be told apart
// from any other; `target` then holds where it is now, and the result says so. Returns ExitOk,
// ExitDeviceFailure or ExitPortLost.
int WriteTarget(const TCliOptions &options, TTarget &target, const std::string &prefix,
                TJson &report);
// "<what> after N of M parameters" for a message about the port's loss.
std::string ProgressOf(const char *what, size_t done);
// The device head of a JSON result: address, type, type name, firmware and its number.
TJson DeviceHead(const TTarget &target);
// Prints the device head line of a text result.
void PrintDeviceHead(const TTarget &target);
// Shown value of `raw`, or "undefined".
std::string ValueOrUndefined(int32_t raw, int32_t divisor);
