#pragma once
// The system's serial platform with a record of the moments the transmitter-hold benchmarks
// measure: where each hold began and ended, and when the last reply byte arrived.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "link/SystemSerial.h"
#include "tests/support/ForwardingSerialPort.h"

class THoldRecorder : public TSystemSerialPlatform
{
public:
    class TPort : public TOwnedForwardingPort<THoldRecorder>
    {
    public:
        using TOwnedForwardingPort::TOwnedForwardingPort;

        bool SetRts(bool on) override
        {
            // A release with no write before it (the port being opened) ends no hold.
            if (!on && Owner.WriteStart != 0) {
                Owner.RtsCleared = Owner.Counter();
                Owner.Holds.push_back(Owner.RtsCleared - Owner.WriteStart);
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
        size_t Read(uint8_t *b, size_t n) override
        {
            const size_t got = TForwardingSerialPort::Read(b, n);
            Owner.LastArrival = Owner.TSystemSerialPlatform::Counter();
            return got;
        }
    };

    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override
    {
        auto inner = TSystemSerialPlatform::Open(path, error);
        if (!inner) {
            return nullptr;
        }
        auto port = std::make_unique<TPort>(*this, std::move(inner));
        Port = port.get();
        return port;
    }
    int64_t Counter() override { return LastCounter = TSystemSerialPlatform::Counter(); }
    bool RaisePriority() override
    {
        const bool raised = AllowRealtime && TSystemSerialPlatform::RaisePriority();
        Realtime = Realtime || raised;
        return raised;
    }

    bool AllowRealtime = true;
    bool Realtime = false; // some hold ran at raised priority

    TPort *Port = nullptr;
    int64_t LastCounter = 0;
    int64_t WriteStart = 0;
    int64_t RtsCleared = 0;
    int64_t LastArrival = 0;
    std::vector<int64_t> Holds; // counter ticks from the write to the release
};

// The value at `fraction` (0..1) of the way through `values` in order; 0 for none.
inline double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t at =
        std::min(values.size() - 1, static_cast<size_t>(fraction * (values.size() - 1) + 0.5));
    return values[at];
}
