#pragma once
// The read command: a device's parameters.

#include "tools/cli/CliOptions.h"

// Reads the device at --address and prints its parameters; returns the exit status.
int RunRead(const TCliOptions &options);
