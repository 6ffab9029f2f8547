#include "ValueText.h"

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

bool ParseParameterValue(const std::string &text, int32_t divisor, bool raw, int32_t &value)
{
    if (raw || divisor <= 0) {
        int64_t whole = 0;
        if (!ParseNumber(text, 0, 65535, whole, TNumberForm::SignedDecimal))
            return false;
        value = static_cast<int32_t>(whole);
        return true;
    }
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
    const double parsed = std::strtod(number.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed))
        return false;
    const double scaled = std::round(parsed * divisor);
    if (scaled < 0 || scaled > 65535)
        return false;
    value = static_cast<int32_t>(scaled);
    return true;
}
