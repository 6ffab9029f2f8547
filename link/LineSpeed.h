#pragma once
// The line speeds the link offers: the standard list, the default, and the check of a speed
// against the list. One home for the list, so the settings, the command line, the window
// and the search across speeds never disagree on it.

#include <algorithm>
#include <array>
#include <cstdint>

// The speed the devices leave the factory with, and the link's speed unless told otherwise.
constexpr uint32_t DefaultBaudRate = 9600;
// The standard speeds, slowest first: the only ones the settings, --baud and the window take.
constexpr std::array<uint32_t, 8> StandardBaudRates = {1200,  2400,  4800,  9600,
                                                       19200, 38400, 57600, 115200};

// True when `baudRate` is one of the standard speeds.
constexpr bool IsStandardBaudRate(uint32_t baudRate)
{
    return std::find(StandardBaudRates.begin(), StandardBaudRates.end(), baudRate) !=
           StandardBaudRates.end();
}
