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

#include "ForwardingSerialPort.h"
#include "Link.h"
#include "Win32Serial.h"

namespace {

// The Win32 platform with a record of the moment the hold began and ended.
class TInstrumented : public TWin32SerialPlatform
{
public:
    class TPort : public TForwardingSerialPort
    {
    public:
        TPort(TInstrumented &owner, std::unique_ptr<ISerialPort> inner)
            : TForwardingSerialPort(std::move(inner)), Owner(owner)
        {
        }
        bool SetRts(bool on) override
        {
            if (!on && Owner.WriteStart != 0) {
                Owner.Holds.push_back(Owner.Counter() - Owner.WriteStart);
                Owner.WriteStart = 0;
            }
            return TForwardingSerialPort::SetRts(on);
        }
        size_t Write(const uint8_t *b, size_t n) override
        {
            // The link read the counter just before this write: that is where its hold began.
            Owner.WriteStart = Owner.LastCounter;
            return TForwardingSerialPort::Write(b, n);
        }

    private:
        TInstrumented &Owner;
    };

    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override
    {
        auto inner = TWin32SerialPlatform::Open(path, error);
        if (!inner) {
            return nullptr;
        }
        return std::make_unique<TPort>(*this, std::move(inner));
    }
    int64_t Counter() override { return LastCounter = TWin32SerialPlatform::Counter(); }
    bool RaisePriority() override { return Raised = TWin32SerialPlatform::RaisePriority(); }

    int64_t LastCounter = 0;
    int64_t WriteStart = 0;
    bool Raised = false;
    std::vector<int64_t> Holds; // counter ticks from the write to the release
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

} // namespace

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
    TInstrumented platform;
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
                Percentile(lateUs, 1.0), platform.Raised ? 1 : 0);
    return lateUs.empty() ? 1 : 0;
}
