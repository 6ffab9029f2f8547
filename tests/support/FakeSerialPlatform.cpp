#include "tests/support/FakeSerialPlatform.h"

#include <algorithm>
#include <utility>

#include "link/Frame.h"
#include "link/LinkState.h"

namespace {

// Each counter read moves the fake clock on by this much, so busy-waits end.
constexpr int64_t CounterStepNs = 1000;

// The name a purge has in the record.
const char *PurgeName(TPurge what)
{
    const std::pair<TPurge, const char *> names[] = {{TPurge::TxClear, "tx-clear"},
                                                     {TPurge::TxAbort, "tx-abort"},
                                                     {TPurge::RxClear, "rx-clear"},
                                                     {TPurge::RxAbort, "rx-abort"}};
    for (const auto &[purge, name] : names) {
        if (purge == what) {
            return name;
        }
    }
    return "?";
}

} // namespace

// A port of the fake: every call goes to the platform's record.
class TFakeSerialPort : public ISerialPort
{
public:
    explicit TFakeSerialPort(TFakeSerialPlatform &platform) : Platform(platform) {}
    ~TFakeSerialPort() override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        --Platform.Ports;
        Platform.Log.push_back("close");
    }

    bool SwitchesDirection() const override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        return Platform.RemoteSwitches;
    }
    uint32_t ExtraReplyMs() const override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        return Platform.RemoteExtraMs;
    }

    bool SetupQueues(uint32_t inputSize, uint32_t outputSize) override
    {
        Platform.Record("queues " + std::to_string(inputSize) + " " + std::to_string(outputSize));
        return true;
    }
    bool GetLineSettings(TLineSettings &settings) override
    {
        return Hand("get-line", Line, settings);
    }
    bool SetLineSettings(const TLineSettings &s) override
    {
        return Keep(
            "set-line baud=" + std::to_string(s.BaudRate) + " data=" + std::to_string(s.DataBits) +
                " parity=" + std::to_string(s.Parity) + " stop=" + std::to_string(s.StopBits) +
                " dtr=" + std::to_string(s.DtrControl) + " rts-toggle=" +
                std::to_string(s.RtsToggle) + " abort=" + std::to_string(s.AbortOnError),
            s, Line);
    }
    bool GetTimeouts(TSerialTimeouts &timeouts) override
    {
        return Hand("get-timeouts", Timeouts, timeouts);
    }
    bool SetTimeouts(const TSerialTimeouts &t) override
    {
        return Keep("set-timeouts " + std::to_string(t.ReadInterval) + " " +
                        std::to_string(t.ReadMultiplier) + " " + std::to_string(t.ReadConstant) +
                        " " + std::to_string(t.WriteMultiplier) + " " +
                        std::to_string(t.WriteConstant),
                    t, Timeouts);
    }
    bool Purge(TPurge what) override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        Platform.Log.push_back(std::string("purge ") + PurgeName(what));
        if (what == TPurge::RxClear) {
            Platform.Input.clear();
        } else if (what == TPurge::TxClear) {
            Platform.Outgoing.clear();
        }
        return true;
    }
    bool SetRts(bool on) override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        Platform.Log.push_back(on ? "rts 1" : "rts 0");
        if (!on) {
            Platform.RtsClearedAt = Platform.LastCounter;
        }
        return true;
    }
    bool SetDtr(bool on) override
    {
        Platform.Record(on ? "dtr 1" : "dtr 0");
        return true;
    }
    bool SetLowLatency(bool on) override
    {
        Platform.Record(on ? "low-latency 1" : "low-latency 0");
        return true;
    }
    size_t Read(uint8_t *buffer, size_t count) override
    {
        return Platform.TakeInput(buffer, count, Timeouts);
    }
    size_t Write(const uint8_t *buffer, size_t count) override
    {
        const size_t n = LostError() != 0 ? 0 : std::min(count, Platform.WriteLimitValue());
        std::string call = "write " + HexText(buffer, count);
        if (n != count) {
            call += " -> " + std::to_string(n);
        }
        Platform.Record(call);
        Platform.Written(buffer, n);
        return n;
    }
    int LostError() const override
    {
        std::lock_guard<std::mutex> lock(Platform.Mutex);
        return Platform.LostErrno;
    }

private:
    // Records `call` and hands out what the port keeps.
    template <typename T> bool Hand(const char *call, const T &kept, T &out)
    {
        Platform.Record(call);
        out = kept;
        return true;
    }
    // Records `call` and keeps `value`.
    template <typename T> bool Keep(const std::string &call, const T &value, T &kept)
    {
        kept = value;
        Platform.Record(call);
        return true;
    }

    TFakeSerialPlatform &Platform;
    TLineSettings Line{0, 8, false, 0, true, false, true};
    TSerialTimeouts Timeouts;
};

TFakeSerialPlatform::TFakeSerialPlatform()
{
    SetSerialPlatform(this);
}

TFakeSerialPlatform::~TFakeSerialPlatform()
{
    CloseComPort();
    SetSerialPlatform(nullptr);
}

void TFakeSerialPlatform::FailOpen(const std::string &path, int error)
{
    std::lock_guard<std::mutex> lock(Mutex);
    OpenErrors[path] = error;
}

void TFakeSerialPlatform::QueueReply(const std::vector<uint8_t> &reply)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Replies.emplace_back(reply);
}

void TFakeSerialPlatform::QueueSilence()
{
    std::lock_guard<std::mutex> lock(Mutex);
    Replies.emplace_back(std::nullopt);
}

void TFakeSerialPlatform::SetResponder(TResponder responder)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Responder = std::move(responder);
}

