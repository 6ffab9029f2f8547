#pragma once
// The watch command: polls devices round after round, for checking the wiring and the
// termination while someone works on the bus.

#include "tools/cli/CliOptions.h"

// Polls every --address once per round (an identify, or a read of --index) and prints a line
// per round with each device's health so far, until interrupted or --count rounds; returns
// the exit status.
int RunWatch(const TCliOptions &options);
