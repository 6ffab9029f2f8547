#include "workers/TLoadThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LinkState.h"
#include "workers/DeviceRequests.h"
#include "workers/ParameterReply.h"
#include "workers/WorkerMessages.h"

TLoadThread::TLoadThread(uint8_t address) : Address(address) {}

void TLoadThread::Execute()
{
    size_t done = 0;
    const size_t count = DeviceParameters.size();
    if (PortIsOpen() && !PortLost() && !Stop.load()) {
        std::vector<uint8_t> reply;
        while (done < count) {
            ParameterDescription &entry = DeviceParameters[done];
            const auto request = ReadRequest(Address, entry.Index);
            // An entry the device never answers for keeps its undefined value.
            if (!RequestWithRepeats(request, Address, reply, &Stop)) {
                SetReply(entry, TParameterReply::NoValidReply);
            } else {
                entry.Value = DecodeReadReply(reply);
                SetReply(entry,
                         ReplyAccepted(reply) ? TParameterReply::Valid : TParameterReply::Rejected);
            }
            // Nothing answers on a lost port: the rest of the list would only say so again.
            if (PortLost())
                break;
            PostToMainWindow(WM_PROGRESS, static_cast<uint32_t>(done * 100 / count), 0);
            ++done;
            if (Stop.load())
                break;
        }
    }
    // The entries this read did not reach got no reply from it either (the one whose
    // exchange met a lost port has its mark already).
    for (size_t i = done; i < count; ++i)
        SetReply(DeviceParameters[i], TParameterReply::NoValidReply);
    PostToMainWindow(WM_LOADDONE, 0, 0);
}
