// Fixed-point text: the texts pinned where rounding and layout matter, a sweep over raw values
// and divisors checking every text against the exact quotient and reading it back, and the
// reader's refusal of anything that names no raw value.

#include "values/FixedPoint.h"
#include "values/ValueText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace {

// The value of a text FormatFixedPoint wrote with a point, computed apart from the code under
// test: whole part plus fraction digits over a power of ten, both exact in long double.
long double TextValue(const std::string &text)
{
    const bool negative = text[0] == '-';
    const size_t point = text.find('.');
    const std::string whole = text.substr(negative ? 1 : 0, point - (negative ? 1 : 0));
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    long double value = std::stoull(whole);
    if (!fraction.empty())
        value += std::stoull(fraction) / std::pow(10.0L, static_cast<int>(fraction.size()));
    return negative ? -value : value;
}

// Significant digits of a text FormatFixedPoint wrote.
size_t SignificantDigits(const std::string &text)
{
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    const size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? 0 : digits.size() - first;
}

} // namespace

TEST(FixedPointTest, TextsWhereRoundingAndLayoutMatter)
{
    const struct
    {
        int32_t Raw;
        int64_t Divisor;
        char Mark;
        const char *Text;
    } cases[] = {
        {125, 10, ',', "12,5"},
        {-3, 8, '.', "-0.375"},
        {0, 7, '.', "0"},
        {1, 3, '.', "0.333333333333333"},
        {-2, 3, '.', "-0.666666666666667"},
        {93, 11, '.', "8.45454545454545"}, // the editor and the cell once differed here
        {7, 2000000, '.', "0.0000035"},    // once "3.5e-06", which the reader refused
        {1, 4294967295, ',', "0,00000000023283064370808"},
        {INT_MAX, 4294967295, '.', "0.499999999883585"},
        {INT_MIN, 3, '.', "-715827882.666667"},
        {INT_MIN, 1, '.', "-2147483648"},
        // Sixteen digits ending in an exact half: to the even neighbour.
        {123456789, 1024, '.', "120563.270507812"},
        {123456791, 1024, '.', "120563.272460938"},
        // No divisor to scale by: the raw value.
        {42, 0, '.', "42"},
        {42, -5, '.', "42"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatFixedPoint(c.Raw, c.Divisor, c.Mark), c.Text)
            << c.Raw << " / " << c.Divisor;
}

TEST(FixedPointTest, EveryTextIsTheRoundedQuotientAndReadsBack)
{
    std::vector<int32_t> raws;
    for (int32_t raw = -70000; raw <= 70000; raw += raw > -1000 && raw < 1000 ? 1 : 97)
        raws.push_back(raw);
    for (int32_t raw : {INT_MIN, INT_MIN + 1, INT_MAX - 1, INT_MAX, 65535, 123456789})
        raws.push_back(raw);
    std::vector<int64_t> divisors;
    for (int64_t divisor = 1; divisor <= 70; ++divisor)
        divisors.push_back(divisor);
    for (int64_t divisor : std::initializer_list<int64_t>{1024, 65536, 100000, 1000000, 2000000,
                                                          999999937, 4294967295})
        divisors.push_back(divisor);

    TDecimalGrammar editor;
    editor.Marks = ",";
    editor.Exponent = true;
    editor.Spaces = true;
    for (int64_t divisor : divisors) {
        for (int32_t raw : raws) {
            const std::string text = FormatFixedPoint(raw, divisor);
            const long double exact = static_cast<long double>(raw) / divisor;
            // Within half a unit of the fifteenth significant digit (and a few units of long
            // double's last place), no more digits than that, and never an exponent.
            const long double unit =
                exact == 0 ? 0 : std::pow(10.0L, std::floor(std::log10(std::fabs(exact))) - 14);
            const bool close =
                std::fabs(TextValue(text) - exact) <= unit / 2 + std::fabs(exact) * 1e-17L;
            const TFixedPointReading read = ReadFixedPoint(text, divisor);
            std::string comma = text;
            if (const size_t point = comma.find('.'); point != std::string::npos)
                comma[point] = ',';
            const TFixedPointReading typed = ReadFixedPoint(comma, divisor, editor);
            if (!close || SignificantDigits(text) > FixedPointDigits ||
                text.find_first_of("eE") != std::string::npos || !NamesRaw(read, raw, divisor) ||
                read.Nearest() != raw || typed.Nearest() != raw ||
                (raw != 0 && raw != INT32_MIN && NamesRaw(read, raw - 1, divisor))) {
                ADD_FAILURE() << raw << " / " << divisor << " shown as " << text;
                return;
            }
        }
    }
}

TEST(FixedPointTest, ReaderPlacesTheNumberExactly)
{
    const struct
    {
        const char *Text;
        int64_t Divisor;
        int64_t Floor;
        TFraction Fraction;
    } cases[] = {
        {"12.5", 10, 125, TFraction::None},
        {"1,25", 2, 2, TFraction::Half},
        {"-1.25", 2, -3, TFraction::Half},
        {"-0.05", 10, -1, TFraction::Half},
        {"0.333333333333333", 3, 0, TFraction::AboveHalf},
        {"-0.333333333333333", 3, -1, TFraction::BelowHalf},
        {"9.65", 10, 96, TFraction::Half},
        {"9.6500000000000000000001", 10, 96, TFraction::AboveHalf},
        {"000000000000000000000000000042.000", 1, 42, TFraction::None},
        {"0.00000000000000000000001", 4294967295, 0, TFraction::BelowHalf},
        {"2147483648", 1, 2147483648, TFraction::None},
        {"99999999999999999999999", 1, int64_t{1} << 40, TFraction::None},
        {"-99999999999999999999999", 7, -(int64_t{1} << 40), TFraction::None},
        {".5", 1, 0, TFraction::Half},
        {"-0", 1, 0, TFraction::None},
    };
    for (const auto &c : cases) {
        const TFixedPointReading reading = ReadFixedPoint(c.Text, c.Divisor);
        EXPECT_TRUE(reading.Number) << c.Text;
        EXPECT_EQ(reading.Floor, c.Floor) << c.Text;
        EXPECT_EQ(reading.Fraction, c.Fraction) << c.Text;
    }
    // Halves go to the even neighbour, on both sides of zero.
    EXPECT_EQ(ReadFixedPoint("2.5", 1).Nearest(), 2);
    EXPECT_EQ(ReadFixedPoint("3.5", 1).Nearest(), 4);
    EXPECT_EQ(ReadFixedPoint("-2.5", 1).Nearest(), -2);
    EXPECT_EQ(ReadFixedPoint("-3.5", 1).Nearest(), -4);

    // Without the grammar's extras, only sign, digits and one mark.
    for (const char *text : {"", "-", "+", ".", "-,", "1e3", " 1", "1 ", "1.2.3", "1,5.", "0x10",
                             "1-", "++1", "\t1", "1'000"})
        EXPECT_FALSE(ReadFixedPoint(text, 10).Number) << text;
    TDecimalGrammar all;
    all.Exponent = all.Spaces = all.LoneMark = true;
    EXPECT_EQ(ReadFixedPoint(" -, ", 1, all).Floor, 0);
    EXPECT_EQ(ReadFixedPoint("15e-1", 2, all).Floor, 3);
    EXPECT_EQ(ReadFixedPoint("1e-99999999999999999999", 1, all).Fraction, TFraction::BelowHalf);
    EXPECT_EQ(ReadFixedPoint("0e99999999999999999999", 1, all).Floor, 0);
    EXPECT_EQ(ReadFixedPoint("1e99999999999999999999", 1, all).Floor, int64_t{1} << 40);
    for (const char *text : {"1e", "e5", "1e+", "1 2", "- 1", "1,5 e2"})
        EXPECT_FALSE(ReadFixedPoint(text, 1, all).Number) << text;
}

TEST(FixedPointTest, ShownValuesNameOnlyTheRawValueTheyShow)
{
    using enum TValueVerdict;
    const struct
    {
        const char *Text;
        int32_t Divisor;
        TValueVerdict Verdict;
        int32_t Raw; // Ok: the raw value; BetweenSteps: the lower neighbour
    } cases[] = {
        {"0.0000035", 2000000, Ok, 7},
        {"0.3333333333333330", 3, Ok, 1}, // the shown number, written longer
        {"0,666666666666667", 3, Ok, 2},
        {"0.3333333333333333", 3, BetweenSteps, 0}, // closer, yet not what is shown
        {"0.33333333333333", 3, BetweenSteps, 0},
        {"8.45454545454545", 11, Ok, 93},
        {"8.45454545454546", 11, BetweenSteps, 93},
        {"99999999999999999999", 10, AboveMaximum, 0},
        {"-0.05", 10, BelowMinimum, 0},
        {"6553.5", 10, Ok, 65535},
        {"6553.50001", 10, AboveMaximum, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        const TValueReading reading = ReadParameterValue(c.Text, c.Divisor, false, 0, 65535);
        EXPECT_EQ(reading.Verdict, c.Verdict);
        EXPECT_EQ(c.Verdict == Ok ? reading.Raw : reading.Lower, c.Raw);
    }
}
