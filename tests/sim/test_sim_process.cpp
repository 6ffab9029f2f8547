#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "link/Link.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "tools/sim/SimBus.h"

namespace {

// Reads until `count` bytes came or nothing arrived for `quietMs`.
std::vector<uint8_t> ReadReply(int fd, size_t count, int quietMs)
{
    std::vector<uint8_t> got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) {
            break;
        }
        uint8_t buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// Opens the simulator's link as a raw serial line; -1 when it does not open.
int OpenRawLink(const std::string &link)
{
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

} // namespace

TEST(SimProcess, AnswersOnItsLinkAndCleansUp)
{
    std::string link;
    {
        TSimulatorProcess sim(LINVAR_DEMO_CONF);
        ASSERT_TRUE(sim.Ready()) << sim.Error();
        link = sim.DevicePath();
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        const char *env = getenv("LINVAR_SETTINGS");
        ASSERT_NE(env, nullptr);
        EXPECT_EQ(std::string(env), sim.SettingsPath());
        EXPECT_EQ(ComPortPath(sim.PortNumber()), link);

        const int fd = OpenRawLink(link);
        ASSERT_GE(fd, 0);
        const std::vector<uint8_t> identify = WithCheckByte({33, 6, 0, CMD_IDENTIFY, 0, 0});
        // Sent in two pieces with garbage before: the device still finds the frame.
        const uint8_t garbage[] = {0xFF, 0x00, 0x42};
        ASSERT_EQ(write(fd, garbage, sizeof garbage), 3);
        ASSERT_EQ(write(fd, identify.data(), 3), 3);
        const int64_t sentNs = MonotonicNs();
        ASSERT_EQ(write(fd, identify.data() + 3, identify.size() - 3),
                  ssize_t(identify.size() - 3));
        const std::vector<uint8_t> reply = ReadReply(fd, 7, 500);
        // Paced like a 9600-baud line: the rest of the request's wire time (four bytes), the
        // latency, then six more character times at least.
        EXPECT_GE(MonotonicNs() - sentNs, (4 * 1041 + 2000 + 6 * 1041) * 1000);
        EXPECT_EQ(reply, WithCheckByte({33, 6, 0, 24, 340 & 0xFF, 340 >> 8}));
        close(fd);
        EXPECT_EQ(sim.Stop(), 0);
        EXPECT_FALSE(std::filesystem::exists(link));
    }
    EXPECT_EQ(getenv("LINVAR_SETTINGS"), nullptr);
}

TEST(SimProcess, WritesTheDevicesStateWhenItStops)
{
    TTempDir dir;
    const std::string path = dir.File("state");
    TSimulatorProcess::TOptions options;
    options.Arguments = {"--seed", "08", "--state", path}; // a leading 0 is not octal
    TSimulatorProcess sim(LINVAR_DEMO_CONF, options);
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    const int fd = OpenRawLink(sim.DevicePath());
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> request = WithCheckByte({12, 7, 0, CMD_WRITE_PARAM, 4, 0x34, 0x12});
    ASSERT_EQ(write(fd, request.data(), request.size()), ssize_t(request.size()));
    EXPECT_EQ(ReadReply(fd, 7, 500).size(), 7u);
    close(fd);
    EXPECT_EQ(sim.Stop(), 0);

    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TSimState state;
    ASSERT_TRUE(ParseSimState(text, state)) << text;
    EXPECT_EQ(state.size(), 16u); // every parameter of the demo bus's four devices
    EXPECT_EQ(state[std::make_pair(12, 4)], 0x1234);
    EXPECT_EQ(state[std::make_pair(5, 2)], 96);
    EXPECT_EQ(state[std::make_pair(90, 1)], 90);
}

TEST(SimProcess, RefusesBadArgumentsAndConfigs)
{
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--config", "/nonexistent.conf", "--link", "/tmp/x"},
             {"--link", "/tmp/x"},
             {"--config", LINVAR_DEMO_CONF, "--link", "/tmp/x", "--seed", "1x"},
             {"--frobnicate"}}) {
        std::vector<std::string> argv = {TSimulatorProcess::ExecutablePath()};
        argv.insert(argv.end(), args.begin(), args.end());
        TChildProcess sim;
        TChildOptions quiet;
        quiet.Stderr = TChildOutput::Null;
        ASSERT_TRUE(sim.Start(argv, quiet)) << sim.Error();
        ASSERT_TRUE(sim.WaitExit(10'000));
        EXPECT_EQ(sim.ExitCode(), 2) << args[0];
    }
}

TEST(SimProcess, NeverReplacesAFileThatIsNotALink)
{
    TSimulatorProcess sim(LINVAR_DEMO_CONF);
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    const std::string file = sim.SettingsPath(); // a plain file
    TChildProcess other;
    TChildOptions quiet;
    quiet.Stdout = TChildOutput::Null;
    quiet.Stderr = TChildOutput::Null;
    ASSERT_TRUE(other.Start(
        {TSimulatorProcess::ExecutablePath(), "--config", LINVAR_DEMO_CONF, "--link", file}, quiet))
        << other.Error();
    ASSERT_TRUE(other.WaitExit(10'000));
    EXPECT_GT(other.ExitCode(), 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}
