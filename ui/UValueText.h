#pragma once
// Text of a parameter value in the grid's value column.

#include <QChar>
#include <QString>

#include <cstdint>

// Raw `value` divided by `divisor` as the shortest text of up to 15 significant digits, with
// `decimalMark`, no digit grouping and no fraction for whole numbers (125 / 10 -> "12,5").
// A divisor of 0 or below counts as 1. Very small or very large quotients use the exponent form
// "1,5E-7".
QString FormatParamValue(int32_t value, int32_t divisor, QChar decimalMark);
// The decimal mark of the default locale.
QChar LocaleDecimalMark();
