#include "link/NetSerialPort.h"

#include <algorithm>
#include <cerrno>

#include "link/Clock.h"
#include "link/SelfTimedPort.h"
#include "link/SendRequest.h"
#include "link/TelnetCodec.h"

namespace {

// Largest round-trip allowance; beyond it a network is of no use for a bus anyway.
constexpr int64_t MaxExtraUs = 5'000'000;

// A smoothed round trip and its mean deviation, in microseconds, as TCP keeps them.
class TRoundTrip
{
public:
    // A figure taken while the connection opens; `endToEnd` for one that went to the
    // server's program and back (a Telnet answer). That kind supersedes the TCP handshake's,
    // which a proxy on the way answers by itself. Of one kind the least stands: a busy
    // machine only ever lengthens a figure (a thread not scheduled at once), never shortens it.
    void Opening(int64_t sampleUs, bool endToEnd)
    {
        sampleUs = std::clamp<int64_t>(sampleUs, 0, MaxExtraUs);
        if (FromReplies || (EndToEnd && !endToEnd)) {
            return;
        }
        if (!Measured || endToEnd != EndToEnd || sampleUs < Smoothed) {
            Smoothed = sampleUs;
            Deviation = sampleUs / 2;
            Measured = true;
            EndToEnd = endToEnd;
        }
    }
    // A figure taken from a reply.
    void Add(int64_t sampleUs)
    {
        sampleUs = std::clamp<int64_t>(sampleUs, 0, MaxExtraUs);
        // The first reply's figure replaces the opening's, as the one that measured the
        // whole way to a device; how far the two lie apart feeds the deviation as any later
        // difference does (a first figure taken as its own deviation would count the device's
        // own turnaround four times more over in every time-out of a sweep).
        const bool first = !FromReplies;
        FromReplies = true;
        if (!Measured) {
            Smoothed = sampleUs;
            Deviation = sampleUs / 2;
            Measured = true;
            return;
        }
        const int64_t error = sampleUs - Smoothed;
        Deviation += ((error < 0 ? -error : error) - Deviation) / 4;
        Smoothed = first ? sampleUs : Smoothed + error / 8;
    }
    // The allowance: the round trip and four deviations, in whole milliseconds rounded up.
    uint32_t ExtraMs() const
    {
        const int64_t us = std::min(Smoothed + 4 * Deviation, MaxExtraUs);
        return static_cast<uint32_t>((us + 999) / 1000);
    }

private:
    bool Measured = false;
    bool EndToEnd = false;
    bool FromReplies = false;
    int64_t Smoothed = 0;
    int64_t Deviation = 0;
};

class TNetSerialPort : public TSelfTimedPort
{
public:
    TNetSerialPort(std::unique_ptr<ISocket> socket, TNetTransport transport, int64_t connectUs)
        : Socket(std::move(socket)), Telnet(transport == TNetTransport::Rfc2217)
    {
        Trip.Opening(connectUs, false);
    }

    // Telnet: offers the options and waits for the server's word on the COM-PORT-OPTION.
    bool Start(int &error)
    {
        if (!Telnet) {
            return true;
        }
        const int64_t start = MonotonicNs();
        if (!Send(Codec.Greeting())) {
            error = Lost;
            return false;
        }
        const int64_t deadline = start + MsToNs(NetNegotiationTimeoutMs);
        while (Codec.ComPort == TComPortState::Unanswered && Pump(deadline)) {
        }
        if (Lost != 0) {
            error = Lost;
            return false;
        }
        if (Codec.ComPort != TComPortState::Accepted) {
            error = EPROTO;
            return false;
        }
        Trip.Opening((MonotonicNs() - start) / 1000, true);
        return true;
    }

    bool SetupQueues(uint32_t, uint32_t) override { return true; }

    bool GetLineSettings(TLineSettings &settings) override
    {
        settings = Line;
        return true;
    }

    bool SetLineSettings(const TLineSettings &settings) override
    {
        const bool same = settings.BaudRate == Line.BaudRate &&
                          settings.DataBits == Line.DataBits && settings.Parity == Line.Parity &&
                          settings.StopBits == Line.StopBits;
        Line = settings;
        if (!Telnet || (same && Negotiated) || Lost != 0) {
            return Lost == 0;
        }
        // A server that cannot set the line as asked leaves a bus that garbles every frame:
        // that is the port failing, told as a protocol error at the next use (or opening).
        if (!NegotiateLine()) {
            Lost = Lost != 0 ? Lost : EPROTO;
            return false;
        }
        Negotiated = true;
        return true;
    }

