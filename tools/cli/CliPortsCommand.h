#pragma once
// The ports command: the port numbers whose device exists, and what stands behind each.

#include "tools/cli/CliOptions.h"

// Lists the ports without opening any; returns the exit status.
int RunPorts(const TCliOptions &options);
