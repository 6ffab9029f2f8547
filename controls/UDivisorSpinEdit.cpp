#include "controls/UDivisorSpinEdit.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// Characters of the edit text that GetValue reads.
constexpr int ReadLength = 99;
// Significant digits of the canonical text.
constexpr int Precision = 15;

// Rounds to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4),
// whatever the floating-point rounding mode of the thread.
long double RoundHalfEven(long double x)
{
    const long double down = std::floor(x);
    const long double fraction = x - down;
    if (fraction > 0.5L) {
        return down + 1;
    }
    if (fraction < 0.5L) {
        return down;
    }
    return std::fmod(down, 2.0L) == 0 ? down : down + 1;
}

// The full stop and the comma are both decimal marks whatever Separator is, so that a number
// typed with the other mark keeps its value; Separator itself is one too.
bool IsDecimalMark(QChar character, QChar separator)
{
    return character == separator || character == QLatin1Char('.') || character == QLatin1Char(',');
}

} // namespace

QString FixedPointText(std::int32_t value, std::uint32_t divisor, QChar separator)
{
    if (value == 0) {
        return QStringLiteral("0");
    }
    const long double quotient =
        static_cast<long double>(value) / static_cast<long double>(divisor == 0 ? 1 : divisor);

    // Fifteen significant digits, correctly rounded, independent of the C locale: "d.dddde±x".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(quotient),
                                      std::chars_format::scientific, Precision - 1);
    const std::string scientific(buffer, result.ptr);
    const std::size_t exponentAt = scientific.find('e');
    const int exponent = std::atoi(scientific.c_str() + exponentAt + 1);
    std::string digits;
    for (std::size_t i = 0; i < exponentAt; ++i) {
        if (scientific[i] != '.') {
            digits += scientific[i];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    QString text;
    if (quotient < 0) {
        text += QLatin1Char('-');
    }
    if (exponent < -5 || exponent >= Precision) {
        text += QLatin1Char(digits[0]);
        if (digits.size() > 1) {
            text += separator;
            text += QString::fromLatin1(digits.data() + 1, digits.size() - 1);
        }
        text += QLatin1Char('E');
        text += QString::number(exponent);
    } else if (exponent >= 0) {
        const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += QString::fromLatin1(digits.data(), digits.size());
            text += QString(integerDigits - digits.size(), QLatin1Char('0'));
        } else {
            text += QString::fromLatin1(digits.data(), integerDigits);
            text += separator;
            text +=
                QString::fromLatin1(digits.data() + integerDigits, digits.size() - integerDigits);
        }
    } else {
        text += QLatin1Char('0');
        text += separator;
        text += QString(-exponent - 1, QLatin1Char('0'));
        text += QString::fromLatin1(digits.data(), digits.size());
    }
    return text;
}

