#include "tests/support/WaitUntil.h"

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>
#endif

bool WaitUntil(const std::function<bool()> &done, int ms, const std::function<void()> &step)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        if (step)
            step();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

long CurrentThreadId()
{
#ifdef __linux__
    return static_cast<long>(syscall(SYS_gettid));
#else
    return 0;
#endif
}

long SleepingIn(long tid)
{
#ifdef __linux__
    // The state is the field after the command name in parentheses: S sleeps interruptibly,
    // D uninterruptibly. A sleeping thread's syscall file starts with the call's number.
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    std::ifstream statFile(task + "/stat");
    std::string stat;
    std::getline(statFile, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size() ||
        (stat[close + 2] != 'S' && stat[close + 2] != 'D'))
        return -1;
    std::ifstream syscallFile(task + "/syscall");
    long number = -1;
    return syscallFile >> number ? number : -1;
#else
    (void)tid;
    return -1;
#endif
}

bool WaitUntilSleepingIn(long tid, long number, int ms)
{
    return WaitUntil([tid, number] { return SleepingIn(tid) == number; }, ms);
}
