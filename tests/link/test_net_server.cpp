// The network port against a real server (ser2net on the simulator's pseudo-terminal): what
// the link sets through RFC 2217 reaches the server's line. The command-line tests cover the
// bus work over both transports (tests/cli/test_cli_remote.cpp).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/Link.h"
#include "tests/support/Ser2netProcess.h"
#include "tests/support/SimulatorProcess.h"

namespace {

// The speed the server's side of the pseudo-terminal is set to; B0 when it cannot be read.
speed_t LineSpeed(const std::string &device)
{
    const int fd = open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    const bool read = fd >= 0 && tcgetattr(fd, &t) == 0;
    if (fd >= 0)
        close(fd);
    return read ? cfgetospeed(&t) : B0;
}

} // namespace

TEST(NetServer, Rfc2217SetsTheServersLineAndTheLinkWorksOverIt)
{
    TSimulatorProcess::TOptions options;
    options.SettingsLines = {"TimeoutConstant=60"}; // room for a busy machine
    TSimulatorProcess sim(LINVAR_TEST_DATA "/sim-link.conf", options);
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    TSer2netProcess server(sim.DevicePath());
    ASSERT_TRUE(server.Ready()) << server.Error();
    LoadLinkSettings();
    InitPerfFrequency();

    ASSERT_TRUE(OpenComPortDevice(server.Rfc2217Url())) << LastOpenError();
    EXPECT_EQ(LineSpeed(sim.DevicePath()), B9600);
    const std::vector<uint8_t> ping = {5, 6, 0, CMD_PING, 0, 0};
    std::vector<uint8_t> reply;
    EXPECT_TRUE(SendRequest(ping.data(), ping.size(), reply));
    // A new speed is negotiated as soon as the link sets it.
    SetComState(19200);
    EXPECT_EQ(LineSpeed(sim.DevicePath()), B19200);
    SetComState(9600);
    EXPECT_EQ(LineSpeed(sim.DevicePath()), B9600);
    EXPECT_TRUE(SendRequest(ping.data(), ping.size(), reply));
    EXPECT_FALSE(PortLost());
    CloseComPort();
}
