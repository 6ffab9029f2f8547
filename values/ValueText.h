#pragma once
// Parameter values as text: the raw value divided by the parameter's divisor, and back, as
// linvar-cli reads and shows them and as parameter-set files show them for people.

#include <cstdint>
#include <string>

// raw ÷ divisor as FormatFixedPoint writes it, with a point as separator; the raw value
// itself when the divisor is not positive.
std::string FormatParameterValue(int32_t raw, int32_t divisor);

// What a value text gives for one parameter.
enum class TValueVerdict
{
    Ok,           // Raw holds the value
    NotNumber,    // no number (with raw units: no whole number)
    BelowMinimum, // less than the parameter's minimum
    AboveMaximum, // more than the parameter's maximum
    BetweenSteps  // within the limits but no whole number of raw units: Lower and Upper
};

// A value text read for one parameter.
struct TValueReading
{
    TValueVerdict Verdict = TValueVerdict::NotNumber;
    int32_t Raw = 0;   // the raw value, when Ok
    int32_t Lower = 0; // when BetweenSteps: the nearest raw values below and above
    int32_t Upper = 0;
};

// Reads a value given as shown (a decimal number, point or comma as separator), or with
// `raw` (or a divisor that is not positive) as a whole number of raw units, against the
// parameter's raw limits. A shown value must name a raw value exactly, or be the text that
// FormatParameterValue shows for it (NamesRaw): nothing is rounded to a value the operator
// did not give.
TValueReading ReadParameterValue(const std::string &text, int32_t divisor, bool raw,
                                 uint16_t minimum, uint16_t maximum);
// Why `text` was refused, for the operator, in the units the value was given in (shown, or
// raw with `raw`): which limit it passes, or the two nearest values that can be written.
std::string ValueRefusal(const TValueReading &reading, const std::string &text, int32_t divisor,
                         bool raw, uint16_t minimum, uint16_t maximum);
