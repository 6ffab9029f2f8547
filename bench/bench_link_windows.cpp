// bench_link.exe: the transmitter hold of SendRequest on a real Windows machine, on a real
// COM port (no device needs to answer). Pings a silent address and measures how late the
// transmitter is released after the computed hold of the frame (wire time + TailinUS),
// while the counter is busy-waited on, as the link does:
//   hold_p50_us / hold_p99_us / hold_max_us   lateness of the release
//   realtime                                  1 when the hold ran at time-critical priority
// Usage: bench_link.exe PORT [ADDRESS] [COUNT]   (defaults: address 126, 200 pings)
// Every attempt is a hold: a silent address takes three. The last line carries the figures
// as key=value pairs.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/HoldRecorder.h"
#include "link/Link.h"

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bench_link PORT [ADDRESS] [COUNT]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int address = argc > 2 ? std::atoi(argv[2]) : 126;
    const int count = argc > 3 ? std::atoi(argv[3]) : 200;
    if (port < 0 || port > 255 || address < 0 || address > 127 || count < 1) {
        std::fprintf(stderr, "bench_link: PORT 0..255, ADDRESS 0..127, COUNT from 1\n");
        return 2;
    }
    THoldRecorder platform;
    SetSerialPlatform(&platform);
    const TTimerResolution resolution;
    LoadLinkSettings();
    InitPerfFrequency();
    if (PerfFrequency == 0 || !OpenComPort(static_cast<uint8_t>(port))) {
        std::fprintf(stderr, "bench_link: cannot open port %d\n", port);
        return 1;
    }
    const uint8_t ping[] = {static_cast<uint8_t>(address), 6, 0, CMD_PING, 0, 0};
    // Request and check byte on the wire, plus the tail, as the link computes it.
    const int64_t charUs = CharacterTimeUs(BaudRate, LinkSettings.StopBits);
    const double holdUs = static_cast<double>(charUs * 7 + LinkSettings.TailinUS);
    std::vector<uint8_t> reply;
    for (int i = 0; i < count; ++i) {
        SendRequest(ping, sizeof ping, reply);
    }
    CloseComPort();
    SetSerialPlatform(nullptr);

    std::vector<double> lateUs;
    for (int64_t ticks : platform.Holds) {
        lateUs.push_back(static_cast<double>(ticks) * 1e6 / static_cast<double>(PerfFrequency) -
                         holdUs);
    }
    std::printf("holds=%zu hold_us=%.0f hold_p50_us=%.1f hold_p99_us=%.1f hold_max_us=%.1f "
                "realtime=%d\n",
                lateUs.size(), holdUs, Percentile(lateUs, 0.5), Percentile(lateUs, 0.99),
                Percentile(lateUs, 1.0), platform.Realtime ? 1 : 0);
    return lateUs.empty() ? 1 : 0;
}
