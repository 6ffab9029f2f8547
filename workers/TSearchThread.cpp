#include "workers/TSearchThread.h"

#include "device/DeviceRequests.h"
#include "link/LinkState.h"
#include "workers/WorkerMessages.h"

namespace {
constexpr uint8_t FirstAddress = 127; // polled before the ascending sweep
constexpr uint8_t HighestAddress = 126;
} // namespace

TSearchThread::TSearchThread(uint8_t startAddress, uint8_t lastAddress)
    : StartAddress(startAddress),
      LastAddress(lastAddress < HighestAddress ? lastAddress : HighestAddress)
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
    while (!complete && !Stop.load()) {
        TDeviceIdentity identity;
        if (ProbeAddress(address, identity))
            Found(address, identity);
        // Nothing answers on a lost port: the rest of the sweep would only say so again.
        if (PortLost())
            return false;

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
