#include <atomic>
#include <cerrno>
#include <thread>

#include "tests/link/LinkTestSupport.h"
#include "tests/support/WaitUntil.h"

#ifdef __linux__
#include <sys/syscall.h>
#endif

using Port = TLinkOnFake;

TEST_F(Port, OpeningConfiguresLineQueuesAndCommandTimeouts)
{
    LinkSettings.StopBits = 1;
    LinkSettings.CmdIntervalTimeout = 7;
    LinkSettings.CmdTimeoutMultiplier = 2;
    LinkSettings.CmdTimeoutConstant = 650;
    ASSERT_TRUE(OpenComPort(12));
    EXPECT_TRUE(PortIsOpen());
    EXPECT_EQ(LastOpenError(), 0);
    const std::vector<std::string> expected = {
        "open /dev/ttyUSB11",
        "get-line",
        "set-line baud=9600 data=8 parity=0 stop=1 dtr=0 rts-toggle=1 abort=0",
        "queues 300 0",
        "low-latency 1", // asked of the driver at opening, put back at closing
        "get-timeouts",
        "set-timeouts 7 2 650 0 0",
    };
    EXPECT_EQ(Fake.Calls(), expected);
    Fake.ClearCalls();
    CloseComPort();
    EXPECT_EQ(Fake.Calls(), (std::vector<std::string>{"low-latency 0", "close"}));
}

TEST_F(Port, LineSpeedInForceIsSetOnTheOpenPortAndOnTheNextOpening)
{
    // Chosen with no port open, the speed waits for the next opening.
    EXPECT_TRUE(SetComState(19200));
    ASSERT_TRUE(OpenComPort(1));
    EXPECT_EQ(Fake.Count("set-line baud=19200 "), 1u);
    Fake.ClearCalls();
    // A speed off the standard list changes nothing, on the port or in force.
    for (const uint32_t speed : {0u, 300u, 14400u, 230400u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(SetComState(speed)) << speed;
    }
    EXPECT_EQ(BaudRate, 19200u);
    EXPECT_TRUE(Fake.Calls().empty());
    for (const uint32_t speed : StandardBaudRates) {
        EXPECT_TRUE(SetComState(speed));
        EXPECT_EQ(Fake.Count("set-line baud=" + std::to_string(speed) + " "), 1u) << speed;
    }
    EXPECT_EQ(BaudRate, 115200u);
}

TEST_F(Port, OpeningClosesThePreviousPortFirst)
{
    Dir.Write("rs485.conf", "COM3=/dev/three\nCOM5=/dev/five\n");
    ASSERT_TRUE(OpenComPort(5));
    Fake.ClearCalls();
    ASSERT_TRUE(OpenComPort(3));
    const auto calls = Fake.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "low-latency 0");
    EXPECT_EQ(calls[1], "close");
    EXPECT_EQ(calls[2], "open /dev/three");
    EXPECT_EQ(Fake.OpenPorts(), 1);
}

TEST_F(Port, FailedOpeningLeavesNoPortOpen)
{
    Dir.Write("rs485.conf", "COM3=/dev/three\nCOM5=/dev/five\n");
    Fake.FailOpen("/dev/three", EBUSY);
    ASSERT_TRUE(OpenComPort(5));
    EXPECT_FALSE(OpenComPort(3));
    EXPECT_FALSE(PortIsOpen());
    EXPECT_EQ(Fake.OpenPorts(), 0);
    EXPECT_EQ(LastOpenError(), EBUSY);
    // Nothing is sent on a closed port.
    Fake.ClearCalls();
    std::vector<uint8_t> reply{1, 2, 3};
    const uint8_t ping[] = {1, 6, 0, CMD_PING, 0, 0};
    EXPECT_FALSE(SendRequest(ping, sizeof ping, reply));
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(Fake.Calls().empty());
    // A number that names no device fails without reaching the platform.
    EXPECT_FALSE(OpenComPort(0));
    EXPECT_EQ(LastOpenError(), ENOENT);
    EXPECT_TRUE(OpenComPort(5));
    EXPECT_EQ(LastOpenError(), 0);
}

TEST_F(Port, SetComStateAndCloseOnAClosedPortDoNothing)
{
    EXPECT_TRUE(SetComState(9600));
    CloseComPort();
    EXPECT_TRUE(Fake.Calls().empty());
}

TEST_F(Port, CloseWaitsForARunningTransaction)
{
#ifndef __linux__
    GTEST_SKIP() << "seeing a thread wait on the lock needs /proc";
#else
    OpenPort();
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    Fake.SetResponder([&](const std::vector<uint8_t> &) {
        inside = true;
        while (!release) {
            std::this_thread::yield();
        }
        return WithCheckByte({1, 5, 0, CMD_PING, 0});
    });
    bool result = false;
    std::thread worker([&] {
        std::vector<uint8_t> reply;
        const uint8_t ping[] = {1, 6, 0, CMD_PING, 0, 0};
        result = SendRequest(ping, sizeof ping, reply);
    });
    while (!inside) {
        std::this_thread::yield();
    }
    // The close starts while the transaction holds the lock; it must be asleep on the lock,
    // not returned, until the transaction ends.
    std::atomic<long> closerId{0};
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        closerId = CurrentThreadId();
        CloseComPort();
        closed = true;
    });
    while (closerId == 0) {
        std::this_thread::yield();
    }
    const bool asleep = WaitUntil([&] { return closed || SleepingIn(closerId) == SYS_futex; });
    EXPECT_TRUE(asleep && !closed) << "the close did not wait for the running transaction";
    EXPECT_TRUE(PortIsOpen());
    release = true;
    worker.join();
    closer.join();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(result);
    EXPECT_FALSE(PortIsOpen());
#endif
}

TEST_F(Port, TransactionsRacingOpenAndCloseNeverUseAClosedPort)
{
    Fake.SetResponder([](const std::vector<uint8_t> &frame) {
        return WithCheckByte({frame[0], 5, 0, frame[3], 0});
    });
    LinkSettings.StartTimeOut = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        const uint8_t ping[] = {1, 6, 0, CMD_PING, 0, 0};
        std::vector<uint8_t> reply;
        while (!done) {
            SendRequest(ping, sizeof ping, reply);
        }
    });
    for (int i = 0; i < 300; ++i) {
        OpenComPort(1);
        CloseComPort();
    }
    done = true;
    worker.join();
    EXPECT_EQ(Fake.OpenPorts(), 0);
}
