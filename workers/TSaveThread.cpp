#include "workers/TSaveThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "workers/DeviceRequests.h"
#include "workers/WorkerMessages.h"

namespace {
constexpr uint32_t EntryPauseMs = 1;
constexpr uint32_t FinalPauseMs = 1000; // lets the operator see the full progress bar
} // namespace

TSaveThread::TSaveThread(uint8_t address, TWorkerHandle *handle) : Address(address)
{
    Start(handle);
}

void TSaveThread::Execute()
{
    if (PortIsOpen() && !Stop.load()) {
        const size_t count = DeviceParameters.size();
        std::vector<uint8_t> reply;
        for (size_t i = 0; i < count; ++i) {
            ParameterDescription &entry = DeviceParameters[i];
            const int32_t value = entry.Value;
            const auto request = WriteRequest(Address, entry.Index, entry.Size, value);
            // Sending the undefined marker would put 0xFF or 0xFFFF into the device.
            if (!request.empty() && value != VALUE_UNDEFINED) {
                // Without a valid echo the device's value is unknown: show it as undefined
                // rather than a value that was never confirmed.
                if (RequestWithRepeats(request, Address, reply, &Stop))
                    entry.Value = DecodeWriteReply(reply, entry.Size);
                else
                    entry.Value = VALUE_UNDEFINED;
            }
            PostToMainWindow(WM_PROGRESS, static_cast<uint32_t>(i * 100 / count), 0);
            Pause(EntryPauseMs);
            if (Stop.load())
                break;
        }
    }
    PostToMainWindow(WM_PROGRESS, 100, 0);
    Pause(FinalPauseMs);
    PostToMainWindow(WM_SAVEDONE, 0, 0);
}
