#pragma once
// Runs a parsed linvar-cli command line: the catalogue, the port and the command.

#include "tools/cli/CliOptions.h"

// Runs the command the options name; returns the exit status.
int RunCli(const TCliOptions &options);
