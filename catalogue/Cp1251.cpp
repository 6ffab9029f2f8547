// Windows-1251 <-> UTF-8: the catalogue file is Windows-1251, the display is Unicode.

#include "catalogue/DeviceCatalogue.h"

#include <cstdint>

namespace {

// Code points of the bytes 0x80..0xBF; 0 marks the one byte that has no character (0x98).
constexpr char32_t HighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char32_t ToUnicode(unsigned char byte)
{
    if (byte < 0x80) {
        return byte;
    }
    if (byte >= 0xC0) {
        return 0x0410 + (byte - 0xC0); // А..я in alphabetical order
    }
    const char32_t cp = HighHalf[byte - 0x80];
    return cp ? cp : 0xFFFD;
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char FromUnicode(char32_t cp)
{
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<char>(0xC0 + (cp - 0x0410));
    }
    for (int i = 0; i < 64; ++i) {
        if (HighHalf[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::string Cp1251ToUtf8(const std::string &text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        AppendUtf8(out, ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Utf8ToCp1251(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i++]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        // Only the shortest form of a character is read as that character: an overlong form
        // ("C0 BC" for '<', "E0 80 80" for NUL) would let markup or a NUL slip past a check
        // made on the UTF-8 text. Surrogates and anything beyond U+10FFFF are no characters
        // either. Each such byte, and each stray continuation byte, becomes '?', as a
        // character without a Windows-1251 form does.
        int extra = 0;
        char32_t cp = 0;
        unsigned char low = 0x80; // range of the byte after the lead byte
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            out.push_back('?'); // C0, C1, F5..FF or a continuation byte without a lead
            continue;
        }
        bool valid = true;
        for (int k = 0; k < extra; ++k) {
            const auto next = i < n ? static_cast<unsigned char>(text[i]) : 0;
            if (i >= n || next < (k == 0 ? low : 0x80) || next > (k == 0 ? high : 0xBF)) {
                valid = false; // the byte that breaks the sequence is read again on its own
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
            ++i;
        }
        out.push_back(valid ? FromUnicode(cp) : '?');
    }
    return out;
}
