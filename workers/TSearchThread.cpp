#include "workers/TSearchThread.h"

#include "device/DeviceRequests.h"
#include "link/LinkState.h"
#include "workers/GarbledAddress.h"
#include "workers/WorkerMessages.h"

namespace {
constexpr uint8_t FirstAddress = 127; // polled before the ascending sweep
constexpr uint8_t HighestAddress = 126;
} // namespace

TSearchThread::TSearchThread(uint8_t startAddress, uint8_t lastAddress, bool fast)
    : StartAddress(startAddress),
      LastAddress(lastAddress < HighestAddress ? lastAddress : HighestAddress), Fast(fast)
{
}

void TSearchThread::Execute()
{
    if (PortIsOpen() && !PortLost())
        Sweep(0, 1);
    PostToMainWindow(WM_SEARCHDONE, 0, 0);
}

bool TSearchThread::Sweep(unsigned part, unsigned parts)
{
    uint8_t address = FirstAddress;
    bool first = true;
    bool complete = false;
    // The fast sweep's last address found nothing: a late answer to it shows in the next probe.
    int silentBefore = -1;
    std::vector<TAttemptVerdict> verdicts;
    while (!complete && !Stop.load()) {
        TDeviceIdentity identity;
        bool found = false;
        verdicts.clear();
        if (!Fast) {
            found = ProbeAddress(address, identity, &verdicts);
        } else if (!first && address >= LastAddress) {
            // No probe follows the last address to catch its late answer: it gets the
            // standard one.
            found = ProbeAddress(address, identity, &verdicts);
        } else {
            bool previousLate = false;
            found = ProbeAddressFast(address, static_cast<uint8_t>(silentBefore), identity,
                                     previousLate);
            TDeviceIdentity lateIdentity;
            // Found first: the list keeps the sweep's order.
            if (previousLate && silentBefore >= 0 &&
                ProbeAddress(static_cast<uint8_t>(silentBefore), lateIdentity))
                Found(static_cast<uint8_t>(silentBefore), lateIdentity);
            silentBefore = found ? -1 : address;
        }
        if (found)
            Found(address, identity);
        // Nothing answers on a lost port: the rest of the sweep would only say so again.
        if (PortLost())
            return false;
        // Bytes without a valid reply mean something is there that the list cannot show.
        if (!found) {
            const TGarbledAddress garbled = TGarbledAddress::FromProbe(address, verdicts);
            if (!garbled.Verdicts.empty())
                PostToMainWindow(WM_GARBLED, address, garbled.PackedVerdicts());
        }

        if (first)
            address = StartAddress;
        else if (address >= LastAddress)
            complete = true; // the address stays the last one
        else
            ++address;
        first = false;
        PostToMainWindow(WM_PROGRESS, (part * 100u + address * 100u / 127u) / parts, 0);
    }
    return complete;
}

void TSearchThread::Found(uint8_t address, const TDeviceIdentity &identity)
{
    PostToMainWindow(WM_DEVICEFOUND, address * 256u + identity.Type, identity.Version);
}
