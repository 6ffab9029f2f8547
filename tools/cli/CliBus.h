#pragma once
// linvar-cli on the bus: the port it opens, Ctrl+C, and running a worker to its end message.

#include "tools/cli/CliOptions.h"

#include <cstdint>
#include <functional>
#include <string>

class TWorkerHandle;
struct TPostedMessage;

// Has Ctrl+C (and SIGTERM) ask the running command to stop instead of ending the program.
void CatchInterrupts();
// True once Ctrl+C (or SIGTERM) has asked the command to stop.
bool InterruptRequested();

// Opens the port the options name, or the first of 1..15 that opens, as the window does;
// false with the reason in `error`. `refused` tells whether a port was refused for want of
// rights.
bool OpenCliPort(const TCliOptions &options, std::string &error, bool &refused);
// The error for a port lost during `during` ("scan after address 14"): which port, why, and
// what to check. Ask before the port is closed.
std::string PortLostText(const std::string &during);

// Starts a worker with `start` (StartWorker, which fills the handle and deletes a worker
// that cannot start), feeds every posted message to `onMessage` until `endMessage` arrives,
// then waits for the worker to be gone. An interrupt (Ctrl+C) asks the worker to stop; false
// when that happened or the worker did not start.
bool RunWorker(const std::function<bool(TWorkerHandle &)> &start, uint32_t endMessage,
               const std::function<void(const TPostedMessage &)> &onMessage);
