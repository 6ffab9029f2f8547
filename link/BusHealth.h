#pragma once
// Per-device health of the bus, added up from the traffic record's attempts: how often each
// address was asked, how it answered, how slowly. The traffic window and linvar-cli --stats
// and watch show the same figures.

#include "link/Traffic.h"

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

// One bus address's figures.
struct TDeviceHealth
{
    uint8_t Address = 0;
    uint64_t Attempts = 0;     // every attempt sent to the address
    uint64_t Transactions = 0; // first attempts: the requests the program made
    uint64_t Valid = 0;        // attempts answered by a well-formed reply
    uint64_t Retries = 0;      // attempts after the first of their transaction
    uint64_t TimeOuts = 0;     // attempts that got nothing back
    uint64_t Answered = 0;     // attempts where any byte came back: some device is there
    uint64_t WrongCheck = 0;   // replies whose check byte was wrong
    uint64_t Echoes = 0;       // attempts whose request the converter handed back
    uint64_t Refusals = 0;     // well-formed read or write replies that refused
    double MedianMs = 0;       // reply time of well-formed replies: end of request to end of
    double P99Ms = 0;          // reply, median, 99th percentile and maximum; 0 with none
    double MaxMs = 0;

    // Share of attempts without a well-formed reply, 0..1; 0 with no attempts.
    double ErrorShare() const;
    // True when the error share is high enough for the operator's eye.
    bool Troubled() const;
};

// Error share above which a device is marked: more than one attempt in ten failing is far
// beyond what a sound line with termination loses.
constexpr double TroubledErrorShare = 0.10;

// The running figures of every address seen; fed attempts in the order they came.
class TBusHealth
{
public:
    // Reply times kept per address for the percentiles; older ones go as new ones come.
    static constexpr size_t MaxReplyTimes = 4096;

    // Adds one attempt to its address's figures.
    void Add(const TTrafficAttempt &attempt);
    // Adds attempts in order.
    void Add(const std::vector<TTrafficAttempt> &attempts);
    // Forgets every figure.
    void Clear();
    // The figures of every address seen, lowest address first.
    std::vector<TDeviceHealth> Devices() const;
    // True when no attempt was added since the last Clear.
    bool Empty() const { return Counts.empty(); }

private:
    struct TAddressRecord
    {
        TDeviceHealth Counts;
        std::deque<int64_t> ReplyTimesNs; // the latest, for the percentiles
        int64_t MaxReplyNs = 0;           // of all, not only the latest
    };
    std::map<uint8_t, TAddressRecord> Counts;
};
