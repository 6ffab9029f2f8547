#include "workers/GarbledAddress.h"

#include "link/SendRequest.h"

namespace {

// Each verdict takes four bits of lParam, as its number plus one, so that 0 ends the list.
constexpr int VerdictBits = 4;
constexpr size_t MaxPacked = 32 / VerdictBits;
// A probe is a ping and an identify, each of up to MaxAttempts attempts.
static_assert(2 * MaxAttempts <= static_cast<int>(MaxPacked));
static_assert(static_cast<int>(TAttemptVerdict::PortLost) + 1 < (1 << VerdictBits));

} // namespace

TGarbledAddress TGarbledAddress::FromProbe(uint8_t address,
                                           const std::vector<TAttemptVerdict> &verdicts)
{
    TGarbledAddress garbled;
    garbled.Address = address;
    for (const TAttemptVerdict verdict : verdicts) {
        if (verdict != TAttemptVerdict::Accepted && BroughtBytes(verdict))
            garbled.Verdicts.push_back(verdict);
    }
    return garbled;
}

TGarbledAddress TGarbledAddress::FromMessage(uint32_t wParam, uint32_t lParam)
{
    TGarbledAddress garbled;
    garbled.Address = static_cast<uint8_t>(wParam);
    for (size_t i = 0; i < MaxPacked; ++i) {
        const uint32_t code = (lParam >> (i * VerdictBits)) & ((1u << VerdictBits) - 1);
        if (code == 0)
            break;
        garbled.Verdicts.push_back(static_cast<TAttemptVerdict>(code - 1));
    }
    return garbled;
}

uint32_t TGarbledAddress::PackedVerdicts() const
{
    uint32_t packed = 0;
    for (size_t i = 0; i < Verdicts.size() && i < MaxPacked; ++i)
        packed |= (static_cast<uint32_t>(Verdicts[i]) + 1) << (i * VerdictBits);
    return packed;
}
