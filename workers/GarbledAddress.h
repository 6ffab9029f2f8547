#pragma once
// An address where the search got bytes back but never a valid reply: something is there
// (two devices at one address, a device at another line speed, noise), yet nothing is listed.

#include "link/Traffic.h"

#include <cstdint>
#include <vector>

// The address and the verdicts of its attempts that brought bytes without a valid reply.
struct TGarbledAddress
{
    uint8_t Address = 0;
    std::vector<TAttemptVerdict> Verdicts; // first attempt first

    // The attempts of a probe of `address` that brought bytes without a valid reply; empty
    // Verdicts when there were none.
    static TGarbledAddress FromProbe(uint8_t address, const std::vector<TAttemptVerdict> &verdicts);
    // The address of a WM_GARBLED.
    static TGarbledAddress FromMessage(uint32_t wParam, uint32_t lParam);
    // lParam of the WM_GARBLED that carries Verdicts.
    uint32_t PackedVerdicts() const;
};
