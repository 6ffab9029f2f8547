#pragma once
// The diff command: where a device differs from a parameter set.

#include "tools/cli/CliOptions.h"

// Reads the device at --address and lists where it differs from the set; returns the exit
// status (0 the same, 1 differs, 6 unread).
int RunDiff(const TCliOptions &options);
