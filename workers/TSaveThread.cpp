#include "workers/TSaveThread.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"
#include "device/ParameterReply.h"
#include "link/LinkState.h"
#include "workers/DeviceFollow.h"
#include "workers/EntryExchanges.h"
#include "workers/WorkerMessages.h"

#include <utility>

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

TSaveThread::TSaveThread(uint8_t address, const TDeviceIdentity &identity, bool zeroAddress,
                         std::vector<int32_t> before)
    : Address(address), Identity(identity), ZeroAddress(zeroAddress), Before(std::move(before))
{
}

void TSaveThread::Execute()
{
    TDeviceFollower device(Address, Identity, ZeroAddress);
    // Only a value the device does not hold yet can move it.
    const auto mayMove = [this](const ParameterDescription &entry) {
        const auto i = static_cast<size_t>(&entry - DeviceParameters.data());
        return i >= Before.size() || Before[i] != entry.Value;
    };
    // Before anything moves the device: which addresses could it be followed to?
    device.Survey(DeviceParameters, mayMove, Stop);

    std::vector<uint8_t> reply;
    std::vector<TAttemptVerdict> verdicts;
    bool accepted = false; // the device accepted a value in this write that may move it
    TFollowVerdict ending = TFollowVerdict::Here;
    // Tells the window of a move; false when the device is out of reach.
    const auto follow = [&device, &ending](TFollowVerdict verdict) {
        if (verdict == TFollowVerdict::Moved)
            PostToMainWindow(WM_DEVICEMOVED, device.Address(), BaudRate);
        ending = verdict;
        return verdict == TFollowVerdict::Here || verdict == TFollowVerdict::Moved;
    };
    const auto send = [&](ParameterDescription &entry) {
        const auto request = RequestFor(device.Address(), entry);
        if (request.empty())
            return TEntryExchange::Skipped;
        const int32_t value = entry.Value;
        const bool moves = mayMove(entry);
        const int destination = moves ? device.Destination(value) : -1;
        verdicts.clear();
        if (!RequestWithRepeats(request, device.Address(), reply, &Stop, &verdicts, destination)) {
            // The device may or may not have taken the value; keeping it (rather than no
            // value at all) keeps the operator's edit, and a second write retries it.
            SetReply(entry, TParameterReply::NoValidReply);
            return HeardNothing(verdicts) ? TEntryExchange::Silent : TEntryExchange::Heard;
        }
        if (!ReplyAccepted(reply)) {
            // The device kept its own value, which the refusal does not tell; the operator's
            // value stays, to be corrected or sent again.
            SetReply(entry, TParameterReply::WriteRefused);
            return TEntryExchange::Heard;
        }
        entry.Value = DecodeWriteReply(reply, entry.Size);
        SetReply(entry, TParameterReply::Valid);
        if (!moves)
            return TEntryExchange::Heard;
        accepted = true;
        device.Accepted(entry);
        TFollowVerdict verdict = TFollowVerdict::Here;
        // Some devices answer the write of their new address from that address already.
        if (!ReplyFrom(reply, device.Address())) {
            verdict = device.ConfirmAt(static_cast<uint8_t>(destination));
            // Still where it was: the reply's address was garbled, and it confirms nothing.
            if (verdict == TFollowVerdict::Here) {
                entry.Value = value;
                SetReply(entry, TParameterReply::NoValidReply);
            }
        } else {
            // Any new value may be its address or line speed: one ping where it was tells,
            // at the cost of one short exchange, rather than the silent entries after it.
            verdict = device.Locate();
        }
        return follow(verdict) ? TEntryExchange::Heard : TEntryExchange::Ended;
    };
    const auto exchange = [&](ParameterDescription &entry) {
        TEntryExchange outcome = send(entry);
        // Silent right after it took a value: the device may have moved with that value.
        if (outcome == TEntryExchange::Silent && accepted && !Stop.load() && !PortLost()) {
            const TFollowVerdict verdict = device.Locate();
            if (verdict == TFollowVerdict::Here)
                return outcome; // it answers, and ignores this entry
            if (!follow(verdict))
                return TEntryExchange::Ended;
            outcome = send(entry);
        }
        return outcome;
    };
    const TExchangeEnd end = ExchangeEntries(Stop, exchange, [this] { Pause(EntryPauseMs); });
    // What was to be sent and was not stays as the operator gave it, unconfirmed.
    for (size_t i = end.Done; i < DeviceParameters.size(); ++i) {
        if (!RequestFor(device.Address(), DeviceParameters[i]).empty())
            SetReply(DeviceParameters[i], TParameterReply::NoValidReply);
    }
    PostToMainWindow(WM_PROGRESS, 100, 0);
    // The full bar is worth a look only after a write that went through to its end.
    if (!PortLost())
        Pause(FinalPauseMs);
    uint32_t done = end.DeviceSilent ? DONE_DEVICE_SILENT : 0;
    if (ending == TFollowVerdict::Lost)
        done = DONE_DEVICE_LOST;
    else if (ending == TFollowVerdict::AddressHeld)
        done = DONE_ADDRESS_HELD;
    PostToMainWindow(WM_SAVEDONE, done, done == DONE_ADDRESS_HELD ? device.HeldAddress() : 0);
}
