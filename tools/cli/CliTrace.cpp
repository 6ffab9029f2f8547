#include "tools/cli/CliTrace.h"

#include "link/Clock.h"
#include "link/Frame.h"
#include "link/Traffic.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<TTrafficRecord> Record;
TBusHealth Health;
bool Lines = false;
// MonotonicNs() at the start of the trace: time 0 of its lines.
int64_t OriginNs = 0;
bool Keep = false;
TJson Kept = TJson::array();
// Drops already told, of the record's count.
uint64_t DropsTold = 0;

// Milliseconds since the trace began, to the microsecond.
double SinceStartMs(int64_t timeNs)
{
    return std::round(static_cast<double>(timeNs - OriginNs) / 1e3) / 1e3;
}

std::string Hex(const std::vector<uint8_t> &bytes)
{
    return HexText(bytes.data(), bytes.size());
}

// "trace     12.345 ms  /dev/ttyUSB0  #1  > 02 04 00 01 C5  < (none)  no reply"
std::string TraceLine(const TTrafficAttempt &attempt)
{
    char time[32];
    std::snprintf(time, sizeof time, "%10.3f", SinceStartMs(attempt.TimeNs));
    return std::string("trace ") + time + " ms  " + attempt.Port + "  #" +
           std::to_string(attempt.Attempt) + "  > " + Hex(attempt.Request) + "  < " +
           (attempt.Reply.empty() ? std::string("(none)") : Hex(attempt.Reply)) + "  " +
           VerdictName(attempt.Verdict) + (attempt.Echo ? std::string("  ") + EchoName : "");
}

TJson AttemptJson(const TTrafficAttempt &attempt)
{
    TJson json{{"time_ms", SinceStartMs(attempt.TimeNs)},
               {"port", attempt.Port},
               {"attempt", attempt.Attempt},
               {"request", Hex(attempt.Request)},
               {"reply", Hex(attempt.Reply)},
               {"verdict", VerdictName(attempt.Verdict)}};
    if (attempt.Echo)
        json[EchoName] = true;
    return json;
}

} // namespace

void StartTrace(bool lines, bool keep)
{
    Record = std::make_unique<TTrafficRecord>();
    Health.Clear();
    OriginNs = MonotonicNs();
    Lines = lines;
    Keep = lines && keep;
    Kept = TJson::array();
    DropsTold = 0;
    SetTrafficRecord(Record.get());
}

void StopTrace()
{
    // No worker runs any more; nothing adds to the record after this.
    SetTrafficRecord(nullptr);
}

std::vector<std::string> TakeTraceLines()
{
    std::vector<std::string> lines;
    if (!Record)
        return lines;
    const std::vector<TTrafficAttempt> attempts = Record->Take();
    Health.Add(attempts);
    if (!Lines)
        return lines;
    const uint64_t dropped = Record->Dropped();
    // Drops are the oldest attempts, so they are told before the ones kept.
    if (dropped != DropsTold) {
        lines.push_back("trace: " + std::to_string(dropped - DropsTold) +
                        " attempts dropped, the record being full");
        DropsTold = dropped;
    }
    for (const TTrafficAttempt &attempt : attempts) {
        lines.push_back(TraceLine(attempt));
        if (Keep)
            Kept.push_back(AttemptJson(attempt));
    }
    return lines;
}

TJson WithTrace(const TJson &json)
{
    if (!Record || !Keep || !json.is_object())
        return json;
    TJson traced = json;
    traced["attempts"] = Kept;
    if (DropsTold != 0)
        traced["attempts_dropped"] = DropsTold;
    return traced;
}

const TBusHealth &RecordedHealth()
{
    return Health;
}

uint64_t RecordDropped()
{
    return Record ? Record->Dropped() : 0;
}
