#pragma once
// A network path with a delay, for the remote-port tests: listens on a free loopback port and
// forwards each connection to a loopback target, holding every chunk `delayMs` in each
// direction, as a slow network would. One connection at a time; a new one replaces the old.
// POSIX only.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class TDelayRelay
{
public:
    // Starts relaying to 127.0.0.1:`target`; Port() is 0 when it could not listen.
    TDelayRelay(uint16_t target, int delayMs);
    // Stops the relay and closes its connections.
    ~TDelayRelay();
    TDelayRelay(const TDelayRelay &) = delete;
    TDelayRelay &operator=(const TDelayRelay &) = delete;

    // The port it listens on.
    uint16_t Port() const { return Listening; }

private:
    // Accepts and forwards until stopped.
    void Run();

    uint16_t Target;
    int DelayMs;
    int ListenFd = -1;
    uint16_t Listening = 0;
    std::atomic<bool> Stopping{false};
    std::thread Worker;
};
