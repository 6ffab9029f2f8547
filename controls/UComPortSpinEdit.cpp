#include "controls/UComPortSpinEdit.h"

#include "controls/ControlErrors.h"

#include <optional>

namespace {

// Characters of the edit text that are read.
constexpr int ReadLength = 99;

// Reads spaces, an optional sign and decimal digits with nothing after them, into 32 bits.
std::optional<std::int32_t> ReadInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - '0');
        if (value > std::int64_t{2147483647} + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > 2147483647) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

TComPortSpinEdit::TComPortSpinEdit(QWidget *parent) : TSpinEditBase(parent) {}

std::int32_t TComPortSpinEdit::GetValue() const
{
    const QString shown = text().left(ReadLength);
    const std::optional<std::int32_t> value = ReadInteger(shown);
    if (!value) {
        throw EConvertError::InvalidInteger(shown);
    }
    return *value;
}

void TComPortSpinEdit::SetValue(std::int32_t value)
{
    ReplaceText(QString::number(value));
}

std::int32_t TComPortSpinEdit::PortNumber() const
{
    return ReadInteger(text().left(ReadLength)).value_or(MinPort);
}

void TComPortSpinEdit::SetText(const QString &value)
{
    ReplaceText(value);
}

bool TComPortSpinEdit::AcceptsCharacter(QChar character) const
{
    return (character >= QLatin1Char('0') && character <= QLatin1Char('9')) ||
           character == QLatin1Char('.');
}
