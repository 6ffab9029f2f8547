#include "ui/UValueText.h"

#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <string>

QString FormatParamValue(int32_t value, int32_t divisor, QChar decimalMark)
{
    const double quotient = static_cast<double>(value) / (divisor > 0 ? divisor : 1);
    if (quotient == 0)
        return QStringLiteral("0");

    // 15 significant digits, correctly rounded, then laid out by hand.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", quotient);
    std::string text(buffer);
    const bool negative = text[0] == '-';
    if (negative)
        text.erase(0, 1);
    const size_t e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    if (exponent < -5 || exponent >= 15) {
        out = digits.substr(0, 1);
        if (digits.size() > 1)
            out += '.' + digits.substr(1);
        out += 'E' + std::to_string(exponent);
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out = digits + std::string(whole - digits.size(), '0');
        } else {
            out = digits.substr(0, whole) + '.' + digits.substr(whole);
        }
    }
    QString result = QString::fromLatin1(out.c_str());
    result.replace(QLatin1Char('.'), decimalMark);
    return negative ? QLatin1Char('-') + result : result;
}

QChar LocaleDecimalMark()
{
    const QString mark = QLocale().decimalPoint();
    return mark.isEmpty() ? QLatin1Char('.') : mark.at(0);
}
