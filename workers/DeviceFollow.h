#pragma once
// Following a device that a write moves: a device takes a new bus address or line speed the
// moment it accepts the parameter that holds it, and the catalogue does not say which
// parameter that is. So the write watches how the device behaves: when it falls silent at its
// address right after accepting a value that is a bus address, it is looked for there; when
// it falls silent and no address applies, it is looked for at the other line speeds. It is
// followed only where it cannot be mistaken for another device: to an address where nobody
// answered before the write began, and only when the same type and firmware answer there.

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Where the device was looked for, and what was found.
enum class TFollowVerdict
{
    Here,        // it answers where it was
    Moved,       // the same device answers at another address or speed
    Lost,        // it answers nowhere it was looked for
    AddressHeld, // it fell silent after taking an address that another device holds
};

// A value the device accepted: the entry's index, size and the value it echoed.
struct TAcceptedValue
{
    int32_t Index = -1; // -1: none
    std::string Size;
    int32_t Value = VALUE_UNDEFINED;
};

// The device a write goes to, followed as it moves.
class TDeviceFollower
{
public:
    // The device at `address` with `identity`; `zeroAddress`: address 0 is a bus address.
    TDeviceFollower(uint8_t address, const TDeviceIdentity &identity, bool zeroAddress);

    // Pings, before anything is written, every address the value of an entry of `entries`
    // that `mayMove` holds for could move the device to, and remembers which of them nobody
    // answers. Ends early on a stop or a lost port.
    void Survey(const std::vector<ParameterDescription> &entries,
                const std::function<bool(const ParameterDescription &)> &mayMove,
                const std::atomic<bool> &stop);
    // The address `value` would move the device to, or -1: a bus address other than its own.
    int Destination(int32_t value) const;
    // True when nobody answered at `address` before the write began.
    bool Free(int address) const;

    // The device accepted `entry`'s value (the one it echoed): remembered as what may have
    // moved it.
    void Accepted(const ParameterDescription &entry);
    // Pings the device where it was (after a value that may have moved it, or an exchange it
    // did not answer at all); if it is silent, looks for it at the address named by the last
    // value accepted that named one, then at the other line speeds (once per write).
    TFollowVerdict Locate();
    // The device answered the write of the last value accepted from `address`, the address
    // that value names: it may have taken it at once. Moved when it no longer answers where
    // it was and it is the same device there; Here when it still answers where it was (the
    // reply's address was garbled on the way); AddressHeld when another device answered
    // there before the write.
    TFollowVerdict ConfirmAt(uint8_t address);

    // Where the device is now.
    uint8_t Address() const { return Current; }
    // The address it fell silent after taking, for AddressHeld.
    uint8_t HeldAddress() const { return Held; }

private:
    // True when the device answers a ping at its current address and speed (two
    // transactions, so that a noisy line does not make it look gone).
    bool AnswersHere();
    // AnswersHere, forgetting the address a value named when the device did not go there.
    bool StillHere();
    // True when the device at `address` is this one: the same type and firmware, holding the
    // value `mover` that moved it (another device of the type would hold its own).
    bool IsTheDeviceAt(uint8_t address, const TAcceptedValue &mover);
    // Looks for the device at `address` (when free), then at the other speeds.
    TFollowVerdict Search(int address);
    // Looks for it at its current address at every other standard speed, once per write.
    bool SearchSpeeds();

    uint8_t Current;
    const TDeviceIdentity Identity;
    const bool ZeroAddress;
    // Destinations pinged before the write: true where nobody answered.
    std::map<uint8_t, bool> Surveyed;
    // The last value accepted, and the last one that named a destination (its address).
    TAcceptedValue Last;
    TAcceptedValue Naming;
    int Pending = -1;
    bool SpeedsSearched = false;
    uint8_t Held = 0;
};
