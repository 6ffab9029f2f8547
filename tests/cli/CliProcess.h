#pragma once
// Runs linvar-cli as a child process and captures what it prints and its exit status.

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
