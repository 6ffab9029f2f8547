#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "link/Clock.h"
#include "link/SystemSerial.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

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

// Bytes waiting to be read on `fd`.
size_t Waiting(int fd)
{
    int count = 0;
    return ioctl(fd, FIONREAD, &count) == 0 ? size_t(count) : 0;
}

// Read time-outs of `constant` ms in all and `interval` ms between bytes.
TSerialTimeouts ReadTimeouts(uint32_t constant, uint32_t interval = 0)
{
    TSerialTimeouts timeouts;
    timeouts.ReadConstant = constant;
    timeouts.ReadInterval = interval;
    return timeouts;
}

// Opens `path` at 9600 baud with the given time-outs; nullptr when it does not open.
std::unique_ptr<ISerialPort> OpenRaw(TSystemSerialPlatform &platform, const std::string &path,
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
    TSystemSerialPlatform platform;
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
    TSystemSerialPlatform platform;
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

TEST(PosixSerial, ClosingPutsBackWhatItFound)
{
    TPty pty;
    const int other = open(pty.Slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(other, &before), 0);
    before.c_lflag |= ECHO | ICANON;
    cfsetispeed(&before, B19200);
    cfsetospeed(&before, B19200);
    ASSERT_EQ(tcsetattr(other, TCSANOW, &before), 0);
    TSystemSerialPlatform platform;
    {
        auto port = OpenRaw(platform, pty.Slave, TSerialTimeouts());
        ASSERT_NE(port, nullptr);
        termios during{};
        tcgetattr(other, &during);
        EXPECT_EQ(during.c_lflag & (ECHO | ICANON), 0u);
    }
    termios after{};
    ASSERT_EQ(tcgetattr(other, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(cfgetospeed(&after), B19200);

    // A flag another program set stays set. Only a privileged opening gets past it.
    ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    int error = 0;
    auto port = platform.Open(pty.Slave, error);
    if (port != nullptr) {
        port.reset();
        int exclusive = 0;
        ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
    }
    close(other);
}

TEST(PosixSerial, AHangUpEndsReadsAndWritesAtOnce)
{
    auto pty = std::make_unique<TPty>();
    const int watch = open(pty->Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watch, 0);
    TSystemSerialPlatform platform;
    auto port = OpenRaw(platform, pty->Slave, ReadTimeouts(5000));
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->LostError(), 0);
    pty->Send({1, 2});
    ASSERT_TRUE(WaitUntil([&] { return Waiting(watch) >= 2; }));
    // The other end goes away while the read waits for more, as a converter pulled out.
    const long reader = CurrentThreadId();
    std::thread unplug([&] {
        WaitUntilSleepingIn(reader, SYS_ppoll);
        pty.reset();
    });
    uint8_t buffer[8] = {};
    const int64_t start = MonotonicNs();
    EXPECT_EQ(port->Read(buffer, sizeof buffer), 2u); // what came before is kept
    EXPECT_LT(MonotonicNs() - start, 1'000'000'000);
    unplug.join();
    EXPECT_EQ(port->LostError(), EIO);
    EXPECT_EQ(port->Write(buffer, 2), 0u);
    EXPECT_EQ(port->Read(buffer, 1), 0u);
    close(watch);
}

TEST(PosixSerial, ReadEndsOnCountOrTotalTimeout)
{
    TPty pty;
    TSystemSerialPlatform platform;
    auto port = OpenRaw(platform, pty.Slave, ReadTimeouts(30));
    ASSERT_NE(port, nullptr);
    uint8_t buffer[16] = {};

    pty.Send({1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(port->Read(buffer, 6), 6u);
    EXPECT_EQ(port->Read(buffer, 6), 1u); // one left, then the total time-out
    EXPECT_EQ(buffer[0], 7);

    // Bytes arriving while the read waits are taken.
    const long reader = CurrentThreadId();
    std::thread device([&] {
        WaitUntilSleepingIn(reader, SYS_ppoll);
        pty.Send({8, 9});
    });
    port->SetTimeouts(ReadTimeouts(2000));
    EXPECT_EQ(port->Read(buffer, 2), 2u);
    device.join();

    // No time-out at all returns at once with what is there, never hangs.
    port->SetTimeouts(TSerialTimeouts());
    EXPECT_EQ(port->Read(buffer, 4), 0u);
}

TEST(PosixSerial, ReadEndsOnAGapBetweenBytes)
{
    TPty pty;
    TSystemSerialPlatform platform;
    auto port = OpenRaw(platform, pty.Slave, ReadTimeouts(5000, 20));
    ASSERT_NE(port, nullptr);
    std::thread device([&] {
        pty.Send({1, 2});
        // The gap itself is the input: longer than the 20 ms allowed between bytes.
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
    // A second look at the line's input queue, opened before the port makes it exclusive.
    const int watch = open(pty.Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watch, 0);
    TSystemSerialPlatform platform;
    auto port = OpenRaw(platform, pty.Slave, ReadTimeouts(200));
    ASSERT_NE(port, nullptr);
    // Bytes a terminal would translate or act on must pass untouched both ways.
    const std::vector<uint8_t> binary = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0x00, 0xFF};
    pty.Send(binary);
    std::vector<uint8_t> got(binary.size());
    ASSERT_EQ(port->Read(got.data(), got.size()), binary.size());
    EXPECT_EQ(got, binary);
    ASSERT_EQ(port->Write(binary.data(), binary.size()), binary.size());
    std::vector<uint8_t> echoed(binary.size());
    ASSERT_TRUE(WaitUntil([&] { return Waiting(pty.Master) >= binary.size(); }));
    ASSERT_EQ(read(pty.Master, echoed.data(), echoed.size()), ssize_t(binary.size()));
    EXPECT_EQ(echoed, binary);

    pty.Send({1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return Waiting(watch) >= 3; })); // arrived, to be purged
    port->Purge(TPurge::RxClear);
    port->SetTimeouts(ReadTimeouts(10));
    EXPECT_EQ(port->Read(got.data(), 3), 0u);
    // Modem lines and RS-485 mode are refused by a pseudo-terminal; that is harmless.
    port->SetRts(true);
    port->SetDtr(false);
    close(watch);
}

TEST(PosixSerial, RealTimePriorityOnlyWhereAllowedAndPutBack)
{
    TSystemSerialPlatform platform;
    auto policy = [] {
        int current = -1;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &current, &param);
        return current;
    };
    ASSERT_EQ(policy(), SCHED_OTHER);
    if (platform.RaisePriority()) {
        EXPECT_EQ(policy(), SCHED_FIFO);
        EXPECT_FALSE(platform.RaisePriority()); // nested: the first one restores
        platform.RestorePriority();
    }
    EXPECT_EQ(policy(), SCHED_OTHER);

    // Without the right to it, nothing changes and nothing fails.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_RTPRIO, &none);
        if (geteuid() == 0 && setuid(65534) != 0) {
            _exit(2);
        }
        TSystemSerialPlatform unprivileged;
        const bool raised = unprivileged.RaisePriority();
        unprivileged.RestorePriority();
        _exit(!raised && policy() == SCHED_OTHER ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
