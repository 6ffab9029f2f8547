#pragma once
// Text of a parameter value in the grid's value column: the editor's fixed-point text, so that
// a cell and the editor over it show the same digits.

#include <QChar>
#include <QString>

#include <cstdint>

// Raw `value` divided by `divisor` with `decimalMark`, as the editor shows it (FixedPointText):
// exact, or rounded to 15 significant digits, no grouping, never in exponent form, no fraction
// for whole numbers (125 / 10 -> "12,5"). A divisor of 0 or below counts as 1.
QString FormatParamValue(int32_t value, int32_t divisor, QChar decimalMark);
// The decimal mark of the default locale.
QChar LocaleDecimalMark();
