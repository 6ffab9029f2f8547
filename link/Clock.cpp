#include "link/Clock.h"

#include <ctime>

int64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Sleeps and poll() time-outs are already fine-grained here.
TTimerResolution::TTimerResolution() = default;
TTimerResolution::~TTimerResolution() = default;
