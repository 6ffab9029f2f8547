// Fuzz target: any bytes as a simulator configuration. A configuration that reads must hold
// only what the simulator can act on; one that does not must name its line.

#include "link/LineSpeed.h"
#include "tools/sim/SimConfig.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace {

// Stops the run at a broken promise: libFuzzer keeps the input, a test run fails.
void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_sim_config: %s\n", what);
        __builtin_trap();
    }
}

void CheckFault(const TFault &fault)
{
    Check(std::isfinite(fault.Percent) && fault.Percent >= 0 && fault.Percent <= 100,
          "a fault's chance is no percentage");
    Check(fault.Ms <= 60'000, "a late byte beyond a minute");
    Check(fault.Count >= -1, "a fault's count below -1");
    Check(fault.After >= 0, "a fault's 'after' below 0");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    TSimConfig config;
    std::string error;
    if (!ParseSimConfig(text, config, error)) {
        // "line N: reason", N one of the text's lines.
        Check(error.rfind("line ", 0) == 0, "an error without its line");
        const size_t colon = error.find(": ");
        Check(colon != std::string::npos && colon > 5, "an error without a reason");
        const std::string number = error.substr(5, colon - 5);
        Check(number.find_first_not_of("0123456789") == std::string::npos, "no line number");
        const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        Check(number.size() < 20 && std::stoull(number) >= 1 && std::stoull(number) <= lines,
              "the line at fault is not in the text");
        return 0;
    }
    Check(config.LatencyMs <= 60'000, "a bus latency beyond a minute");
    Check(config.CharUs <= 1'000'000, "a byte slower than a second");
    Check(config.UsbMs <= 255, "a USB latency timer beyond 255 ms");
    for (const TFault &fault : config.RandomFaults) {
        CheckFault(fault);
    }
    std::set<int> addresses;
    for (const TSimDevice &device : config.Devices) {
        Check(device.Address <= 127, "a device address beyond 127");
        Check(addresses.insert(device.Address).second != device.Shared,
              "two devices at one address unless the second is shared");
        Check(device.IdentifyLength >= 5 && device.IdentifyLength <= 254,
              "an identify reply of no usable length");
        Check(device.LatencyMs >= -1 && device.LatencyMs <= 60'000,
              "a device latency beyond a minute");
        Check(IsStandardBaudRate(device.BaudRate), "a device at a speed off the standard list");
        for (const auto &[index, param] : device.Params) {
            Check(param.Word || param.Value <= 0xFF, "a byte parameter above 255");
            Check(param.RefuseStatus >= -1 && param.RefuseStatus <= 0xFF &&
                      param.RefuseStatus != 0x3E,
                  "a refusal with no status byte or the accepting one");
        }
        for (const TFault &fault : device.Faults) {
            CheckFault(fault);
        }
    }
    return 0;
}
