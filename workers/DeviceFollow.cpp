#include "workers/DeviceFollow.h"

#include "catalogue/ParameterSize.h"
#include "link/LineSpeed.h"
#include "link/LinkState.h"
#include "link/SendRequest.h"

namespace {

// The highest bus address a device may be given: 127 is where new devices are looked for
// first, and no device is moved there.
constexpr int32_t LastBusAddress = 126;

} // namespace

TDeviceFollower::TDeviceFollower(uint8_t address, const TDeviceIdentity &identity, bool zeroAddress)
    : Current(address), Identity(identity), ZeroAddress(zeroAddress)
{
}

int TDeviceFollower::Destination(int32_t value) const
{
    if (value < (ZeroAddress ? 0 : 1) || value > LastBusAddress || value == Current)
        return -1;
    return value;
}

bool TDeviceFollower::Free(int address) const
{
    const auto it = address < 0 ? Surveyed.end() : Surveyed.find(static_cast<uint8_t>(address));
    return it != Surveyed.end() && it->second;
}

void TDeviceFollower::Survey(const std::vector<ParameterDescription> &entries,
                             const std::function<bool(const ParameterDescription &)> &mayMove,
                             const std::atomic<bool> &stop)
{
    std::vector<uint8_t> reply;
    std::vector<TAttemptVerdict> verdicts;
    for (const ParameterDescription &entry : entries) {
        if (stop.load() || PortLost())
            return;
        const int32_t value = entry.Value;
        const int address = IsWritable(entry) && value != VALUE_UNDEFINED && mayMove(entry)
                                ? Destination(value)
                                : -1;
        if (address < 0 || Surveyed.count(static_cast<uint8_t>(address)))
            continue;
        const auto ping = PingRequest(static_cast<uint8_t>(address));
        verdicts.clear();
        SendRequest(ping.data(), ping.size(), reply, &verdicts);
        // Bytes of any kind, even garbled ones, may be another device: only silence is free.
        Surveyed[static_cast<uint8_t>(address)] = HeardNothing(verdicts);
    }
}

void TDeviceFollower::Accepted(const ParameterDescription &entry)
{
    Last = {entry.Index, entry.Size, entry.Value};
    if (const int destination = Destination(entry.Value); destination >= 0) {
        Naming = Last;
        Pending = destination;
    }
}

bool TDeviceFollower::AnswersHere()
{
    std::vector<uint8_t> reply;
    return RequestWithRepeats(PingRequest(Current), Current, reply);
}

bool TDeviceFollower::StillHere()
{
    // Where it still answers, no value taken so far moved it: an address one named is no
    // longer where it may have gone.
    if (!AnswersHere())
        return false;
    Pending = -1;
    return true;
}

bool TDeviceFollower::IsTheDeviceAt(uint8_t address, const TAcceptedValue &mover)
{
    TDeviceIdentity found;
    if (!ProbeAddress(address, found) || found.Type != Identity.Type ||
        found.Version != Identity.Version)
        return false;
    if (mover.Index < 0)
        return true;
    std::vector<uint8_t> reply;
    return RequestWithRepeats(ReadRequest(address, mover.Index), address, reply) &&
           DecodeReadReply(reply) == mover.Value;
}

TFollowVerdict TDeviceFollower::Locate()
{
    if (PortLost() || StillHere())
        return TFollowVerdict::Here;
    return Search(Pending);
}

TFollowVerdict TDeviceFollower::ConfirmAt(uint8_t address)
{
    if (PortLost() || StillHere())
        return TFollowVerdict::Here;
    if (!Free(address)) {
        Held = address;
        return TFollowVerdict::AddressHeld;
    }
    if (!IsTheDeviceAt(address, Last))
        return TFollowVerdict::Lost;
    Current = address;
    Pending = -1;
    return TFollowVerdict::Moved;
}

TFollowVerdict TDeviceFollower::Search(int address)
{
    if (Free(address) && IsTheDeviceAt(static_cast<uint8_t>(address), Naming)) {
        Current = static_cast<uint8_t>(address);
        Pending = -1;
        return TFollowVerdict::Moved;
    }
    if (PortLost())
        return TFollowVerdict::Lost;
    // Silent after a value that may have been its line speed (or an address it did not take).
    if (SearchSpeeds())
        return TFollowVerdict::Moved;
    // Where another device answered before the write, this one may be now: it is not looked
    // for there, as that one could not be told from it.
    if (address >= 0 && !Free(address)) {
        Held = static_cast<uint8_t>(address);
        return TFollowVerdict::AddressHeld;
    }
    return TFollowVerdict::Lost;
}

bool TDeviceFollower::SearchSpeeds()
{
    if (SpeedsSearched)
        return false;
    SpeedsSearched = true;
    const uint32_t before = BaudRate;
    // Fastest first: a silent speed costs least there.
    for (auto it = StandardBaudRates.rbegin(); it != StandardBaudRates.rend(); ++it) {
        if (*it == before || PortLost() || !SetComState(*it))
            continue;
        if (IsTheDeviceAt(Current, Last))
            return true;
    }
    SetComState(before);
    return false;
}
