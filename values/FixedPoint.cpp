#include "values/FixedPoint.h"

#include <algorithm>

namespace {

// Where a product saturates: far beyond 32 bits, far below the limits of 64.
constexpr int64_t Saturated = int64_t{1} << 40;
// Where a written exponent saturates: no text is long enough for its digits to make up for
// more.
constexpr int64_t MaxExponent = int64_t{1} << 50;

uint64_t DivisorOf(int64_t divisor)
{
    return divisor <= 0 ? 1 : static_cast<uint64_t>(std::min<int64_t>(divisor, UINT32_MAX));
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Adds one unit in the last place of the decimal digits `whole` "." `fraction`.
void RoundUp(uint64_t &whole, std::string &fraction)
{
    for (auto digit = fraction.rbegin(); digit != fraction.rend(); ++digit) {
        if (*digit != '9') {
            ++*digit;
            return;
        }
        *digit = '0';
    }
    ++whole;
}

// Reads `text` as `grammar` allows into `decimal`; false when it is no such number.
bool ParseDecimal(std::string_view text, const TDecimalGrammar &grammar, TDecimal &decimal)
{
    size_t i = 0;
    const size_t length = text.size();
    const auto skipSpaces = [&]() {
        while (grammar.Spaces && i < length && text[i] == ' ')
            ++i;
    };
    skipSpaces();
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string digits;
    size_t fractionDigits = 0;
    while (i < length && IsDigit(text[i]))
        digits += text[i++];
    bool mark = false;
    if (i < length && grammar.Marks.find(text[i]) != std::string_view::npos) {
        mark = true;
        ++i;
        for (; i < length && IsDigit(text[i]); ++i, ++fractionDigits)
            digits += text[i];
    }
    if (digits.empty() && !(mark && grammar.LoneMark))
        return false;

    int64_t exponent = 0;
    if (grammar.Exponent && i < length && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < length && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i >= length || !IsDigit(text[i]))
            return false;
        for (; i < length && IsDigit(text[i]); ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), MaxExponent);
        if (negativeExponent)
            exponent = -exponent;
    }
    skipSpaces();
    if (i != length)
        return false;

    exponent -= static_cast<int64_t>(fractionDigits);
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        decimal = {};
        return true;
    }
    const size_t last = digits.find_last_not_of('0');
    exponent += static_cast<int64_t>(digits.size() - 1 - last);
    decimal = {negative, digits.substr(first, last - first + 1), exponent};
    return true;
}

// Places |decimal| × divisor: `whole` below it (up to Saturated) and the rest above.
void Scale(const TDecimal &decimal, uint64_t divisor, uint64_t &whole, TFraction &fraction)
{
    whole = 0;
    fraction = TFraction::None;
    if (decimal.Digits.empty())
        return;
    // The power of ten of the first digit decides "too large" and "less than one half"
    // before any digits are laid out.
    const int64_t lead = static_cast<int64_t>(decimal.Digits.size()) - 1 + decimal.Exponent;
    if (lead >= 11) { // at least 10^11, more than any 32-bit product
        whole = Saturated;
        return;
    }
    if (lead < -11) { // below 10^-11: times a divisor below 2^32, less than 0.05
        fraction = TFraction::BelowHalf;
        return;
    }
    std::string integer, rest;
    if (decimal.Exponent >= 0) {
        integer = decimal.Digits + std::string(static_cast<size_t>(decimal.Exponent), '0');
    } else {
        const int64_t split = static_cast<int64_t>(decimal.Digits.size()) + decimal.Exponent;
        if (split > 0) {
            integer = decimal.Digits.substr(0, static_cast<size_t>(split));
            rest = decimal.Digits.substr(static_cast<size_t>(split));
        } else {
            rest = std::string(static_cast<size_t>(-split), '0') + decimal.Digits;
        }
    }
    uint64_t integerValue = 0;
    for (char digit : integer)
        integerValue = integerValue * 10 + static_cast<uint64_t>(digit - '0');
    if (integerValue > (uint64_t{1} << 31)) { // already beyond 32 bits before the divisor
        whole = Saturated;
        return;
    }
    // The fraction times the divisor, digit by digit from the right: what carries over the
    // point is whole, the digits left behind are the new fraction (most significant last).
    uint64_t carry = 0;
    std::string product;
    for (auto digit = rest.rbegin(); digit != rest.rend(); ++digit) {
        const uint64_t step = static_cast<uint64_t>(*digit - '0') * divisor + carry;
        product += static_cast<char>('0' + step % 10);
        carry = step / 10;
    }
    whole = std::min<uint64_t>(integerValue * divisor + carry, Saturated);
    if (product.find_first_not_of('0') == std::string::npos)
        return;
    const char first = product.back(); // the first digit after the point
    if (first == '5')
        fraction = product.find_first_not_of('0') == product.size() - 1 ? TFraction::Half
                                                                        : TFraction::AboveHalf;
    else
        fraction = first < '5' ? TFraction::BelowHalf : TFraction::AboveHalf;
}

} // namespace