void TFakeSerialPlatform::InjectInput(const std::vector<uint8_t> &bytes)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Input.insert(Input.end(), bytes.begin(), bytes.end());
}

void TFakeSerialPlatform::SetWriteLimit(size_t limit)
{
    std::lock_guard<std::mutex> lock(Mutex);
    WriteLimit = limit;
}

void TFakeSerialPlatform::SetCounterFrequency(int64_t frequency)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Frequency = frequency;
}

std::vector<std::string> TFakeSerialPlatform::Calls() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return Log;
}

size_t TFakeSerialPlatform::Count(const std::string &prefix) const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return static_cast<size_t>(std::count_if(Log.begin(), Log.end(), [&](const std::string &c) {
        return c.compare(0, prefix.size(), prefix) == 0;
    }));
}

void TFakeSerialPlatform::ClearCalls()
{
    std::lock_guard<std::mutex> lock(Mutex);
    Log.clear();
    Sent.clear();
}

std::vector<std::vector<uint8_t>> TFakeSerialPlatform::Frames() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return Sent;
}

int TFakeSerialPlatform::OpenPorts() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return Ports;
}

int64_t TFakeSerialPlatform::NowUs() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return ClockNs / 1000;
}

int64_t TFakeSerialPlatform::LastHoldTicks() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return RtsClearedAt - CounterBeforeWrite;
}

std::unique_ptr<ISerialPort> TFakeSerialPlatform::Open(const std::string &path, int &error)
{
    std::lock_guard<std::mutex> lock(Mutex);
    const auto failure = OpenErrors.find(path);
    if (failure != OpenErrors.end()) {
        error = failure->second;
        Log.push_back("open-failed " + path);
        return nullptr;
    }
    error = 0;
    ++Ports;
    LostErrno = 0;
    Log.push_back("open " + path);
    Input.clear();
    Outgoing.clear();
    return std::make_unique<TFakeSerialPort>(*this);
}

void TFakeSerialPlatform::LosePort(int error)
{
    std::lock_guard<std::mutex> lock(Mutex);
    LostErrno = error;
}

void TFakeSerialPlatform::SetRemote(bool switchesDirection, uint32_t extraReplyMs)
{
    std::lock_guard<std::mutex> lock(Mutex);
    RemoteSwitches = switchesDirection;
    RemoteExtraMs = extraReplyMs;
}

bool TFakeSerialPlatform::RaisePriority()
{
    Record("priority up");
    return true;
}

void TFakeSerialPlatform::RestorePriority()
{
    Record("priority down");
}

void TFakeSerialPlatform::SleepMs(uint32_t ms)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Log.push_back("sleep " + std::to_string(ms));
    ClockNs += static_cast<int64_t>(ms) * 1'000'000;
}

int64_t TFakeSerialPlatform::Counter()
{
    std::lock_guard<std::mutex> lock(Mutex);
    ClockNs += CounterStepNs;
    // Ticks at the configured frequency; the product stays in range for hours of fake time.
    LastCounter = Frequency == 0 ? 0 : ClockNs / 1000 * Frequency / 1'000'000;
    return LastCounter;
}

int64_t TFakeSerialPlatform::CounterFrequency()
{
    std::lock_guard<std::mutex> lock(Mutex);
    return Frequency;
}

void TFakeSerialPlatform::Record(const std::string &call)
{
    std::lock_guard<std::mutex> lock(Mutex);
    Log.push_back(call);
}

size_t TFakeSerialPlatform::WriteLimitValue() const
{
    std::lock_guard<std::mutex> lock(Mutex);
    return WriteLimit;
}

void TFakeSerialPlatform::Written(const uint8_t *bytes, size_t count)
{
    std::unique_lock<std::mutex> lock(Mutex);
    if (Outgoing.empty()) {
        CounterBeforeWrite = LastCounter;
    }
    Outgoing.insert(Outgoing.end(), bytes, bytes + count);
    // A frame is complete once its length byte's worth and the check byte are in.
    if (Outgoing.size() < 2 || Outgoing.size() < static_cast<size_t>(Outgoing[1]) + 1) {
        return;
    }
    std::vector<uint8_t> frame(Outgoing.begin(), Outgoing.begin() + Outgoing[1] + 1);
    Outgoing.erase(Outgoing.begin(), Outgoing.begin() + Outgoing[1] + 1);
    Sent.push_back(frame);
    std::optional<std::vector<uint8_t>> reply;
    if (!Replies.empty()) {
        reply = Replies.front();
        Replies.pop_front();
    } else if (Responder) {
        TResponder responder = Responder;
        lock.unlock();
        reply = responder(frame);
        lock.lock();
    }
    if (reply) {
        Input.insert(Input.end(), reply->begin(), reply->end());
    }
}

size_t TFakeSerialPlatform::TakeInput(uint8_t *buffer, size_t count,
                                      const TSerialTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(Mutex);
    // A lost port ends a read at once, with nothing.
    const size_t n = LostErrno != 0 ? 0 : std::min(count, Input.size());
    std::copy(Input.begin(), Input.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    Input.erase(Input.begin(), Input.begin() + static_cast<std::ptrdiff_t>(n));
    if (n < count && LostErrno == 0) {
        // A short read waits out its time-out.
        ClockNs += (static_cast<int64_t>(timeouts.ReadMultiplier) * static_cast<int64_t>(count) +
                    timeouts.ReadConstant) *
                   1'000'000;
    }
    Log.push_back("read " + std::to_string(count) + " -> " + std::to_string(n));
    return n;
}
