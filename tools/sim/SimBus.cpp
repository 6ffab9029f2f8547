#include "tools/sim/SimBus.h"

#include <algorithm>
#include <sstream>

#include "link/Crc8.h"
#include "link/Frame.h"
#include "link/NumberText.h"
#include "link/SendRequest.h"

namespace {

// Garbage never grows past this; the oldest bytes go first.
constexpr size_t MaxBuffered = 512;
// Requests have L of at least 5; the longest frame has L = 254.
constexpr uint8_t MinLength = 5;
constexpr uint8_t MaxLength = 254;

bool FrameAt(const std::vector<uint8_t> &buffer, size_t at)
{
    if (buffer.size() - at < 2 || buffer[at] > 127) {
        return false;
    }
    const uint8_t length = buffer[at + 1];
    if (length < MinLength || length > MaxLength || buffer.size() - at < size_t(length) + 1u) {
        return false;
    }
    return Crc8(buffer.data() + at, length) == buffer[at + length];
}

} // namespace

TSimBus::TSimBus(const TSimConfig &config) : Config(config), Random(config.Seed) {}

std::vector<TSimReply> TSimBus::Feed(const uint8_t *bytes, size_t count)
{
    Buffer.insert(Buffer.end(), bytes, bytes + count);
    if (Buffer.size() > MaxBuffered) {
        Buffer.erase(Buffer.begin(), Buffer.end() - MaxBuffered);
    }
    return TakeFrames();
}

void TSimBus::Idle()
{
    Buffer.clear();
}

void TSimBus::SetLineSpeed(uint32_t baudRate)
{
    // Bytes sent at one speed are noise to a receiver at another.
    if (baudRate != LineBaudRate) {
        Buffer.clear();
    }
    LineBaudRate = baudRate;
}

uint32_t TSimBus::CharUs() const
{
    if (Config.CharUsFixed) {
        return Config.CharUs;
    }
    return static_cast<uint32_t>(CharacterTimeUs(LineBaudRate, 0));
}

std::vector<TSimReply> TSimBus::TakeFrames()
{
    std::vector<TSimReply> replies;
    // The earliest complete frame with a right check byte wins; whatever precedes it is
    // line noise or the rest of a frame that was cut off.
    for (size_t at = 0; at < Buffer.size();) {
        if (!FrameAt(Buffer, at)) {
            ++at;
            continue;
        }
        const size_t end = at + Buffer[at + 1] + 1;
        const std::vector<uint8_t> frame(Buffer.begin() + at, Buffer.begin() + end);
        Buffer.erase(Buffer.begin(), Buffer.begin() + end);
        at = 0;
        TSimReply reply;
        if (Handle(frame, reply)) {
            replies.push_back(reply);
        }
    }
    return replies;
}

int TSimBus::ParamValue(uint8_t address, uint8_t index) const
{
    for (const TSimDevice &device : Config.Devices) {
        if (device.Address == address) {
            const auto it = device.Params.find(index);
            return it == device.Params.end() ? -1 : it->second.Value;
        }
    }
    return -1;
}

std::string TSimBus::StateText() const
{
    TSimState state;
    for (const TSimDevice &device : Config.Devices) {
        for (const auto &[index, param] : device.Params) {
            state[{device.Address, index}] = param.Value;
        }
    }
    std::string text;
    for (const auto &[key, value] : state) {
        text += std::to_string(key.first) + " " + std::to_string(key.second) + " " +
                std::to_string(value) + "\n";
    }
    return text;
}

bool ParseSimState(const std::string &text, TSimState &state)
{
    state.clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string address, index, value;
        std::string extra;
        int64_t a = 0, i = 0, v = 0;
        if (!(words >> address >> index >> value) || (words >> extra) ||
            !ParseNumber(address, 0, 127, a) || !ParseNumber(index, 0, 255, i) ||
            !ParseNumber(value, 0, 0xFFFF, v)) {
            return false;
        }
        state[{static_cast<uint8_t>(a), static_cast<uint8_t>(i)}] = static_cast<uint16_t>(v);
    }
    return true;
}

