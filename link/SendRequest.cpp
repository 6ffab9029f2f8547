#include "link/SendRequest.h"

#include <algorithm>

#include "link/Clock.h"
#include "link/Crc8.h"
#include "link/Frame.h"
#include "link/LineSpeed.h"
#include "link/LinkState.h"
#include "link/Traffic.h"

namespace {

// The first read takes the shortest possible reply: address, L, status, command, one data
// byte and the check byte.
constexpr size_t FirstRead = 6;
// Largest request without its check byte.
constexpr size_t MaxRequest = MaxFrameSize - 1;

// The reply time-out set for a request as the settings give it, for a line at 9600 baud.
TSerialTimeouts ReplyTimeoutsAt9600(const uint8_t *request, size_t count)
{
    TSerialTimeouts wanted;
    if (count >= 4 && request[3] == CMD_PING) {
        wanted.ReadInterval = LinkSettings.IntervalTimeout;
        wanted.ReadMultiplier = LinkSettings.TimeoutMultiplier;
        wanted.ReadConstant = LinkSettings.TimeoutConstant;
    } else {
        wanted.ReadInterval = LinkSettings.CmdIntervalTimeout;
        wanted.ReadMultiplier = LinkSettings.CmdTimeoutMultiplier;
        wanted.ReadConstant = LinkSettings.CmdTimeoutConstant;
    }
    return wanted;
}

// Milliseconds a reply byte takes on the line in force beyond its time at 9600 baud, rounded
// up; 0 at 9600 and faster. The time-out settings are written for 9600, and a slower line
// would otherwise run out of time in the middle of a reply that is arriving as it should.
uint32_t ExtraByteMs()
{
    const int64_t extraUs = CharacterTimeUs(BaudRate, LinkSettings.StopBits) -
                            CharacterTimeUs(DefaultBaudRate, LinkSettings.StopBits);
    return extraUs > 0 ? static_cast<uint32_t>((extraUs + 999) / 1000) : 0;
}

// The reply time-out set for a request: pings wait briefly, since a whole bus sweep waits
// on every silent address; everything else gets the generous command set. Below 9600 baud
// each reply byte gets its extra wire time, in the per-byte part and in a gap limit that is
// set; at 9600 and faster the settings apply as they stand. A port behind a network adds its
// round trip to the total and to a gap limit that is set (a reply may arrive in several
// packets); the gap only ends a read that is short anyway, so it costs nothing.
TSerialTimeouts ReplyTimeouts(const ISerialPort &port, const uint8_t *request, size_t count)
{
    TSerialTimeouts wanted = ReplyTimeoutsAt9600(request, count);
    const uint32_t extraMs = ExtraByteMs();
    wanted.ReadMultiplier += extraMs;
    if (wanted.ReadInterval != 0) {
        wanted.ReadInterval += extraMs;
    }
    // Untimed (a network port holds no line either), the read begins while the request (and
    // its check byte) is still on the wire.
    if (LinkSettings.USARTMode || PerfFrequency == 0 || port.SwitchesDirection()) {
        wanted.ReadConstant += extraMs * static_cast<uint32_t>(count + 1);
    }
    const uint32_t roundTripMs = port.ExtraReplyMs();
    wanted.ReadConstant += roundTripMs;
    if (wanted.ReadInterval != 0) {
        wanted.ReadInterval += roundTripMs;
    }
    return wanted;
}

// Applies the reply time-outs only when the port's differ: the update is a driver call
// that costs time on every transaction otherwise. Returns the time-outs in effect.
TSerialTimeouts ChooseTimeouts(ISerialPort &port, const uint8_t *request, size_t count,
                               const TSerialTimeouts *single)
{
    const TSerialTimeouts wanted =
        single != nullptr ? *single : ReplyTimeouts(port, request, count);
    TSerialTimeouts current;
    port.GetTimeouts(current);
    if (current.ReadInterval == wanted.ReadInterval &&
        current.ReadMultiplier == wanted.ReadMultiplier &&
        current.ReadConstant == wanted.ReadConstant) {
        return current;
    }
    current.ReadInterval = wanted.ReadInterval;
    current.ReadMultiplier = wanted.ReadMultiplier;
    current.ReadConstant = wanted.ReadConstant;
    current.WriteMultiplier = 0;
    current.WriteConstant = 0;
    port.SetTimeouts(current);
    return current;
}

// True when the converter turns the bus around by itself: a SmartPI converter, or the one of
// a network serial server, whose line we never hold.
bool SelfSwitching(const ISerialPort &port)
{
    return LinkSettings.SmartPI || port.SwitchesDirection();
}

// Switches the converter's transmitter on, unless it switches by itself.
void KeyTransmitter(ISerialPort &port)
{
    if (!SelfSwitching(port)) {
        port.SetDtr(false);
        port.SetRts(true);
    }
}

// Switches the converter back to receiving, unless it switches by itself.
void ReleaseTransmitter(ISerialPort &port)
{
    if (!SelfSwitching(port)) {
        port.SetDtr(true);
        port.SetRts(false);
    }
}

// Sends the frame and releases the transmitter; returns whether the last write call wrote
// everything it was given.
bool Transmit(ISerialPort &port, const uint8_t *request, size_t count, int64_t charTimeUs)
{
    ISerialPlatform &platform = SerialPlatform();
    const uint8_t check = Crc8(request, count);
    if (!LinkSettings.USARTMode && PerfFrequency != 0 && !port.SwitchesDirection()) {
        // The converter's transmitter must stay on until the last stop bit has left the
        // UART, and not a moment longer, or the device's first reply bytes are lost; the
        // driver gives no notice of that moment, so the wire time is counted out. A busy
        // core would deschedule the count for milliseconds, long past a fast device's first
        // reply byte, so the hold runs at real-time priority where the system allows it, and
        // only the hold: from the write to the release of the transmitter.
        const bool raised = platform.RaisePriority();
        const int64_t t0 = platform.Counter();
        uint8_t frame[MaxFrameSize];
        std::copy(request, request + count, frame);
        frame[count] = check;
        const size_t n = count + 1;
        const size_t written = port.Write(frame, n);
        const int64_t holdUs = charTimeUs * static_cast<int64_t>(n) + LinkSettings.TailinUS;
        const int64_t holdTicks = PerfFrequency * holdUs / 1'000'000;
        // A sleep would overshoot by the scheduler's slack, so spin on the counter.
        while (platform.Counter() - t0 < holdTicks) {
        }
        ReleaseTransmitter(port);
        if (raised) {
            platform.RestorePriority();
        }
        return written == n;
    }
    bool sent = port.Write(request, count) == count;
    if (sent) {
        sent = port.Write(&check, 1) == 1;
    }
    ReleaseTransmitter(port);
    return sent;
}

// How many bytes the frame that `bytes` begin needs: the shortest reply until its length
// byte is in, then what L names, never beyond the largest frame there can be.
size_t FrameWanted(const std::vector<uint8_t> &bytes)
{
    if (bytes.size() < FirstRead || bytes[1] <= 5) {
        return FirstRead;
    }
    return FirstRead + std::min<size_t>(bytes[1] - 5, MaxFrameSize - FirstRead);
}

// True when `bytes` are the first bytes of `sent`, but not all of them.
bool EchoSoFar(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &sent)
{
    return !bytes.empty() && bytes.size() < sent.size() &&
           std::equal(bytes.begin(), bytes.end(), sent.begin());
}

// Reads one reply into `reply`; returns the count received.
//
// A two-wire converter whose receiver stays on while it transmits hands back the request
// itself before the device answers, and a request has the shape of a reply: so a frame that
// is byte for byte the request just sent (`sent`, check byte included) is that echo, never
// a reply. It is dropped (`echo` tells that one came) and reading goes on for the device's
// reply within the time the first read had, counted from its start: an echo must not
// lengthen the wait on a silent address, which a sweep pays 127 times. Where the time is up
// one more read of a millisecond still takes what already came (a USB chip hands over the
// echo and the reply in one batch). The echo and the reply may arrive split anyhow; reads
// never ask for more than the frame being read, so neither swallows the other's bytes.
//
// Behind a USB chip's latency timer the echo of the previous transaction's last attempt may
// come only after this one's purge, and that request has the shape of a reply too (a ping's
// echo read as an identify reply names a device of type 1): a whole frame that is byte for
// byte `previous` is dropped as an echo as well.
size_t Receive(ISerialPort &port, const TSerialTimeouts &chosen, const std::vector<uint8_t> &sent,
               const std::vector<uint8_t> &previous, std::vector<uint8_t> &reply, bool &echo)
{
    ISerialPlatform &platform = SerialPlatform();
    const int64_t startTicks = PerfFrequency != 0 ? platform.Counter() : 0;
    const int64_t budgetMs =
        static_cast<int64_t>(chosen.ReadMultiplier) * FirstRead + chosen.ReadConstant;
    TSerialTimeouts inEffect = chosen;
    bool graceTaken = false;
    // Sets the time-outs of the next read (a driver call, so only when they change): what is
    // left of the first read's time, or the chosen ones. False when no time is left.
    auto limit = [&](bool toDeadline) {
        TSerialTimeouts next = chosen;
        if (toDeadline && PerfFrequency != 0) {
            int64_t leftMs = budgetMs - (platform.Counter() - startTicks) * 1000 / PerfFrequency;
            if (leftMs <= 0) {
                if (graceTaken) {
                    return false;
                }
                graceTaken = true;
                leftMs = 1;
            }
            next.ReadMultiplier = 0;
            next.ReadConstant = static_cast<uint32_t>(leftMs);
        }
        if (!(next == inEffect)) {
            port.SetTimeouts(next);
            inEffect = next;
        }
        return true;
    };

    reply.clear();
    echo = false;
    for (bool first = true;; first = false) {
        const bool echoSoFar = EchoSoFar(reply, sent);
        const size_t want = echoSoFar ? sent.size() : FrameWanted(reply);
        if (reply.size() >= want) {
            break;
        }
        // The first read has the chosen time-outs already. Later reads for the echo or for
        // the head of a reply after it keep to the first read's time; the rest of a reply
        // gets the chosen time-outs, as it does without an echo.
        if (!first && !limit(reply.size() < FirstRead || echoSoFar)) {
            break;
        }
        const size_t at = reply.size();
        reply.resize(want);
        const size_t got = port.Read(reply.data() + at, want - at);
        reply.resize(at + got);
        if (reply.size() >= sent.size() && std::equal(sent.begin(), sent.end(), reply.begin())) {
            echo = true;
            reply.erase(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(sent.size()));
            continue;
        }
        if (!previous.empty() && reply.size() >= previous.size() &&
            std::equal(previous.begin(), previous.end(), reply.begin())) {
            echo = true;
            reply.erase(reply.begin(),
                        reply.begin() + static_cast<std::ptrdiff_t>(previous.size()));
            continue;
        }
        // A read that ends short has waited out its time-out; only an echo cut by an
        // interval time-out (bytes come in batches) is worth waiting on.
        if (got < want - at && (got == 0 || !EchoSoFar(reply, sent))) {
            break;
        }
    }
    if (!(inEffect == chosen)) {
        port.SetTimeouts(chosen);
    }
    return reply.size();
}

// True when the port reported itself gone; the loss is then the link's to tell its callers.
bool Gone(const ISerialPort &port)
{
    const int error = port.LostError();
    if (error != 0) {
        MarkPortLost(error);
    }
    return error != 0;
}

// When the request left and the reply ended, for the traffic record's reply times.
struct TAttemptTimes
{
    int64_t RequestEndNs = 0;
    int64_t ReplyEndNs = 0;
};

// Tells the traffic record, if one is set, and the caller's `verdicts`, if given, how the
// attempt went. It runs after the transmitter is released, so the hold never waits for it;
// with no record set it costs one load (the attempt's clock readings are taken only while one
// is set).
void Report(TTrafficRecord *record, int attempt, const std::vector<uint8_t> &sent,
            const std::vector<uint8_t> &reply, TAttemptVerdict verdict,
            std::vector<TAttemptVerdict> *verdicts, bool echo = false, TAttemptTimes times = {})
{
    if (verdicts != nullptr) {
        verdicts->push_back(verdict);
    }
    if (record == nullptr) {
        return;
    }
    TTrafficAttempt entry;
    entry.TimeNs = MonotonicNs();
    entry.Port = OpenPortPath();
    entry.Attempt = attempt;
    entry.Request = sent;
    entry.Reply = reply;
    entry.Verdict = verdict;
    entry.Echo = echo;
    entry.RequestEndNs = times.RequestEndNs;
    entry.ReplyEndNs = reply.empty() ? 0 : times.ReplyEndNs;
    record->Add(std::move(entry));
}

} // namespace

