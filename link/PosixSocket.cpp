#include "link/SocketCalls.h"

#include <cerrno>
#include <ctime>

#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include "link/Clock.h"

bool StartSockets()
{
    return true;
}

bool OpenSocket(const addrinfo &address, SocketHandle &s, int &error)
{
    s = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
               address.ai_protocol);
    if (s < 0) {
        error = errno;
        return false;
    }
    return true;
}

void CloseSocket(SocketHandle s)
{
    close(s);
}

int StartConnect(SocketHandle s, const addrinfo &address)
{
    if (connect(s, address.ai_addr, address.ai_addrlen) == 0) {
        return 0;
    }
    return errno;
}

int ConnectOutcome(SocketHandle s)
{
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
        return errno;
    }
    return failure;
}

void TuneConnected(SocketHandle s, int64_t &connectUs)
{
    // The kernel timed the handshake itself, free of our own scheduling delays (which on a
    // busy machine are many times a local network's round trip).
    tcp_info info{};
    socklen_t infoSize = sizeof info;
    if (getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &infoSize) == 0 && info.tcpi_rtt != 0) {
        connectUs = info.tcpi_rtt;
    }
    // A request is one small write that must leave at once, not wait for an ACK.
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int WaitSocket(SocketHandle s, bool write, int64_t waitUs, int &error)
{
    const int64_t deadline = MonotonicNs() + waitUs * 1000;
    for (;;) {
        const int64_t left = deadline - MonotonicNs();
        pollfd p{s, static_cast<short>(write ? POLLOUT : POLLIN), 0};
        timespec ts{0, 0};
        if (left > 0) {
            ts = {static_cast<time_t>(left / 1'000'000'000),
                  static_cast<long>(left % 1'000'000'000)};
        }
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0) {
            return 1;
        }
        if (n == 0) {
            return 0;
        }
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

int SendSome(SocketHandle s, const uint8_t *data, size_t count, int &error)
{
    for (;;) {
        // MSG_NOSIGNAL: a closed peer is an error to report, not a SIGPIPE that ends us.
        const ssize_t n = send(s, data, count, MSG_NOSIGNAL);
        if (n > 0) {
            return static_cast<int>(n);
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return 0;
        }
        error = n < 0 ? errno : ECONNRESET;
        return -1;
    }
}

int ReceiveSome(SocketHandle s, uint8_t *buffer, size_t count, int &error)
{
    for (;;) {
        const ssize_t n = recv(s, buffer, count, 0);
        if (n > 0) {
            return static_cast<int>(n);
        }
        if (n == 0) {
            error = ECONNRESET; // the server closed the connection
            return -1;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            return 0;
        }
        error = errno;
        return -1;
    }
}
