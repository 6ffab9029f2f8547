#include "workers/EntryExchanges.h"

#include "link/LinkState.h"
#include "workers/WorkerMessages.h"

TExchangeEnd
ExchangeEntries(const std::atomic<bool> &stop,
                const std::function<TEntryExchange(ParameterDescription &entry)> &exchange,
                const std::function<void()> &between)
{
    TExchangeEnd end;
    const size_t count = DeviceParameters.size();
    if (!PortIsOpen() || PortLost() || stop.load())
        return end;
    int silentInRow = 0;
    while (end.Done < count) {
        const TEntryExchange outcome = exchange(DeviceParameters[end.Done]);
        // Nothing answers on a lost port: the rest of the list would only say so again.
        if (PortLost())
            break;
        PostToMainWindow(WM_PROGRESS, static_cast<uint32_t>(end.Done * 100 / count), 0);
        if (between)
            between();
        ++end.Done;
        if (outcome == TEntryExchange::Silent)
            ++silentInRow;
        else if (outcome == TEntryExchange::Heard)
            silentInRow = 0;
        if (outcome == TEntryExchange::Ended) {
            end.Ended = true;
            break;
        }
        if (stop.load())
            break;
        if (silentInRow >= SilentEntriesToStop) {
            end.DeviceSilent = end.Done < count;
            break;
        }
    }
    return end;
}
