#pragma once
// Serial services on Windows: the comm functions on a "\\.\COMn" handle, the performance
// counter, Sleep and a time-critical thread priority for the transmitter hold. The
// translations between the link's types and the driver's are free functions, so they are
// tested without a port.

#include "WindowsApi.h"

#include "SerialPlatform.h"

// The platform the link uses on Windows unless another one is installed.
class TWin32SerialPlatform : public ISerialPlatform
{
public:
    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override;
    void SleepMs(uint32_t ms) override;
    int64_t Counter() override;
    int64_t CounterFrequency() override;
    bool RaisePriority() override;
    void RestorePriority() override;
};

// The line format as the driver reports it in `dcb`.
TLineSettings LineSettingsOfDcb(const DCB &dcb);
// `dcb` (as the driver reported it) with the link's fields set from `settings`; every other
// field keeps the driver's value.
DCB DcbWithLineSettings(const DCB &dcb, const TLineSettings &settings);
// The driver's time-outs that give the link's read model.
COMMTIMEOUTS CommTimeoutsOf(const TSerialTimeouts &timeouts);
// The link's time-outs that the driver's stand for.
TSerialTimeouts TimeoutsOfComm(const COMMTIMEOUTS &timeouts);
// The errno that a failed opening's Windows error stands for (ENOENT, EBUSY, EACCES, EIO).
int OpenErrnoOf(DWORD error);
// The errno of a port gone with Windows error `error` (ENODEV, EIO); 0 when the error does
// not mean the device is gone.
int LostErrnoOf(DWORD error);
