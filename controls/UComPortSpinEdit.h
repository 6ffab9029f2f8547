#pragma once

#include "controls/UDivisorSpinEditBase.h"

#include <cstdint>

// Editor of a serial port number. The number lives only in the text; the steps keep it within
// 0 .. 127 but typed numbers are left as they are. Events: see TSpinEditBase (OnChange,
// OnKeyDown, OnEnter, OnExit). A step on a text that is no integer changes nothing and reports
// EConvertError through ReportControlError (ControlErrors.h).
class TComPortSpinEdit : public TSpinEditBase
{
    Q_OBJECT

public:
    // Lowest port number the steps reach.
    static constexpr std::int32_t MinPort = 0;
    // Highest port number the steps reach.
    static constexpr std::int32_t MaxPort = 127;

    // Creates the editor with an empty text.
    explicit TComPortSpinEdit(QWidget *parent = nullptr);

    // The text read as a decimal integer; throws EConvertError when it is none.
    std::int32_t GetValue() const;
    // Shows value in decimal, without a bounds check; raises OnChange.
    void SetValue(std::int32_t value);
    // The text read as an integer, or 0 when it is none; never fails.
    std::int32_t PortNumber() const;

    // The edit text.
    QString Text() const { return text(); }
    // Replaces the text as it is, with no check; raises OnChange.
    void SetText(const QString &value);

protected:
    std::int32_t StepRead() override { return GetValue(); }
    void StepWrite(std::int32_t value) override { SetValue(value); }
    std::int32_t StepLow() const override { return MinPort; }
    std::int32_t StepHigh() const override { return MaxPort; }
    std::int64_t PageStep() const override { return 1; }
    bool AcceptsCharacter(QChar character) const override;
};
