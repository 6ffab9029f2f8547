#include "tests/support/SimulatorProcess.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

constexpr int ReadyTimeoutMs = 10'000;

} // namespace

std::string TSimulatorProcess::ExecutablePath()
{
    return LINVAR_SIM_PATH;
}

TSimulatorProcess::TSimulatorProcess(const std::string &configPath)
    : TSimulatorProcess(configPath, TOptions())
{
}

TSimulatorProcess::TSimulatorProcess(const std::string &configPath, const TOptions &options)
    : ConfigPath(configPath), Options(options), Port(options.Port)
{
    if (Directory.Path.empty()) {
        Failure = "cannot create a temporary folder: " + std::string(std::strerror(errno));
        return;
    }
    LinkPath = Directory.File("bus");
    Settings = Directory.File("rs485.conf");
    if (!Launch())
        return;

    std::ofstream settings(Settings);
    settings << "[Software\\KAVEN\\VELMO\\RS]\n";
    settings << "COM" << static_cast<int>(Port) << "=" << LinkPath << "\n";
    for (const std::string &extra : options.SettingsLines)
        settings << extra << "\n";
    settings.close();
    if (!settings) {
        Failure = "cannot write " + Settings;
        return;
    }
    Directory.SetEnv("LINVAR_SETTINGS", Settings);
    IsReady = true;
}

bool TSimulatorProcess::Restart()
{
    Stop();
    if (Settings.empty() || !Launch())
        return false;
    IsReady = true;
    return true;
}

bool TSimulatorProcess::Launch()
{
    std::vector<std::string> argv = {ExecutablePath(), "--config", ConfigPath, "--link", LinkPath};
    argv.insert(argv.end(), Options.Arguments.begin(), Options.Arguments.end());
    TChildOptions child;
    child.Stdout = TChildOutput::Pipe;
    if (!Options.LogPath.empty()) {
        child.Stderr = TChildOutput::File;
        child.LogPath = Options.LogPath;
    }
    if (!Child.Start(argv, child)) {
        Failure = Child.Error();
        return false;
    }
    // The simulator prints "ready LINK PTY" once its device can be opened.
    if (!Child.WaitForOutput("\n", ReadyTimeoutMs)) {
        Failure = Child.Running() ? "linvar-sim did not report ready in time"
                                  : "linvar-sim ended before it was ready (see its messages)";
        return false;
    }
    if (Child.Out().rfind("ready ", 0) != 0) {
        Failure = "unexpected first line from linvar-sim: " + Child.Out();
        return false;
    }
    return true;
}

int TSimulatorProcess::Stop()
{
    IsReady = false;
    return Child.Stop();
}

TSimulatorProcess::~TSimulatorProcess()
{
    // The simulator goes first; the settings variable and the folder follow with the members.
    Stop();
}
