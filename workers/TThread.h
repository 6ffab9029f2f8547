#pragma once
// The base of the background workers: a thread that runs its body once, reports only by
// posted messages and frees itself when the body returns. Whoever must wait for a worker
// does so through a TWorkerHandle, which outlives the worker object.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

struct TWorkerState;
class TWorkerHandle;

template <class TWorker, class... TArguments>
bool StartWorker(TWorkerHandle &handle, TArguments &&...arguments);

// Lasting handle to one worker: safe to use after the worker has freed itself.
class TWorkerHandle
{
public:
    TWorkerHandle() = default;
    // True when the handle refers to a worker (running or ended).
    explicit operator bool() const { return State != nullptr; }
    // Asks the worker to end at its next check; nothing on an empty handle.
    void RequestStop() const;
    // True when the worker's thread was started (false also on an empty handle).
    bool Started() const;
    // True while the worker's body runs or its object is not yet freed.
    bool Running() const;
    // Blocks until the worker has ended and freed itself; returns at once on an empty handle.
    void Wait() const;
    // As Wait, but gives up after `timeout`; true when the worker has ended.
    bool WaitFor(std::chrono::milliseconds timeout) const;

private:
    friend class TThread;
    explicit TWorkerHandle(std::shared_ptr<TWorkerState> state) : State(std::move(state)) {}
    std::shared_ptr<TWorkerState> State;
};

// Thread base class. A worker is made and started in one step by StartWorker (StartWorker.h),
// which constructs it whole first and starts its thread second: a thread started from a
// constructor could run to its end and free the object before the constructor returned.
class TThread
{
public:
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;
    virtual ~TThread();

    // Stop request: set through a handle (or by the worker itself), read between exchanges.
    std::atomic<bool> &Stop;

protected:
    TThread();
    // The work, run once on the worker's own thread.
    virtual void Execute() = 0;
    // Sleeps `ms` milliseconds on the link platform's clock, ending early (within a few
    // milliseconds) on a stop request; false when stopped.
    bool Pause(uint32_t ms);

private:
    template <class TWorker, class... TArguments>
    friend bool StartWorker(TWorkerHandle &handle, TArguments &&...arguments);

    explicit TThread(std::shared_ptr<TWorkerState> state);
    // Starts the thread of the fully built worker; `handle` receives the worker's handle
    // before it runs. False when no thread could be made: the object is then the caller's.
    bool Start(TWorkerHandle &handle);
    static void Run(TThread *self, std::shared_ptr<TWorkerState> state);
    std::shared_ptr<TWorkerState> State;
};

// Asks every running worker to stop.
void StopAllWorkers();
// Blocks until every worker has ended and freed itself.
void WaitAllWorkers();
// Number of workers whose body runs or whose object is not yet freed.
size_t RunningWorkers();
