#pragma once
// The parameter read: fetches every entry of DeviceParameters from one device, posting
// WM_PROGRESS per entry and WM_LOADDONE at the end.

#include "workers/TThread.h"

#include <cstdint>

// Read worker; create it with new, it starts at once and frees itself at its end.
// DeviceParameters must stay unchanged (only Value is written) until WM_LOADDONE.
class TLoadThread final : public TThread
{
public:
    // Starts reading the parameters of the device at `address`; `handle`, when given,
    // receives the handle to stop and wait for the worker.
    explicit TLoadThread(uint8_t address, TWorkerHandle *handle = nullptr);

    // Bus address of the device read.
    const uint8_t Address;

protected:
    void Execute() override;
};
