#pragma once
// The catalogue command: the device entries of params.cfg, or the parameters one device type
// and firmware gets.

#include "tools/cli/CliOptions.h"

// Lists the catalogue's devices, or with --type and --firmware that device's parameters;
// returns the exit status.
int RunCatalogue(const TCliOptions &options);
