#pragma once
// What linvar-cli tells: results on stdout (JSON or text), errors, progress and the trace on
// stderr, kept in order with one another.

#include "tools/cli/CliOptions.h"

#include "sets/ParameterSet.h"

#include <cstdint>
#include <string>

// Prints "linvar-cli: <text>" on stderr, after the trace lines pending, so that an error
// follows the attempts that led to it.
void ReportError(const std::string &text);
// Prints progress on stderr unless quiet: "<what>: <percent>%", overwriting the line on a
// terminal; elsewhere (a log, a pipe) one whole line per tenth of the way.
void ReportProgress(const TCliOptions &options, const char *what, uint32_t percent);
// Ends a progress line begun by ReportProgress.
void EndProgress();
// Prints the trace lines recorded since the last call on stderr (CliTrace).
void DrainTrace();
// Prints `json` on stdout, one line; with --trace --json the attempts join it, and with
// --stats --json the bus health as "stats".
void PrintJson(const TJson &json);
// Has PrintJson add the bus health ("stats") to what it prints.
void AddStatsToJson(bool add);
// "complete": whether a command ran to its end, and "error", the error that ended it early.
TJson Completion(const std::string &error);
// `text` (UTF-8) padded with blanks to `width` characters, for the columns of text output.
std::string PadRight(const std::string &text, size_t width);
