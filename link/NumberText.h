#pragma once
// Whole numbers written as text, as settings files, the simulator's configuration and the
// command line give them: one reader with a range check for all of them.

#include <cstdint>
#include <string_view>

// Which forms a number text may take.
enum class TNumberForm
{
    // Unsigned decimal digits, or "0x"/"0X" and hexadecimal digits. A leading 0 does not
    // make a number octal: "010" is ten, as a person writing a configuration means it.
    DecimalOrHex,
    // An optional '+' or '-' and decimal digits: values typed on the command line.
    SignedDecimal
};

// Reads the whole of `text` as a number in [minimum, maximum]; false (and `value`
// untouched) for an empty text, any other character, blanks included, or a number out of
// range, however long.
bool ParseNumber(std::string_view text, int64_t minimum, int64_t maximum, int64_t &value,
                 TNumberForm form = TNumberForm::DecimalOrHex);
