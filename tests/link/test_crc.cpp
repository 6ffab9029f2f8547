#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/Crc8.h"
#include "link/SendRequest.h"

namespace {

uint8_t PublishedEntry(unsigned i)
{
    unsigned c = i;
    for (int bit = 0; bit < 8; ++bit) {
        c = (c & 1) ? (c >> 1) ^ 0x8C : c >> 1;
    }
    return static_cast<uint8_t>(c);
}

uint8_t CrcOf(const std::vector<uint8_t> &bytes)
{
    return Crc8(bytes.data(), bytes.size());
}

} // namespace

TEST(Crc8, TableDiffersFromPublishedOnlyAtF9)
{
    for (unsigned i = 0; i < 256; ++i) {
        if (i == 0xF9) {
            EXPECT_EQ(Crc8Table[i], 0xFC);
            EXPECT_EQ(PublishedEntry(i), 0xE8);
        } else {
            EXPECT_EQ(Crc8Table[i], PublishedEntry(i)) << "entry " << i;
        }
    }
    const uint8_t first[] = {0x00, 0x5E, 0xBC, 0xE2, 0x61, 0x3F, 0xDD, 0x83};
    EXPECT_EQ(std::memcmp(Crc8Table, first, sizeof first), 0);
}

TEST(Crc8, KnownVectors)
{
    const char *digits = "123456789";
    EXPECT_EQ(Crc8(reinterpret_cast<const uint8_t *>(digits), 9), 0xA1);
    EXPECT_EQ(CrcOf({0xF9}), 0xFC);
    EXPECT_EQ(CrcOf({}), 0x00);

    struct TCase
    {
        std::vector<uint8_t> Frame;
        uint8_t Check;
    };
    const TCase cases[] = {
        {{0x01, 0x06, 0x00, 0x01, 0x00, 0x00}, 0x00}, // ping to 1
        {{0x7F, 0x06, 0x00, 0x01, 0x00, 0x00}, 0x8B}, // ping to 127
        {{0x5D, 0x06, 0x00, 0x0D, 0x00, 0x00}, 0xFC}, // identify 93: passes entry 0xF9
        {{0x3D, 0x06, 0x00, 0x0D, 0x00, 0x00}, 0xD7}, // identify 61
        {{0x05, 0x05, 0x00, 0x12, 0x6F}, 0x0A},       // identify reply, L = 5
        {{0x05, 0x06, 0x00, 0x12, 0x6F, 0x01}, 0x6E}, // identify reply, L = 6
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(CrcOf(c.Frame), c.Check);
    }
}

TEST(Crc8, CharacterTime)
{
    EXPECT_EQ(CharacterTimeUs(9600, 0), 1041);
    EXPECT_EQ(CharacterTimeUs(9600, 1), 1094);
    EXPECT_EQ(CharacterTimeUs(9600, 2), 1146);
    // A line speed the formula cannot serve must not divide by zero.
    EXPECT_GT(CharacterTimeUs(0, 0), 0);
}
