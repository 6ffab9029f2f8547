#pragma once
// The bus health in linvar-cli's words: the --stats table and JSON, and watch's round lines.

#include "link/BusHealth.h"
#include "sets/ParameterSet.h"

#include <cstdint>
#include <string>
#include <vector>

// The table of --stats: a title line and a line per address, "!" after a troubled one.
std::string HealthTable(const std::vector<TDeviceHealth> &devices);
// The "stats" object of --stats --json: "devices", one object per address, and
// "attempts_dropped" when the record dropped any.
TJson HealthJson(const std::vector<TDeviceHealth> &devices, uint64_t dropped);
// One round of watch: "round 3  5: 3/3 valid, 0 time-outs, 12.1/12.4/12.9 ms | 7: ...", the
// figures of each of `addresses` so far ("-" for one not asked yet).
std::string HealthRoundLine(uint64_t round, const std::vector<uint8_t> &addresses,
                            const std::vector<TDeviceHealth> &devices);
