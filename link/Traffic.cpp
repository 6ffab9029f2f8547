#include "link/Traffic.h"

#include <iterator>

#include <atomic>

#include "link/Crc8.h"

namespace {

// Shortest and longest reply on the wire, check byte included.
constexpr size_t MinReply = 6;
constexpr size_t MaxReply = 127;

std::atomic<TTrafficRecord *> Record{nullptr};

} // namespace

TTrafficRecord::TTrafficRecord(size_t capacity) : Capacity(capacity > 0 ? capacity : 1) {}

void TTrafficRecord::Add(TTrafficAttempt attempt)
{
    std::lock_guard<std::mutex> guard(Lock);
    if (Attempts.size() >= Capacity) {
        Attempts.pop_front();
        ++DroppedCount;
    }
    Attempts.push_back(std::move(attempt));
}

std::vector<TTrafficAttempt> TTrafficRecord::Take()
{
    std::deque<TTrafficAttempt> taken;
    {
        std::lock_guard<std::mutex> guard(Lock);
        taken.swap(Attempts);
    }
    return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}

uint64_t TTrafficRecord::Dropped() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return DroppedCount;
}

void SetTrafficRecord(TTrafficRecord *record)
{
    Record.store(record, std::memory_order_release);
}

TTrafficRecord *CurrentTrafficRecord()
{
    return Record.load(std::memory_order_acquire);
}

TAttemptVerdict JudgeReply(const uint8_t *reply, size_t count)
{
    if (count == 0) {
        return TAttemptVerdict::NoReply;
    }
    if (count < MinReply) {
        return TAttemptVerdict::TooShort;
    }
    const size_t named = static_cast<size_t>(reply[1]) + 1;
    if (named < MinReply || named > MaxReply) {
        return TAttemptVerdict::LengthOutOfBounds;
    }
    if (count != named) {
        return TAttemptVerdict::LengthMismatch;
    }
    if (Crc8(reply, count - 1) != reply[count - 1]) {
        return TAttemptVerdict::WrongCheckByte;
    }
    return TAttemptVerdict::Accepted;
}

bool BroughtBytes(TAttemptVerdict verdict)
{
    // No default: a verdict added later must say whether it means bytes on the line.
    switch (verdict) {
    case TAttemptVerdict::Accepted:
    case TAttemptVerdict::TooShort:
    case TAttemptVerdict::LengthOutOfBounds:
    case TAttemptVerdict::LengthMismatch:
    case TAttemptVerdict::WrongCheckByte:
        return true;
    case TAttemptVerdict::NoReply:
    case TAttemptVerdict::ShortWrite:
    case TAttemptVerdict::PortLost:
        return false;
    }
    return false;
}

namespace {

// Each verdict's name, in the order of TAttemptVerdict.
const char *const VerdictNames[] = {
    "accepted",        "no reply",         "too short",   "length out of bounds",
    "length mismatch", "wrong check byte", "short write", "port lost",
};
static_assert(std::size(VerdictNames) == static_cast<size_t>(TAttemptVerdict::PortLost) + 1);

} // namespace

const char *VerdictName(TAttemptVerdict verdict)
{
    const auto index = static_cast<size_t>(verdict);
    return index < std::size(VerdictNames) ? VerdictNames[index] : "?";
}
