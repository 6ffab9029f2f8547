#include "workers/TSearchThread.h"

#include "device/DeviceRequests.h"
#include "link/LinkState.h"
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
    if (!PortIsOpen() || PortLost()) {
        PostToMainWindow(WM_SEARCHDONE, 0, 0);
        return;
    }
    uint8_t address = FirstAddress;
    bool first = true;
    // The fast sweep's last address found nothing: a late answer to it shows in the next probe.
    int silentBefore = -1;
    while (!Stop.load()) {
        TDeviceIdentity identity;
        bool found = false;
        if (!Fast) {
            found = ProbeAddress(address, identity);
        } else if (!first && address >= LastAddress) {
            // No probe follows the last address to catch its late answer: it gets the
            // standard one.
            found = ProbeAddress(address, identity);
        } else {
            bool previousLate = false;
            found = ProbeAddressFast(address, static_cast<uint8_t>(silentBefore), identity,
                                     previousLate);
            TDeviceIdentity lateIdentity;
            // Posted first: the list keeps the sweep's order.
            if (previousLate && silentBefore >= 0 &&
                ProbeAddress(static_cast<uint8_t>(silentBefore), lateIdentity))
                PostToMainWindow(WM_DEVICEFOUND, silentBefore * 256u + lateIdentity.Type,
                                 lateIdentity.Version);
            silentBefore = found ? -1 : address;
        }
        if (found)
            PostToMainWindow(WM_DEVICEFOUND, address * 256u + identity.Type, identity.Version);
        // Nothing answers on a lost port: the rest of the sweep would only say so again.
        if (PortLost())
            break;

        if (first)
            address = StartAddress;
        else if (address >= LastAddress)
            Stop.store(true); // the sweep is complete; the address stays the last one
        else
            ++address;
        first = false;
        PostToMainWindow(WM_PROGRESS, address * 100u / 127u, 0);
    }
    PostToMainWindow(WM_SEARCHDONE, 0, 0);
}
