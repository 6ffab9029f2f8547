#pragma once
// One entry of the device list: the text shown for a device found and its 32-bit tag, which
// packs the firmware version (bits 16..31), the bus address (bits 8..15) and the type (0..7).

#include <cstdint>
#include <string>

// The text and tag of one device found by the search.
struct DeviceListEntry
{
    std::string Text; // "Адрес: 5 Тип: <name>, версия: 1.11", Windows-1251 like the catalogue
    uint32_t Tag = 0; // version << 16 | address << 8 | type
    // The line speed the device answered at, kept beside the tag; 0: the speed in force.
    uint32_t BaudRate = 0;

    // Entry for the parameters of a WM_DEVICEFOUND (wParam address*256+type, lParam version).
    static DeviceListEntry FromDeviceFound(uint32_t wParam, uint32_t lParam);
    // The entry's text in UTF-8, for display.
    std::string TextUtf8() const;
    // Device type held in the tag.
    uint8_t Type() const { return static_cast<uint8_t>(Tag & 0xFF); }
    // Bus address held in the tag.
    uint8_t Address() const { return static_cast<uint8_t>((Tag >> 8) & 0xFF); }
    // Firmware version held in the tag.
    uint16_t Version() const { return static_cast<uint16_t>(Tag >> 16); }
};

// Tag of a device: version << 16 | address << 8 | type.
uint32_t MakeDeviceTag(uint8_t address, uint8_t type, uint16_t version);
// Splits a tag back into its address, type and version.
void DecodeDeviceTag(uint32_t tag, uint8_t &address, uint8_t &type, uint16_t &version);
