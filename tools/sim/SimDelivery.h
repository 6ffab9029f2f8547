#pragma once
// What the converter hands the program and when: the echo of the program's own bytes, then
// the devices' replies at the pace of the line, in batches where a USB chip's latency timer
// holds received bytes back. Pure timing arithmetic, so it is tested without a terminal.

#include <cstdint>
#include <vector>

#include "tools/sim/SimBus.h"

// One write to the program's side of the line.
struct TSimWrite
{
    int64_t AtNs = 0; // MonotonicNs() time of the write
    std::vector<uint8_t> Bytes;
    bool AfterReplyStart = false; // a reply began in an earlier write: input meanwhile collided
};

// The writes for one chunk the program sent, in time order.
struct TSimDeliveryPlan
{
    std::vector<TSimWrite> Writes;
    int64_t EndNs = 0; // when the last byte has left the wire
};

// How the converter delivers bytes to the program.
struct TSimConverter
{
    uint32_t CharUs = 1041; // time of one character on the wire
    bool Echo = false;      // every byte the program sends comes back to it
    uint32_t UsbMs = 0;     // latency timer: bytes wait for its next tick; 0: none
};

// Plans the delivery of the echo of `sent` (when the converter echoes) and then of `replies`,
// for a chunk that arrived at `nowNs`. Without batches each byte is written at the start of
// its character time, as a pseudo-terminal hands it over at once; with them each byte waits
// for the first tick of the timer after its last bit, and the bytes of one tick go together.
// Reply k starts its latency when reply k - 1 has left the wire.
TSimDeliveryPlan PlanDelivery(int64_t nowNs, const std::vector<uint8_t> &sent,
                              const std::vector<TSimReply> &replies,
                              const TSimConverter &converter);
