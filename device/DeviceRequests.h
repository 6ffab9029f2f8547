#pragma once
// Request frames of the device operations and the decoding of their replies. Frames are the
// bytes 1..L without the check byte, which SendRequest appends.

#include "catalogue/ParameterSize.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/Traffic.h"

// Transactions per parameter when the device gives no valid reply: the first one and one
// repeat. Each transaction already makes three attempts inside SendRequest, so a parameter of
// a silent device costs six attempts (about 3.7 s at the default timings) before the worker
// gives up on it and goes on with the next; more would keep the operator waiting long on a
// device that has gone, for little gain on a noisy line.
constexpr int RequestsPerParameter = 2;

// Type and firmware version reported by a device.
struct TDeviceIdentity
{
    uint8_t Type = 0;
    uint16_t Version = 0;
};

// Ping frame for `address`.
std::vector<uint8_t> PingRequest(uint8_t address);
// Identify frame for `address`.
std::vector<uint8_t> IdentifyRequest(uint8_t address);
// Read frame for parameter `index` (only its low 8 bits go out).
std::vector<uint8_t> ReadRequest(uint8_t address, int32_t index);
// Write frame for a parameter of catalogue size `size`: a word (L = 7) or a byte (L = 6);
// empty for any other size.
std::vector<uint8_t> WriteRequest(uint8_t address, int32_t index, const std::string &size,
                                  int32_t value);

// True when `reply` comes from `address`.
bool ReplyFrom(const std::vector<uint8_t> &reply, uint8_t address);
// True when the status of `reply` (byte 3) accepts the read or write.
bool ReplyAccepted(const std::vector<uint8_t> &reply);
// Type and version from a valid identify reply; the version's high byte only when L > 5.
TDeviceIdentity DecodeIdentifyReply(const std::vector<uint8_t> &reply);
// Value carried by a valid read reply: VALUE_UNDEFINED unless accepted (0x3E); one data byte
// when L is 5, two (low first) otherwise.
int32_t DecodeReadReply(const std::vector<uint8_t> &reply);
// Value echoed by a valid write reply for a parameter of catalogue size `size`:
// VALUE_UNDEFINED unless accepted (0x3E); byte 5 for a byte, bytes 5 and 6 for a word unless
// the reply carries only one data byte (L = 5).
int32_t DecodeWriteReply(const std::vector<uint8_t> &reply, const std::string &size);

// Ping and identify one address, as the search does; true and `identity` when a device there
// answered both with its own address. `verdicts`, when given, gets the verdict of every
// attempt made.
bool ProbeAddress(uint8_t address, TDeviceIdentity &identity,
                  std::vector<TAttemptVerdict> *verdicts = nullptr);
// The fast sweep's probe: one short ping (FastSweepTimeoutMs at the line speed in use); where
// any byte came back, ProbeAddress's full treatment. True and `identity` as ProbeAddress.
// `previousLate` tells whether bytes came in after the probe of `previous` (the address
// probed just before) had given up, before this ping or as a reply naming `previous`: an
// answer too late for that address's short wait.
bool ProbeAddressFast(uint8_t address, uint8_t previous, TDeviceIdentity &identity,
                      bool &previousLate);
// Sends `request` until a valid reply from `address` arrives, at most RequestsPerParameter
// times, giving up early once `stop` is set or the port is lost; true with that reply.
// `verdicts`, when given, gets the verdict of every attempt made. `alsoFrom` (0..127) is a
// second address whose reply is taken too: a write that gives the device a new address may
// be answered from it.
bool RequestWithRepeats(const std::vector<uint8_t> &request, uint8_t address,
                        std::vector<uint8_t> &reply, const std::atomic<bool> *stop = nullptr,
                        std::vector<TAttemptVerdict> *verdicts = nullptr, int alsoFrom = -1);
// True when attempts were made and none of them got a byte back: the device said nothing.
bool HeardNothing(const std::vector<TAttemptVerdict> &verdicts);
