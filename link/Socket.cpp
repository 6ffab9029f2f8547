#include "link/Socket.h"

#include <cerrno>

#include "link/Clock.h"
#include "link/SocketCalls.h"

namespace {

// A connected stream over the system's calls.
class TSocketStream : public ISocket
{
public:
    explicit TSocketStream(SocketHandle s) : Handle(s) {}
    ~TSocketStream() override { CloseSocket(Handle); }

    bool SendAll(const uint8_t *data, size_t count, int &error) override
    {
        size_t done = 0;
        while (done < count) {
            const int n = SendSome(Handle, data + done, count - done, error);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0) {
                return false;
            }
            int waitError = 0;
            if (WaitSocket(Handle, true, StalledSendUs, waitError) != 1) {
                error = ETIMEDOUT;
                return false;
            }
        }
        return true;
    }

    int Receive(uint8_t *buffer, size_t count, int64_t waitUs, int &error) override
    {
        for (;;) {
            const int n = ReceiveSome(Handle, buffer, count, error);
            if (n != 0) {
                return n;
            }
            const int waited = WaitSocket(Handle, false, waitUs, error);
            if (waited <= 0) {
                return waited; // 0: nothing in time; -1: the error
            }
            waitUs = 0; // signalled: the next receive tells what came
        }
    }

private:
    // A send that the peer's window holds up this long has a dead connection behind it.
    static constexpr int64_t StalledSendUs = 5'000'000;
    SocketHandle Handle;
};

// Connects the non-blocking `s` to `address` within `timeoutMs`; 0 or the errno.
int ConnectWithin(SocketHandle s, const addrinfo &address, uint32_t timeoutMs)
{
    const int started = StartConnect(s, address);
    if (started != EINPROGRESS) {
        return started;
    }
    int error = 0;
    const int waited = WaitSocket(s, true, static_cast<int64_t>(timeoutMs) * 1000, error);
    if (waited == 0) {
        return ETIMEDOUT;
    }
    if (waited < 0) {
        return error;
    }
    return ConnectOutcome(s);
}

} // namespace

std::unique_ptr<ISocket> ConnectSocket(const std::string &host, uint16_t port, uint32_t timeoutMs,
                                       int &error, int64_t &connectUs)
{
    if (!StartSockets()) {
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
        SocketHandle s{};
        if (!OpenSocket(*a, s, error)) {
            continue;
        }
        const int64_t start = MonotonicNs();
        error = ConnectWithin(s, *a, timeoutMs);
        if (error != 0) {
            CloseSocket(s);
            continue;
        }
        connectUs = (MonotonicNs() - start) / 1000;
        TuneConnected(s, connectUs);
        connected = std::make_unique<TSocketStream>(s);
    }
    freeaddrinfo(found);
    return connected;
}
