#include "UComPortSpinEdit.h"

#include "ControlErrors.h"

#include <optional>

namespace {

// Characters of the edit text that are read.
constexpr int ReadLength = 99;

// Reads spaces, an optional sign and decimal digits with nothing after them, into 32 bits.
std::optional<std::int32_t> ReadInteger(const QString &Text)
{
    qsizetype I = 0;
    while (I < Text.size() && Text[I] == QLatin1Char(' ')) {
        ++I;
    }
    bool Negative = false;
    if (I < Text.size() && (Text[I] == QLatin1Char('+') || Text[I] == QLatin1Char('-'))) {
        Negative = Text[I] == QLatin1Char('-');
        ++I;
    }
    if (I >= Text.size()) {
        return std::nullopt;
    }
    std::int64_t Value = 0;
    for (; I < Text.size(); ++I) {
        const QChar C = Text[I];
        if (C < QLatin1Char('0') || C > QLatin1Char('9')) {
            return std::nullopt;
        }
        Value = Value * 10 + (C.unicode() - '0');
        if (Value > std::int64_t{2147483647} + 1) {
            return std::nullopt;
        }
    }
    if (Negative) {
        Value = -Value;
    }
    if (Value > 2147483647) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(Value);
}

} // namespace

TComPortSpinEdit::TComPortSpinEdit(QWidget *Parent) : TSpinEditBase(Parent) {}

std::int32_t TComPortSpinEdit::GetValue() const
{
    const QString Text = text().left(ReadLength);
    const std::optional<std::int32_t> Value = ReadInteger(Text);
    if (!Value) {
        throw EConvertError::InvalidInteger(Text);
    }
    return *Value;
}

void TComPortSpinEdit::SetValue(std::int32_t Value)
{
    ReplaceText(QString::number(Value));
}

std::int32_t TComPortSpinEdit::PortNumber() const
{
    return ReadInteger(text().left(ReadLength)).value_or(MinPort);
}

void TComPortSpinEdit::SetText(const QString &Value)
{
    ReplaceText(Value);
}

bool TComPortSpinEdit::AcceptsCharacter(QChar Character) const
{
    return (Character >= QLatin1Char('0') && Character <= QLatin1Char('9')) ||
           Character == QLatin1Char('.');
}
