#pragma once
// The check byte of every frame: a table-driven CRC-8.

#include <cstddef>
#include <cstdint>

// The check byte table: CRC-8 of x^8+x^5+x^4+1 (reflected 0x8C), except entry 0xF9 = 0xFC.
extern const uint8_t Crc8Table[256];
// Check byte over the first `count` bytes.
uint8_t Crc8(const uint8_t *bytes, size_t count);
