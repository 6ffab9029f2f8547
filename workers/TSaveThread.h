#pragma once
// The parameter write: sends every byte or word entry of DeviceParameters to one device and
// keeps the value it echoes, posting WM_PROGRESS per entry, WM_PROGRESS 100, then after a
// one-second pause WM_SAVEDONE.

#include "workers/TThread.h"

#include <cstdint>

// Write worker; create it with new, it starts at once and frees itself at its end.
// DeviceParameters must stay unchanged (only Value is written) until WM_SAVEDONE.
class TSaveThread final : public TThread
{
public:
    // Starts writing the parameters to the device at `address`; `handle`, when given,
    // receives the handle to stop and wait for the worker.
    explicit TSaveThread(uint8_t address, TWorkerHandle *handle = nullptr);

    // Bus address of the device written.
    const uint8_t Address;

protected:
    void Execute() override;
};
