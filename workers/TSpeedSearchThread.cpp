#include "workers/TSpeedSearchThread.h"

#include "device/DeviceRequests.h"
#include "link/LinkState.h"
#include "workers/DeviceListEntry.h"
#include "workers/WorkerMessages.h"

#include <algorithm>
#include <utility>

TSpeedSearchThread::TSpeedSearchThread(uint8_t startAddress, uint8_t lastAddress,
                                       std::vector<uint32_t> speeds)
    : TSearchThread(startAddress, lastAddress), Speeds(std::move(speeds))
{
}

void TSpeedSearchThread::Execute()
{
    if (PortIsOpen() && !PortLost()) {
        // The caller's speed stays in force after the search: the devices found carry their
        // own, and opening one sets it.
        const uint32_t before = BaudRate;
        const auto parts = static_cast<unsigned>(Speeds.size());
        for (unsigned part = 0; part < parts && !Stop.load(); ++part) {
            if (!SetComState(Speeds[part]))
                continue;
            Speed = Speeds[part];
            PostToMainWindow(WM_SEARCHSPEED, Speed, part);
            if (!Sweep(part, parts))
                break;
        }
        SetComState(before);
    }
    PostToMainWindow(WM_SEARCHDONE, 0, 0);
}

void TSpeedSearchThread::Found(uint8_t address, const TDeviceIdentity &identity)
{
    // A device that answers at several speeds (one that follows the master's speed, or the
    // same device reached twice) is one device: listed once, at the first speed.
    const uint32_t tag = MakeDeviceTag(address, identity.Type, identity.Version);
    const auto earlier = std::find(FoundTags.begin(), FoundTags.end(), tag);
    if (earlier != FoundTags.end()) {
        PostToMainWindow(WM_DEVICEAGAIN, static_cast<uint32_t>(earlier - FoundTags.begin()), Speed);
        return;
    }
    FoundTags.push_back(tag);
    TSearchThread::Found(address, identity);
}
