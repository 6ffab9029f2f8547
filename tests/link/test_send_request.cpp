#include <algorithm>
#include <cerrno>

#include "tests/link/LinkTestSupport.h"

namespace {

const std::vector<uint8_t> Ping1 = {0x01, 0x06, 0x00, CMD_PING, 0x00, 0x00};
const std::vector<uint8_t> Identify5 = {0x05, 0x06, 0x00, CMD_IDENTIFY, 0x00, 0x00};
const std::vector<uint8_t> ReplyL5 = {0x05, 0x05, 0x00, 0x12, 0x6F, 0x0A};
const std::vector<uint8_t> ReplyL6 = {0x05, 0x06, 0x00, 0x12, 0x6F, 0x01, 0x6E};

bool Send(const std::vector<uint8_t> &request, std::vector<uint8_t> &reply)
{
    return SendRequest(request.data(), request.size(), reply);
}

} // namespace

class Exchange : public TLinkOnFake
{
protected:
    void SetUp() override
    {
        TLinkOnFake::SetUp();
        OpenPort();
    }
    // The recorded calls that start with `prefix`, in order.
    std::vector<std::string> Only(const std::string &prefix) const
    {
        std::vector<std::string> picked;
        for (const std::string &call : Fake.Calls()) {
            if (call.compare(0, prefix.size(), prefix) == 0) {
                picked.push_back(call);
            }
        }
        return picked;
    }
    // An unanswered ping, then an identify answered with ReplyL5; neither may key the
    // converter through RTS or DTR.
    void ExchangeWithoutKeying()
    {
        std::vector<uint8_t> reply;
        EXPECT_FALSE(Send(Ping1, reply));
        Fake.QueueReply(ReplyL5);
        EXPECT_TRUE(Send(Identify5, reply));
        EXPECT_EQ(Fake.Count("rts"), 0u);
        EXPECT_EQ(Fake.Count("dtr"), 0u);
    }
};

TEST_F(Exchange, OneAnsweredAttemptInOrder)
{
    Fake.QueueReply(ReplyL5);
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(reply, ReplyL5);
    const std::vector<std::string> expected = {
        "sleep 4",
        "dtr 0",
        "rts 1",
        "purge tx-clear",
        "purge tx-abort",
        "purge rx-clear",
        "purge rx-abort",
        "get-timeouts", // opening applied the command set: nothing to change
        "priority up",  // the hold, and only the hold, runs in real time
        "write 05 06 00 0D 00 00 67",
        "dtr 1",
        "rts 0",
        "priority down",
        "read 6 -> 6", // L = 5: complete after the first read
    };
    EXPECT_EQ(Fake.Calls(), expected);
}

TEST_F(Exchange, LongerReplyTakesASecondRead)
{
    Fake.QueueReply(ReplyL6);
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(reply, ReplyL6);
    EXPECT_EQ(Only("read"), (std::vector<std::string>{"read 6 -> 6", "read 1 -> 1"}));
}

TEST_F(Exchange, AllAttemptsFailWithThreePausesAndPurges)
{
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Ping1, reply));
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(Fake.Count("sleep 4"), 3u);
    EXPECT_EQ(Fake.Count("purge tx-clear"), 3u);
    EXPECT_EQ(Fake.Count("purge rx-abort"), 3u);
    EXPECT_EQ(Fake.Count("write"), 3u);
    EXPECT_EQ(Fake.Count("sleep"), 3u);
    // Each attempt waits out the short time-out: 3 x (4 ms + wire time + 30 ms).
    EXPECT_EQ(Fake.NowUs() / 1000, 3 * (4 + 30) + 3 * (7 * 1041 + 400) / 1000);
}

