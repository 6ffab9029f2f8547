#pragma once
// Serial services on POSIX: termios line settings, poll()-driven reads under the
// time-out model, hang-up detection, the kernel's RS-485 mode, CLOCK_MONOTONIC as the counter
// and SCHED_FIFO for the transmitter hold.

#include "SerialPlatform.h"

// The platform the link uses unless another one is installed.
class TPosixSerialPlatform : public ISerialPlatform
{
public:
    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override;
    void SleepMs(uint32_t ms) override;
    int64_t Counter() override;
    int64_t CounterFrequency() override;
    bool RaisePriority() override;
    void RestorePriority() override;
};
