#include "UDivisorSpinEdit.h"

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
long double RoundHalfEven(long double X)
{
    const long double Floor = std::floor(X);
    const long double Fraction = X - Floor;
    if (Fraction > 0.5L) {
        return Floor + 1;
    }
    if (Fraction < 0.5L) {
        return Floor;
    }
    return std::fmod(Floor, 2.0L) == 0 ? Floor : Floor + 1;
}

} // namespace

QString FixedPointText(std::int32_t Value, std::uint32_t Divisor, QChar Separator)
{
    if (Value == 0) {
        return QStringLiteral("0");
    }
    const long double Quotient =
        static_cast<long double>(Value) / static_cast<long double>(Divisor == 0 ? 1 : Divisor);

    // Fifteen significant digits, correctly rounded, independent of the C locale: "d.dddde±x".
    char Buffer[64];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, std::fabs(Quotient),
                                      std::chars_format::scientific, Precision - 1);
    const std::string Scientific(Buffer, Result.ptr);
    const std::size_t ExponentAt = Scientific.find('e');
    const int Exponent = std::atoi(Scientific.c_str() + ExponentAt + 1);
    std::string Digits;
    for (std::size_t I = 0; I < ExponentAt; ++I) {
        if (Scientific[I] != '.') {
            Digits += Scientific[I];
        }
    }
    while (Digits.size() > 1 && Digits.back() == '0') {
        Digits.pop_back();
    }

    QString Text;
    if (Quotient < 0) {
        Text += QLatin1Char('-');
    }
    if (Exponent < -5 || Exponent >= Precision) {
        Text += QLatin1Char(Digits[0]);
        if (Digits.size() > 1) {
            Text += Separator;
            Text += QString::fromLatin1(Digits.data() + 1, Digits.size() - 1);
        }
        Text += QLatin1Char('E');
        Text += QString::number(Exponent);
    } else if (Exponent >= 0) {
        const std::size_t IntegerDigits = static_cast<std::size_t>(Exponent) + 1;
        if (Digits.size() <= IntegerDigits) {
            Text += QString::fromLatin1(Digits.data(), Digits.size());
            Text += QString(IntegerDigits - Digits.size(), QLatin1Char('0'));
        } else {
            Text += QString::fromLatin1(Digits.data(), IntegerDigits);
            Text += Separator;
            Text +=
                QString::fromLatin1(Digits.data() + IntegerDigits, Digits.size() - IntegerDigits);
        }
    } else {
        Text += QLatin1Char('0');
        Text += Separator;
        Text += QString(-Exponent - 1, QLatin1Char('0'));
        Text += QString::fromLatin1(Digits.data(), Digits.size());
    }
    return Text;
}

