#pragma once
// The operating system's serial services, the platform the link uses unless another one is
// installed. One class with one definition per system: PosixSerial.cpp (termios line
// settings, poll()-driven reads under the time-out model, hang-up detection, the kernel's
// RS-485 mode, CLOCK_MONOTONIC as the counter, SCHED_FIFO for the transmitter hold) and
// Win32Serial.cpp (the comm functions on a "\\.\COMn" handle, the performance counter,
// Sleep, a time-critical thread priority for the hold); SystemSerial.cpp keeps, for both,
// whether a thread's priority is raised.

#include "link/SerialPlatform.h"

// The serial services of the system the program runs on.
class TSystemSerialPlatform : public ISerialPlatform
{
public:
    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override;
    void SleepMs(uint32_t ms) override;
    int64_t Counter() override;
    int64_t CounterFrequency() override;
    bool RaisePriority() override;
    void RestorePriority() override;
};
