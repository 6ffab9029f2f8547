#pragma once
// A recording fake of the serial platform for unit tests. Installed on construction (the
// link then opens its ports here), it records every call the link makes, in order, as
// short texts, answers request frames with scripted replies and runs a fake clock, so a
// test of a transaction takes microseconds and its timing is exact.
//
// Recorded texts (one per call):
//   "open PATH", "open-failed PATH", "close", "queues IN OUT", "get-line",
//   "set-line baud=B data=D parity=P stop=S dtr=0|1 rts-toggle=0|1 abort=0|1",
//   "get-timeouts", "set-timeouts INTERVAL MULTIPLIER CONSTANT WMULT WCONST",
//   "purge tx-clear|tx-abort|rx-clear|rx-abort", "rts 0|1", "dtr 0|1", "low-latency 0|1",
//   "write HEX HEX ..." (the bytes given; " -> N" appended when fewer were written),
//   "read N -> GOT", "sleep MS", "priority up", "priority down". Counter reads are not
//   recorded.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/SerialPlatform.h"

class TFakeSerialPlatform : public ISerialPlatform
{
public:
    // Builds a reply (check byte included; empty: silence) for a request frame as written.
    using TResponder = std::function<std::vector<uint8_t>(const std::vector<uint8_t> &frame)>;

    // Installs itself as the link's platform; every path opens unless told otherwise.
    TFakeSerialPlatform();
    // Closes the link's port if open and puts the POSIX platform back.
    ~TFakeSerialPlatform() override;

    // Opening `path` fails with `error` (an errno value) from now on.
    void FailOpen(const std::string &path, int error);
    // Replies to the next request frames, in order; one queued entry per frame.
    void QueueReply(const std::vector<uint8_t> &reply);
    // The next request frame gets no reply.
    void QueueSilence();
    // Answers frames once the queue is empty (default: silence).
    void SetResponder(TResponder responder);
    // Bytes that wait in the input buffer now (stale data, noise).
    void InjectInput(const std::vector<uint8_t> &bytes);
    // Each write call writes at most `limit` bytes (short writes); SIZE_MAX: no limit.
    void SetWriteLimit(size_t limit);
    // Ticks per second reported by CounterFrequency (default 1e9; 0: no counter).
    void SetCounterFrequency(int64_t frequency);
    // The open port is gone from now on, as an unplugged converter: reads and writes move
    // nothing at once and it reports `error` as lost. A port opened later works again.
    void LosePort(int error);
    // Ports opened from now on stand behind a network server: they switch the bus direction
    // themselves and ask `extraReplyMs` more for every reply.
    void SetRemote(bool switchesDirection, uint32_t extraReplyMs);

    // Every recorded call so far.
    std::vector<std::string> Calls() const;
    // How many recorded calls start with `prefix`.
    size_t Count(const std::string &prefix) const;
    // Forgets the recorded calls and frames.
    void ClearCalls();
    // The request frames written so far, check byte included.
    std::vector<std::vector<uint8_t>> Frames() const;
    // Ports open right now.
    int OpenPorts() const;
    // The fake clock in microseconds.
    int64_t NowUs() const;
    // Time of the last "rts 0" minus the counter value read last before the last write, in
    // counter ticks (the hold of the transmitter in timed mode).
    int64_t LastHoldTicks() const;

    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override;
    void SleepMs(uint32_t ms) override;
    int64_t Counter() override;
    int64_t CounterFrequency() override;
    bool RaisePriority() override;
    void RestorePriority() override;

private:
    friend class TFakeSerialPort;
    void Record(const std::string &call);
    size_t WriteLimitValue() const;
    void Written(const uint8_t *bytes, size_t count);
    size_t TakeInput(uint8_t *buffer, size_t count, const TSerialTimeouts &timeouts);

    mutable std::mutex Mutex;
    std::vector<std::string> Log;
    std::map<std::string, int> OpenErrors;
    std::deque<std::optional<std::vector<uint8_t>>> Replies;
    TResponder Responder;
    std::deque<uint8_t> Input;
    std::vector<uint8_t> Outgoing;
    std::vector<std::vector<uint8_t>> Sent;
    size_t WriteLimit = SIZE_MAX;
    int64_t Frequency = 1'000'000'000;
    int64_t ClockNs = 0;
    int64_t LastCounter = 0;
    int64_t CounterBeforeWrite = 0;
    int64_t RtsClearedAt = 0;
    int Ports = 0;
    int LostErrno = 0;
    bool RemoteSwitches = false;
    uint32_t RemoteExtraMs = 0;
};
