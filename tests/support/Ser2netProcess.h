#pragma once
// Runs the real network serial server (ser2net) for a test: a configuration of its own that
// serves one device on two free loopback ports, raw TCP and RFC 2217, waits until both
// listen, and stops it by its own pid when destroyed. POSIX only.
//
//     TSer2netProcess server(sim.DevicePath());
//     ASSERT_TRUE(server.Ready()) << server.Error();
//     OpenComPortDevice(server.RawUrl());

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

class TSer2netProcess
{
public:
    // Starts ser2net on `devicePath` (9600 8N1 until a client sets it) and waits up to 10 s
    // until both ports listen.
    explicit TSer2netProcess(const std::string &devicePath);
    // Stops ser2net (SIGTERM, then SIGKILL if it lingers).
    ~TSer2netProcess();
    TSer2netProcess(const TSer2netProcess &) = delete;
    TSer2netProcess &operator=(const TSer2netProcess &) = delete;

    // True when ser2net runs and both ports listen.
    bool Ready() const { return IsReady; }
    // Why it is not ready, with ser2net's own messages.
    const std::string &Error() const { return Failure; }
    // "tcp://127.0.0.1:PORT" of the raw port.
    std::string RawUrl() const;
    // "rfc2217://127.0.0.1:PORT" of the Telnet port.
    std::string Rfc2217Url() const;
    uint16_t RawPort() const { return Raw; }
    uint16_t TelnetPort() const { return Telnet; }
    pid_t Pid() const { return Child.Pid(); }
    // Stops ser2net now: its clients see the connection end.
    void Stop();
    // Waits up to `ms` until ser2net no longer holds the device: it closes the device a
    // moment after its client has gone, and turns a new client away until then.
    bool WaitDeviceReleased(int ms = 10'000) const;

    // A loopback TCP port that nothing listens on right now.
    static uint16_t FreePort();

private:
    bool IsReady = false;
    std::string Failure;
    std::string Device;
    uint16_t Raw = 0;
    uint16_t Telnet = 0;
    TTempDir Directory{"linvar-ser2net-"};
    TChildProcess Child;
};
