#pragma once
// Parameter values as text: the raw value divided by the parameter's divisor, and back.

#include <cstdint>
#include <string>

// Raw value as the shortest decimal text of up to 15 significant digits of raw ÷ divisor,
// with a point as separator; the raw value itself when the divisor is not positive.
std::string FormatParameterValue(int32_t raw, int32_t divisor);
// Reads a value given as shown (a decimal number, point or comma as separator) and turns it
// into a raw value (× divisor, rounded); with `raw` the text must be a whole number taken as
// it is. False when the text is no number or the result does not fit 0..65535.
bool ParseParameterValue(const std::string &text, int32_t divisor, bool raw, int32_t &value);
