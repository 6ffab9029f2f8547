// The value column's text: the quotient of raw value and divisor with the locale's mark.

#include "ui/UValueText.h"

#include <gtest/gtest.h>

namespace {

struct ValueCase
{
    int32_t Value;
    int32_t Divisor;
    char Mark;
    const char *Text;
};

} // namespace

TEST(ValueText, QuotientWithUpToFifteenDigits)
{
    const ValueCase cases[] = {
        {125, 10, ',', "12,5"},
        {100, 1, ',', "100"},
        {1, 3, ',', "0,333333333333333"},
        {2, 3, ',', "0,666666666666667"},
        {12, 8, ',', "1,5"},
        {12, 8, '.', "1.5"},
        {-3, 8, ',', "-0,375"},
        {0, 7, ',', "0"},
        {1180, 100, ',', "11,8"},
        {65535, 1, ',', "65535"},
        {2147483647, 1, ',', "2147483647"},
        {-2147483647 - 1, 1, ',', "-2147483648"},
        {1, 100000, ',', "0,00001"},
        {1, 1000000, ',', "1E-6"},
        {15, 100000000, ',', "1,5E-7"},
        {7, 1000, ',', "0,007"},
        // A divisor of 0 or below cannot scale: the raw value is shown.
        {42, 0, ',', "42"},
        {42, -5, ',', "42"},
    };
    for (const ValueCase &c : cases)
        EXPECT_EQ(FormatParamValue(c.Value, c.Divisor, QLatin1Char(c.Mark)).toStdString(), c.Text)
            << c.Value << " / " << c.Divisor;
}