TEST_F(Exchange, RejectedRepliesAreRetriedAndRecordedWithTheirVerdicts)
{
    struct TCase
    {
        const char *What;
        std::vector<uint8_t> Bad;
        TAttemptVerdict Verdict;
    };
    std::vector<uint8_t> longReply(127, 0);
    longReply[0] = 5;
    longReply[1] = 127;
    longReply = WithCheckByte(longReply);
    const TCase cases[] = {
        {"wrong check byte", {0x05, 0x05, 0x00, 0x12, 0x6F, 0x0B}, TAttemptVerdict::WrongCheckByte},
        {"L = 127 with a right check byte", longReply, TAttemptVerdict::LengthOutOfBounds},
        {"L = 12, four of seven more bytes",
         {0x05, 0x0C, 0x00, 0x12, 0x6F, 0x01, 1, 2, 3, 4},
         TAttemptVerdict::LengthMismatch},
        {"too short", {0x05, 0x05, 0x00}, TAttemptVerdict::TooShort},
        {"L = 4 in a six-byte reply", WithCheckByte({0x05, 0x04, 0x00, 0x12, 0x6F}),
         TAttemptVerdict::LengthOutOfBounds},
        {"L = 6 but six bytes",
         {0x05, 0x06, 0x00, 0x12, 0x6F, 0x0A},
         TAttemptVerdict::LengthMismatch},
        // The first six bytes name a six-byte frame, so the seventh is never read.
        {"noise first",
         {0xAA, 0x05, 0x05, 0x00, 0x12, 0x6F, 0x0A},
         TAttemptVerdict::WrongCheckByte},
        {"nothing", {}, TAttemptVerdict::NoReply},
    };
    TTrafficRecord record;
    SetTrafficRecord(&record);
    for (const TCase &c : cases) {
        Fake.ClearCalls();
        if (c.Bad.empty())
            Fake.QueueSilence();
        else
            Fake.QueueReply(c.Bad);
        Fake.QueueReply(ReplyL5);
        std::vector<uint8_t> reply;
        EXPECT_TRUE(Send(Identify5, reply)) << c.What;
        EXPECT_EQ(reply, ReplyL5) << c.What;
        EXPECT_EQ(Fake.Count("sleep"), 2u) << c.What;
        // Each attempt as it went on the wire: the request with its check byte, the bytes
        // that came back, the verdict.
        const std::vector<TTrafficAttempt> attempts = record.Take();
        ASSERT_EQ(attempts.size(), 2u) << c.What;
        EXPECT_EQ(attempts[0].Attempt, 1);
        EXPECT_EQ(attempts[0].Request, WithCheckByte(Identify5));
        const size_t received = attempts[0].Reply.size();
        ASSERT_LE(received, c.Bad.size()) << c.What;
        EXPECT_TRUE(std::equal(c.Bad.begin(), c.Bad.begin() + received, attempts[0].Reply.begin()))
            << c.What;
        EXPECT_EQ(attempts[0].Verdict, c.Verdict) << c.What;
        EXPECT_EQ(attempts[1].Attempt, 2);
        EXPECT_EQ(attempts[1].Verdict, TAttemptVerdict::Accepted);
        EXPECT_FALSE(attempts[1].Port.empty());
    }
    SetTrafficRecord(nullptr);
    Fake.QueueReply(ReplyL5);
    std::vector<uint8_t> reply;
    EXPECT_TRUE(Send(Identify5, reply));
    EXPECT_TRUE(record.Take().empty());

    // Full, the record drops the oldest attempts and counts them.
    TTrafficRecord small(2);
    for (int i = 1; i <= 5; ++i) {
        TTrafficAttempt attempt;
        attempt.Attempt = i;
        small.Add(attempt);
    }
    const std::vector<TTrafficAttempt> kept = small.Take();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].Attempt, 4);
    EXPECT_EQ(small.Dropped(), 3u);
}

TEST_F(Exchange, ShortestAndLongestAcceptedReplies)
{
    std::vector<uint8_t> longest(126, 0x55);
    longest[0] = 5;
    longest[1] = 126;
    longest = WithCheckByte(longest);
    Fake.QueueReply(longest);
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(reply.size(), 127u);
    EXPECT_EQ(Only("read"), (std::vector<std::string>{"read 6 -> 6", "read 121 -> 121"}));
}

TEST_F(Exchange, FailedTransactionLeavesWhatTheLastAttemptReceived)
{
    const std::vector<uint8_t> truncated = {0x05, 0x0C, 0x00, 0x12, 0x6F, 0x01, 1, 2};
    Fake.QueueReply(truncated);
    Fake.QueueReply(truncated);
    Fake.QueueReply(truncated);
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_EQ(reply, truncated);
}

