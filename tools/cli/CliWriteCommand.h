#pragma once
// The write command: parameters given on the command line, or a parameter set written
// to one device or several.

#include "tools/cli/CliOptions.h"

// Writes what the options say to the devices at --address; returns the exit status.
int RunWrite(const TCliOptions &options);
