#pragma once
// The names of remote ports: "tcp://HOST:PORT" (raw TCP, the line's bytes and nothing else)
// and "rfc2217://HOST:PORT" (Telnet with the COM-PORT-OPTION, which also sets the remote
// line's format). They stand wherever a device path does: --device, a COM<n> line.

#include <cstdint>
#include <string>

#include "link/PortList.h"

// How the bytes of the line travel.
enum class TNetTransport
{
    RawTcp,
    Rfc2217,
};

// A parsed remote port name.
struct TNetAddress
{
    TNetTransport Transport = TNetTransport::RawTcp;
    std::string Host; // a name, an IPv4 address or an IPv6 address without its brackets
    uint16_t Port = 0;
};

// True when `path` begins with a remote port's scheme (any case), well formed or not.
bool IsNetPath(const std::string &path);
// Parses a remote port name; false when it is no such name or is malformed (no host, a port
// outside 1..65535, anything after the port).
bool ParseNetAddress(const std::string &path, TNetAddress &address);
// Fills the port list's entry of a remote port without connecting (a connection would hold
// the server's port and turn away whoever uses it); false when `path` names no remote port.
// A malformed address is listed as one that cannot open (EINVAL).
bool DescribeNetPort(const std::string &path, TPortInfo &info);
