#pragma once
// The scan command: the devices on the bus.

#include "tools/cli/CliOptions.h"

// Sweeps the bus and lists the devices that answer; returns the exit status.
int RunScan(const TCliOptions &options);
