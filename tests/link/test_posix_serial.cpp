#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "PosixSerial.h"
#include "TempDir.h"

namespace {

// A pseudo-terminal pair: the test plays the device on the master side.
class TPty
{
public:
    TPty()
    {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(Master);
        unlockpt(Master);
        char name[PATH_MAX];
        ptsname_r(Master, name, sizeof name);
        Slave = name;
    }
    ~TPty() { close(Master); }
    void Send(const std::vector<uint8_t> &bytes) const
    {
        ASSERT_EQ(write(Master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    int Master = -1;
    std::string Slave;
};

std::unique_ptr<ISerialPort> OpenRaw(TPosixSerialPlatform &platform, const std::string &path,
                                     const TSerialTimeouts &timeouts)
{
    int error = 0;
    auto port = platform.Open(path, error);
    if (port) {
        TLineSettings line;
        port->GetLineSettings(line);
        line.BaudRate = 9600;
        port->SetLineSettings(line);
        port->SetTimeouts(timeouts);
    }
    return port;
}

} // namespace

TEST(PosixSerial, OpenFailures)
{
    TPosixSerialPlatform platform;
    int error = 0;
    EXPECT_EQ(platform.Open("/nonexistent/tty", error), nullptr);
    EXPECT_EQ(error, ENOENT);
    TTempDir dir;
    EXPECT_EQ(platform.Open(dir.Write("plain", "x"), error), nullptr);
    EXPECT_EQ(error, ENOTTY);
}

TEST(PosixSerial, SecondOpenIsRefused)
{
    TPty pty;
    // Someone else holds the device open throughout, as the simulator does.
    const int other = open(pty.Slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    TPosixSerialPlatform platform;
    int error = 0;
    auto first = platform.Open(pty.Slave, error);
    ASSERT_NE(first, nullptr);
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_EQ(platform.Open(pty.Slave, error), nullptr);
    EXPECT_EQ(error, EBUSY);
    // Closing gives the device back: the exclusive flag must not outlive the port.
    first.reset();
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_NE(platform.Open(pty.Slave, error), nullptr);
    close(other);
}

TEST(PosixSerial, ReadEndsOnCountOrTotalTimeout)
{
    TPty pty;
    TPosixSerialPlatform platform;
    TSerialTimeouts timeouts;
    timeouts.ReadConstant = 30;
    auto port = OpenRaw(platform, pty.Slave, timeouts);
    ASSERT_NE(port, nullptr);
    uint8_t buffer[16] = {};

    pty.Send({1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(port->Read(buffer, 6), 6u);
    EXPECT_EQ(port->Read(buffer, 6), 1u); // one left, then the total time-out
    EXPECT_EQ(buffer[0], 7);

    // Bytes arriving while the read waits are taken.
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pty.Send({8, 9});
    });
    timeouts.ReadConstant = 2000;
    port->SetTimeouts(timeouts);
    EXPECT_EQ(port->Read(buffer, 2), 2u);
    device.join();

    // No time-out at all returns at once with what is there, never hangs.
    port->SetTimeouts(TSerialTimeouts());
    EXPECT_EQ(port->Read(buffer, 4), 0u);
}

TEST(PosixSerial, ReadEndsOnAGapBetweenBytes)
{
    TPty pty;
    TPosixSerialPlatform platform;
    TSerialTimeouts timeouts;
    timeouts.ReadInterval = 20;
    timeouts.ReadConstant = 5000;
    auto port = OpenRaw(platform, pty.Slave, timeouts);
    ASSERT_NE(port, nullptr);
    std::thread device([&] {
        pty.Send({1, 2});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pty.Send({3, 4});
    });
    uint8_t buffer[4] = {};
    EXPECT_EQ(port->Read(buffer, 4), 2u);
    device.join();
    EXPECT_EQ(port->Read(buffer, 4), 2u);
    EXPECT_EQ(buffer[0], 3);
}

TEST(PosixSerial, RawLineAndPurge)
{
    TPty pty;
    TPosixSerialPlatform platform;
    TSerialTimeouts timeouts;
    timeouts.ReadConstant = 200;
    auto port = OpenRaw(platform, pty.Slave, timeouts);
    ASSERT_NE(port, nullptr);
    // Bytes a terminal would translate or act on must pass untouched both ways.
    const std::vector<uint8_t> binary = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0x00, 0xFF};
    pty.Send(binary);
    std::vector<uint8_t> got(binary.size());
    ASSERT_EQ(port->Read(got.data(), got.size()), binary.size());
    EXPECT_EQ(got, binary);
    ASSERT_EQ(port->Write(binary.data(), binary.size()), binary.size());
    std::vector<uint8_t> echoed(binary.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(read(pty.Master, echoed.data(), echoed.size()), ssize_t(binary.size()));
    EXPECT_EQ(echoed, binary);

    pty.Send({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port->Purge(TPurge::RxClear);
    timeouts.ReadConstant = 10;
    port->SetTimeouts(timeouts);
    EXPECT_EQ(port->Read(got.data(), 3), 0u);
    // Modem lines and RS-485 mode are refused by a pseudo-terminal; that is harmless.
    port->SetRts(true);
    port->SetDtr(false);
}
