#include "tests/cli/CliTestSupport.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TCliProcess::TCliProcess(const std::vector<std::string> &arguments)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return;
    std::vector<std::string> words = {LINVAR_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    Child = fork();
    if (Child == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    OutFd = out[0];
    ErrFd = err[0];
}

TCliProcess::~TCliProcess()
{
    if (!Finished)
        Finish();
}

bool TCliProcess::Collect(int timeoutMs)
{
    pollfd fds[2] = {{OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}};
    int *owners[2] = {&OutFd, &ErrFd};
    std::string *sinks[2] = {&Run.Out, &Run.Err};
    if (OutFd < 0 && ErrFd < 0)
        return false;
    if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<size_t>(n));
        } else {
            close(fds[i].fd);
            *owners[i] = -1;
        }
    }
    return OutFd >= 0 || ErrFd >= 0;
}

bool TCliProcess::WaitForErr(const std::string &text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Run.Err.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Collect(static_cast<int>(left.count())))
            return false;
    }
    return true;
}

double TCliProcess::CpuSeconds() const
{
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses.
    std::ifstream in("/proc/" + std::to_string(Child) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

TCliRun TCliProcess::Finish()
{
    Finished = true;
    while (Collect(-1)) {
    }
    int status = 0;
    rusage usage{};
    if (Child > 0 && wait4(Child, &status, 0, &usage) == Child) {
        if (WIFEXITED(status))
            Run.Status = WEXITSTATUS(status);
        Run.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    Child = -1;
    return Run;
}

TCliRun RunCli(const std::vector<std::string> &arguments)
{
    return TCliProcess(arguments).Finish();
}

nlohmann::json ParseJson(const std::string &text)
{
    return nlohmann::json::parse(text, nullptr, false);
}

TSimulatorProcess::TOptions QuickBus()
{
    // Untimed sending needs no hold of the line.
    TSimulatorProcess::TOptions options;
    options.Port = 7;
    options.SettingsLines = {"StartTimeOut=0", "TimeoutConstant=30", "CmdTimeoutConstant=200",
                             "USARTMode=1"};
    return options;
}
