#pragma once
// Waiting for a condition instead of a fixed time, and the one thread state a test can wait
// for: a thread asleep in a given system call (on a lock, or waiting for input).

#include <functional>

// Polls `done` until it holds or `ms` have passed; returns its last answer. `step` runs
// between polls (an event loop's turn, say); without it the caller's thread naps a moment.
bool WaitUntil(const std::function<bool()> &done, int ms = 10'000,
               const std::function<void()> &step = {});

// The calling thread's kernel id, for SleepingIn; 0 where there is none to read.
long CurrentThreadId();
// The system call that thread `tid` of this process sleeps in (SYS_futex on a lock, SYS_ppoll
// waiting for input; see <sys/syscall.h>), or -1 while it runs. Linux only (it reads /proc);
// -1 elsewhere and for a thread gone.
long SleepingIn(long tid);
// Waits up to `ms` until thread `tid` sleeps in system call `number`; true when it does.
bool WaitUntilSleepingIn(long tid, long number, int ms = 10'000);
