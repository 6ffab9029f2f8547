// The long fault soak: simulated devices whose replies suffer random faults of all seven
// kinds (no reply, wrong check byte, cut short, wrong address, stray bytes first, late, too
// long), echoed requests and two devices answering at one address, rounds of "write random values
// inside the catalogue limits, then read them back" through the real workers over a pseudo-terminal
// at the line's pace (tests/soak/FaultSoak.h).
//
//   transactions       reads and writes of one parameter by a worker
//   false_accepts      replies taken whose content is not what the device sent (goal 0)
//   mismatches         values shown as read or confirmed that the devices do not hold at the
//                      end of a session (goal 0)
//   undefined_written  write frames that carried VALUE_UNDEFINED's low bits (goal 0)
//   retry_ratio        attempts beyond one per transaction, per transaction
//
// Options: --transactions N (default 5000), --seed N (default 1), --percent P (chance of
// each fault kind per reply, default 2). Every incident is printed with its frame; the last
// line carries the figures as key=value pairs.

#include "tests/soak/FaultSoak.h"

#include "link/Clock.h"
#include "link/NumberText.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    TFaultSoakOptions options;
    options.Transactions = 5000;
    options.Seed = 1;
    options.RoundsPerSession = 10;
    options.ParametersPerDevice = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        int64_t value = 0;
        if (!ParseNumber(argv[i + 1], 0, 0xFFFFFFFF, value)) {
            std::fprintf(stderr, "bench_soak: bad value '%s' for %s\n", argv[i + 1], argv[i]);
            return 2;
        }
        if (name == "--transactions") {
            options.Transactions = static_cast<uint64_t>(value);
        } else if (name == "--seed") {
            options.Seed = static_cast<uint32_t>(value);
        } else if (name == "--percent") {
            options.FaultPercent = static_cast<double>(value);
        } else {
            std::fprintf(stderr, "usage: bench_soak [--transactions N] [--seed N] [--percent P]\n");
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fprintf(stderr, "usage: bench_soak [--transactions N] [--seed N] [--percent P]\n");
        return 2;
    }

    const int64_t start = MonotonicNs();
    TFaultSoakResult result;
    const bool ran = RunFaultSoak(options, result);
    const double seconds = static_cast<double>(MonotonicNs() - start) / 1e9;
    for (const std::string &incident : result.Incidents)
        std::printf("%s\n", incident.c_str());
    if (!ran) {
        std::fprintf(stderr, "bench_soak: %s\n", result.Error.c_str());
        return 1;
    }
    std::printf("seed %u, %d devices, %.0f%% of each fault kind, %llu attempts, %.1f s\n",
                options.Seed, options.Devices, options.FaultPercent,
                static_cast<unsigned long long>(result.Attempts), seconds);
    std::printf("%s\n", result.Summary().c_str());
    return result.FalseAccepts == 0 && result.Mismatches == 0 && result.UndefinedWritten == 0 ? 0
                                                                                              : 1;
}
