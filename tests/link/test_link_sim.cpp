#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include <sys/syscall.h>
#include <thread>

#include "link/Link.h"
#include "link/SystemSerial.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/WaitUntil.h"

namespace {

// The real POSIX platform, counting the attempts (one pause each) it sees.
class TCountingPlatform : public TSystemSerialPlatform
{
public:
    TCountingPlatform() { SetSerialPlatform(this); }
    ~TCountingPlatform() override
    {
        CloseComPort();
        SetSerialPlatform(nullptr);
    }
    void SleepMs(uint32_t ms) override
    {
        ++Pauses;
        TSystemSerialPlatform::SleepMs(ms);
        ++PausesEnded;
    }
    std::atomic<int> Pauses{0};
    std::atomic<int> PausesEnded{0};
};

class OverSimulator : public ::testing::Test
{
protected:
    static TSimulatorProcess::TOptions Options()
    {
        TSimulatorProcess::TOptions options;
        options.Port = 7;
        // Short time-outs keep silent addresses cheap.
        options.SettingsLines = {"TimeoutConstant=60", "CmdTimeoutConstant=200", "StartTimeOut=1"};
        return options;
    }
    void SetUp() override
    {
        ASSERT_TRUE(Sim.Ready()) << Sim.Error();
        LoadLinkSettings();
        InitPerfFrequency();
        ASSERT_TRUE(OpenComPort(Sim.PortNumber())) << "errno " << LastOpenError();
    }
    void TearDown() override
    {
        CloseComPort();
        LinkSettings = TLinkSettings();
    }
    // Sends a request to `address` and returns whether it was answered; counts attempts.
    bool Ask(uint8_t address, uint8_t command, std::vector<uint8_t> &reply, uint8_t data = 0)
    {
        const uint8_t request[] = {address, 6, 0, command, data, 0};
        Platform.Pauses = 0;
        return SendRequest(request, sizeof request, reply);
    }

    TCountingPlatform Platform;
    TSimulatorProcess Sim{LINVAR_TEST_DATA "/sim-link.conf", Options()};
};

} // namespace

TEST_F(OverSimulator, IdentifyRepliesOfBothLengths)
{
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Ask(5, CMD_IDENTIFY, reply));
    EXPECT_EQ(reply, (std::vector<uint8_t>{0x05, 0x05, 0x00, 0x12, 0x6F, 0x0A}));
    ASSERT_TRUE(Ask(12, CMD_IDENTIFY, reply));
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[3], 9);
    EXPECT_EQ(reply[4] | reply[5] << 8, 205);
    EXPECT_EQ(Platform.Pauses, 1);
    ASSERT_TRUE(Ask(12, CMD_PING, reply));
    EXPECT_EQ(reply[0], 12);
}

TEST_F(OverSimulator, ParameterReadAndWriteEcho)
{
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Ask(12, CMD_READ_PARAM, reply, 4));
    EXPECT_EQ(reply[2], REPLY_ACCEPTED);
    EXPECT_EQ(reply[4] | reply[5] << 8, 250);
    ASSERT_TRUE(Ask(12, CMD_READ_PARAM, reply, 9));
    EXPECT_NE(reply[2], REPLY_ACCEPTED);

    const uint8_t write[] = {12, 7, 0, CMD_WRITE_PARAM, 4, 0x34, 0x12};
    ASSERT_TRUE(SendRequest(write, sizeof write, reply));
    EXPECT_EQ(reply[2], REPLY_ACCEPTED);
    EXPECT_EQ(reply[4] | reply[5] << 8, 0x1234);
    ASSERT_TRUE(Ask(12, CMD_READ_PARAM, reply, 4));
    EXPECT_EQ(reply[4] | reply[5] << 8, 0x1234);
}

TEST_F(OverSimulator, MalformedRepliesAreRetriedOrRejected)
{
    std::vector<uint8_t> reply;
    // Truncated once, then whole: the second attempt succeeds.
    EXPECT_TRUE(Ask(21, CMD_IDENTIFY, reply));
    EXPECT_EQ(Platform.Pauses, 2);
    // Wrong check byte once.
    EXPECT_TRUE(Ask(22, CMD_IDENTIFY, reply));
    EXPECT_EQ(Platform.Pauses, 2);
    // Noise before the reply once.
    EXPECT_TRUE(Ask(23, CMD_IDENTIFY, reply));
    EXPECT_EQ(Platform.Pauses, 2);
    // L = 127 is never accepted, however well formed.
    EXPECT_FALSE(Ask(20, CMD_IDENTIFY, reply));
    EXPECT_EQ(Platform.Pauses, 3);
    // The ping of that device is fine.
    EXPECT_TRUE(Ask(20, CMD_PING, reply));
}

TEST_F(OverSimulator, SilentAddressCostsThreeAttempts)
{
    std::vector<uint8_t> reply;
    EXPECT_FALSE(Ask(99, CMD_PING, reply));
    EXPECT_EQ(Platform.Pauses, 3);
    EXPECT_TRUE(reply.empty());
    // The bus is fine afterwards.
    EXPECT_TRUE(Ask(5, CMD_PING, reply));
    EXPECT_EQ(Platform.Pauses, 1);
}

TEST_F(OverSimulator, AStoppedSimulatorIsALostPortUntilReopened)
{
    // The simulator goes while the link waits for a silent address's reply (three attempts
    // of 200 ms each): the hang-up must end the transaction at once, without spinning.
    Platform.PausesEnded = 0;
    const long link = CurrentThreadId();
    std::thread unplug([this, link] {
        // Past the attempt's pause, waiting for the reply.
        WaitUntil([&] { return Platform.PausesEnded > 0 && SleepingIn(link) == SYS_ppoll; });
        Sim.Stop();
    });
    std::vector<uint8_t> reply;
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
    const int64_t start = MonotonicNs();
    EXPECT_FALSE(Ask(99, CMD_IDENTIFY, reply));
    const int64_t elapsedNs = MonotonicNs() - start;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
    unplug.join();
    EXPECT_EQ(Platform.Pauses, 1);
    EXPECT_LT(elapsedNs, 400'000'000);
    const int64_t cpuNs = (cpu1.tv_sec - cpu0.tv_sec) * 1'000'000'000 + cpu1.tv_nsec - cpu0.tv_nsec;
    EXPECT_LT(cpuNs, 50'000'000); // the transmitter hold's spin, nothing more
    EXPECT_TRUE(PortLost());
    EXPECT_EQ(PortLostError(), EIO);

    // Plugged back in: the same port number opens and answers.
    ASSERT_TRUE(Sim.Restart()) << Sim.Error();
    ASSERT_TRUE(OpenComPort(Sim.PortNumber()));
    EXPECT_FALSE(PortLost());
    EXPECT_TRUE(Ask(5, CMD_PING, reply));
}

TEST_F(OverSimulator, UntimedModeWorksToo)
{
    LinkSettings.USARTMode = true;
    std::vector<uint8_t> reply;
    EXPECT_TRUE(Ask(33, CMD_IDENTIFY, reply));
    EXPECT_EQ(Platform.Pauses, 1);
}
