#include "SerialPlatform.h"

#ifdef _WIN32
#include "Win32Serial.h"
using TSystemSerialPlatform = TWin32SerialPlatform;
#else
#include "PosixSerial.h"
using TSystemSerialPlatform = TPosixSerialPlatform;
#endif

namespace {

ISerialPlatform *InstalledPlatform = nullptr;

} // namespace

ISerialPlatform &SerialPlatform()
{
    static TSystemSerialPlatform system;
    return InstalledPlatform != nullptr ? *InstalledPlatform : system;
}

void SetSerialPlatform(ISerialPlatform *platform)
{
    InstalledPlatform = platform;
}
