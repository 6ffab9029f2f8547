#pragma once
// Making a worker and starting its thread, in that order and in one step.

#include "workers/TThread.h"

#include <utility>

// Constructs a `TWorker` from `arguments`, then starts its thread; `handle` refers to it.
// True when the thread runs (the worker then frees itself at its end). Otherwise the worker
// is deleted here, `handle` is left empty and nothing was posted.
template <class TWorker, class... TArguments>
bool StartWorker(TWorkerHandle &handle, TArguments &&...arguments)
{
    handle = TWorkerHandle();
    auto *worker = new TWorker(std::forward<TArguments>(arguments)...);
    // Only a whole object may be handed to a thread that can delete it at any moment.
    if (static_cast<TThread *>(worker)->Start(handle))
        return true;
    delete worker;
    handle = TWorkerHandle();
    return false;
}
