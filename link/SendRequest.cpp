#include "link/SendRequest.h"

#include <algorithm>

#include "link/Clock.h"
#include "link/Crc8.h"
#include "link/Frame.h"
#include "link/LinkState.h"
#include "link/Traffic.h"

namespace {

// The first read takes the shortest possible reply: address, L, status, command, one data
// byte and the check byte.
constexpr size_t FirstRead = 6;
// Largest request without its check byte.
constexpr size_t MaxRequest = MaxFrameSize - 1;

// The reply time-out set for a request: pings wait briefly, since a whole bus sweep waits
// on every silent address; everything else gets the generous command set.
TSerialTimeouts ReplyTimeouts(const uint8_t *request, size_t count)
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

// Applies the reply time-outs only when the port's differ: the update is a driver call
// that costs time on every transaction otherwise.
void ChooseTimeouts(ISerialPort &port, const uint8_t *request, size_t count)
{
    const TSerialTimeouts wanted = ReplyTimeouts(request, count);
    TSerialTimeouts current;
    port.GetTimeouts(current);
    if (current.ReadInterval == wanted.ReadInterval &&
        current.ReadMultiplier == wanted.ReadMultiplier &&
        current.ReadConstant == wanted.ReadConstant) {
        return;
    }
    current.ReadInterval = wanted.ReadInterval;
    current.ReadMultiplier = wanted.ReadMultiplier;
    current.ReadConstant = wanted.ReadConstant;
    current.WriteMultiplier = 0;
    current.WriteConstant = 0;
    port.SetTimeouts(current);
}

// Switches the converter's transmitter on, unless it switches by itself.
void KeyTransmitter(ISerialPort &port)
{
    if (!LinkSettings.SmartPI) {
        port.SetDtr(false);
        port.SetRts(true);
    }
}

// Switches the converter back to receiving, unless it switches by itself.
void ReleaseTransmitter(ISerialPort &port)
{
    if (!LinkSettings.SmartPI) {
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
    if (!LinkSettings.USARTMode && PerfFrequency != 0) {
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

// Reads one reply; returns the count received, `reply` sized to it.
size_t Receive(ISerialPort &port, std::vector<uint8_t> &reply)
{
    reply.assign(FirstRead, 0);
    const size_t first = port.Read(reply.data(), FirstRead);
    if (first != FirstRead || reply[1] <= 5) {
        reply.resize(first);
        return first;
    }
    // The rest of the frame, never beyond the largest frame there can be.
    const size_t rest = std::min<size_t>(reply[1] - 5, MaxFrameSize - FirstRead);
    reply.resize(FirstRead + rest, 0);
    const size_t second = port.Read(reply.data() + FirstRead, rest);
    reply.resize(FirstRead + second);
    return FirstRead + second;
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

// Tells the traffic record, if one is set, and the caller's `verdicts`, if given, how the
// attempt went. It runs after the transmitter is released, so the hold never waits for it;
// with no record set it costs one load.
void Report(int attempt, const uint8_t *request, size_t count, const std::vector<uint8_t> &reply,
            TAttemptVerdict verdict, std::vector<TAttemptVerdict> *verdicts)
{
    if (verdicts != nullptr) {
        verdicts->push_back(verdict);
    }
    TTrafficRecord *record = CurrentTrafficRecord();
    if (record == nullptr) {
        return;
    }
    TTrafficAttempt entry;
    entry.TimeNs = MonotonicNs();
    entry.Port = OpenPortPath();
    entry.Attempt = attempt;
    entry.Request.assign(request, request + count);
    entry.Request.push_back(Crc8(request, count));
    entry.Reply = reply;
    entry.Verdict = verdict;
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

bool SendRequest(const uint8_t *request, size_t count, std::vector<uint8_t> &reply,
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
    for (int attempt = 1; attempt <= MaxAttempts; ++attempt) {
        platform.SleepMs(LinkSettings.StartTimeOut);
        KeyTransmitter(port);
        port.Purge(TPurge::TxClear);
        port.Purge(TPurge::TxAbort);
        port.Purge(TPurge::RxClear);
        port.Purge(TPurge::RxAbort);
        ChooseTimeouts(port, request, count);
        const bool sent = Transmit(port, request, count, charTimeUs);
        if (Gone(port)) {
            reply.clear();
            Report(attempt, request, count, reply, TAttemptVerdict::PortLost, verdicts);
            return false;
        }
        if (!sent) {
            reply.clear();
            Report(attempt, request, count, reply, TAttemptVerdict::ShortWrite, verdicts);
            continue;
        }
        Receive(port, reply);
        const TAttemptVerdict verdict = JudgeReply(reply.data(), reply.size());
        if (verdict == TAttemptVerdict::Accepted) {
            Report(attempt, request, count, reply, verdict, verdicts);
            return true;
        }
        if (Gone(port)) {
            Report(attempt, request, count, reply, TAttemptVerdict::PortLost, verdicts);
            return false;
        }
        Report(attempt, request, count, reply, verdict, verdicts);
    }
    return false;
}
