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

bool ThreadSleeps(long tid)
{
#ifdef __linux__
    // The state is the field after the command name in parentheses: S sleeps interruptibly
    // (a futex, poll, read), D in an uninterruptible wait.
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state == 'S' || state == 'D';
#else
    (void)tid;
    return false;
#endif
}

bool WaitUntilThreadSleeps(long tid, int ms)
{
    return WaitUntil([tid] { return ThreadSleeps(tid); }, ms);
}