bool TSimBus::Strikes(TFault &fault, uint8_t command)
{
    if ((fault.Command >= 0 && fault.Command != command) || fault.Count == 0) {
        return false;
    }
    if (fault.After > 0) {
        --fault.After;
        return false;
    }
    if (fault.Percent < 100) {
        std::uniform_real_distribution<double> chance(0, 100);
        if (chance(Random) >= fault.Percent) {
            return false;
        }
    }
    return true;
}

bool TSimBus::Handle(const std::vector<uint8_t> &frame, TSimReply &reply)
{
    ++RequestCount;
    // Every device at the address answers; devices that share one talk over each other.
    bool answered = false;
    for (TSimDevice &device : Config.Devices) {
        TSimReply one;
        // A device at another speed than the line's hears only noise, and answers nothing.
        if (device.Address != frame[0] || device.BaudRate != LineBaudRate ||
            !DeviceReply(device, frame, one)) {
            continue;
        }
        reply = answered ? Collide(reply, one) : one;
        answered = true;
    }
    return answered;
}

TSimReply TSimBus::Collide(const TSimReply &a, const TSimReply &b)
{
    // Two drivers on one pair: where both send the same bit it arrives; where they differ,
    // which one wins depends on the drivers and the line, modelled as a draw from the seed.
    // The replies overlap from the first one's start, byte for byte.
    TSimReply mixed = a.Bytes.size() >= b.Bytes.size() ? a : b;
    const TSimReply &other = a.Bytes.size() >= b.Bytes.size() ? b : a;
    mixed.LatencyUs = std::min(a.LatencyUs, b.LatencyUs);
    std::uniform_int_distribution<int> mask(0, 255);
    for (size_t i = 0; i < other.Bytes.size(); ++i) {
        const uint8_t pick = static_cast<uint8_t>(mask(Random));
        mixed.Bytes[i] = static_cast<uint8_t>((mixed.Bytes[i] & pick) | (other.Bytes[i] & ~pick));
        mixed.GapUs[i] = std::max(mixed.GapUs[i], other.GapUs[i]);
    }
    return mixed;
}

bool TSimBus::DeviceReply(TSimDevice &device, const std::vector<uint8_t> &frame, TSimReply &reply)
{
    std::vector<uint8_t> bytes = Answer(device, frame);
    // A pseudo-terminal hands over the request at once, while on the wire its last byte
    // arrives only after its character times; a device answers its latency after that,
    // never while the master's transmitter may still be on.
    const uint32_t latencyMs =
        device.LatencyMs >= 0 ? uint32_t(device.LatencyMs) : Config.LatencyMs;
    reply.LatencyUs = latencyMs * 1000 + static_cast<uint32_t>(frame.size()) * CharUs();
    std::vector<uint32_t> gaps(bytes.size(), 0);
    const uint8_t command = frame[3];

    std::vector<TFault *> struck;
    for (TFault &fault : device.Faults) {
        if (Strikes(fault, command)) {
            struck.push_back(&fault);
        }
    }
    for (TFault &fault : Config.RandomFaults) {
        if (Strikes(fault, command)) {
            struck.push_back(&fault);
        }
    }
    // Faults that change the content come first, then the ones that cut or pad the stream.
    // A fault spends its count only on a reply it changed: a reply already suppressed, a
    // reply already long or already with a wrong check byte, or a pause of 0 ms is left as
    // it was, and "count 3" still means three replies that show the fault.
    for (TFaultKind kind :
         {TFaultKind::NoReply, TFaultKind::Long, TFaultKind::WrongAddress, TFaultKind::BadCrc,
          TFaultKind::Truncate, TFaultKind::Late, TFaultKind::Noise}) {
        for (TFault *fault : struck) {
            if (fault->Kind != kind) {
                continue;
            }
            const std::vector<uint8_t> bytesBefore = bytes;
            const std::vector<uint32_t> gapsBefore = gaps;
            switch (kind) {
            case TFaultKind::NoReply:
                if (fault->Count > 0) {
                    --fault->Count;
                }
                return false;
            case TFaultKind::Long: {
                std::vector<uint8_t> body(bytes.begin(), bytes.end() - 1);
                body.resize(127, 0);
                bytes = BuildFrame(body);
                gaps.assign(bytes.size(), 0);
                break;
            }
            case TFaultKind::WrongAddress:
                bytes.pop_back();
                bytes[0] = static_cast<uint8_t>((bytes[0] + 1) & 0x7F);
                bytes = WithCheckByte(bytes);
                break;
            case TFaultKind::BadCrc:
                // Wrong against the frame as it stands, so a second such fault finds nothing
                // to change rather than putting the right byte back.
                bytes.pop_back();
                bytes = WithCheckByte(bytes);
                bytes.back() ^= 0xFF;
                break;
            case TFaultKind::Truncate:
                bytes.resize(bytes.size() > 3 ? bytes.size() - 3 : 1);
                gaps.resize(bytes.size());
                break;
            case TFaultKind::Late:
                gaps.back() += fault->Ms * 1000;
                break;
            case TFaultKind::Noise: {
                std::uniform_int_distribution<int> count(1, 3);
                std::uniform_int_distribution<int> value(0, 255);
                const int n = count(Random);
                for (int i = 0; i < n; ++i) {
                    bytes.insert(bytes.begin(), static_cast<uint8_t>(value(Random)));
                    gaps.insert(gaps.begin(), 0);
                }
                break;
            }
            }
            if (fault->Count > 0 && (bytes != bytesBefore || gaps != gapsBefore)) {
                --fault->Count;
            }
        }
    }
    reply.Bytes = bytes;
    reply.GapUs = gaps;
    return true;
}