std::string FormatFixedPoint(int32_t raw, int64_t divisor, char mark)
{
    const uint64_t unit = DivisorOf(divisor);
    const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : uint64_t(raw);
    uint64_t whole = magnitude / unit;
    uint64_t rest = magnitude % unit;
    // Long division, one fraction digit at a time, until the quotient ends or has its
    // significant digits; a 32-bit raw value leaves at most 10 of them to the whole part.
    int significant = whole == 0 ? 0 : static_cast<int>(std::to_string(whole).size());
    std::string fraction;
    while (rest != 0 && significant < FixedPointDigits) {
        rest *= 10;
        fraction += static_cast<char>('0' + rest / unit);
        rest %= unit;
        if (significant > 0 || fraction.back() != '0')
            ++significant;
    }
    // What is left decides the rounding: above one half up, exactly one half to even.
    if (rest != 0 && (2 * rest > unit || (2 * rest == unit && (fraction.back() - '0') % 2 == 1)))
        RoundUp(whole, fraction);
    fraction.erase(fraction.find_last_not_of('0') + 1);

    std::string text = raw < 0 ? "-" : "";
    text += std::to_string(whole);
    if (!fraction.empty())
        text += mark + fraction;
    return text;
}

int64_t TFixedPointReading::Nearest() const
{
    const bool up = Fraction == TFraction::AboveHalf || (Fraction == TFraction::Half && Floor % 2);
    return up ? Floor + 1 : Floor;
}

TFixedPointReading ReadFixedPoint(std::string_view text, int64_t divisor,
                                  const TDecimalGrammar &grammar)
{
    TFixedPointReading reading;
    if (!ParseDecimal(text, grammar, reading.Decimal))
        return reading;
    reading.Number = true;
    uint64_t whole = 0;
    TFraction fraction = TFraction::None;
    Scale(reading.Decimal, DivisorOf(divisor), whole, fraction);
    if (!reading.Decimal.Negative) {
        reading.Floor = static_cast<int64_t>(whole);
        reading.Fraction = fraction;
        return reading;
    }
    // -(w + f) lies f' = 1 - f above -(w + 1).
    reading.Floor = -static_cast<int64_t>(whole) - (fraction == TFraction::None ? 0 : 1);
    reading.Fraction = fraction == TFraction::BelowHalf   ? TFraction::AboveHalf
                       : fraction == TFraction::AboveHalf ? TFraction::BelowHalf
                                                          : fraction;
    return reading;
}

bool NamesRaw(const TFixedPointReading &reading, int32_t raw, int64_t divisor)
{
    if (!reading.Number)
        return false;
    if (reading.Exact() && reading.Floor == raw)
        return true;
    return ReadFixedPoint(FormatFixedPoint(raw, divisor), divisor).Decimal == reading.Decimal;
}
