#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// The process groups of the children still running, for a runner that dies before their
// owners can stop them. Plain atomics: a signal handler reads them.
constexpr size_t MaxGroups = 64;
std::atomic<pid_t> LiveGroups[MaxGroups];
constexpr int FatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT};
struct sigaction PreviousActions[std::size(FatalSignals)];

void KillLiveGroups()
{
    for (std::atomic<pid_t> &group : LiveGroups) {
        const pid_t pid = group.exchange(0);
        if (pid > 0)
            kill(-pid, SIGKILL);
    }
}

// Kills the children's groups, then lets the signal do what it did before.
void OnFatalSignal(int signal)
{
    KillLiveGroups();
    for (size_t i = 0; i < std::size(FatalSignals); ++i) {
        if (FatalSignals[i] == signal)
            sigaction(signal, &PreviousActions[i], nullptr);
    }
    raise(signal);
}

void InstallCleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t i = 0; i < std::size(FatalSignals); ++i) {
            struct sigaction action = {};
            action.sa_handler = OnFatalSignal;
            sigemptyset(&action.sa_mask);
            sigaction(FatalSignals[i], &action, &PreviousActions[i]);
        }
        std::atexit(KillLiveGroups);
    });
}

void Register(pid_t pid)
{
    for (std::atomic<pid_t> &group : LiveGroups) {
        pid_t free = 0;
        if (group.compare_exchange_strong(free, pid))
            return;
    }
}

void Unregister(pid_t pid)
{
    for (std::atomic<pid_t> &group : LiveGroups) {
        pid_t mine = pid;
        group.compare_exchange_strong(mine, 0);
    }
}

// The child's environment: the runner's, less the names given, then the given entries.
std::vector<std::string> ChildEnvironment(const std::vector<std::string> &given)
{
    std::vector<std::string> env;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const std::string_view name = text.substr(0, text.find('=') + 1);
        const bool replaced = std::any_of(
            given.begin(), given.end(), [&](const std::string &g) { return g.starts_with(name); });
        if (!replaced)
            env.emplace_back(text);
    }
    env.insert(env.end(), given.begin(), given.end());
    return env;
}

