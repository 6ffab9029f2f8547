#pragma once

#include "controls/UDivisorSpinEditBase.h"

#include <cstdint>
#include <optional>

// Canonical fixed-point text of value / divisor, as FormatFixedPoint writes it with separator as
// the decimal mark: exact, or rounded half to even to 15 significant digits, never in exponent
// form, no grouping, no "+". A divisor of 0 or below is taken as 1.
QString FixedPointText(std::int32_t value, std::int64_t divisor, QChar separator);

// Reads a fixed-point text: spaces, an optional sign, digits with at most one decimal mark
// (separator, a full stop or a comma), an optional exponent, spaces. The number times divisor is
// rounded half to even, exactly; empty when the text does not read or the result does not fit
// into 32 bits. A mark without digits (",", "-,") reads as 0 when loneMarkIsZero, and does not
// read otherwise.
std::optional<std::int32_t> FixedPointValue(const QString &text, std::int64_t divisor,
                                            QChar separator, bool loneMarkIsZero);

// Editor of an integer shown as a decimal fraction: the integer counts steps of 1 / Divisor. The
// integer is never stored; GetValue reads it from the text each time. Bounds apply to the integer
// and are enforced by the steps, on focus entry and exit, on paste and on SetText; typing and
// SetValue may leave the bounds. Only those, SetValue and the property setters rewrite the text,
// never a keystroke that types. Events: see TSpinEditBase (OnChange, OnKeyDown, OnEnter, OnExit).
class TDivisorSpinEdit : public TSpinEditBase
{
    Q_OBJECT

public:
    // Creates the editor: Divisor 1, bounds -2147483647 .. 2147483647, Separator ",", empty text.
    explicit TDivisorSpinEdit(QWidget *parent = nullptr);

    // Reads the integer from the text; a text that does not read, or does not fit into 32 bits,
    // is replaced by MinValue's text and MinValue is returned. A lone decimal mark reads as 0.
    std::int32_t GetValue();
    // Reads the integer from the text as GetValue does, bounds not applied, but never rewrites
    // the text: false, with value unchanged, when the text is no number (yet): empty, a lone
    // sign or decimal mark, anything unreadable. For handlers that run while the operator types.
    bool TryGetValue(std::int32_t &value) const;
    // Shows value in canonical form, without a bounds check; raises OnChange.
    void SetValue(std::int32_t value);

    // Steps per displayed unit.
    std::uint32_t Divisor() const { return FDivisor; }
    // Stores the divisor unless it is 0, then rewrites the text: the number shown stays, rounded
    // to the new step, and the integer changes.
    void SetDivisor(std::uint32_t value);
    // Lower bound of the integer.
    std::int32_t MinValue() const { return FMinValue; }
    // Sets the lower bound; ignored above MaxValue. A shown value below it is raised to it.
    void SetMinValue(std::int32_t value);
    // Upper bound of the integer.
    std::int32_t MaxValue() const { return FMaxValue; }
    // Sets the upper bound; ignored below MinValue. A shown value above it is lowered to it.
    void SetMaxValue(std::int32_t value);
    // Decimal mark the editor writes; reading takes it, the full stop and the comma alike.
    QChar Separator() const { return FSeparator; }
    // Changes the decimal mark; the text is not rewritten.
    void SetSeparator(QChar value);
    // The edit text.
    QString Text() const { return text(); }
    // Assigns the text, then shows its value clamped into the bounds in canonical form.
    // (QLineEdit::setText replaces the text without that.)
    void SetText(const QString &value);
    // Brings the shown value inside the bounds as leaving the editor does: a value beyond a
    // bound becomes that bound (a text that does not read becomes MinValue), a value inside
    // stays as typed. For owners that take the value away while the editor keeps the focus.
    void ClampValue() { Clamp(false); }

protected:
    std::int32_t StepRead() override;
    void StepWrite(std::int32_t value) override;
    std::int32_t StepLow() const override { return FMinValue; }
    std::int32_t StepHigh() const override { return FMaxValue; }
    std::int64_t PageStep() const override { return FDivisor; }
    bool AcceptsCharacter(QChar character) const override;
    void AfterPaste() override;
    void FocusClamp() override;

private:
    // Shows the current value clamped into the bounds.
    void Clamp(bool rewriteInRange);

    std::uint32_t FDivisor = 1;
    std::int32_t FMaxValue = 2147483647;
    std::int32_t FMinValue = -2147483647;
    QChar FSeparator = QLatin1Char(',');
};
