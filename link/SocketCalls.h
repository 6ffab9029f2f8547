#pragma once
// The few calls on a TCP socket that POSIX (PosixSocket.cpp) and Winsock (Win32Socket.cpp) make
// differently, so the stream and the connection above them (Socket.cpp) are written once. Every
// socket is non-blocking; failures are errno values on both systems.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include "link/WindowsApi.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#ifdef _WIN32
using SocketHandle = SOCKET;
#else
using SocketHandle = int;
#endif

// Makes the system's sockets usable (once per process); false when they cannot be.
bool StartSockets();
// Opens a non-blocking socket for `address`; false with the errno in `error`.
bool OpenSocket(const addrinfo &address, SocketHandle &s, int &error);
// Closes `s`.
void CloseSocket(SocketHandle s);
// Starts connecting `s` to `address`: 0 when it connected at once, EINPROGRESS while the
// attempt goes on (WaitSocket for writing tells when it ended), or the errno.
int StartConnect(SocketHandle s, const addrinfo &address);
// The outcome of a connection attempt after WaitSocket saw it end: 0 or the errno.
int ConnectOutcome(SocketHandle s);
// Readies a connected `s` for small requests; may replace `connectUs`, the connection's time,
// with a better measure of the round trip.
void TuneConnected(SocketHandle s, int64_t &connectUs);
// Waits up to `waitUs` microseconds (0: a look) for `s` to become writable (`write`) or
// readable; 1 when it did, 0 on time-out, -1 with the errno in `error` (for writing, also
// when a connection attempt failed meanwhile).
int WaitSocket(SocketHandle s, bool write, int64_t waitUs, int &error);
// Sends what `s` takes at once of `count` bytes: the count sent, 0 when it takes nothing now,
// -1 with the errno in `error`.
int SendSome(SocketHandle s, const uint8_t *data, size_t count, int &error);
// Takes up to `count` bytes that have come: the count, 0 when none waits, -1 with the errno in
// `error` (ECONNRESET for the peer's orderly close).
int ReceiveSome(SocketHandle s, uint8_t *buffer, size_t count, int &error);
