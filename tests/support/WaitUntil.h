#pragma once
// Waiting for a condition instead of a fixed time, and the one thread state a test can wait
// for: a thread asleep in the kernel (on a lock, a condition or input).

#include <functional>

// Polls `done` until it holds or `ms` have passed; returns its last answer. `step` runs
// between polls (an event loop's turn, say); without it the caller's thread naps a moment.
bool WaitUntil(const std::function<bool()> &done, int ms = 10'000,
               const std::function<void()> &step = {});

// The calling thread's kernel id, for ThreadSleeps; 0 where there is none to read.
long CurrentThreadId();
// True while thread `tid` of this process is asleep in the kernel: blocked on a lock, a
// condition or a read. Linux only (it reads /proc); false elsewhere and for a thread gone.
bool ThreadSleeps(long tid);
// Waits up to `ms` until thread `tid` is asleep in the kernel; true when it is.
bool WaitUntilThreadSleeps(long tid, int ms = 10'000);
