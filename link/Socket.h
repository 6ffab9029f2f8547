#pragma once
// A connected TCP stream behind one small interface, so the network port is written once for
// POSIX sockets and Winsock (Socket.cpp, over the calls of SocketCalls.h), and tests can
// script one.
// Failures are errno values (ECONNREFUSED, EHOSTUNREACH, ETIMEDOUT, ECONNRESET...) on both.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One connected stream.
class ISocket
{
public:
    virtual ~ISocket() = default;
    // Sends all `count` bytes; false with the errno in `error` when the connection failed.
    virtual bool SendAll(const uint8_t *data, size_t count, int &error) = 0;
    // Waits up to `waitUs` microseconds (0: only what is there) for bytes and takes up to
    // `count`; the count taken, 0 when none came in time, -1 with the errno in `error` when
    // the connection ended (ECONNRESET for the peer's orderly close too).
    virtual int Receive(uint8_t *buffer, size_t count, int64_t waitUs, int &error) = 0;
};

// Connects to `host`:`port` within `timeoutMs`; nullptr with the errno in `error` when the
// name does not resolve (EHOSTUNREACH), the host refuses, cannot be reached or does not
// answer in time (ETIMEDOUT). The stream sends each write at once (no Nagle delay).
// `connectUs` receives how long the connection itself took (a round trip), the name's
// look-up left out.
std::unique_ptr<ISocket> ConnectSocket(const std::string &host, uint16_t port, uint32_t timeoutMs,
                                       int &error, int64_t &connectUs);
