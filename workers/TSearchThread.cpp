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
    while (!Stop.load()) {
        TDeviceIdentity identity;
        if (Fast ? ProbeAddressFast(address, identity) : ProbeAddress(address, identity))
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