TEST_F(Exchange, SecondReadStaysInsideTheLargestFrame)
{
    // L = 255 would ask for 250 more bytes; the frame buffer holds 255 in all.
    std::vector<uint8_t> huge(300, 0);
    huge[0] = 5;
    huge[1] = 255;
    for (int i = 0; i < 3; ++i) {
        Fake.QueueReply(huge);
    }
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_LE(reply.size(), MaxFrameSize);
    EXPECT_EQ(Fake.Count("read 249 -> 249"), 3u);
}

TEST_F(Exchange, StaleInputIsPurgedBeforeSending)
{
    Fake.InjectInput({0x05, 0x05, 0x00});
    Fake.QueueReply(ReplyL5);
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(Fake.Count("sleep"), 1u);
}

TEST_F(Exchange, TimeoutsChangeOnlyWithTheKindOfCommand)
{
    std::vector<uint8_t> reply;
    Fake.QueueReply(WithCheckByte({1, 5, 0, CMD_PING, 0}));
    Send(Ping1, reply);
    Fake.QueueReply(WithCheckByte({1, 5, 0, CMD_PING, 0}));
    Send(Ping1, reply);
    Fake.QueueReply(ReplyL5);
    Send(Identify5, reply);
    const std::vector<uint8_t> read = {5, 6, 0, CMD_READ_PARAM, 1, 0};
    Fake.QueueReply(WithCheckByte({5, 5, REPLY_ACCEPTED, CMD_READ_PARAM, 5}));
    Send(read, reply);
    Fake.QueueReply(WithCheckByte({1, 5, 0, CMD_PING, 0}));
    Send(Ping1, reply);
    EXPECT_EQ(Only("set-timeouts"), (std::vector<std::string>{
                                        "set-timeouts 0 0 30 0 0",  // first ping
                                        "set-timeouts 0 0 600 0 0", // identify
                                        "set-timeouts 0 0 30 0 0",  // ping again
                                    }));
    EXPECT_EQ(Fake.Count("get-timeouts"), 5u);
}

TEST_F(Exchange, TimeoutSetsComeFromTheSettings)
{
    LinkSettings.IntervalTimeout = 3;
    LinkSettings.TimeoutMultiplier = 1;
    LinkSettings.TimeoutConstant = 25;
    LinkSettings.CmdIntervalTimeout = 9;
    LinkSettings.CmdTimeoutMultiplier = 2;
    LinkSettings.CmdTimeoutConstant = 700;
    std::vector<uint8_t> reply;
    Send(Ping1, reply);
    Send(Identify5, reply);
    EXPECT_EQ(Only("set-timeouts"),
              (std::vector<std::string>{"set-timeouts 3 1 25 0 0", "set-timeouts 9 2 700 0 0"}));
    // The short set's time-out: 1 ms per byte of the six-byte first read plus 25.
    EXPECT_EQ(Fake.Count("read 6 -> 0"), 6u);
}

TEST_F(Exchange, SlowerLinesAddTheirExtraWireTimePerReplyByte)
{
    // The settings are written for 9600 baud: faster lines keep them as they are, slower ones
    // add what each reply byte takes beyond its 9600 time (rounded up to whole ms) to the
    // per-byte part and to a gap limit that is set.
    LinkSettings.IntervalTimeout = 3;
    struct TCase
    {
        uint32_t Baud;
        const char *Ping;
        const char *Identify;
    };
    const TCase cases[] = {
        {115200, "set-timeouts 3 0 30 0 0", "set-timeouts 0 0 600 0 0"},
        {19200, "set-timeouts 3 0 30 0 0", "set-timeouts 0 0 600 0 0"},
        {4800, "set-timeouts 5 2 30 0 0", "set-timeouts 0 2 600 0 0"},
        {1200, "set-timeouts 11 8 30 0 0", "set-timeouts 0 8 600 0 0"},
    };
    for (const TCase &c : cases) {
        ASSERT_TRUE(SetComState(c.Baud));
        Fake.ClearCalls();
        std::vector<uint8_t> reply;
        Send(Ping1, reply);
        Fake.QueueReply(ReplyL5);
        Send(Identify5, reply);
        EXPECT_EQ(Only("set-timeouts"), (std::vector<std::string>{c.Ping, c.Identify})) << c.Baud;
    }
    // Untimed, the read begins as the request goes out: its seven bytes' extra time too.
    LinkSettings.USARTMode = true;
    Fake.ClearCalls();
    std::vector<uint8_t> reply;
    Send(Ping1, reply);
    EXPECT_EQ(Only("set-timeouts"), (std::vector<std::string>{"set-timeouts 11 8 86 0 0"}));
}