    bool Purge(TPurge what) override
    {
        if (what == TPurge::TxClear || what == TPurge::TxAbort) {
            return true; // writes are synchronous: nothing waits to go out
        }
        // What came after its reader gave up: a late reply, which tells how late replies are.
        while (Lost == 0 && Pump(0)) {
        }
        // Where an attempt was answered only after a retry had gone out, the retry's own reply
        // is still on its way: it is waited for here (until a round trip after the retry), or
        // it would be taken for the reply to the next request, and that one's for the next.
        if (RetryReplyDue) {
            RetryReplyDue = false;
            const int64_t until = LastRetryAt + static_cast<int64_t>(Trip.ExtraMs()) * 1'000'000;
            while (Lost == 0 && MonotonicNs() < until) {
                Pump(until);
            }
        }
        Pending.clear();
        PendingAt = 0;
        Codec.Answers.clear(); // the server's notifications, of no use to us
        EndAttempt();
        return Lost == 0;
    }

    bool SetRts(bool) override { return false; }
    bool SetDtr(bool) override { return false; }
    bool SetLowLatency(bool) override { return false; }

    size_t Read(uint8_t *buffer, size_t count) override
    {
        if (count == 0 || Lost != 0) {
            return 0;
        }
        const int64_t start = MonotonicNs();
        size_t got = 0;
        int64_t lastByte = 0;
        for (;;) {
            const size_t take = std::min(count - got, Pending.size() - PendingAt);
            if (take > 0) {
                std::copy_n(Pending.begin() + static_cast<std::ptrdiff_t>(PendingAt), take,
                            buffer + got);
                PendingAt += take;
                got += take;
                lastByte = LastArrival;
                if (PendingAt == Pending.size()) {
                    Pending.clear();
                    PendingAt = 0;
                }
            }
            if (got == count) {
                return got;
            }
            const int64_t deadline = ReadDeadline(start, count, got, lastByte);
            // Bytes already waiting are taken even when no time is left, as a serial
            // port's read hands over its buffer.
            if (!Pump(deadline) && (Lost != 0 || MonotonicNs() >= deadline)) {
                return got;
            }
        }
    }

    size_t Write(const uint8_t *buffer, size_t count) override
    {
        if (Lost != 0) {
            return 0;
        }
        bool sent = false;
        if (Telnet) {
            std::vector<uint8_t> escaped;
            TTelnetCodec::Escape(buffer, count, escaped);
            sent = Send(escaped);
        } else {
            int error = 0;
            sent = Socket->SendAll(buffer, count, error);
            if (!sent) {
                Lost = error;
            }
        }
        if (!sent) {
            return 0;
        }
        // Two writes of one request (the check byte apart) are one attempt.
        if (Attempt.empty()) {
            AttemptAt = MonotonicNs();
        }
        Attempt.insert(Attempt.end(), buffer, buffer + count);
        WrittenAt = MonotonicNs();
        AwaitingReply = true;
        return count;
    }

    int LostError() const override { return Lost; }
    bool SwitchesDirection() const override { return true; }
    uint32_t ExtraReplyMs() const override { return Trip.ExtraMs(); }

private:
    static int64_t MsToNs(int64_t ms) { return ms * 1'000'000; }

    // Sends bytes already escaped; false (and the port lost) when the connection failed.
    bool Send(const std::vector<uint8_t> &bytes)
    {
        int error = 0;
        if (!Socket->SendAll(bytes.data(), bytes.size(), error)) {
            Lost = error != 0 ? error : ECONNRESET;
            return false;
        }
        return true;
    }

    // Waits until `deadlineNs` (0: not at all) for bytes and takes what came: line bytes
    // into Pending, the server's commands through the codec. True when something came;
    // false on time-out and when the connection ended (Lost then tells why).
    bool Pump(int64_t deadlineNs)
    {
        const int64_t waitUs =
            deadlineNs == 0 ? 0 : std::max<int64_t>(0, (deadlineNs - MonotonicNs()) / 1000);
        uint8_t chunk[512];
        int error = 0;
        const int n = Socket->Receive(chunk, sizeof chunk, waitUs, error);
        if (n < 0) {
            Lost = error != 0 ? error : ECONNRESET;
            return false;
        }
        if (n == 0) {
            return false;
        }
        const size_t before = Pending.size();
        if (Telnet) {
            std::vector<uint8_t> replies;
            Codec.Feed(chunk, static_cast<size_t>(n), Pending, replies);
            if (!replies.empty() && !Send(replies)) {
                return false;
            }
        } else {
            Pending.insert(Pending.end(), chunk, chunk + n);
        }
        if (Pending.size() > before) {
            LastArrival = MonotonicNs();
            NoteReply(Pending.size() - before);
        }
        return true;
    }

    // Ends the attempt written since the last purge: an unanswered one joins the run of
    // unanswered attempts of the same request (retries), or starts one.
    void EndAttempt()
    {
        if (Attempt.empty()) {
            return;
        }
        if (!AwaitingReply) {
            Unanswered = 0;
        } else if (Unanswered > 0 && Attempt == Retried) {
            ++Unanswered;
        } else {
            Retried = Attempt;
            RetriedAt = AttemptAt;
            Unanswered = 1;
        }
        Attempt.clear();
        AwaitingReply = false;
    }

