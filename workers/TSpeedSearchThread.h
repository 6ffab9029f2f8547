#pragma once
// The search across line speeds: the bus search of TSearchThread at each speed of a list in
// turn, every device reported once, at the first speed it answered at.

#include "workers/TSearchThread.h"

#include <cstdint>
#include <vector>

// Search worker across speeds; start it with StartWorker<TSpeedSearchThread>(handle, start,
// last, speeds). Before each speed's sweep it sets that speed (SetComState) and posts
// WM_SEARCHSPEED; each device found is posted once with WM_DEVICEFOUND, and a device (the same
// address, type and firmware) that answers again at a later speed with WM_DEVICEAGAIN. The
// progress runs once from 0 to 100 over all the sweeps. A stop or a lost port ends the search
// at once; the speed in force before the search is set back at its end, then WM_SEARCHDONE.
class TSpeedSearchThread final : public TSearchThread
{
public:
    // Sweeps as TSearchThread(startAddress, lastAddress) at each of `speeds`, in their order;
    // a speed off the standard list is passed over.
    TSpeedSearchThread(uint8_t startAddress, uint8_t lastAddress, std::vector<uint32_t> speeds);

    // The line speeds searched, in order.
    const std::vector<uint32_t> Speeds;

protected:
    void Execute() override;
    void Found(uint8_t address, const TDeviceIdentity &identity) override;

private:
    // Tags (DeviceListEntry.h) of the devices reported so far, in the order posted.
    std::vector<uint32_t> FoundTags;
    // The speed of the sweep in progress.
    uint32_t Speed = 0;
};
