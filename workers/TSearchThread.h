#pragma once
// The bus search: sweeps the addresses 127, then StartAddress up to 126, and reports every
// device that answers ping and identify with WM_DEVICEFOUND, the progress after each
// address with WM_PROGRESS and its end with WM_SEARCHDONE.

#include "workers/TThread.h"

#include <cstdint>

// Search worker; create it with new, it starts at once and frees itself at its end.
class TSearchThread final : public TThread
{
public:
    // Starts a sweep from `startAddress` (0 with the zero-address option, else 1); `handle`,
    // when given, receives the handle to stop and wait for the worker. `lastAddress` below
    // 126 ends the sweep early, after that address (a quicker look at a small bus).
    explicit TSearchThread(uint8_t startAddress, TWorkerHandle *handle = nullptr,
                           uint8_t lastAddress = 126);

    // First address of the ascending part of the sweep.
    const uint8_t StartAddress;
    // Last address of the ascending part of the sweep.
    const uint8_t LastAddress;

protected:
    void Execute() override;
};
