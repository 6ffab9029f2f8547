#include "workers/TLoadThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"
#include "device/ParameterReply.h"
#include "workers/EntryExchanges.h"
#include "workers/WorkerMessages.h"

TLoadThread::TLoadThread(uint8_t address) : Address(address) {}

void TLoadThread::Execute()
{
    std::vector<uint8_t> reply;
    const size_t done = ExchangeEntries(Stop, [this, &reply](ParameterDescription &entry) {
        const auto request = ReadRequest(Address, entry.Index);
        // An entry the device never answers for keeps its undefined value.
        if (!RequestWithRepeats(request, Address, reply, &Stop)) {
            SetReply(entry, TParameterReply::NoValidReply);
            return;
        }
        entry.Value = DecodeReadReply(reply);
        SetReply(entry, ReplyAccepted(reply) ? TParameterReply::Valid : TParameterReply::Rejected);
    });
    // The entries this read did not reach got no reply from it either (the one whose
    // exchange met a lost port has its mark already).
    for (size_t i = done; i < DeviceParameters.size(); ++i)
        SetReply(DeviceParameters[i], TParameterReply::NoValidReply);
    PostToMainWindow(WM_LOADDONE, 0, 0);
}
