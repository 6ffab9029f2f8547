#include "link/SocketCalls.h"

#include <cerrno>

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

} // namespace

// Winsock must be started once per process before any other call; it stays up until exit.
bool StartSockets()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

bool OpenSocket(const addrinfo &address, SocketHandle &s, int &error)
{
    s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = ErrnoOf(WSAGetLastError());
        return false;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return true;
}

void CloseSocket(SocketHandle s)
{
    closesocket(s);
}

int StartConnect(SocketHandle s, const addrinfo &address)
{
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        return 0;
    }
    const int wsa = WSAGetLastError();
    return wsa == WSAEWOULDBLOCK ? EINPROGRESS : ErrnoOf(wsa);
}

int ConnectOutcome(SocketHandle)
{
    return 0; // a failed attempt showed in WaitSocket's exception set
}

void TuneConnected(SocketHandle s, int64_t &)
{
    // A request is one small write that must leave at once, not wait for an ACK.
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
}

int WaitSocket(SocketHandle s, bool write, int64_t waitUs, int &error)
{
    fd_set ready;
    fd_set broken;
    FD_ZERO(&ready);
    FD_ZERO(&broken);
    FD_SET(s, &ready);
    FD_SET(s, &broken);
    timeval tv{static_cast<long>(waitUs / 1'000'000), static_cast<long>(waitUs % 1'000'000)};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &broken, &tv);
    if (n < 0) {
        error = ErrnoOf(WSAGetLastError());
        return -1;
    }
    if (n == 0) {
        return 0;
    }
    // A refused connection shows in the exception set, a made one in the write set.
    if (write && FD_ISSET(s, &broken)) {
        int failure = 0;
        int size = sizeof failure;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&failure), &size);
        error = failure != 0 ? ErrnoOf(failure) : ECONNREFUSED;
        return -1;
    }
    return 1;
}

int SendSome(SocketHandle s, const uint8_t *data, size_t count, int &error)
{
    const int n = send(s, reinterpret_cast<const char *>(data), static_cast<int>(count), 0);
    if (n > 0) {
        return n;
    }
    const int wsa = WSAGetLastError();
    if (n < 0 && wsa == WSAEWOULDBLOCK) {
        return 0;
    }
    error = ErrnoOf(wsa);
    return -1;
}

int ReceiveSome(SocketHandle s, uint8_t *buffer, size_t count, int &error)
{
    const int n = recv(s, reinterpret_cast<char *>(buffer), static_cast<int>(count), 0);
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
    return 0;
}
