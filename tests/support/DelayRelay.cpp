#include "tests/support/DelayRelay.h"

#include <chrono>
#include <deque>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// Bytes on their way in one direction, each chunk with the moment it may leave.
struct TChunk
{
    TClock::time_point Due;
    std::vector<uint8_t> Bytes;
};

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void NoDelay(int fd)
{
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

TDelayRelay::TDelayRelay(uint16_t target, int delayMs) : Target(target), DelayMs(delayMs)
{
    ListenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (ListenFd < 0 || bind(ListenFd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        listen(ListenFd, 4) != 0 ||
        getsockname(ListenFd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        return;
    }
    Listening = ntohs(address.sin_port);
    Worker = std::thread([this] { Run(); });
}

TDelayRelay::~TDelayRelay()
{
    Stopping = true;
    if (Worker.joinable()) {
        Worker.join();
    }
    if (ListenFd >= 0) {
        close(ListenFd);
    }
}

void TDelayRelay::Run()
{
    int ends[2] = {-1, -1};       // the client's connection, the target's
    std::deque<TChunk> queues[2]; // toward ends[0] (replies), toward ends[1] (requests)
    const auto closeAll = [&] {
        for (int &fd : ends) {
            if (fd >= 0) {
                close(fd);
            }
            fd = -1;
        }
        queues[0].clear();
        queues[1].clear();
    };
    while (!Stopping) {
        // Sends what is due; the wait ends at the next chunk's moment at the latest.
        int waitMs = 10;
        const TClock::time_point now = TClock::now();
        for (int to = 0; to < 2; ++to) {
            while (!queues[to].empty() && queues[to].front().Due <= now && ends[to] >= 0) {
                const std::vector<uint8_t> &bytes = queues[to].front().Bytes;
                send(ends[to], bytes.data(), bytes.size(), MSG_NOSIGNAL);
                queues[to].pop_front();
            }
            if (!queues[to].empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      queues[to].front().Due - now)
                                      .count();
                waitMs = std::min<int>(waitMs, static_cast<int>(std::max<long>(left, 0)) + 1);
            }
        }
        pollfd fds[3] = {{ListenFd, POLLIN, 0}, {ends[0], POLLIN, 0}, {ends[1], POLLIN, 0}};
        if (poll(fds, 3, waitMs) <= 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int client = accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                closeAll();
                const int target = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_in address = Loopback(Target);
                if (target >= 0 && connect(target, reinterpret_cast<const sockaddr *>(&address),
                                           sizeof address) == 0) {
                    NoDelay(client);
                    NoDelay(target);
                    ends[0] = client;
                    ends[1] = target;
                } else {
                    close(client);
                    if (target >= 0) {
                        close(target);
                    }
                }
            }
            continue;
        }
        for (int from = 0; from < 2; ++from) {
            if (ends[from] < 0 || fds[from + 1].revents == 0) {
                continue;
            }
            uint8_t buffer[4096];
            const ssize_t n = recv(ends[from], buffer, sizeof buffer, 0);
            if (n <= 0) {
                // One side ended: the other sees its connection end at once.
                closeAll();
                break;
            }
            queues[1 - from].push_back({TClock::now() + std::chrono::milliseconds(DelayMs),
                                        std::vector<uint8_t>(buffer, buffer + n)});
        }
    }
    closeAll();
}
