#include "controls/UDivisorSpinEdit.h"

#include "values/FixedPoint.h"

#include <string>

namespace {

// Characters of the edit text that GetValue reads.
constexpr int ReadLength = 99;

// The full stop and the comma are both decimal marks whatever Separator is, so that a number
// typed with the other mark keeps its value; Separator itself is one too.
bool IsDecimalMark(QChar character, QChar separator)
{
    return character == separator || character == QLatin1Char('.') || character == QLatin1Char(',');
}

} // namespace

QString FixedPointText(std::int32_t value, std::int64_t divisor, QChar separator)
{
    // Formatted with a full stop, which nothing else in the text is, then given the separator:
    // a locale's mark need not be one byte.
    QString text = QString::fromLatin1(FormatFixedPoint(value, divisor, '.'));
    text.replace(QLatin1Char('.'), separator);
    return text;
}

std::optional<std::int32_t> FixedPointValue(const QString &text, std::int64_t divisor,
                                            QChar separator, bool loneMarkIsZero)
{
    // The separator becomes a full stop; a character beyond ASCII is none the reader takes.
    std::string latin;
    latin.reserve(static_cast<std::size_t>(text.size()));
    for (QChar character : text) {
        latin += IsDecimalMark(character, separator) ? '.'
                 : character.unicode() < 0x80        ? static_cast<char>(character.unicode())
                                                     : '\x7F';
    }
    TDecimalGrammar grammar;
    grammar.Marks = ".";
    grammar.Exponent = true;
    grammar.Spaces = true;
    grammar.LoneMark = loneMarkIsZero;
    const TFixedPointReading reading = ReadFixedPoint(latin, divisor, grammar);
    const std::int64_t nearest = reading.Nearest();
    if (!reading.Number || nearest < INT32_MIN || nearest > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(nearest);
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
