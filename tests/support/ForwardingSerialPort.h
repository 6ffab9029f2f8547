#pragma once
// A serial port that hands every call to another one, for tests and benchmarks that watch
// what the link does on a real port: derive, override the calls to watch and call the base.

#include <memory>

#include "link/SerialPlatform.h"

class TForwardingSerialPort : public ISerialPort
{
public:
    explicit TForwardingSerialPort(std::unique_ptr<ISerialPort> inner) : Inner(std::move(inner)) {}

    bool SetupQueues(uint32_t input, uint32_t output) override
    {
        return Inner->SetupQueues(input, output);
    }
    bool GetLineSettings(TLineSettings &s) override { return Inner->GetLineSettings(s); }
    bool SetLineSettings(const TLineSettings &s) override { return Inner->SetLineSettings(s); }
    bool GetTimeouts(TSerialTimeouts &t) override { return Inner->GetTimeouts(t); }
    bool SetTimeouts(const TSerialTimeouts &t) override { return Inner->SetTimeouts(t); }
    bool Purge(TPurge what) override { return Inner->Purge(what); }
    bool SetRts(bool on) override { return Inner->SetRts(on); }
    bool SetDtr(bool on) override { return Inner->SetDtr(on); }
    bool SetLowLatency(bool on) override { return Inner->SetLowLatency(on); }
    size_t Read(uint8_t *bytes, size_t count) override { return Inner->Read(bytes, count); }
    size_t Write(const uint8_t *bytes, size_t count) override { return Inner->Write(bytes, count); }
    int LostError() const override { return Inner->LostError(); }

    // The port underneath, for calls that are not to be watched.
    ISerialPort &Raw() { return *Inner; }

private:
    std::unique_ptr<ISerialPort> Inner;
};

// A forwarding port that knows the platform which opened it, for watchers that keep what they
// see in that platform.
template <class TOwner> class TOwnedForwardingPort : public TForwardingSerialPort
{
public:
    TOwnedForwardingPort(TOwner &owner, std::unique_ptr<ISerialPort> inner)
        : TForwardingSerialPort(std::move(inner)), Owner(owner)
    {
    }

protected:
    TOwner &Owner;
};
