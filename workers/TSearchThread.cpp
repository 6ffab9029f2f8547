#include "workers/TSearchThread.h"

#include "link/Link.h"
#include "workers/DeviceRequests.h"
#include "workers/WorkerMessages.h"

namespace {
constexpr uint8_t FirstAddress = 127; // polled before the ascending sweep
constexpr uint8_t LastAddress = 126;
} // namespace

TSearchThread::TSearchThread(uint8_t startAddress, TWorkerHandle *handle)
    : StartAddress(startAddress)
{
    Start(handle);
}

void TSearchThread::Execute()
{
    if (!PortIsOpen()) {
        PostToMainWindow(WM_SEARCHDONE, 0, 0);
        return;
    }
    uint8_t address = FirstAddress;
    while (!Stop.load()) {
        TDeviceIdentity identity;
        if (ProbeAddress(address, identity))
            PostToMainWindow(WM_DEVICEFOUND, address * 256u + identity.Type, identity.Version);

        if (address == LastAddress)
            Stop.store(true); // the sweep is complete
        else if (address == FirstAddress)
            address = StartAddress;
        else
            ++address;
        PostToMainWindow(WM_PROGRESS, address * 100u / 127u, 0);
    }
    PostToMainWindow(WM_SEARCHDONE, 0, 0);
}
