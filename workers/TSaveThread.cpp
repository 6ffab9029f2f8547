#include "workers/TSaveThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "workers/EntryExchanges.h"
#include "workers/WorkerMessages.h"

namespace {

constexpr uint32_t EntryPauseMs = 1;
constexpr uint32_t FinalPauseMs = 1000; // lets the operator see the full progress bar

// The write request for `entry`, or none: an entry of another size is never written, and
// one without a value has nothing to send (the undefined marker's low bits would put 0xFF
// or 0xFFFF into the device).
std::vector<uint8_t> RequestFor(uint8_t address, const ParameterDescription &entry)
{
    const int32_t value = entry.Value;
    if (value == VALUE_UNDEFINED)
        return {};
    return WriteRequest(address, entry.Index, entry.Size, value);
}

} // namespace

TSaveThread::TSaveThread(uint8_t address) : Address(address) {}

void TSaveThread::Execute()
{
    std::vector<uint8_t> reply;
    std::vector<TAttemptVerdict> verdicts;
    const auto exchange = [this, &reply, &verdicts](ParameterDescription &entry) {
        const auto request = RequestFor(Address, entry);
        if (request.empty())
            return TEntryExchange::Skipped;
        verdicts.clear();
        if (!RequestWithRepeats(request, Address, reply, &Stop, &verdicts)) {
            // The device may or may not have taken the value; keeping it (rather than no
            // value at all) keeps the operator's edit, and a second write retries it.
            SetReply(entry, TParameterReply::NoValidReply);
            return HeardNothing(verdicts) ? TEntryExchange::Silent : TEntryExchange::Heard;
        }
        if (ReplyAccepted(reply)) {
            entry.Value = DecodeWriteReply(reply, entry.Size);
            SetReply(entry, TParameterReply::Valid);
        } else {
            // The device kept its own value, which the refusal does not tell; the operator's
            // value stays, to be corrected or sent again.
            SetReply(entry, TParameterReply::WriteRefused);
        }
        return TEntryExchange::Heard;
    };
    const TExchangeEnd end = ExchangeEntries(Stop, exchange, [this] { Pause(EntryPauseMs); });
    // What was to be sent and was not stays as the operator gave it, unconfirmed.
    for (size_t i = end.Done; i < DeviceParameters.size(); ++i) {
        if (!RequestFor(Address, DeviceParameters[i]).empty())
            SetReply(DeviceParameters[i], TParameterReply::NoValidReply);
    }
    PostToMainWindow(WM_PROGRESS, 100, 0);
    // The full bar is worth a look only after a write that went through to its end.
    if (!PortLost())
        Pause(FinalPauseMs);
    PostToMainWindow(WM_SAVEDONE, end.DeviceSilent ? DONE_DEVICE_SILENT : 0, 0);
}
