#pragma once
// The parameter write: sends every byte or word entry of DeviceParameters to one device and
// keeps the value it echoes, posting WM_PROGRESS per entry, WM_PROGRESS 100, then after a
// one-second pause WM_SAVEDONE.

#include "device/DeviceRequests.h"
#include "workers/TThread.h"

#include <cstdint>
#include <vector>

// Write worker; start it with StartWorker<TSaveThread>(handle, address); it frees itself at
// its end. DeviceParameters must stay unchanged (only Value and Reply are written) until
// WM_SAVEDONE. Each entry sent gets its Reply (ParameterReply.h): Valid with the echoed
// value, WriteRefused or NoValidReply with the value it was to send, so that the operator's
// edit survives and a second write sends it again. On a port that is lost (PortLost) the
// write ends after the entry in progress: the entries not sent keep their value and get
// NoValidReply, and WM_SAVEDONE follows WM_PROGRESS 100 without the pause. A device that
// falls silent (SilentEntriesToStop entries in a row without a byte back) ends the write
// the same way, with the pause, and WM_SAVEDONE carries DONE_DEVICE_SILENT.
//
// A device that a written value moves to another bus address or line speed is followed
// (DeviceFollow.h): the write goes on where it answers now, after WM_DEVICEMOVED. One that
// cannot be followed ends the write after that entry, and WM_SAVEDONE carries
// DONE_DEVICE_LOST, or DONE_ADDRESS_HELD with the address in lParam.
class TSaveThread final : public TThread
{
public:
    // A write of the parameters to the device at `address` with `identity`; `zeroAddress`:
    // address 0 is a bus address the device may be moved to. `before`, when not empty, holds
    // the value the device holds for each entry of DeviceParameters (as last read or
    // written): an entry sent with that same value cannot move the device.
    TSaveThread(uint8_t address, const TDeviceIdentity &identity, bool zeroAddress = false,
                std::vector<int32_t> before = {});

    // Bus address of the device when the write begins.
    const uint8_t Address;
    // Type and firmware the device must show wherever it is followed to.
    const TDeviceIdentity Identity;
    // Address 0 is a bus address.
    const bool ZeroAddress;
    // What the device held before the write, entry by entry; empty: unknown.
    const std::vector<int32_t> Before;

protected:
    void Execute() override;
};
