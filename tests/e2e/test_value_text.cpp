// The value column's text: the quotient of raw value and divisor with the locale's mark, the
// same text the editor over the cell shows.

#include "controls/UDivisorSpinEdit.h"
#include "ui/UValueText.h"

#include <gtest/gtest.h>

#include <initializer_list>

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
        {1, 1000000, ',', "0,000001"},
        {15, 100000000, ',', "0,00000015"},
        {93, 11, ',', "8,45454545454545"},
        {7, 1000, ',', "0,007"},
        // A divisor of 0 or below cannot scale: the raw value is shown.
        {42, 0, ',', "42"},
        {42, -5, ',', "42"},
    };
    for (const ValueCase &c : cases)
        EXPECT_EQ(FormatParamValue(c.Value, c.Divisor, QLatin1Char(c.Mark)).toStdString(), c.Text)
            << c.Value << " / " << c.Divisor;
}

TEST(ValueText, TheEditorShowsWhatTheCellShows)
{
    // Once the editor rounded in long double and the cell in double: 178 of 1.4 million values
    // at divisors 3 to 70 ended in another digit (8,45454545454545 over 8,45454545454546).
    TDivisorSpinEdit editor;
    const QChar mark = LocaleDecimalMark();
    editor.SetSeparator(mark);
    for (int32_t divisor : {3, 7, 11, 13, 69, 1000000, 2000000}) {
        editor.SetDivisor(static_cast<uint32_t>(divisor));
        for (int32_t raw = -69977; raw <= 70000; raw += 13) { // 93 among them
            editor.SetValue(raw);
            const QString cell = FormatParamValue(raw, divisor, mark);
            if (editor.Text() != cell || editor.GetValue() != raw) {
                ADD_FAILURE() << raw << " / " << divisor << ": editor "
                              << editor.Text().toStdString() << ", cell " << cell.toStdString();
                return;
            }
        }
    }
}
