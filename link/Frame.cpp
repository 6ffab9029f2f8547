#include "link/Frame.h"

#include "link/Crc8.h"

std::vector<uint8_t> WithCheckByte(std::vector<uint8_t> bytes)
{
    bytes.push_back(Crc8(bytes.data(), bytes.size()));
    return bytes;
}

std::vector<uint8_t> BuildFrame(std::vector<uint8_t> body)
{
    body[1] = static_cast<uint8_t>(body.size());
    return WithCheckByte(std::move(body));
}

std::string HexText(const uint8_t *bytes, size_t count)
{
    static const char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0x0F];
    }
    return text;
}