int64_t CharacterTimeUs(uint32_t baudRate, uint32_t stopBits)
{
    const int64_t perSecond =
        (2 * static_cast<int64_t>(baudRate)) / (20 + static_cast<int64_t>(stopBits));
    // A line speed too low for the formula would divide by zero; such a line has no usable
    // character time, so a whole second stands in for it.
    return perSecond > 0 ? 1'000'000 / perSecond : 1'000'000;
}

namespace {

// Reads what has come in and waits for nothing, into `bytes`.
void TakeArrived(ISerialPort &port, std::vector<uint8_t> &bytes)
{
    TSerialTimeouts none;
    port.SetTimeouts(none);
    bytes.resize(MaxFrameSize);
    bytes.resize(port.Read(bytes.data(), bytes.size()));
}

// The transaction of SendRequest with `attempts` tries; `single`, when given, replaces the
// reply time-outs the request would get, and `late`, when given, receives what came in
// before the first attempt's purge.
bool SendAttempts(const uint8_t *request, size_t count, std::vector<uint8_t> &reply, int attempts,
                  const TSerialTimeouts *single, std::vector<uint8_t> *late,
                  std::vector<TAttemptVerdict> *verdicts)
{
    reply.clear();
    const int64_t charTimeUs = CharacterTimeUs(BaudRate, LinkSettings.StopBits);
    // A request must leave room for its check byte in the largest frame.
    if (request == nullptr || count == 0 || count > MaxRequest) {
        return false;
    }
    // A lost port answers nothing: no attempts, no pauses.
    if (!PortIsOpen() || PortLost()) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(PortLock);
    // The port may have been closed between the test above and taking the lock.
    if (!PortHandle) {
        return false;
    }
    ISerialPort &port = *PortHandle;
    ISerialPlatform &platform = SerialPlatform();
    // The request as it goes on the wire, as an echo would bring it back; the one before it
    // on this port, whose echo a latency timer may still hand over (kept under PortLock).
    static std::vector<uint8_t> previous;
    std::vector<uint8_t> sent(request, request + count);
    sent.push_back(Crc8(request, count));
    if (previous == sent)
        previous.clear();
    struct TKeep
    {
        std::vector<uint8_t> &Previous;
        const std::vector<uint8_t> &Sent;
        ~TKeep() { Previous = Sent; }
    } keep{previous, sent};
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        TTrafficRecord *record = CurrentTrafficRecord();
        TAttemptTimes times;
        platform.SleepMs(LinkSettings.StartTimeOut);
        if (late != nullptr && attempt == 1)
            TakeArrived(port, *late);
        KeyTransmitter(port);
        port.Purge(TPurge::TxClear);
        port.Purge(TPurge::TxAbort);
        port.Purge(TPurge::RxClear);
        port.Purge(TPurge::RxAbort);
        const TSerialTimeouts chosen = ChooseTimeouts(port, request, count, single);
        const bool written = Transmit(port, request, count, charTimeUs);
        times.RequestEndNs = record != nullptr ? MonotonicNs() : 0;
        if (Gone(port)) {
            reply.clear();
            Report(record, attempt, sent, reply, TAttemptVerdict::PortLost, verdicts);
            return false;
        }
        if (!written) {
            reply.clear();
            Report(record, attempt, sent, reply, TAttemptVerdict::ShortWrite, verdicts);
            continue;
        }
        bool echo = false;
        Receive(port, chosen, sent, previous, reply, echo);
        times.ReplyEndNs = record != nullptr ? MonotonicNs() : 0;
        const TAttemptVerdict verdict = JudgeReply(reply.data(), reply.size());
        if (verdict == TAttemptVerdict::Accepted) {
            Report(record, attempt, sent, reply, verdict, verdicts, echo, times);
            return true;
        }
        if (Gone(port)) {
            Report(record, attempt, sent, reply, TAttemptVerdict::PortLost, verdicts, echo, times);
            return false;
        }
        Report(record, attempt, sent, reply, verdict, verdicts, echo, times);
    }
    return false;
}

} // namespace

bool SendRequest(const uint8_t *request, size_t count, std::vector<uint8_t> &reply,
                 std::vector<TAttemptVerdict> *verdicts)
{
    return SendAttempts(request, count, reply, MaxAttempts, nullptr, nullptr, verdicts);
}

bool SendRequestOnce(const uint8_t *request, size_t count, std::vector<uint8_t> &reply,
                     uint32_t timeoutMs, std::vector<uint8_t> &late)
{
    late.clear();
    // No interval time-out: the reply's bytes may come in batches, and the whole wait is
    // one fixed deadline from the request's end.
    TSerialTimeouts single;
    single.ReadInterval = 0;
    single.ReadMultiplier = 0;
    single.ReadConstant = timeoutMs;
    return SendAttempts(request, count, reply, 1, &single, &late, nullptr);
}

uint32_t FastSweepTimeoutMs(uint32_t baudRate, uint32_t stopBits, uint32_t allowanceMs)
{
    const int64_t wireUs = CharacterTimeUs(baudRate, stopBits) * static_cast<int64_t>(FirstRead);
    return static_cast<uint32_t>((wireUs + 999) / 1000) + allowanceMs;
}
