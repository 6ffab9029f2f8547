#pragma once
// The translations between the link's types and the Windows serial driver's, free functions
// so they are tested without a port; the platform itself is TSystemSerialPlatform.

#include "link/WindowsApi.h"

#include "link/SerialPlatform.h"

// The line format as the driver reports it in `dcb`.
TLineSettings LineSettingsOfDcb(const DCB &dcb);
// `dcb` (as the driver reported it) with the link's fields set from `settings`; every other
// field keeps the driver's value.
DCB DcbWithLineSettings(const DCB &dcb, const TLineSettings &settings);
// The driver's time-outs that give the link's read model.
COMMTIMEOUTS CommTimeoutsOf(const TSerialTimeouts &timeouts);
// The link's time-outs that the driver's stand for.
TSerialTimeouts TimeoutsOfComm(const COMMTIMEOUTS &timeouts);
// The errno that a failed opening's Windows error stands for (ENOENT, EBUSY, EIO).
int OpenErrnoOf(DWORD error);
// The errno of a port gone with Windows error `error` (ENODEV, EIO); 0 when the error does
// not mean the device is gone.
int LostErrnoOf(DWORD error);
