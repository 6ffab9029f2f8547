#pragma once
// The bus search: sweeps the addresses 127, then StartAddress up to 126, and reports every
// device that answers ping and identify with WM_DEVICEFOUND, every address that brought
// bytes but no valid reply with WM_GARBLED, the progress after each address with WM_PROGRESS
// and its end with WM_SEARCHDONE.

#include "workers/TThread.h"

#include <cstdint>

struct TDeviceIdentity;

// Search worker; start it with StartWorker<TSearchThread>(handle, start[, last]); it frees
// itself at its end. A sweep on a port that is lost (PortLost) ends at once, after the
// address in progress, without that address's progress; WM_SEARCHDONE follows as always.
class TSearchThread : public TThread
{
public:
    // A sweep from `startAddress` (0 with the zero-address option, else 1). `lastAddress`
    // below 126 ends the sweep early, after that address (a quicker look at a small bus).
    // `fast` probes each address with ProbeAddressFast instead of ProbeAddress.
    explicit TSearchThread(uint8_t startAddress, uint8_t lastAddress = 126, bool fast = false);

    // First address of the ascending part of the sweep.
    const uint8_t StartAddress;
    // Last address of the ascending part of the sweep.
    const uint8_t LastAddress;
    // True for the fast sweep: one short ping per address, the full probe where bytes came.
    const bool Fast;

protected:
    void Execute() override;
    // One sweep at the line speed in force, as sweep `part` of `parts` (the progress is the
    // share of all of them); true when it ran to its last address, false when it was
    // stopped or the port was lost.
    bool Sweep(unsigned part, unsigned parts);
    // A device answered the sweep: posts WM_DEVICEFOUND.
    virtual void Found(uint8_t address, const TDeviceIdentity &identity);
};
