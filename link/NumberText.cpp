#include "link/NumberText.h"

namespace {

// The digit's value in `base` (10 or 16), or -1 when it is no digit of it.
int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

bool ParseNumber(std::string_view text, int64_t minimum, int64_t maximum, int64_t &value,
                 TNumberForm form)
{
    bool negative = false;
    int base = 10;
    if (form == TNumberForm::SignedDecimal) {
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            negative = text[0] == '-';
            text.remove_prefix(1);
        }
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    // Any magnitude beyond 2^63 is out of every int64_t range; stopping there keeps the
    // sum from wrapping, so a long run of digits never comes back as a small number.
    constexpr uint64_t Largest = uint64_t(1) << 63;
    uint64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return false;
        }
        if (magnitude > (Largest - static_cast<uint64_t>(digit)) / base) {
            return false;
        }
        magnitude = magnitude * base + static_cast<uint64_t>(digit);
    }
    if (!negative && magnitude == Largest) {
        return false;
    }
    const int64_t number =
        negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    if (number < minimum || number > maximum) {
        return false;
    }
    value = number;
    return true;
}
