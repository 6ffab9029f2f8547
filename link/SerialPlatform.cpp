#include "link/SerialPlatform.h"

#include "link/SystemSerial.h"

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
