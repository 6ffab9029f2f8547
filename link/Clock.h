#pragma once
// The monotonic clock that every timing of the link, the simulator, the benchmarks and the
// tests reads. It counts from the same origin in every process of the machine.

#include <cstdint>

// Nanoseconds of CLOCK_MONOTONIC.
int64_t MonotonicNs();
