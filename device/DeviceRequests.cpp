#include "device/DeviceRequests.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/Frame.h"
#include "link/LinkState.h"
#include "link/SendRequest.h"

#include <algorithm>

namespace {

constexpr uint8_t RequestLength = 0x06;
constexpr uint8_t WordWriteLength = 0x07;

// Reply byte n, counted from 1 as on the wire; 0 beyond the reply.
uint8_t ReplyByte(const std::vector<uint8_t> &reply, size_t n)
{
    return n >= 1 && n <= reply.size() ? reply[n - 1] : 0;
}

bool OneDataByte(const std::vector<uint8_t> &reply)
{
    return ReplyByte(reply, 2) == 5;
}

} // namespace

std::vector<uint8_t> PingRequest(uint8_t address)
{
    return {address, RequestLength, 0x00, CMD_PING, 0x00, 0x00};
}

std::vector<uint8_t> IdentifyRequest(uint8_t address)
{
    return {address, RequestLength, 0x00, CMD_IDENTIFY, 0x00, 0x00};
}

std::vector<uint8_t> ReadRequest(uint8_t address, int32_t index)
{
    const auto number = static_cast<uint8_t>(index & 0xFF);
    return {address, RequestLength, 0x00, CMD_READ_PARAM, number, 0x00};
}

std::vector<uint8_t> WriteRequest(uint8_t address, int32_t index, const std::string &size,
                                  int32_t value)
{
    const auto low = static_cast<uint8_t>(value & 0xFF);
    const auto high = static_cast<uint8_t>((value >> 8) & 0xFF);
    const auto number = static_cast<uint8_t>(index & 0xFF);
    switch (ParameterSizeOf(size)) {
    case TParameterSize::Word:
        return {address, WordWriteLength, 0x00, CMD_WRITE_PARAM, number, low, high};
    case TParameterSize::Byte:
        return {address, RequestLength, 0x00, CMD_WRITE_PARAM, number, low};
    case TParameterSize::Other:
        break;
    }
    return {};
}

bool ReplyFrom(const std::vector<uint8_t> &reply, uint8_t address)
{
    return !reply.empty() && reply[0] == address;
}

bool ReplyAccepted(const std::vector<uint8_t> &reply)
{
    return ReplyByte(reply, 3) == REPLY_ACCEPTED;
}

TDeviceIdentity DecodeIdentifyReply(const std::vector<uint8_t> &reply)
{
    TDeviceIdentity identity;
    identity.Type = ReplyByte(reply, 4);
    identity.Version = ReplyByte(reply, 5);
    if (ReplyByte(reply, 2) > 5)
        identity.Version = static_cast<uint16_t>(identity.Version + 256 * ReplyByte(reply, 6));
    return identity;
}

int32_t DecodeReadReply(const std::vector<uint8_t> &reply)
{
    if (!ReplyAccepted(reply))
        return VALUE_UNDEFINED;
    // The reply's length alone says whether one or two data bytes came back.
    if (OneDataByte(reply))
        return ReplyByte(reply, 5);
    return ReplyByte(reply, 5) + 256 * ReplyByte(reply, 6);
}

int32_t DecodeWriteReply(const std::vector<uint8_t> &reply, const std::string &size)
{
    // A rejected write leaves the device's value unknown to us.
    if (!ReplyAccepted(reply))
        return VALUE_UNDEFINED;
    // A word echoed as a single byte: byte 6 would be the check byte, not data.
    if (ParameterSizeOf(size) == TParameterSize::Byte || OneDataByte(reply))
        return ReplyByte(reply, 5);
    return ReplyByte(reply, 5) + 256 * ReplyByte(reply, 6);
}

bool ProbeAddress(uint8_t address, TDeviceIdentity &identity,
                  std::vector<TAttemptVerdict> *verdicts)
{
    std::vector<uint8_t> reply;
    const auto ping = PingRequest(address);
    // Another device answering in this one's place is passed over.
    if (!SendRequest(ping.data(), ping.size(), reply, verdicts) || !ReplyFrom(reply, address))
        return false;
    const auto identify = IdentifyRequest(address);
    if (!SendRequest(identify.data(), identify.size(), reply, verdicts) ||
        !ReplyFrom(reply, address))
        return false;
    identity = DecodeIdentifyReply(reply);
    return true;
}

bool ProbeAddressFast(uint8_t address, uint8_t previous, TDeviceIdentity &identity,
                      bool &previousLate)
{
    std::vector<uint8_t> reply;
    std::vector<uint8_t> late;
    const auto ping = PingRequest(address);
    const uint32_t timeoutMs =
        FastSweepTimeoutMs(BaudRate, LinkSettings.StopBits, LinkSettings.FastSweepAllowance);
    const bool answered = SendRequestOnce(ping.data(), ping.size(), reply, timeoutMs, late);
    // Bytes left from before this ping, or a reply that names the address before, are that
    // address's answer arriving late (a slow device, a converter's batch just missed).
    previousLate = !late.empty() || (!reply.empty() && reply[0] == previous);
    if (answered && ReplyFrom(reply, address)) {
        const auto identify = IdentifyRequest(address);
        if (!SendRequest(identify.data(), identify.size(), reply) || !ReplyFrom(reply, address))
            return false;
        identity = DecodeIdentifyReply(reply);
        return true;
    }
    // Silence is the common case and costs one short wait; anything else (garbled, late,
    // another address) may hide a device, which the standard probe then looks for.
    return !reply.empty() && !PortLost() && ProbeAddress(address, identity);
}

bool RequestWithRepeats(const std::vector<uint8_t> &request, uint8_t address,
                        std::vector<uint8_t> &reply, const std::atomic<bool> *stop,
                        std::vector<TAttemptVerdict> *verdicts, int alsoFrom)
{
    for (int i = 0; i < RequestsPerParameter; ++i) {
        // A reply from another address answers someone else's request: not ours.
        if (SendRequest(request.data(), request.size(), reply, verdicts) &&
            (ReplyFrom(reply, address) || (alsoFrom >= 0 && reply[0] == alsoFrom)))
            return true;
        if ((stop && stop->load()) || PortLost())
            break;
    }
    reply.clear();
    return false;
}

bool HeardNothing(const std::vector<TAttemptVerdict> &verdicts)
{
    return !verdicts.empty() && std::none_of(verdicts.begin(), verdicts.end(), BroughtBytes);
}
