#pragma once
// The simulated bus: finds request frames in the byte stream the client writes and makes
// the addressed device's reply, faults included. Timing is left to the caller: a reply
// says how long to wait and where to pause.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tools/sim/SimConfig.h"

// One reply to send: wait LatencyUs, then the bytes one character time apart, with an
// extra pause of GapUs[i] before byte i.
struct TSimReply
{
    uint32_t LatencyUs = 0;
    std::vector<uint8_t> Bytes;
    std::vector<uint32_t> GapUs;
};

class TSimBus
{
public:
    explicit TSimBus(const TSimConfig &config);

    // Takes bytes from the wire; returns the replies to the requests they complete.
    std::vector<TSimReply> Feed(const uint8_t *bytes, size_t count);
    // A pause on the wire ends any partial frame (the devices resynchronise on it).
    void Idle();
    // Bytes waiting for the rest of a frame.
    size_t Pending() const { return Buffer.size(); }
    // A device's parameter value, or -1 when it holds no such parameter.
    int ParamValue(uint8_t address, uint8_t index) const;
    // The line speed the client set on its side, as read before each Feed: only the devices
    // at that speed hear what follows, and a change drops a partial frame.
    void SetLineSpeed(uint32_t baudRate);
    // Pace of reply bytes in µs: the configuration's char-us, else one character at the line
    // speed.
    uint32_t CharUs() const;
    // Requests answered or ignored so far.
    uint64_t Requests() const { return RequestCount; }
    // Every device's parameter values, one line "ADDRESS INDEX VALUE" each (decimal), in
    // address and index order: what --state writes when the simulator stops.
    std::string StateText() const;

private:
    std::vector<TSimReply> TakeFrames();
    bool Handle(const std::vector<uint8_t> &frame, TSimReply &reply);
    // One device's reply to `frame`, faults included; false when it stays silent.
    bool DeviceReply(TSimDevice &device, const std::vector<uint8_t> &frame, TSimReply &reply);
    // What the program receives when two replies go out on the pair at once.
    TSimReply Collide(const TSimReply &a, const TSimReply &b);
    std::vector<uint8_t> Answer(TSimDevice &device, const std::vector<uint8_t> &frame);
    // True when `fault` is due on a reply to `command` (its command, its count, its chance);
    // the count is spent only by a reply the fault changed, `after` by each matching request.
    bool Strikes(TFault &fault, uint8_t command);

    TSimConfig Config;
    std::mt19937 Random;
    std::vector<uint8_t> Buffer;
    uint64_t RequestCount = 0;
    uint32_t LineBaudRate = 9600;
};

// Status byte of a reply that rejects a request (an unknown parameter or command), and of a
// refused write unless the configuration names another.
constexpr uint8_t REPLY_REJECTED = 0x21;

// Parameter values by (address, index), as a state file holds them.
using TSimState = std::map<std::pair<uint8_t, uint8_t>, uint16_t>;
// Reads a StateText into `state`; false on a line that is not three numbers in range.
bool ParseSimState(const std::string &text, TSimState &state);
