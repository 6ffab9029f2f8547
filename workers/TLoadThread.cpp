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
    std::vector<TAttemptVerdict> verdicts;
    const auto exchange = [this, &reply, &verdicts](ParameterDescription &entry) {
        const auto request = ReadRequest(Address, entry.Index);
        verdicts.clear();
        // An entry the device never answers for keeps its undefined value.
        if (!RequestWithRepeats(request, Address, reply, &Stop, &verdicts)) {
            SetReply(entry, TParameterReply::NoValidReply);
            return HeardNothing(verdicts) ? TEntryExchange::Silent : TEntryExchange::Heard;
        }
        entry.Value = DecodeReadReply(reply);
        SetReply(entry, ReplyAccepted(reply) ? TParameterReply::Valid : TParameterReply::Rejected);
        return TEntryExchange::Heard;
    };
    const TExchangeEnd end = ExchangeEntries(Stop, exchange);
    // The entries this read did not reach got no reply from it either (the one whose
    // exchange met a lost port has its mark already).
    for (size_t i = end.Done; i < DeviceParameters.size(); ++i)
        SetReply(DeviceParameters[i], TParameterReply::NoValidReply);
    PostToMainWindow(WM_LOADDONE, end.DeviceSilent ? DONE_DEVICE_SILENT : 0, 0);
}
