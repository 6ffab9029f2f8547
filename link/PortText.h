#pragma once
// How a port is told to a person: what stands behind its number in one line, and the hint
// for a port this user may not open. The window and linvar-cli say it in the same words.

#include <string>

#include "link/PortList.h"

// The hint shown when a port is refused for want of rights (UTF-8): serial devices belong to
// the "dialout" group, and a fresh account is usually not in it.
extern const char *const PortAccessHint;

// True when `error` (an errno) refuses a port for want of rights rather than for its absence
// or another program holding it.
bool IsAccessRefusal(int error);

// What stands behind a port in one line: "/dev/ttyUSB0, USB 0403:6001, serial A12345"; the
// device a link resolves to follows the path in parentheses.
std::string PortSummary(const TPortInfo &info);