std::optional<std::int32_t> FixedPointValue(const QString &text, std::uint32_t divisor,
                                            QChar separator, bool loneMarkIsZero)
{
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    bool negative = false;
    if (i < length && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    // Mantissa: digits, at most one decimal mark, more digits.
    std::string integer;
    std::string fraction;
    bool hasMark = false;
    while (i < length && isDigit(text[i])) {
        integer += static_cast<char>(text[i].unicode());
        ++i;
    }
    if (i < length && IsDecimalMark(text[i], separator)) {
        hasMark = true;
        ++i;
        while (i < length && isDigit(text[i])) {
            fraction += static_cast<char>(text[i].unicode());
            ++i;
        }
    }
    if (integer.empty() && fraction.empty() && !(hasMark && loneMarkIsZero)) {
        return std::nullopt;
    }

    // Exponent: E or e, an optional sign, at least one digit. It saturates far beyond anything
    // that can still give a 32-bit result.
    long exponent = 0;
    if (i < length && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        ++i;
        bool negativeExponent = false;
        if (i < length && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            negativeExponent = text[i] == QLatin1Char('-');
            ++i;
        }
        if (i >= length || !isDigit(text[i])) {
            return std::nullopt;
        }
        while (i < length && isDigit(text[i])) {
            exponent = std::min(exponent * 10 + (text[i].unicode() - '0'), 1000000L);
            ++i;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    while (i < length && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    if (i != length) {
        return std::nullopt;
    }

    // The decimal position of the first significant digit decides between "too large", "rounds
    // to zero" and a number that long double holds without overflow or underflow.
    const std::size_t firstInteger = integer.find_first_not_of('0');
    const std::size_t firstFraction = fraction.find_first_not_of('0');
    if (firstInteger == std::string::npos && firstFraction == std::string::npos) {
        return 0;
    }
    const long leading = firstInteger != std::string::npos
                             ? static_cast<long>(integer.size() - firstInteger) - 1
                             : -static_cast<long>(firstFraction) - 1;
    if (leading + exponent > 20) {
        return std::nullopt;
    }
    if (leading + exponent < -40) {
        return 0;
    }

    const std::string plain = (integer.empty() ? std::string("0") : integer) + "." +
                              (fraction.empty() ? std::string("0") : fraction) + "e" +
                              std::to_string(exponent);
    long double number = 0;
    const auto parsed = std::from_chars(plain.data(), plain.data() + plain.size(), number);
    if (parsed.ec != std::errc()) {
        return std::nullopt;
    }
    if (negative) {
        number = -number;
    }
    const long double rounded = RoundHalfEven(number * static_cast<long double>(divisor));
    if (rounded < -2147483648.0L || rounded > 2147483647.0L) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

TDivisorSpinEdit::TDivisorSpinEdit(QWidget *parent) : TSpinEditBase(parent) {}

std::int32_t TDivisorSpinEdit::GetValue()
{
    const std::optional<std::int32_t> value =
        FixedPointValue(text().left(ReadLength), FDivisor, FSeparator, true);
    if (!value) {
        SetValue(FMinValue);
        return FMinValue;
    }
    return *value;
}

bool TDivisorSpinEdit::TryGetValue(std::int32_t &value) const
{
    // Half-typed texts ("", "-", ",") are no number yet: nothing is read and nothing rewritten.
    const std::optional<std::int32_t> read =
        FixedPointValue(text().left(ReadLength), FDivisor, FSeparator, false);
    if (!read) {
        return false;
    }
    value = *read;
    return true;
}

void TDivisorSpinEdit::SetValue(std::int32_t value)
{
    ReplaceText(FixedPointText(value, FDivisor, FSeparator));
}

void TDivisorSpinEdit::SetDivisor(std::uint32_t value)
{
    if (value != 0) {
        FDivisor = value;
    }
    SetValue(GetValue());
}

void TDivisorSpinEdit::SetMinValue(std::int32_t value)
{
    if (value > FMaxValue) {
        return;
    }
    if (GetValue() < value) {
        SetValue(value);
    }
    FMinValue = value;
}

void TDivisorSpinEdit::SetMaxValue(std::int32_t value)
{
    if (value < FMinValue) {
        return;
    }
    if (GetValue() > value) {
        SetValue(value);
    }
    FMaxValue = value;
}

void TDivisorSpinEdit::SetSeparator(QChar value)
{
    FSeparator = value;
}

void TDivisorSpinEdit::SetText(const QString &value)
{
    ReplaceText(value);
    Clamp(true);
}

std::int32_t TDivisorSpinEdit::StepRead()
{
    return GetValue();
}

void TDivisorSpinEdit::StepWrite(std::int32_t value)
{
    SetValue(value);
}

bool TDivisorSpinEdit::AcceptsCharacter(QChar character) const
{
    return (character >= QLatin1Char('0') && character <= QLatin1Char('9')) ||
           character == QLatin1Char('+') || character == QLatin1Char('-') ||
           IsDecimalMark(character, FSeparator);
}

void TDivisorSpinEdit::AfterPaste()
{
    Clamp(true);
}

void TDivisorSpinEdit::FocusClamp()
{
    Clamp(false);
}

void TDivisorSpinEdit::Clamp(bool rewriteInRange)
{
    const std::int32_t value = GetValue();
    if (value > FMaxValue) {
        SetValue(FMaxValue);
    } else if (value < FMinValue) {
        SetValue(FMinValue);
    } else if (rewriteInRange) {
        SetValue(value);
    }
}
