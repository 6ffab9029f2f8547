#include "workers/EntryExchanges.h"

#include "link/LinkState.h"
#include "workers/WorkerMessages.h"

size_t ExchangeEntries(const std::atomic<bool> &stop,
                       const std::function<void(ParameterDescription &entry)> &exchange,
                       const std::function<void()> &between)
{
    size_t done = 0;
    const size_t count = DeviceParameters.size();
    if (!PortIsOpen() || PortLost() || stop.load())
        return 0;
    while (done < count) {
        exchange(DeviceParameters[done]);
        // Nothing answers on a lost port: the rest of the list would only say so again.
        if (PortLost())
            break;
        PostToMainWindow(WM_PROGRESS, static_cast<uint32_t>(done * 100 / count), 0);
        if (between)
            between();
        ++done;
        if (stop.load())
            break;
    }
    return done;
}
