#include "tests/support/SimulatorProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/Clock.h"

namespace {

constexpr int ReadyTimeoutMs = 10'000;
constexpr int StopTimeoutMs = 5'000;

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
{
    Start(configPath, options);
}

void TSimulatorProcess::Start(const std::string &configPath, const TOptions &options)
{
    Port = options.Port;
    ConfigPath = configPath;
    Arguments = options.Arguments;
    if (Directory.Path.empty()) {
        Failure = "cannot create a temporary folder: " + std::string(std::strerror(errno));
        return;
    }
    LinkPath = Directory.File("bus");
    Settings = Directory.File("rs485.conf");
    if (!Launch()) {
        return;
    }

    std::ofstream settings(Settings);
    settings << "[Software\\KAVEN\\VELMO\\RS]\n";
    settings << "COM" << static_cast<int>(Port) << "=" << LinkPath << "\n";
    for (const std::string &extra : options.SettingsLines) {
        settings << extra << "\n";
    }
    settings.close();
    if (!settings) {
        Failure = "cannot write " + Settings;
        return;
    }
    SettingsEnv = std::make_unique<TSettingsEnv>(Settings);
    IsReady = true;
}

bool TSimulatorProcess::Restart()
{
    Stop();
    if (Settings.empty() || !Launch()) {
        return false;
    }
    IsReady = true;
    return true;
}

bool TSimulatorProcess::Launch()
{
    std::vector<std::string> args = {ExecutablePath(), "--config", ConfigPath, "--link", LinkPath};
    args.insert(args.end(), Arguments.begin(), Arguments.end());
    std::vector<char *> argv;
    for (std::string &arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        Failure = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        Failure = "fork: " + std::string(std::strerror(errno));
        close(out[0]);
        close(out[1]);
        return false;
    }
    if (pid == 0) {
        // The simulator must not outlive a test runner that dies without cleaning up.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Child = pid;
    close(out[1]);
    StdoutFd = out[0];

    // The simulator prints "ready LINK PTY" once its device can be opened.
    std::string line;
    const int64_t deadlineNs = MonotonicNs() + int64_t(ReadyTimeoutMs) * 1'000'000;
    while (line.find('\n') == std::string::npos) {
        const int64_t leftMs = (deadlineNs - MonotonicNs()) / 1'000'000;
        pollfd p{StdoutFd, POLLIN, 0};
        if (leftMs <= 0 || poll(&p, 1, static_cast<int>(leftMs)) <= 0) {
            Failure = "linvar-sim did not report ready in time";
            return false;
        }
        char buffer[256];
        const ssize_t n = read(StdoutFd, buffer, sizeof buffer);
        if (n <= 0) {
            Failure = "linvar-sim ended before it was ready (see its messages above)";
            return false;
        }
        line.append(buffer, static_cast<size_t>(n));
    }
    if (line.rfind("ready ", 0) != 0) {
        Failure = "unexpected first line from linvar-sim: " + line;
        return false;
    }
    return true;
}

int TSimulatorProcess::Stop()
{
    int result = -1;
    if (Child > 0) {
        kill(Child, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int waited = 0; waited < StopTimeoutMs; waited += 5) {
            if (waitpid(Child, &status, WNOHANG) == Child) {
                ended = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!ended) {
            kill(Child, SIGKILL);
            waitpid(Child, &status, 0);
        } else if (WIFEXITED(status)) {
            result = WEXITSTATUS(status);
        }
        Child = 0;
    }
    if (StdoutFd >= 0) {
        close(StdoutFd);
        StdoutFd = -1;
    }
    IsReady = false;
    return result;
}

TSimulatorProcess::~TSimulatorProcess()
{
    // The simulator goes first; the settings variable and the folder follow with the members.
    Stop();
}
