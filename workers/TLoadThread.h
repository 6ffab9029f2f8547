#pragma once
// The parameter read: fetches every entry of DeviceParameters from one device, posting
// WM_PROGRESS per entry and WM_LOADDONE at the end.

#include "workers/TThread.h"

#include <cstdint>

// Read worker; start it with StartWorker<TLoadThread>(handle, address); it frees itself at
// its end. DeviceParameters must stay unchanged (only Value and Reply are written) until
// WM_LOADDONE. Each entry's Reply tells how its read went (ParameterReply.h); on a port that
// is lost (PortLost) the read ends after the entry in progress, without its progress, and
// the entries not read keep their Value and get NoValidReply. A device that falls silent
// (SilentEntriesToStop entries in a row without a byte back) ends the read the same way,
// after the progress of the last silent entry, and WM_LOADDONE carries DONE_DEVICE_SILENT.
class TLoadThread final : public TThread
{
public:
    // A read of the parameters of the device at `address`.
    explicit TLoadThread(uint8_t address);

    // Bus address of the device read.
    const uint8_t Address;

protected:
    void Execute() override;
};
