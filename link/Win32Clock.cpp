#include "link/Clock.h"

#include "link/WindowsApi.h"

#include <mmsystem.h>

int64_t MonotonicNs()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : int64_t{1};
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart: ticks times 1e9 would overflow after days.
    const int64_t ticks = counter.QuadPart;
    return ticks / frequency * 1'000'000'000 + ticks % frequency * 1'000'000'000 / frequency;
}

TTimerResolution::TTimerResolution() : Raised(timeBeginPeriod(1) == TIMERR_NOERROR) {}

TTimerResolution::~TTimerResolution()
{
    if (Raised) {
        timeEndPeriod(1);
    }
}