TEST_F(Exchange, SmartConverterLinesAreNeverTouched)
{
    LinkSettings.SmartPI = true;
    ExchangeWithoutKeying();
    EXPECT_EQ(Fake.Count("write"), 4u);
}

TEST_F(Exchange, RemotePortSkipsTheHoldAndWaitsItsRoundTripLonger)
{
    // A network server's converter turns the bus around itself: no keying, no counted hold;
    // its round trip lengthens both the total and the gap time-outs of every reply.
    Fake.SetRemote(true, 25);
    LinkSettings.IntervalTimeout = 3;
    ExchangeWithoutKeying();
    EXPECT_EQ(Fake.Count("priority up"), 0u);
    EXPECT_EQ(Only("set-timeouts"),
              (std::vector<std::string>{"set-timeouts 28 0 55 0 0", "set-timeouts 0 0 625 0 0"}));
}

TEST_F(Exchange, TimedModeHoldsTheTransmitterForTheWireTime)
{
    struct TCase
    {
        uint32_t StopBits;
        uint32_t Tail;
        int64_t Frequency;
        int64_t HoldUs;
        uint32_t Baud = 9600;
    };
    const TCase cases[] = {
        {0, 400, 1'000'000'000, 7 * 1041 + 400},
        {2, 0, 1'000'000'000, 7 * 1146},
        {1, 1000, 10'000'000, 7 * 1094 + 1000},
        // The character time follows the line speed.
        {0, 400, 1'000'000'000, 7 * 520 + 400, 19200},
        {2, 0, 1'000'000'000, 7 * 9174, 1200},
        {0, 0, 1'000'000'000, 7 * 86, 115200},
    };
    for (const TCase &c : cases) {
        ASSERT_TRUE(SetComState(c.Baud));
        LinkSettings.StopBits = c.StopBits;
        LinkSettings.TailinUS = c.Tail;
        Fake.SetCounterFrequency(c.Frequency);
        InitPerfFrequency();
        Fake.ClearCalls();
        Fake.QueueReply(ReplyL5);
        std::vector<uint8_t> reply;
        ASSERT_TRUE(Send(Identify5, reply));
        EXPECT_EQ(Only("write"), (std::vector<std::string>{"write 05 06 00 0D 00 00 67"}));
        const int64_t wanted = c.Frequency * c.HoldUs / 1'000'000;
        // Released at the first counter reading past the hold (the fake's counter steps 1 µs).
        EXPECT_GE(Fake.LastHoldTicks(), wanted);
        EXPECT_LE(Fake.LastHoldTicks(), wanted + c.Frequency / 1'000'000 * 2);
    }
}

TEST_F(Exchange, UntimedModeWritesRequestAndCheckByteSeparately)
{
    for (int variant = 0; variant < 2; ++variant) {
        LinkSettings.USARTMode = variant == 0;
        PerfFrequency = variant == 0 ? 1'000'000'000 : 0;
        Fake.ClearCalls();
        Fake.QueueReply(ReplyL5);
        std::vector<uint8_t> reply;
        ASSERT_TRUE(Send(Identify5, reply));
        EXPECT_EQ(Only("write"), (std::vector<std::string>{"write 05 06 00 0D 00 00", "write 67"}));
        // No busy-wait: the transmitter is released at once.
        EXPECT_LT(Fake.LastHoldTicks(), 7 * 1041 * 1000);
    }
}

TEST_F(Exchange, ShortWriteFailsTheAttemptWithoutReading)
{
    Fake.SetWriteLimit(3);
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_EQ(Fake.Count("read"), 0u);
    EXPECT_EQ(Fake.Count("sleep"), 3u);
    // The transmitter is switched back after a failed write too.
    EXPECT_EQ(Fake.Count("rts 0"), 3u);

    // Untimed: a short first write skips the check byte.
    LinkSettings.USARTMode = true;
    Fake.ClearCalls();
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_EQ(Fake.Count("write"), 3u);
}

TEST_F(Exchange, ALostPortEndsTheTransactionAtOnceAndRefusesTheNext)
{
    // The converter goes while the request goes out.
    Fake.SetResponder([this](const std::vector<uint8_t> &) {
        Fake.LosePort(ENODEV);
        return std::vector<uint8_t>();
    });
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_EQ(Fake.Count("sleep"), 1u); // no second attempt, no second pause
    EXPECT_EQ(Fake.Count("read"), 0u);
    EXPECT_EQ(Fake.Count("rts 0"), 1u); // the transmitter is released all the same
    EXPECT_TRUE(PortLost());
    EXPECT_EQ(PortLostError(), ENODEV);
    EXPECT_TRUE(PortIsOpen());

    Fake.ClearCalls();
    EXPECT_FALSE(Send(Identify5, reply));
    EXPECT_TRUE(Fake.Calls().empty());

    // Closing forgets the loss; the next port opened is a fresh one.
    Fake.SetResponder(nullptr);
    CloseComPort();
    EXPECT_FALSE(PortLost());
    OpenPort();
    Fake.QueueReply(ReplyL5);
    EXPECT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(PortLostError(), 0);
}

TEST_F(Exchange, RequestsOutsideTheFrameBufferAreRefused)
{
    std::vector<uint8_t> reply{9};
    EXPECT_FALSE(SendRequest(Ping1.data(), 0, reply));
    EXPECT_TRUE(reply.empty());
    const std::vector<uint8_t> tooLong(255, 1);
    EXPECT_FALSE(Send(tooLong, reply));
    EXPECT_FALSE(SendRequest(nullptr, 6, reply));
    EXPECT_TRUE(Fake.Calls().empty());

    // The longest request still fits with its check byte.
    std::vector<uint8_t> longest(254, 0);
    longest[1] = 254;
    Send(longest, reply);
    EXPECT_EQ(Fake.Frames().size(), 3u);
    EXPECT_EQ(Fake.Frames()[0].size(), 255u);

    // Too short to carry a command: the command set applies.
    LinkSettings.CmdTimeoutConstant = 601;
    Fake.ClearCalls();
    const std::vector<uint8_t> tiny = {1, 2};
    Send(tiny, reply);
    EXPECT_EQ(Only("set-timeouts"), (std::vector<std::string>{"set-timeouts 0 0 601 0 0"}));
}

TEST_F(Exchange, TheConvertersEchoIsDroppedAndTheReplyReadOnInTheSameTime)
{
    TTrafficRecord record;
    SetTrafficRecord(&record);
    const std::vector<uint8_t> pingReply = WithCheckByte({1, 5, 0, CMD_PING, 0});
    struct TCase
    {
        const char *What;
        std::vector<uint8_t> Request;
        int Echoes;
        std::vector<uint8_t> Reply; // empty: the device is silent
        std::vector<std::string> Reads;
    };
    const TCase cases[] = {
        // The first read takes six bytes of the seven-byte echo; the rest comes next.
        {"echo split", Identify5, 1, ReplyL5, {"read 6 -> 6", "read 1 -> 1", "read 6 -> 6"}},
        // A three-byte request: its echo and half the reply come in one read.
        {"echo and reply in one read", {1, 2}, 1, pingReply, {"read 6 -> 6", "read 3 -> 3"}},
        {"echoed twice",
         Identify5,
         2,
         ReplyL6,
         {"read 6 -> 6", "read 1 -> 1", "read 6 -> 6", "read 1 -> 1", "read 6 -> 6",
          "read 1 -> 1"}},
    };
    for (const TCase &c : cases) {
        Fake.ClearCalls();
        Fake.SetResponder([&](const std::vector<uint8_t> &frame) {
            std::vector<uint8_t> heard;
            for (int i = 0; i < c.Echoes; ++i) {
                heard.insert(heard.end(), frame.begin(), frame.end());
            }
            heard.insert(heard.end(), c.Reply.begin(), c.Reply.end());
            return heard;
        });
        std::vector<uint8_t> reply;
        ASSERT_TRUE(Send(c.Request, reply)) << c.What;
        EXPECT_EQ(reply, c.Reply) << c.What;
        EXPECT_EQ(Only("read"), c.Reads) << c.What;
        EXPECT_EQ(Fake.Count("sleep"), 1u) << c.What;
        const std::vector<TTrafficAttempt> attempts = record.Take();
        ASSERT_EQ(attempts.size(), 1u) << c.What;
        EXPECT_TRUE(attempts[0].Echo) << c.What;
        EXPECT_EQ(attempts[0].Reply, c.Reply) << c.What;
        EXPECT_EQ(attempts[0].Verdict, TAttemptVerdict::Accepted) << c.What;
    }

    // A silent address on an echoing bus: no device listed, and each attempt waits no longer
    // than without the echo (see AllAttemptsFailWithThreePausesAndPurges).
    Fake.ClearCalls();
    Fake.SetResponder([](const std::vector<uint8_t> &frame) { return frame; });
    const int64_t startUs = Fake.NowUs();
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Send(Ping1, reply));
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ((Fake.NowUs() - startUs) / 1000, 3 * (4 + 30) + 3 * (7 * 1041 + 400) / 1000);
    for (const TTrafficAttempt &attempt : record.Take()) {
        EXPECT_TRUE(attempt.Echo);
        EXPECT_EQ(attempt.Verdict, TAttemptVerdict::NoReply);
    }

    // Behind a latency timer the last ping's echo comes after the identify's purge: it has
    // the shape of an identify reply (type 1), yet only the device's own reply is taken.
    Fake.ClearCalls();
    Fake.SetResponder([](const std::vector<uint8_t> &frame) {
        std::vector<uint8_t> heard = WithCheckByte(Ping1);
        heard.insert(heard.end(), frame.begin(), frame.end());
        heard.insert(heard.end(), ReplyL6.begin(), ReplyL6.end());
        return heard;
    });
    ASSERT_TRUE(Send(Identify5, reply));
    EXPECT_EQ(reply, ReplyL6);
    SetTrafficRecord(nullptr);
}

// The fast sweep's attempt: one try, its own deadline from the request's end, what came in
// before it handed over as a late answer (and kept out of the reply), the next standard
// transaction back on the settings' time-outs; the deadline follows the line speed.
TEST_F(Exchange, ASingleAttemptWaitsItsOwnTimeOutOnce)
{
    std::vector<uint8_t> reply;
    std::vector<uint8_t> late = {9};
    EXPECT_FALSE(SendRequestOnce(Ping1.data(), Ping1.size(), reply, 27, late));
    EXPECT_TRUE(late.empty());
    EXPECT_EQ(Fake.Count("write"), 1u);
    EXPECT_EQ(Fake.NowUs() / 1000, 4 + 27 + (7 * 1041 + 400) / 1000);
    const std::vector<uint8_t> tooLate = WithCheckByte({127, 5, 0, CMD_PING, 0});
    Fake.InjectInput(tooLate);
    Fake.QueueReply(WithCheckByte({1, 5, 0, CMD_PING, 0}));
    EXPECT_TRUE(SendRequestOnce(Ping1.data(), Ping1.size(), reply, 27, late));
    EXPECT_EQ(late, tooLate);
    EXPECT_EQ(reply[0], 1);
    Fake.QueueReply(WithCheckByte({1, 5, 0, CMD_PING, 0}));
    EXPECT_TRUE(Send(Ping1, reply));
    EXPECT_EQ(Only("set-timeouts"),
              (std::vector<std::string>{"set-timeouts 0 0 0 0 0", "set-timeouts 0 0 27 0 0",
                                        "set-timeouts 0 0 0 0 0", "set-timeouts 0 0 27 0 0",
                                        "set-timeouts 0 0 30 0 0"}));
    // Six reply characters: 6.2 ms at 9600 baud, 0.6 ms at 115200, 55.0 at 1200 with two stop
    // bits, rounded up.
    EXPECT_EQ(FastSweepTimeoutMs(9600, 0, 20), 27u);
    EXPECT_EQ(FastSweepTimeoutMs(115200, 0, 20), 21u);
    EXPECT_EQ(FastSweepTimeoutMs(1200, 2, 0), 56u);
}
