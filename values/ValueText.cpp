#include "values/ValueText.h"

#include "link/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string FormatParameterValue(int32_t raw, int32_t divisor)
{
    if (divisor <= 0)
        return std::to_string(raw);
    if (raw % divisor == 0)
        return std::to_string(raw / divisor);
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", static_cast<double>(raw) / divisor);
    // printf follows the C locale's separator; the output always uses a point.
    for (char *c = text; *c; ++c) {
        if (*c == ',')
            *c = '.';
    }
    return text;
}

namespace {

// A decimal number with a point or a comma; false for anything else.
bool ReadDecimal(const std::string &text, double &value)
{
    std::string number = text;
    for (char &c : number) {
        if (c == ',')
            c = '.';
    }
    if (number.empty() || number.find_first_not_of("+-.0123456789") != std::string::npos)
        return false;
    // strtod honours the C locale's separator; the program keeps the "C" locale, where it is
    // the point.
    errno = 0;
    char *end = nullptr;
    value = std::strtod(number.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

// True when `value` is the raw value `raw` as shown: the exact quotient, or the shown text
// of one that has no short decimal form (1/3 is shown as 0.333333333333333).
bool NamesRaw(double value, int32_t raw, int32_t divisor)
{
    if (value == static_cast<double>(raw) / divisor)
        return true;
    double shown = 0;
    return ReadDecimal(FormatParameterValue(raw, divisor), shown) && value == shown;
}

} // namespace

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
    double value = 0;
    if (!ReadDecimal(text, value))
        return reading;
    // Limits first, on the value as given: a value outside them is told as such, whatever
    // step it falls between.
    const double scaled = value * divisor;
    if (scaled < minimum && !NamesRaw(value, minimum, divisor)) {
        reading.Verdict = TValueVerdict::BelowMinimum;
        return reading;
    }
    if (scaled > maximum && !NamesRaw(value, maximum, divisor)) {
        reading.Verdict = TValueVerdict::AboveMaximum;
        return reading;
    }
    const double nearest = std::round(scaled);
    const auto candidate = static_cast<int32_t>(
        std::fmin(std::fmax(nearest, static_cast<double>(minimum)), static_cast<double>(maximum)));
    if (NamesRaw(value, candidate, divisor)) {
        reading.Verdict = TValueVerdict::Ok;
        reading.Raw = candidate;
        return reading;
    }
    reading.Verdict = TValueVerdict::BetweenSteps;
    reading.Lower = static_cast<int32_t>(std::fmax(std::floor(scaled), minimum));
    reading.Upper = static_cast<int32_t>(std::fmin(std::ceil(scaled), maximum));
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
