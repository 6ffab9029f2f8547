#pragma once
// What the linvar-cli tests share: running the program as a child process (to its end, or
// watched while it runs), the parameter sets they hand it, and the JSON reader that checks
// its output.

#include "tests/support/SimulatorProcess.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <vector>

// Output and exit status of one run.
struct TCliRun
{
    int Status = -1; // exit status; -1 when it did not exit normally
    std::string Out;
    std::string Err;
    double CpuSeconds = 0; // user and system time the process used in all
};

// linvar-cli running as a child process with `arguments`; the environment is inherited.
class TCliProcess
{
public:
    explicit TCliProcess(const std::vector<std::string> &arguments);
    // Waits for its end if Finish was not called.
    ~TCliProcess();
    TCliProcess(const TCliProcess &) = delete;
    TCliProcess &operator=(const TCliProcess &) = delete;

    // Collects its output until stderr holds `text`; false when it ended or `timeout` passed
    // first.
    bool WaitForErr(const std::string &text, std::chrono::milliseconds timeout);
    // Sends it SIGTERM, as Ctrl+C or a service manager would ask it to stop.
    void Interrupt();
    // User and system time the process has used so far, in seconds (10 ms steps).
    double CpuSeconds() const;
    // Collects the rest of its output and waits for its end.
    TCliRun Finish();

private:
    TChildProcess Child;
    TCliRun Run;
    bool Finished = false;
};

// Runs the linvar-cli built with these tests with `arguments` to its end.
TCliRun RunCli(const std::vector<std::string> &arguments);

// `text` parsed strictly; a discarded value (is_discarded()) when it is not valid JSON.
nlohmann::json ParseJson(const std::string &text);

// Quick link timings for the quick simulated bus of these tests, on port 7.
TSimulatorProcess::TOptions QuickBus();
