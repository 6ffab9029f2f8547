#pragma once
// The frame on the wire: address, length byte L, status, command, data, then the check
// byte over bytes 1..L. The command codes, the size limit, and the building and hex text
// of frames shared by the link, the simulator, the benchmarks and the tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Frame commands and the accepted reply status.
constexpr uint8_t CMD_PING = 0x01;
constexpr uint8_t CMD_IDENTIFY = 0x0D;
constexpr uint8_t CMD_READ_PARAM = 0x3F;
constexpr uint8_t CMD_WRITE_PARAM = 0x3D;
constexpr uint8_t REPLY_ACCEPTED = 0x3E;

// Largest frame on the wire, check byte included.
constexpr size_t MaxFrameSize = 255;

// `bytes` (bytes 1..L of a frame, L as given) with their check byte appended.
std::vector<uint8_t> WithCheckByte(std::vector<uint8_t> bytes);
// A whole frame from `body`: its length byte (byte 2) set to the body's size, then the
// check byte appended. `body` holds at least two bytes.
std::vector<uint8_t> BuildFrame(std::vector<uint8_t> body);
// The bytes as upper-case hex pairs separated by single spaces ("01 06 00"); empty for none.
std::string HexText(const uint8_t *bytes, size_t count);
