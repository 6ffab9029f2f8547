#include "link/Socket.h"

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/Clock.h"

namespace {

// Waits for `events` on `fd` up to `waitUs`; 1 when signalled, 0 on time-out, -1 on error.
int WaitFor(int fd, short events, int64_t waitUs, short &revents)
{
    const int64_t deadline = MonotonicNs() + waitUs * 1000;
    for (;;) {
        const int64_t left = deadline - MonotonicNs();
        pollfd p{fd, events, 0};
        timespec ts{0, 0};
        if (left > 0) {
            ts = {static_cast<time_t>(left / 1'000'000'000),
                  static_cast<long>(left % 1'000'000'000)};
        }
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0) {
            revents = p.revents;
            return 1;
        }
        if (n == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

class TPosixSocket : public ISocket
{
public:
    explicit TPosixSocket(int fd) : Fd(fd) {}
    ~TPosixSocket() override { close(Fd); }

    bool SendAll(const uint8_t *data, size_t count, int &error) override
    {
        size_t done = 0;
        while (done < count) {
            // MSG_NOSIGNAL: a closed peer is an error to report, not a SIGPIPE that ends us.
            const ssize_t n = send(Fd, data + done, count - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                short revents = 0;
                if (WaitFor(Fd, POLLOUT, StalledSendUs, revents) == 1) {
                    continue;
                }
                error = ETIMEDOUT;
                return false;
            }
            error = n < 0 ? errno : ECONNRESET;
            return false;
        }
        return true;
    }

    int Receive(uint8_t *buffer, size_t count, int64_t waitUs, int &error) override
    {
        for (;;) {
            const ssize_t n = recv(Fd, buffer, count, 0);
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
            if (errno != EAGAIN) {
                error = errno;
                return -1;
            }
            short revents = 0;
            const int waited = WaitFor(Fd, POLLIN, waitUs, revents);
            if (waited == 0) {
                return 0;
            }
            if (waited < 0) {
                error = errno;
                return -1;
            }
            waitUs = 0; // signalled: the next recv tells what came
        }
    }

private:
    // A send that the peer's window holds up this long has a dead connection behind it.
    static constexpr int64_t StalledSendUs = 5'000'000;
    int Fd;
};

// Connects `fd` (non-blocking) to `address` within `timeoutMs`; 0 or the errno.
int ConnectWithin(int fd, const addrinfo &address, uint32_t timeoutMs)
{
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS) {
        return errno;
    }
    short revents = 0;
    const int waited = WaitFor(fd, POLLOUT, static_cast<int64_t>(timeoutMs) * 1000, revents);
    if (waited == 0) {
        return ETIMEDOUT;
    }
    if (waited < 0) {
        return errno;
    }
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
        return errno;
    }
    return failure;
}

} // namespace

std::unique_ptr<ISocket> ConnectSocket(const std::string &host, uint16_t port, uint32_t timeoutMs,
                                       int &error, int64_t &connectUs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        error = EHOSTUNREACH;
        return nullptr;
    }
    error = EHOSTUNREACH;
    std::unique_ptr<ISocket> connected;
    for (const addrinfo *a = found; a != nullptr && !connected; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int64_t start = MonotonicNs();
        error = ConnectWithin(fd, *a, timeoutMs);
        if (error != 0) {
            close(fd);
            continue;
        }
        connectUs = (MonotonicNs() - start) / 1000;
        // The kernel timed the handshake itself, free of our own scheduling delays (which
        // on a busy machine are many times a local network's round trip).
        tcp_info info{};
        socklen_t infoSize = sizeof info;
        if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &infoSize) == 0 && info.tcpi_rtt != 0) {
            connectUs = info.tcpi_rtt;
        }
        // A request is one small write that must leave at once, not wait for an ACK.
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        connected = std::make_unique<TPosixSocket>(fd);
    }
    freeaddrinfo(found);
    return connected;
}
