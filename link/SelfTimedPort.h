#pragma once
// A serial port whose reads the link times itself instead of a driver: a terminal read under
// poll(), a network serial server's stream. It keeps the time-outs the link sets and tells when
// a read ends under them.

#include "link/SerialPlatform.h"

// The base of a port that times its own reads.
class TSelfTimedPort : public ISerialPort
{
public:
    // Gives the time-outs kept.
    bool GetTimeouts(TSerialTimeouts &timeouts) override;
    // Keeps the time-outs for the reads and writes that follow.
    bool SetTimeouts(const TSerialTimeouts &timeouts) override;

protected:
    // The monotonic instant (ns) at which a read of `count` bytes begun at `startNs` ends with
    // `got` bytes in, the last at `lastByteNs`: the read's total bound, or sooner the gap
    // allowed after a byte.
    int64_t ReadDeadline(int64_t startNs, size_t count, size_t got, int64_t lastByteNs) const;

    TSerialTimeouts Timeouts; // in force
};