    // Takes the round trip from the first bytes after a request: the time since the request
    // left, less the line time of the request and of these bytes. After unanswered attempts
    // of the same request the bytes may answer the first of them, so the time counts from
    // that one: a figure too long only slows the link, one too short breaks it.
    void NoteReply(size_t arrived)
    {
        if (!AwaitingReply) {
            return;
        }
        AwaitingReply = false;
        const int64_t lineUs = CharacterTimeUs(Line.BaudRate, Line.StopBits) *
                               static_cast<int64_t>(Attempt.size() + arrived);
        const bool retried = Unanswered > 0 && Attempt == Retried;
        if (retried) {
            RetryReplyDue = true;
            LastRetryAt = WrittenAt;
        }
        // Nothing is learnt from bytes sooner than the line time: a late reply to an earlier
        // request, or a line faster than the link settings say.
        const int64_t sampleUs = (LastArrival - (retried ? RetriedAt : AttemptAt)) / 1000 - lineUs;
        if (sampleUs > 0) {
            Trip.Add(sampleUs);
        }
    }

    // Sets the remote line's format and checks each answer; false when one is missing or
    // differs from what was asked.
    bool NegotiateLine()
    {
        const uint32_t baud = Line.BaudRate;
        const std::vector<TComPortAnswer> wanted = {
            {CPO_SET_BAUDRATE,
             {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
              static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)}},
            {CPO_SET_DATASIZE, {Line.DataBits}},
            {CPO_SET_PARITY, {static_cast<uint8_t>(Line.Parity ? 3 : 1)}}, // even or none
            // 1: one stop bit, 2: two, 3: one and a half.
            {CPO_SET_STOPSIZE,
             {static_cast<uint8_t>(Line.StopBits == 0   ? 1
                                   : Line.StopBits == 1 ? 3
                                                        : 2)}},
        };
        Codec.Answers.clear();
        const int64_t start = MonotonicNs();
        for (const TComPortAnswer &command : wanted) {
            if (!Send(TTelnetCodec::ComPortCommand(command.Command, command.Value))) {
                return false;
            }
        }
        // The answer to each command, the first that came; notifications of the line's and the
        // modem lines' state may come between them and are not answers.
        const auto answerTo = [&](const TComPortAnswer &command) {
            return std::find_if(Codec.Answers.begin(), Codec.Answers.end(),
                                [&](const TComPortAnswer &a) {
                                    return a.Command == command.Command + CPO_SERVER_OFFSET;
                                });
        };
        const auto allAnswered = [&] {
            return std::all_of(wanted.begin(), wanted.end(), [&](const TComPortAnswer &command) {
                return answerTo(command) != Codec.Answers.end();
            });
        };
        const int64_t deadline = start + MsToNs(NetNegotiationTimeoutMs);
        while (!allAnswered() && Pump(deadline)) {
        }
        if (!allAnswered()) {
            return false;
        }
        Trip.Opening((MonotonicNs() - start) / 1000, true);
        for (const TComPortAnswer &command : wanted) {
            if (answerTo(command)->Value != command.Value) {
                return false;
            }
        }
        Codec.Answers.clear();
        return true;
    }

    std::unique_ptr<ISocket> Socket;
    bool Telnet;
    TTelnetCodec Codec;
    TLineSettings Line;
    bool Negotiated = false;
    std::vector<uint8_t> Pending; // line bytes received and not yet read
    size_t PendingAt = 0;
    int64_t LastArrival = 0;
    TRoundTrip Trip;
    bool AwaitingReply = false;   // a request went out and nothing has come since
    std::vector<uint8_t> Attempt; // the bytes written since the last purge
    int64_t AttemptAt = 0;        // when its first byte was written
    int64_t WrittenAt = 0;        // when its last byte was written
    std::vector<uint8_t> Retried; // the request of the unanswered attempts before this one
    int64_t RetriedAt = 0;        // when the first of them was written
    int Unanswered = 0;           // how many there were
    bool RetryReplyDue = false;   // an answered retry's own reply may still come
    int64_t LastRetryAt = 0;      // when that retry was written
    int Lost = 0;
};

} // namespace

std::unique_ptr<ISerialPort> OpenNetPortOn(std::unique_ptr<ISocket> socket, TNetTransport transport,
                                           int64_t connectUs, int &error)
{
    auto port = std::make_unique<TNetSerialPort>(std::move(socket), transport, connectUs);
    if (!port->Start(error)) {
        return nullptr;
    }
    error = 0;
    return port;
}

std::unique_ptr<ISerialPort> OpenNetPort(const std::string &path, int &error)
{
    TNetAddress address;
    if (!ParseNetAddress(path, address)) {
        error = EINVAL;
        return nullptr;
    }
    int64_t connectUs = 0;
    std::unique_ptr<ISocket> socket =
        ConnectSocket(address.Host, address.Port, NetConnectTimeoutMs, error, connectUs);
    if (!socket) {
        return nullptr;
    }
    return OpenNetPortOn(std::move(socket), address.Transport, connectUs, error);
}
