#pragma once
// The frame on the wire: address, length byte L, status, command, data, then the check
// byte over bytes 1..L. The command codes and the size limit.

#include <cstddef>
#include <cstdint>

// Frame commands and the accepted reply status.
constexpr uint8_t CMD_PING = 0x01;
constexpr uint8_t CMD_IDENTIFY = 0x0D;
constexpr uint8_t CMD_READ_PARAM = 0x3F;
constexpr uint8_t CMD_WRITE_PARAM = 0x3D;
constexpr uint8_t REPLY_ACCEPTED = 0x3E;

// Largest frame on the wire, check byte included.
constexpr size_t MaxFrameSize = 255;
