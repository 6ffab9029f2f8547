#pragma once
// Runs the real bus simulator (linvar-sim) for a test: starts it on a configuration, waits
// until its pseudo-terminal is ready, maps a port number to it through a temporary settings
// file named by LINVAR_SETTINGS, and stops it by its own pid when destroyed.
//
//     TSimulatorProcess sim(LINVAR_TEST_DATA "/sim-basic.conf");
//     ASSERT_TRUE(sim.Ready()) << sim.Error();
//     LoadLinkSettings();                 // picks up the settings file
//     ASSERT_TRUE(OpenComPort(sim.PortNumber()));
//
// Not copyable; one at a time per process (LINVAR_SETTINGS is process-wide).

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

class TSimulatorProcess
{
public:
    struct TOptions
    {
        uint8_t Port = 1;                       // port number mapped to the simulator
        std::vector<std::string> SettingsLines; // extra settings lines, e.g. "TimeoutConstant=20"
        std::vector<std::string> Arguments;     // extra simulator arguments, e.g. "--seed", "7"
        std::string LogPath; // a file for its messages (--verbose frames); empty: inherited
    };

    // Starts linvar-sim on `configPath` and waits (up to 10 s) until it is ready.
    explicit TSimulatorProcess(const std::string &configPath);
    TSimulatorProcess(const std::string &configPath, const TOptions &options);
    // Stops the simulator (SIGTERM, then SIGKILL if it lingers), removes the temporary
    // files and restores LINVAR_SETTINGS.
    ~TSimulatorProcess();
    TSimulatorProcess(const TSimulatorProcess &) = delete;
    TSimulatorProcess &operator=(const TSimulatorProcess &) = delete;

    // True when the simulator runs and its device is reachable.
    bool Ready() const { return IsReady; }
    // Why it is not ready, for test output.
    const std::string &Error() const { return Failure; }
    // The stable path of the simulated bus (a symbolic link to its pseudo-terminal).
    const std::string &DevicePath() const { return LinkPath; }
    // The settings file written for this run.
    const std::string &SettingsPath() const { return Settings; }
    // The port number that names the simulated bus.
    uint8_t PortNumber() const { return Port; }
    // The simulator's process id (0 when it did not start).
    pid_t Pid() const { return Child.Pid(); }
    // Stops the simulator now and returns its exit status (-1 if it had to be killed). Its
    // pseudo-terminal goes with it: a program that has it open sees a hang-up, as when a
    // converter is pulled out.
    int Stop();
    // Starts the simulator again after Stop, on the same configuration, link and settings
    // file, as when the converter is plugged back in; true when it is ready.
    bool Restart();

    // Path of the linvar-sim executable these tests were built with.
    static std::string ExecutablePath();

private:
    // Runs linvar-sim and waits for its ready line; false with Failure set.
    bool Launch();

    bool IsReady = false;
    std::string Failure;
    std::string ConfigPath;
    TOptions Options;
    TTempDir Directory{"linvar-sim-"};
    std::string LinkPath;
    std::string Settings;
    uint8_t Port = 1;
    TChildProcess Child;
};

// The runner's former name, still used by the command-line and end-to-end tests.
using SimulatorProcess = TSimulatorProcess;