std::vector<uint8_t> TSimBus::Answer(TSimDevice &device, const std::vector<uint8_t> &frame)
{
    const uint8_t address = device.Address;
    const uint8_t command = frame[3];
    const uint8_t length = frame[1];
    switch (command) {
    case CMD_PING:
        return BuildFrame({address, 0, 0x00, CMD_PING, 0x00});
    case CMD_IDENTIFY: {
        std::vector<uint8_t> body = {address, 0, 0x00, device.Type,
                                     static_cast<uint8_t>(device.Version & 0xFF)};
        if (device.IdentifyLength > 5) {
            body.push_back(static_cast<uint8_t>(device.Version >> 8));
        }
        body.resize(device.IdentifyLength, 0);
        return BuildFrame(body);
    }
    case CMD_READ_PARAM:
    case CMD_WRITE_PARAM: {
        const auto it = length >= 5 ? device.Params.find(frame[4]) : device.Params.end();
        if (it == device.Params.end() || (command == CMD_WRITE_PARAM && length < 6)) {
            return BuildFrame({address, 0, REPLY_REJECTED, command, 0x00});
        }
        TSimParam &param = it->second;
        // A refused write keeps the value and says so in the status, with the value held.
        const uint8_t status = command == CMD_WRITE_PARAM && param.RefuseStatus >= 0
                                   ? static_cast<uint8_t>(param.RefuseStatus)
                                   : REPLY_ACCEPTED;
        if (command == CMD_WRITE_PARAM && status == REPLY_ACCEPTED) {
            // A byte parameter keeps the low eight bits of whatever is written.
            uint16_t value = frame[5];
            if (length >= 7) {
                value = static_cast<uint16_t>(value | frame[6] << 8);
            }
            param.Value = param.Word ? value : static_cast<uint16_t>(value & 0xFF);
        }
        std::vector<uint8_t> body = {address, 0, status, command,
                                     static_cast<uint8_t>(param.Value & 0xFF)};
        if (param.Word) {
            body.push_back(static_cast<uint8_t>(param.Value >> 8));
        }
        if (command == CMD_WRITE_PARAM && status == REPLY_ACCEPTED) {
            // The reply is made before the device moves: it goes out from the old address and
            // at the old speed, unless the device answers from its new address at once.
            if (param.MovesAddress && param.Value <= 127) {
                device.Address = static_cast<uint8_t>(param.Value);
                if (param.RepliesFromNewAddress) {
                    body[0] = device.Address;
                }
            }
            if (const auto speed = param.BaudTable.find(param.Value);
                speed != param.BaudTable.end()) {
                device.BaudRate = speed->second;
            }
        }
        return BuildFrame(body);
    }
    default:
        return BuildFrame({address, 0, REPLY_REJECTED, command, 0x00});
    }
}
