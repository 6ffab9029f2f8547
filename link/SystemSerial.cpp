#include "link/SystemSerial.h"

#include "link/ThreadPriority.h"

namespace {

// Whether the calling thread's priority is raised now.
thread_local bool PriorityRaised = false;

} // namespace

bool TSystemSerialPlatform::RaisePriority()
{
    if (PriorityRaised) {
        return false;
    }
    PriorityRaised = RaiseThreadPriority();
    return PriorityRaised;
}

void TSystemSerialPlatform::RestorePriority()
{
    if (!PriorityRaised) {
        return;
    }
    RestoreThreadPriority();
    PriorityRaised = false;
}
