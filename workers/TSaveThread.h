#pragma once
// The parameter write: sends every byte or word entry of DeviceParameters to one device and
// keeps the value it echoes, posting WM_PROGRESS per entry, WM_PROGRESS 100, then after a
// one-second pause WM_SAVEDONE.

#include "workers/TThread.h"

#include <cstdint>

// Write worker; start it with StartWorker<TSaveThread>(handle, address); it frees itself at
// its end. DeviceParameters must stay unchanged (only Value and Reply are written) until
// WM_SAVEDONE. Each entry sent gets its Reply (ParameterReply.h): Valid with the echoed
// value, WriteRefused or NoValidReply with the value it was to send, so that the operator's
// edit survives and a second write sends it again. On a port that is lost (PortLost) the
// write ends after the entry in progress: the entries not sent keep their value and get
// NoValidReply, and WM_SAVEDONE follows WM_PROGRESS 100 without the pause. A device that
// falls silent (SilentEntriesToStop entries in a row without a byte back) ends the write
// the same way, with the pause, and WM_SAVEDONE carries DONE_DEVICE_SILENT.
class TSaveThread final : public TThread
{
public:
    // A write of the parameters to the device at `address`.
    explicit TSaveThread(uint8_t address);

    // Bus address of the device written.
    const uint8_t Address;

protected:
    void Execute() override;
};
