#include "workers/TThread.h"

#include "link/SerialPlatform.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

// What the worker, its handles and the registry share; lives as long as any of them.
struct TWorkerState
{
    std::atomic<bool> Stop{false};
    std::mutex Lock;
    std::condition_variable Changed; // signalled on a stop request and at the end
    bool Started = false;
    bool Ended = false;
};

namespace {

// Registry of the running workers, so the program can stop and wait for all at its end. It
// is never destroyed: a worker may still be leaving it while the program exits.
struct TRegistry
{
    std::mutex Lock;
    std::condition_variable Changed;
    std::set<std::shared_ptr<TWorkerState>> Running;
};

TRegistry &Registry()
{
    static TRegistry *registry = new TRegistry;
    return *registry;
}

void Register(const std::shared_ptr<TWorkerState> &state)
{
    TRegistry &r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Running.insert(state);
}

void Unregister(const std::shared_ptr<TWorkerState> &state)
{
    TRegistry &r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Running.erase(state);
    r.Changed.notify_all();
}

void SignalStop(TWorkerState &state)
{
    std::lock_guard<std::mutex> guard(state.Lock);
    state.Stop.store(true);
    state.Changed.notify_all();
}

} // namespace

void TWorkerHandle::RequestStop() const
{
    if (State)
        SignalStop(*State);
}

bool TWorkerHandle::Started() const
{
    if (!State)
        return false;
    std::lock_guard<std::mutex> guard(State->Lock);
    return State->Started;
}

bool TWorkerHandle::Running() const
{
    if (!State)
        return false;
    std::lock_guard<std::mutex> guard(State->Lock);
    return State->Started && !State->Ended;
}

void TWorkerHandle::Wait() const
{
    if (!State)
        return;
    std::unique_lock<std::mutex> guard(State->Lock);
    State->Changed.wait(guard, [this] { return !State->Started || State->Ended; });
}

bool TWorkerHandle::WaitFor(std::chrono::milliseconds timeout) const
{
    if (!State)
        return true;
    std::unique_lock<std::mutex> guard(State->Lock);
    return State->Changed.wait_for(guard, timeout,
                                   [this] { return !State->Started || State->Ended; });
}

TThread::TThread() : TThread(std::make_shared<TWorkerState>()) {}

TThread::TThread(std::shared_ptr<TWorkerState> state) : Stop(state->Stop), State(std::move(state))
{
}

TThread::~TThread() = default;

bool TThread::Start(TWorkerHandle &handle)
{
    handle = TWorkerHandle(State);
    {
        std::lock_guard<std::mutex> guard(State->Lock);
        State->Started = true;
    }
    Register(State);
    try {
        std::thread(&TThread::Run, this, State).detach();
    } catch (const std::system_error &) {
        // No thread: the worker never runs; its handle says so and the creator frees it.
        Unregister(State);
        std::lock_guard<std::mutex> guard(State->Lock);
        State->Started = false;
        State->Changed.notify_all();
        return false;
    }
    // From here on the object belongs to its thread, which may already have freed it.
    return true;
}

bool TThread::Pause(uint32_t ms)
{
    // The platform's sleep keeps the workers on the link's clock (a fake one in tests); short
    // slices let a stop request end the pause early.
    constexpr uint32_t SliceMs = 20;
    while (ms > 0 && !Stop.load()) {
        const uint32_t slice = ms < SliceMs ? ms : SliceMs;
        SerialPlatform().SleepMs(slice);
        ms -= slice;
    }
    return !Stop.load();
}

void TThread::Run(TThread *self, std::shared_ptr<TWorkerState> state)
{
    self->Execute();
    delete self;
    // Only now is the object gone: whoever waits may release what the worker used, or end
    // the program. What this thread still touches is the state it co-owns and the registry,
    // which outlives every thread.
    {
        std::lock_guard<std::mutex> guard(state->Lock);
        state->Ended = true;
        state->Changed.notify_all();
    }
    Unregister(state);
}

void StopAllWorkers()
{
    TRegistry &r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const auto &state : r.Running)
        SignalStop(*state);
}

void WaitAllWorkers()
{
    TRegistry &r = Registry();
    std::unique_lock<std::mutex> guard(r.Lock);
    r.Changed.wait(guard, [&r] { return r.Running.empty(); });
}

size_t RunningWorkers()
{
    TRegistry &r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.Running.size();
}
