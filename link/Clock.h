#pragma once
// The monotonic clock that every timing of the link, the simulator, the benchmarks and the
// tests reads. It counts from the same origin in every process of the machine.

#include <cstdint>

// Nanoseconds of CLOCK_MONOTONIC (Windows: of the performance counter).
int64_t MonotonicNs();

// Raises the system timer resolution to 1 ms while it lives, so that sleeps and read
// time-outs keep to the millisecond; hold one for as long as the program talks to the bus.
// Only Windows needs it (its default tick is 15.6 ms); elsewhere it does nothing.
class TTimerResolution
{
public:
    TTimerResolution();
    ~TTimerResolution();
    TTimerResolution(const TTimerResolution &) = delete;
    TTimerResolution &operator=(const TTimerResolution &) = delete;

private:
    [[maybe_unused]] bool Raised = false; // Windows only
};
