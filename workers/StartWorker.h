#pragma once
// Starting a worker and learning whether its thread runs, in one step.

#include "workers/TThread.h"

#include <utility>

// Creates a `TWorker` from `arguments` followed by `&handle`, so that `handle` refers to it.
// True when its thread started; otherwise the object is deleted, `handle` is left empty and
// nothing was posted.
template <class TWorker, class... TArguments>
bool StartWorker(TWorkerHandle &handle, TArguments &&...arguments)
{
    handle = TWorkerHandle();
    auto *worker = new TWorker(std::forward<TArguments>(arguments)..., &handle);
    if (handle.Started())
        return true;
    // A worker whose thread never ran frees nothing itself.
    delete worker;
    handle = TWorkerHandle();
    return false;
}