std::vector<char *> Pointers(std::vector<std::string> &words)
{
    std::vector<char *> pointers;
    for (std::string &word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds left until `deadline` (-1: none), never below 0.
int LeftMs(int64_t deadline)
{
    return deadline < 0 ? -1 : static_cast<int>(std::max<int64_t>(deadline - NowMs(), 0));
}

} // namespace

TChildProcess::~TChildProcess()
{
    Stop();
}

bool TChildProcess::Start(const std::vector<std::string> &argv, const TChildOptions &options)
{
    Stop();
    FPid = 0;
    Ended = false;
    WaitStatus = 0;
    CpuUsed = 0;
    OutText.clear();
    ErrText.clear();
    Failure.clear();
    if (argv.empty()) {
        Failure = "nothing to run";
        return false;
    }
    InstallCleanup();

    // Everything the child needs is made before the fork: after it, only plain calls.
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = ChildEnvironment(options.Environment);
    std::vector<char *> args = Pointers(arguments);
    std::vector<char *> envp = Pointers(environment);
    const bool toFile =
        options.Stdout == TChildOutput::File || options.Stderr == TChildOutput::File;
    int log = -1;
    if (toFile) {
        log = open(options.LogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (log < 0) {
            Failure = "cannot write " + options.LogPath + ": " + std::strerror(errno);
            return false;
        }
    }
    // stdout, stderr and the exec report: a pipe each, closed in the child on exec.
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    int exec[2] = {-1, -1};
    const bool piped = (options.Stdout != TChildOutput::Pipe || pipe2(out, O_CLOEXEC) == 0) &&
                       (options.Stderr != TChildOutput::Pipe || pipe2(err, O_CLOEXEC) == 0) &&
                       pipe2(exec, O_CLOEXEC) == 0;
    const pid_t parent = getpid();
    const pid_t pid = piped ? fork() : -1;
    if (pid == 0) {
        // A group of its own, so that Stop reaches whatever it starts; and a signal when the
        // runner's thread that started it ends, however it ends.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        const auto route = [&](TChildOutput where, int pipeEnd, int target) {
            switch (where) {
            case TChildOutput::Inherit:
                break;
            case TChildOutput::Null:
                dup2(null, target);
                break;
            case TChildOutput::Pipe:
                dup2(pipeEnd, target);
                break;
            case TChildOutput::File:
                dup2(log, target);
                break;
            }
        };
        route(options.Stdout, out[1], STDOUT_FILENO);
        route(options.Stderr, err[1], STDERR_FILENO);
        if (options.KeepFd >= 0)
            fcntl(options.KeepFd, F_SETFD, 0);
        execve(args[0], args.data(), envp.data());
        const int error = errno;
        (void)!write(exec[1], &error, sizeof error);
        _exit(127);
    }
    const int forkError = errno;
    for (int fd : {log, out[1], err[1], exec[1]}) {
        if (fd >= 0)
            close(fd);
    }
    OutFd = out[0];
    ErrFd = err[0];
    if (pid < 0) {
        if (exec[0] >= 0)
            close(exec[0]);
        ClosePipes();
        Failure = std::string(piped ? "fork: " : "pipe: ") + std::strerror(forkError);
        return false;
    }
    setpgid(pid, pid);
    FPid = pid;
    Register(pid);
    // The report pipe closes unread when the exec succeeded.
    int execError = 0;
    ssize_t got = 0;
    do {
        got = read(exec[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(exec[0]);
    if (got > 0) {
        Reap(true);
        ClosePipes();
        Failure = "cannot run " + argv[0] + ": " + std::strerror(execError);
        return false;
    }
    return true;
}

bool TChildProcess::Running()
{
    return FPid > 0 && !Reap(false);
}

bool TChildProcess::Reap(bool block)
{
    if (FPid <= 0 || Ended)
        return true;
    siginfo_t info = {};
    if (waitid(P_PID, id_t(FPid), &info, WEXITED | WNOWAIT | (block ? 0 : WNOHANG)) != 0 ||
        info.si_pid == 0)
        return false;
    // The leader is a zombie, so its group id cannot be reused yet: what it left in its
    // group goes with it.
    kill(-FPid, SIGKILL);
    rusage usage = {};
    wait4(FPid, &WaitStatus, 0, &usage);
    CpuUsed = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    Ended = true;
    Unregister(FPid);
    return true;
}

bool TChildProcess::Pump(int ms)
{
    pollfd fds[2] = {{OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}};
    int *owners[2] = {&OutFd, &ErrFd};
    std::string *sinks[2] = {&OutText, &ErrText};
    if (OutFd < 0 && ErrFd < 0)
        return false;
    if (poll(fds, 2, ms) <= 0)
        return false;
    bool progress = false;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, size_t(n));
        } else if (n == 0 || errno != EINTR) {
            close(fds[i].fd);
            *owners[i] = -1;
        }
        progress = true;
    }
    return progress;
}

void TChildProcess::ClosePipes()
{
    for (int *fd : {&OutFd, &ErrFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool TChildProcess::WaitForOutput(const std::string &text, int ms, bool fromStderr)
{
    const std::string &stream = fromStderr ? ErrText : OutText;
    const int &fd = fromStderr ? ErrFd : OutFd;
    const int64_t deadline = NowMs() + ms;
    while (stream.find(text) == std::string::npos) {
        if (fd < 0 || LeftMs(deadline) == 0)
            return false;
        Pump(LeftMs(deadline));
    }
    return true;
}

bool TChildProcess::WaitExit(int ms)
{
    if (FPid <= 0)
        return false;
    const int64_t deadline = ms < 0 ? -1 : NowMs() + ms;
    while (!Reap(false)) {
        if (LeftMs(deadline) == 0)
            return false;
        // The pipes wake the wait when the child closes them at its end; a child without
        // them is looked at every few milliseconds.
        const int slice = LeftMs(deadline) < 0 ? 20 : std::min(LeftMs(deadline), 20);
        if (!Pump(slice) && OutFd < 0 && ErrFd < 0)
            poll(nullptr, 0, std::min(slice, 2));
    }
    // What is still in the pipes; nothing of the child's group writes any more.
    while (Pump(200)) {
    }
    return true;
}

int TChildProcess::ExitCode() const
{
    return Ended && WIFEXITED(WaitStatus) ? WEXITSTATUS(WaitStatus) : -1;
}

double TChildProcess::CpuSeconds() const
{
    if (Ended)
        return CpuUsed;
    if (FPid <= 0)
        return 0;
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses.
    std::ifstream in("/proc/" + std::to_string(FPid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::atoll(field.c_str());
    }
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

int TChildProcess::Stop(int deadlineMs)
{
    if (FPid > 0 && !Reap(false)) {
        kill(-FPid, SIGTERM);
        if (!WaitExit(deadlineMs)) {
            kill(-FPid, SIGKILL);
            Reap(true);
        }
    }
    ClosePipes();
    return ExitCode();
}
