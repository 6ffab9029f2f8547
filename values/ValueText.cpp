#include "values/ValueText.h"

#include "link/NumberText.h"
#include "values/FixedPoint.h"

#include <algorithm>

std::string FormatParameterValue(int32_t raw, int32_t divisor)
{
    return FormatFixedPoint(raw, divisor);
}

TValueReading ReadParameterValue(const std::string &text, int32_t divisor, bool raw,
                                 uint16_t minimum, uint16_t maximum)
{
    TValueReading reading;
    if (raw || divisor <= 0) {
        int64_t whole = 0;
        if (!ParseNumber(text, INT64_MIN, INT64_MAX, whole, TNumberForm::SignedDecimal))
            return reading;
        reading.Verdict = whole < minimum   ? TValueVerdict::BelowMinimum
                          : whole > maximum ? TValueVerdict::AboveMaximum
                                            : TValueVerdict::Ok;
        reading.Raw = static_cast<int32_t>(reading.Verdict == TValueVerdict::Ok ? whole : 0);
        return reading;
    }
    const TFixedPointReading value = ReadFixedPoint(text, divisor);
    if (!value.Number)
        return reading;
    // Limits first, on the value as given: a value outside them is told as such, whatever
    // step it falls between.
    if (value.Floor < minimum && !NamesRaw(value, minimum, divisor)) {
        reading.Verdict = TValueVerdict::BelowMinimum;
        return reading;
    }
    if ((value.Floor > maximum || (value.Floor == maximum && !value.Exact())) &&
        !NamesRaw(value, maximum, divisor)) {
        reading.Verdict = TValueVerdict::AboveMaximum;
        return reading;
    }
    const auto candidate =
        static_cast<int32_t>(std::clamp<int64_t>(value.Nearest(), minimum, maximum));
    if (NamesRaw(value, candidate, divisor)) {
        reading.Verdict = TValueVerdict::Ok;
        reading.Raw = candidate;
        return reading;
    }
    reading.Verdict = TValueVerdict::BetweenSteps;
    reading.Lower = static_cast<int32_t>(std::max<int64_t>(value.Floor, minimum));
    reading.Upper =
        static_cast<int32_t>(std::min<int64_t>(value.Floor + (value.Exact() ? 0 : 1), maximum));
    return reading;
}

std::string ValueRefusal(const TValueReading &reading, const std::string &text, int32_t divisor,
                         bool raw, uint16_t minimum, uint16_t maximum)
{
    const int32_t unit = raw ? 1 : divisor;
    const std::string suffix = raw && divisor > 1 ? " (raw)" : "";
    auto shown = [&](int32_t value) { return FormatParameterValue(value, unit) + suffix; };
    const std::string given = "'" + text + "'";
    switch (reading.Verdict) {
    case TValueVerdict::Ok:
        return {};
    case TValueVerdict::NotNumber:
        return given + " is not " +
               (raw || divisor <= 0 ? "a whole number" : std::string("a number")) +
               "; values go from " + shown(minimum) + " to " + shown(maximum);
    case TValueVerdict::BelowMinimum:
        return given + " is below the minimum, " + shown(minimum);
    case TValueVerdict::AboveMaximum:
        return given + " is above the maximum, " + shown(maximum);
    case TValueVerdict::BetweenSteps:
        if (reading.Lower == reading.Upper)
            return given + " is not a value that can be written; the nearest is " +
                   shown(reading.Lower);
        return given + " falls between the steps of " + FormatParameterValue(1, divisor) +
               "; the nearest values that can be written are " + shown(reading.Lower) + " and " +
               shown(reading.Upper);
    }
    return {};
}
