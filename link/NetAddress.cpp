#include "link/NetAddress.h"

#include <cctype>
#include <cerrno>

namespace {

struct TScheme
{
    const char *Prefix;
    TNetTransport Transport;
};

constexpr TScheme Schemes[] = {{"tcp://", TNetTransport::RawTcp},
                               {"rfc2217://", TNetTransport::Rfc2217}};

// True when `path` begins with `prefix`, letters compared without regard to case.
bool StartsWith(const std::string &path, const std::string &prefix)
{
    if (path.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(path[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsNetPath(const std::string &path)
{
    for (const TScheme &scheme : Schemes) {
        if (StartsWith(path, scheme.Prefix)) {
            return true;
        }
    }
    return false;
}

bool ParseNetAddress(const std::string &path, TNetAddress &address)
{
    for (const TScheme &scheme : Schemes) {
        if (!StartsWith(path, scheme.Prefix)) {
            continue;
        }
        const std::string rest = path.substr(std::string(scheme.Prefix).size());
        std::string host;
        std::string port;
        const bool bracketed = !rest.empty() && rest[0] == '[';
        if (bracketed) {
            const size_t close = rest.find(']');
            if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
                return false;
            }
            host = rest.substr(1, close - 1);
            port = rest.substr(close + 2);
        } else {
            const size_t colon = rest.rfind(':');
            if (colon == std::string::npos) {
                return false;
            }
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        }
        // Only an IPv6 address in brackets may hold colons.
        if (host.empty() || host.find_first_of("/[] \t") != std::string::npos ||
            (!bracketed && host.find(':') != std::string::npos) || port.empty() ||
            port.size() > 5) {
            return false;
        }
        uint32_t number = 0;
        for (const char c : port) {
            if (c < '0' || c > '9') {
                return false;
            }
            number = number * 10 + static_cast<uint32_t>(c - '0');
        }
        if (number == 0 || number > 65535) {
            return false;
        }
        address.Transport = scheme.Transport;
        address.Host = host;
        address.Port = static_cast<uint16_t>(number);
        return true;
    }
    return false;
}

bool DescribeNetPort(const std::string &path, TPortInfo &info)
{
    if (!IsNetPath(path)) {
        return false;
    }
    TNetAddress address;
    info.Remote = true;
    info.Accessible = ParseNetAddress(path, address);
    info.AccessError = info.Accessible ? 0 : EINVAL;
    return true;
}