std::optional<std::int32_t> FixedPointValue(const QString &Text, std::uint32_t Divisor,
                                            QChar Separator)
{
    const auto IsDigit = [](QChar C) { return C >= QLatin1Char('0') && C <= QLatin1Char('9'); };
    const qsizetype Length = Text.size();
    qsizetype I = 0;
    while (I < Length && Text[I] == QLatin1Char(' ')) {
        ++I;
    }
    bool Negative = false;
    if (I < Length && (Text[I] == QLatin1Char('+') || Text[I] == QLatin1Char('-'))) {
        Negative = Text[I] == QLatin1Char('-');
        ++I;
    }

    // Mantissa: digits, at most one Separator, more digits; a lone Separator is zero.
    std::string Integer;
    std::string Fraction;
    bool HasSeparator = false;
    while (I < Length && IsDigit(Text[I])) {
        Integer += static_cast<char>(Text[I].unicode());
        ++I;
    }
    if (I < Length && Text[I] == Separator) {
        HasSeparator = true;
        ++I;
        while (I < Length && IsDigit(Text[I])) {
            Fraction += static_cast<char>(Text[I].unicode());
            ++I;
        }
    }
    if (Integer.empty() && Fraction.empty() && !HasSeparator) {
        return std::nullopt;
    }

    // Exponent: E or e, an optional sign, at least one digit. It saturates far beyond anything
    // that can still give a 32-bit result.
    long Exponent = 0;
    if (I < Length && (Text[I] == QLatin1Char('E') || Text[I] == QLatin1Char('e'))) {
        ++I;
        bool NegativeExponent = false;
        if (I < Length && (Text[I] == QLatin1Char('+') || Text[I] == QLatin1Char('-'))) {
            NegativeExponent = Text[I] == QLatin1Char('-');
            ++I;
        }
        if (I >= Length || !IsDigit(Text[I])) {
            return std::nullopt;
        }
        while (I < Length && IsDigit(Text[I])) {
            Exponent = std::min(Exponent * 10 + (Text[I].unicode() - '0'), 1000000L);
            ++I;
        }
        if (NegativeExponent) {
            Exponent = -Exponent;
        }
    }
    while (I < Length && Text[I] == QLatin1Char(' ')) {
        ++I;
    }
    if (I != Length) {
        return std::nullopt;
    }

    // The decimal position of the first significant digit decides between "too large", "rounds
    // to zero" and a number that long double holds without overflow or underflow.
    const std::size_t FirstInteger = Integer.find_first_not_of('0');
    const std::size_t FirstFraction = Fraction.find_first_not_of('0');
    if (FirstInteger == std::string::npos && FirstFraction == std::string::npos) {
        return 0;
    }
    const long Leading = FirstInteger != std::string::npos
                             ? static_cast<long>(Integer.size() - FirstInteger) - 1
                             : -static_cast<long>(FirstFraction) - 1;
    if (Leading + Exponent > 20) {
        return std::nullopt;
    }
    if (Leading + Exponent < -40) {
        return 0;
    }

    const std::string Plain = (Integer.empty() ? std::string("0") : Integer) + "." +
                              (Fraction.empty() ? std::string("0") : Fraction) + "e" +
                              std::to_string(Exponent);
    long double Number = 0;
    const auto Parsed = std::from_chars(Plain.data(), Plain.data() + Plain.size(), Number);
    if (Parsed.ec != std::errc()) {
        return std::nullopt;
    }
    if (Negative) {
        Number = -Number;
    }
    const long double Rounded = RoundHalfEven(Number * static_cast<long double>(Divisor));
    if (Rounded < -2147483648.0L || Rounded > 2147483647.0L) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(Rounded);
}

TDivisorSpinEdit::TDivisorSpinEdit(QWidget *Parent) : TSpinEditBase(Parent) {}

std::int32_t TDivisorSpinEdit::GetValue()
{
    const std::optional<std::int32_t> Value =
        FixedPointValue(text().left(ReadLength), FDivisor, FSeparator);
    if (!Value) {
        SetValue(FMinValue);
        return FMinValue;
    }
    return *Value;
}

void TDivisorSpinEdit::SetValue(std::int32_t Value)
{
    ReplaceText(FixedPointText(Value, FDivisor, FSeparator));
}

void TDivisorSpinEdit::SetDivisor(std::uint32_t Value)
{
    if (Value != 0) {
        FDivisor = Value;
    }
    SetValue(GetValue());
}

void TDivisorSpinEdit::SetMinValue(std::int32_t Value)
{
    if (Value > FMaxValue) {
        return;
    }
    if (GetValue() < Value) {
        SetValue(Value);
    }
    FMinValue = Value;
}

void TDivisorSpinEdit::SetMaxValue(std::int32_t Value)
{
    if (Value < FMinValue) {
        return;
    }
    if (GetValue() > Value) {
        SetValue(Value);
    }
    FMaxValue = Value;
}

void TDivisorSpinEdit::SetSeparator(QChar Value)
{
    FSeparator = Value;
}

void TDivisorSpinEdit::SetText(const QString &Value)
{
    ReplaceText(Value);
    Clamp(true);
}

std::int32_t TDivisorSpinEdit::StepRead()
{
    return GetValue();
}

void TDivisorSpinEdit::StepWrite(std::int32_t Value)
{
    SetValue(Value);
}

bool TDivisorSpinEdit::AcceptsCharacter(QChar Character) const
{
    return (Character >= QLatin1Char('0') && Character <= QLatin1Char('9')) ||
           Character == QLatin1Char('+') || Character == QLatin1Char('-') ||
           Character == QLatin1Char('.') || Character == FSeparator;
}

void TDivisorSpinEdit::AfterPaste()
{
    Clamp(true);
}

void TDivisorSpinEdit::FocusClamp()
{
    Clamp(false);
}

void TDivisorSpinEdit::Clamp(bool RewriteInRange)
{
    const std::int32_t Value = GetValue();
    if (Value > FMaxValue) {
        SetValue(FMaxValue);
    } else if (Value < FMinValue) {
        SetValue(FMinValue);
    } else if (RewriteInRange) {
        SetValue(Value);
    }
}
