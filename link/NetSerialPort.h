#pragma once
// A serial port reached through a network serial server, behind the same interface as a
// local one: raw TCP carries the line's bytes as they are; RFC 2217 wraps them in Telnet and
// sets the remote line's speed, data size, parity and stop bits whenever the link sets the
// line format. The server's converter turns the bus around, so there is no hold to count.
//
// Reply time-outs get the network's round trip on top (ExtraReplyMs): a smoothed round trip
// and four times its mean deviation, as TCP sizes its own retransmission time-out, rounded
// up to whole milliseconds. Until a reply comes, the figure is one taken while the port
// opens: for raw TCP the TCP handshake (as the kernel timed it, where it tells), which is the
// round trip to the server unless a proxy on the way answers the handshake itself; for RFC
// 2217 the least of the times the server took to answer the option offer and each line
// negotiation, which cross the whole path. From then on every reply adds the time from the
// request's last byte to the reply's first, less the line time of both; a reply that came
// only after its time-out (found by the next purge) adds how long it had kept us waiting.

#include <memory>
#include <string>

#include "link/NetAddress.h"
#include "link/SerialPlatform.h"
#include "link/Socket.h"

// How long the connection may take to open before the port counts as unreachable.
constexpr uint32_t NetConnectTimeoutMs = 3000;
// How long an RFC 2217 server may take to answer one negotiation.
constexpr uint32_t NetNegotiationTimeoutMs = 2000;

// Opens the remote port named by `path` (see NetAddress.h); nullptr with an errno in `error`:
// EINVAL for a malformed name, the connection's own (ECONNREFUSED, EHOSTUNREACH, ETIMEDOUT...)
// and EPROTO for an RFC 2217 server that refuses or does not answer the COM-PORT-OPTION.
std::unique_ptr<ISerialPort> OpenNetPort(const std::string &path, int &error);
// Opens a remote port over an already connected `socket` (tests give a scripted one);
// `connectUs` is how long the connection took to open.
std::unique_ptr<ISerialPort> OpenNetPortOn(std::unique_ptr<ISocket> socket, TNetTransport transport,
                                           int64_t connectUs, int &error);
