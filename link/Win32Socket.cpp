#include "link/Socket.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cerrno>

#include "link/Clock.h"

namespace {

// Winsock's own error numbers as the errno values the rest of the link speaks.
int ErrnoOf(int wsaError)
{
    switch (wsaError) {
    case WSAECONNREFUSED:
        return ECONNREFUSED;
    case WSAETIMEDOUT:
        return ETIMEDOUT;
    case WSAEHOSTUNREACH:
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return EHOSTUNREACH;
    case WSAENETUNREACH:
    case WSAENETDOWN:
        return ENETUNREACH;
    case WSAECONNABORTED:
        return ECONNABORTED;
    case WSAECONNRESET:
    case WSAESHUTDOWN:
        return ECONNRESET;
    default:
        return EIO;
    }
}

// Winsock must be started once per process before any other call; it stays up until exit.
bool StartWinsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// Waits up to `waitUs` for the socket to become readable (or writable); 1 when it did, 0 on
// time-out, -1 on error.
int WaitFor(SOCKET s, bool write, int64_t waitUs, bool &failed)
{
    fd_set ready;
    fd_set broken;
    FD_ZERO(&ready);
    FD_ZERO(&broken);
    FD_SET(s, &ready);
    FD_SET(s, &broken);
    timeval tv{static_cast<long>(waitUs / 1'000'000), static_cast<long>(waitUs % 1'000'000)};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &broken, &tv);
    failed = n > 0 && FD_ISSET(s, &broken);
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

class TWin32Socket : public ISocket
{
public:
    explicit TWin32Socket(SOCKET s) : Handle(s) {}
    ~TWin32Socket() override { closesocket(Handle); }

    bool SendAll(const uint8_t *data, size_t count, int &error) override
    {
        size_t done = 0;
        while (done < count) {
            const int n = send(Handle, reinterpret_cast<const char *>(data + done),
                               static_cast<int>(count - done), 0);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            const int wsa = WSAGetLastError();
            if (n < 0 && wsa == WSAEWOULDBLOCK) {
                bool failed = false;
                if (WaitFor(Handle, true, StalledSendUs, failed) == 1 && !failed) {
                    continue;
                }
                error = ETIMEDOUT;
                return false;
            }
            error = ErrnoOf(wsa);
            return false;
        }
        return true;
    }

    int Receive(uint8_t *buffer, size_t count, int64_t waitUs, int &error) override
    {
        for (;;) {
            const int n =
                recv(Handle, reinterpret_cast<char *>(buffer), static_cast<int>(count), 0);
            if (n > 0) {
                return n;
            }
            if (n == 0) {
                error = ECONNRESET; // the server closed the connection
                return -1;
            }
            const int wsa = WSAGetLastError();
            if (wsa != WSAEWOULDBLOCK) {
                error = ErrnoOf(wsa);
                return -1;
            }
            bool failed = false;
            const int waited = WaitFor(Handle, false, waitUs, failed);
            if (waited == 0) {
                return 0;
            }
            if (waited < 0) {
                error = ErrnoOf(WSAGetLastError());
                return -1;
            }
            waitUs = 0; // signalled: the next recv tells what came
        }
    }

private:
    // A send that the peer's window holds up this long has a dead connection behind it.
    static constexpr int64_t StalledSendUs = 5'000'000;
    SOCKET Handle;
};

// Connects the non-blocking `s` to `address` within `timeoutMs`; 0 or the errno.
int ConnectWithin(SOCKET s, const addrinfo &address, uint32_t timeoutMs)
{
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        return 0;
    }
    const int wsa = WSAGetLastError();
    if (wsa != WSAEWOULDBLOCK) {
        return ErrnoOf(wsa);
    }
    // A refused connection shows in the exception set, a made one in the write set.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const int n = select(0, nullptr, &writable, &failed, &tv);
    if (n == 0) {
        return ETIMEDOUT;
    }
    if (n < 0) {
        return ErrnoOf(WSAGetLastError());
    }
    if (FD_ISSET(s, &failed)) {
        int failure = 0;
        int size = sizeof failure;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&failure), &size);
        return failure != 0 ? ErrnoOf(failure) : ECONNREFUSED;
    }
    return 0;
}

} // namespace

std::unique_ptr<ISocket> ConnectSocket(const std::string &host, uint16_t port, uint32_t timeoutMs,
                                       int &error, int64_t &connectUs)
{
    if (!StartWinsock()) {
        error = ENETUNREACH;
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        error = EHOSTUNREACH;
        return nullptr;
    }
    error = EHOSTUNREACH;
    std::unique_ptr<ISocket> connected;
    for (const addrinfo *a = found; a != nullptr && !connected; a = a->ai_next) {
        const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            error = ErrnoOf(WSAGetLastError());
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        const int64_t start = MonotonicNs();
        error = ConnectWithin(s, *a, timeoutMs);
        if (error != 0) {
            closesocket(s);
            continue;
        }
        connectUs = (MonotonicNs() - start) / 1000;
        // A request is one small write that must leave at once, not wait for an ACK.
        BOOL on = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
        connected = std::make_unique<TWin32Socket>(s);
    }
    freeaddrinfo(found);
    return connected;
}
