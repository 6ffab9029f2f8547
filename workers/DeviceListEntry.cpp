#include "workers/DeviceListEntry.h"

#include "catalogue/DeviceCatalogue.h"

DeviceListEntry DeviceListEntry::FromDeviceFound(uint32_t wParam, uint32_t lParam)
{
    const auto address = static_cast<uint8_t>((wParam >> 8) & 0xFF);
    const auto type = static_cast<uint8_t>(wParam & 0xFF);
    const auto version = static_cast<uint16_t>(lParam & 0xFFFF);

    DeviceListEntry entry;
    entry.Tag = MakeDeviceTag(address, type, version);
    entry.Text = Utf8ToCp1251("Адрес: ") + std::to_string(address) + Utf8ToCp1251(" Тип: ") +
                 TypeName(type) + Utf8ToCp1251(", версия: ") + FormatVersion(version);
    return entry;
}

std::string DeviceListEntry::TextUtf8() const
{
    return Cp1251ToUtf8(Text);
}

uint32_t MakeDeviceTag(uint8_t address, uint8_t type, uint16_t version)
{
    return static_cast<uint32_t>(version) << 16 | static_cast<uint32_t>(address) << 8 | type;
}

void DecodeDeviceTag(uint32_t tag, uint8_t &address, uint8_t &type, uint16_t &version)
{
    address = static_cast<uint8_t>((tag >> 8) & 0xFF);
    type = static_cast<uint8_t>(tag & 0xFF);
    version = static_cast<uint16_t>(tag >> 16);
}
