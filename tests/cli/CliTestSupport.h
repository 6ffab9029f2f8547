#pragma once
// What the linvar-cli tests share: running the program as a child process, and the strict
// JSON reader that checks its output.

#include "JsonValue.h"

#include <string>
#include <vector>

// Output and exit status of one run.
struct TCliRun
{
    int Status = -1; // exit status; -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// Runs the linvar-cli built with these tests with `arguments`; the environment is inherited.
TCliRun RunCli(const std::vector<std::string> &arguments);
