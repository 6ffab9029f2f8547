#pragma once
// The request/reply transaction over the open port: direction switching, reply time-outs,
// retries and the transmitter's hold.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/Traffic.h"

// Attempts per transaction, the first one included.
constexpr int MaxAttempts = 3;

// Time of one character on the wire in µs, integer arithmetic as the devices expect.
int64_t CharacterTimeUs(uint32_t baudRate, uint32_t stopBits);

// One transaction: sends request bytes 1..L (the check byte is added here) and receives
// the reply frame into `reply` (resized to the bytes received, check byte included).
// True when a well-formed reply arrived within three attempts; false at once when no
// port is open, the port is lost or the request is not 1..254 bytes. An attempt that finds
// the port gone (hung up, unplugged) ends the transaction at once and marks the port lost
// (PortLost). On failure `reply` holds what the last attempt received (possibly nothing).
// `verdicts`, when given, gets each attempt's verdict appended, in order, so a caller can tell
// a silent line from one that brought bytes it could not use (an attempt that got only the
// converter's echo of our request back is NoReply: the device itself said nothing).
bool SendRequest(const uint8_t *request, size_t count, std::vector<uint8_t> &reply,
                 std::vector<TAttemptVerdict> *verdicts = nullptr);

// One attempt only, the reply waited for at most `timeoutMs` after the request left: for the
// fast sweep, which gives every silent address a single short try. Otherwise as SendRequest:
// true on a well-formed reply, `reply` holding whatever came (an echo left out). `late`
// receives what had come in since the last transaction, which the attempt then clears
// away: a late answer to the request before.
bool SendRequestOnce(const uint8_t *request, size_t count, std::vector<uint8_t> &reply,
                     uint32_t timeoutMs, std::vector<uint8_t> &late);

// The fast sweep's reply time-out in ms at `baudRate`: the wire time of the shortest reply
// plus `allowanceMs` for the device's turnaround and the converter's latency, rounded up.
uint32_t FastSweepTimeoutMs(uint32_t baudRate, uint32_t stopBits, uint32_t allowanceMs);
