// Settings of the DirectPlay stand-in that Windows' DirectPlay does not have. Each is an
// environment variable, read when a connection is initialised or a session is opened.
#pragma once

#include <cstdint>

namespace directplay {

// "1": every service provider refuses any target outside 127.0.0.0/8, before sending.
inline constexpr const char* kLoopbackOnlyVariable = "DPLAY_LOOPBACK_ONLY";
// Where EnumSessions sends its query when the connection names no host. Default: the
// limited broadcast address 255.255.255.255. 127.255.255.255 reaches every session on
// this machine.
inline constexpr const char* kEnumerationAddressVariable = "DPLAY_ENUM_ADDRESS";
// UDP ports on which session hosts answer enumeration queries, per provider.
inline constexpr const char* kTcpIpPortVariable = "DPLAY_TCPIP_PORT";
inline constexpr const char* kIpxPortVariable = "DPLAY_IPX_PORT";
inline constexpr std::uint16_t kDefaultTcpIpPort = 47624;
inline constexpr std::uint16_t kDefaultIpxPort = 47625;
// Milliseconds after which an unresponsive peer is dropped (keepalive) and a connection
// attempt given up. Default 20000.
inline constexpr const char* kKeepaliveVariable = "DPLAY_KEEPALIVE_MS";
inline constexpr std::uint32_t kDefaultKeepaliveMs = 20000;
// When set, replaces the time-out that callers give EnumSessions (milliseconds).
inline constexpr const char* kEnumerationTimeoutVariable = "DPLAY_ENUM_TIMEOUT_MS";

// Datagrams and connection attempts the stand-in has sent in this process, counted before
// each is handed to the socket; a refused target leaves them unchanged.
struct TransportCounters {
    std::uint64_t enumerationQueries;
    std::uint64_t sessionConnects;
};
TransportCounters GetTransportCounters();

} // namespace directplay
