#include "ui/UValueText.h"

#include "controls/UDivisorSpinEdit.h"

#include <QLocale>

QString FormatParamValue(int32_t value, int32_t divisor, QChar decimalMark)
{
    return FixedPointText(value, divisor, decimalMark);
}

QChar LocaleDecimalMark()
{
    const QString mark = QLocale().decimalPoint();
    return mark.isEmpty() ? QLatin1Char('.') : mark.at(0);
}
