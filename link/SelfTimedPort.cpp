#include "link/SelfTimedPort.h"

#include <algorithm>

namespace {

int64_t MsToNs(uint64_t ms)
{
    return static_cast<int64_t>(ms) * 1'000'000;
}

} // namespace

bool TSelfTimedPort::GetTimeouts(TSerialTimeouts &timeouts)
{
    timeouts = Timeouts;
    return true;
}

bool TSelfTimedPort::SetTimeouts(const TSerialTimeouts &timeouts)
{
    Timeouts = timeouts;
    return true;
}

int64_t TSelfTimedPort::ReadDeadline(int64_t startNs, size_t count, size_t got,
                                     int64_t lastByteNs) const
{
    const uint64_t totalMs =
        static_cast<uint64_t>(Timeouts.ReadMultiplier) * count + Timeouts.ReadConstant;
    int64_t deadline = startNs + MsToNs(totalMs);
    if (got > 0 && Timeouts.ReadInterval != 0) {
        deadline = std::min(deadline, lastByteNs + MsToNs(Timeouts.ReadInterval));
    }
    return deadline;
}
