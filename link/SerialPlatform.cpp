#include "SerialPlatform.h"

#include "PosixSerial.h"

namespace {

ISerialPlatform *InstalledPlatform = nullptr;

} // namespace

ISerialPlatform &SerialPlatform()
{
    static TPosixSerialPlatform posix;
    return InstalledPlatform != nullptr ? *InstalledPlatform : posix;
}

void SetSerialPlatform(ISerialPlatform *platform)
{
    InstalledPlatform = platform;
}
