#pragma once
// Fixed-point text: a raw value divided by its divisor written as a decimal number, and such a
// number read back against a divisor. The editor, the grid's cells, linvar-cli and the
// parameter-set files all show values through here, so they agree to the last digit. Integer
// arithmetic only: exact for every 32-bit raw value and divisor, never in exponent form, and
// independent of the C locale.

#include <cstdint>
#include <string>
#include <string_view>

// Significant digits of a quotient whose decimal form does not end sooner. Fewer than a
// 32-bit raw value would need to collide: two raw values never show the same text.
constexpr int FixedPointDigits = 15;

// raw ÷ divisor as decimal text with `mark`: exact when it ends within FixedPointDigits
// significant digits, otherwise rounded half to even to that many ("0.333333333333333"). No
// exponent, grouping or "+", no mark for a whole number, "0" for zero. A divisor of 0 or below
// counts as 1, one above 4294967295 as 4294967295.
std::string FormatFixedPoint(int32_t raw, int64_t divisor, char mark = '.');

// What a decimal text may hold besides an optional sign, digits and at most one decimal mark.
struct TDecimalGrammar
{
    std::string_view Marks = ".,"; // the characters read as the decimal mark
    bool Exponent = false;         // an exponent after the digits: "1,5E-3", "2e1"
    bool Spaces = false;           // blanks (' ') before and after the number
    bool LoneMark = false;         // a mark without digits (",", "-.") reads as 0
};

// A decimal number as written, reduced: Digits without leading or trailing zeros, times ten
// to the Exponent. Zero has no digits.
struct TDecimal
{
    bool Negative = false;
    std::string Digits;
    int64_t Exponent = 0;

    // Whether both are the same number, however it was written.
    bool operator==(const TDecimal &) const = default;
};

// Where number × divisor lies above the whole number below it.
enum class TFraction
{
    None,      // nothing: the product is a whole number
    BelowHalf, // less than one half
    Half,      // exactly one half
    AboveHalf  // more than one half
};

// A decimal text read against a divisor.
struct TFixedPointReading
{
    bool Number = false; // false: the text is no number of the grammar; the rest is 0
    TDecimal Decimal;    // the number as written
    // The largest whole number not above number × divisor; beyond ±2^40 it stays at ±2^40,
    // far outside 32 bits, so that a limit check still tells its side.
    int64_t Floor = 0;
    TFraction Fraction = TFraction::None; // the rest of number × divisor above Floor

    // Whether number × divisor is the whole number Floor.
    bool Exact() const { return Fraction == TFraction::None; }
    // The whole number nearest to number × divisor, halves to the even neighbour.
    int64_t Nearest() const;
};

// Reads the whole of `text` as a decimal number of `grammar` and places it times `divisor`
// (0 or below counts as 1, above 4294967295 as 4294967295) between whole numbers, exactly.
// Reads everything FormatFixedPoint writes with a mark in grammar.Marks.
TFixedPointReading ReadFixedPoint(std::string_view text, int64_t divisor,
                                  const TDecimalGrammar &grammar = {});

// Whether `reading` names the raw value `raw` at `divisor`: it is raw ÷ divisor exactly, or
// the number FormatFixedPoint shows for it (1/3 as 0.333333333333333). Nothing else is taken
// for a raw value, so nothing is rounded to a value the operator did not give.
bool NamesRaw(const TFixedPointReading &reading, int32_t raw, int64_t divisor);
