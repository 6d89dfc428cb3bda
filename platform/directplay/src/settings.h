// The stand-in's environment settings, service providers and the loopback-only check.
#pragma once

#include "directplay/environment.h"
#include "dplay.h"

#include <netinet/in.h>

#include <atomic>
#include <optional>
#include <span>
#include <string>

namespace directplay {

struct Settings {
    bool loopbackOnly = false;
    std::string enumerationAddress = "255.255.255.255";
    std::uint16_t tcpIpPort = kDefaultTcpIpPort;
    std::uint16_t ipxPort = kDefaultIpxPort;
    std::uint32_t keepaliveMs = kDefaultKeepaliveMs;
    std::optional<std::uint32_t> enumerationTimeoutMs;
};

Settings ReadSettings();

// A service provider: both run over UDP, each on its own enumeration port; only TCP/IP
// reports Internet addresses for its players.
struct Provider {
    std::uint8_t index;
    const GUID* guid;
    const char* name;
    bool internetAddresses;
    std::uint16_t Port(const Settings& settings) const;
};

std::span<const Provider> Providers();
const Provider* FindProvider(const GUID& guid);

// Resolves an IPv4 host name or dotted address; nullopt when it cannot be resolved.
std::optional<in_addr> ResolveIPv4(const std::string& host);
bool IsLoopback(in_addr address);
// Whether the settings allow sending to `address`.
bool TargetAllowed(const Settings& settings, in_addr address);

void CountEnumerationQuery();
void CountSessionConnect();

} // namespace directplay
