#include "link/BusHealth.h"

#include "link/Frame.h"

#include <algorithm>

namespace {

// Value at quantile `q` (0..1) of sorted `values`, nearest rank; 0 when there are none.
int64_t Quantile(const std::vector<int64_t> &sorted, double q)
{
    if (sorted.empty())
        return 0;
    const size_t rank = static_cast<size_t>(q * static_cast<double>(sorted.size()) + 0.999999);
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

double Ms(int64_t ns)
{
    return static_cast<double>(ns) / 1e6;
}

} // namespace

double TDeviceHealth::ErrorShare() const
{
    return Attempts == 0 ? 0
                         : static_cast<double>(Attempts - Valid) / static_cast<double>(Attempts);
}

bool TDeviceHealth::Troubled() const
{
    return ErrorShare() > TroubledErrorShare;
}

void TBusHealth::Add(const TTrafficAttempt &attempt)
{
    if (attempt.Request.empty())
        return;
    TAddressRecord &record = Counts[attempt.Request[0]];
    TDeviceHealth &counts = record.Counts;
    counts.Address = attempt.Request[0];
    ++counts.Attempts;
    counts.Transactions += attempt.Attempt <= 1 ? 1 : 0;
    counts.Retries += attempt.Attempt > 1 ? 1 : 0;
    counts.TimeOuts += attempt.Verdict == TAttemptVerdict::NoReply ? 1 : 0;
    counts.WrongCheck += attempt.Verdict == TAttemptVerdict::WrongCheckByte ? 1 : 0;
    counts.Echoes += attempt.Echo ? 1 : 0;
    counts.Answered += attempt.Reply.empty() ? 0 : 1;
    if (attempt.Verdict != TAttemptVerdict::Accepted)
        return;
    ++counts.Valid;
    // A read or a write answered with another status than acceptance was refused; pings and
    // identifies carry no such status.
    const uint8_t command = attempt.Request.size() > 3 ? attempt.Request[3] : 0;
    if ((command == CMD_READ_PARAM || command == CMD_WRITE_PARAM) && attempt.Reply.size() > 2 &&
        attempt.Reply[2] != REPLY_ACCEPTED)
        ++counts.Refusals;
    if (attempt.RequestEndNs != 0 && attempt.ReplyEndNs >= attempt.RequestEndNs) {
        if (record.ReplyTimesNs.size() >= MaxReplyTimes)
            record.ReplyTimesNs.pop_front();
        const int64_t replyNs = attempt.ReplyEndNs - attempt.RequestEndNs;
        record.ReplyTimesNs.push_back(replyNs);
        record.MaxReplyNs = std::max(record.MaxReplyNs, replyNs);
    }
}

void TBusHealth::Add(const std::vector<TTrafficAttempt> &attempts)
{
    for (const TTrafficAttempt &attempt : attempts)
        Add(attempt);
}

void TBusHealth::Clear()
{
    Counts.clear();
}

std::vector<TDeviceHealth> TBusHealth::Devices() const
{
    std::vector<TDeviceHealth> devices;
    for (const auto &[address, record] : Counts) {
        TDeviceHealth health = record.Counts;
        std::vector<int64_t> times(record.ReplyTimesNs.begin(), record.ReplyTimesNs.end());
        std::sort(times.begin(), times.end());
        health.MedianMs = Ms(Quantile(times, 0.5));
        health.P99Ms = Ms(Quantile(times, 0.99));
        health.MaxMs = Ms(record.MaxReplyNs);
        devices.push_back(health);
    }
    return devices;
}
