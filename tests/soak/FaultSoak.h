#pragma once
// The fault soak shared by the soak test and bench_soak: simulated devices whose replies
// suffer random faults of all seven kinds, on a converter that echoes every request and with
// two devices colliding at one address, many rounds of "write random values inside the
// catalogue limits, then read them back" through the real workers, over a pseudo-terminal at
// the line's pace, and the tally of what got through that should not have.

#include <cstdint>
#include <string>
#include <vector>

// How much soak, and which.
struct TFaultSoakOptions
{
    uint32_t Seed = 1;            // the simulator's faults and the values written
    int Devices = 2;              // devices on the bus, each with its own catalogue entry
    int ParametersPerDevice = 20; // bytes and words in turn, limits drawn from the seed
    int RoundsPerSession = 4;     // write-then-read rounds per device before the devices'
                                  // state is held against what the tool shows
    uint64_t Transactions = 400;  // sessions go on until at least this many were made
    double FaultPercent = 2;      // chance of each fault kind per reply
};

// What the soak saw.
struct TFaultSoakResult
{
    uint64_t Transactions = 0;          // reads and writes of one entry by a worker
    uint64_t Attempts = 0;              // request frames sent for them, retries included
    uint64_t FalseAccepts = 0;          // replies taken whose content is not what the device sent
    uint64_t Mismatches = 0;            // values shown as read or confirmed that the devices do not
                                        // hold at a session's end
    uint64_t UndefinedWritten = 0;      // write frames that carried VALUE_UNDEFINED's low bits
    std::vector<std::string> Incidents; // one line per false accept or mismatch, frames in hex
    std::string Error;                  // why the soak could not run; empty when it ran

    // Attempts beyond one per transaction, per transaction.
    double RetryRatio() const;
    // "transactions=N false_accepts=N mismatches=N undefined_written=N retry_ratio=R".
    std::string Summary() const;
};

// Runs the soak; false with `result.Error` when the bus could not be set up or a worker did
// not end.
bool RunFaultSoak(const TFaultSoakOptions &options, TFaultSoakResult &result);
