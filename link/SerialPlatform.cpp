#include "SerialPlatform.h"

#include "SystemSerial.h"

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
