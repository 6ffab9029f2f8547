#include "workers/TLoadThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "workers/DeviceRequests.h"
#include "workers/WorkerMessages.h"

TLoadThread::TLoadThread(uint8_t address, TWorkerHandle *handle) : Address(address)
{
    Start(handle);
}

void TLoadThread::Execute()
{
    if (PortIsOpen() && !Stop.load()) {
        const size_t count = DeviceParameters.size();
        std::vector<uint8_t> reply;
        for (size_t i = 0; i < count; ++i) {
            ParameterDescription &entry = DeviceParameters[i];
            const auto request = ReadRequest(Address, entry.Index);
            // An entry the device never answers for keeps its undefined value.
            if (RequestWithRepeats(request, Address, reply, &Stop))
                entry.Value = DecodeReadReply(reply);
            PostToMainWindow(WM_PROGRESS, static_cast<uint32_t>(i * 100 / count), 0);
            if (Stop.load())
                break;
        }
    }
    PostToMainWindow(WM_LOADDONE, 0, 0);
}
