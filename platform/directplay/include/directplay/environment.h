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

// Limits that keep one peer from exhausting a session host. They are fixed.
//
// A peer is reported lost when nothing has been heard from it for the keepalive time; the
// report comes at most a quarter of that time later (and never later than 100 ms after it).
// Connections a host accepts at once, joined or not.
inline constexpr std::uint32_t kMaxConnections = 2048;
// A connection that has not joined the session this long after connecting is dropped.
inline constexpr std::uint32_t kJoinTimeoutMs = 5000;
// Players one connection may own at a time; CreatePlayer beyond it fails with
// DPERR_CANTADDPLAYER.
inline constexpr std::uint32_t kMaxPlayersPerConnection = 16;
// Bytes of one message; Send of more fails with DPERR_SENDTOOBIG, and a received packet
// carrying more is dropped.
inline constexpr std::uint32_t kMaxMessageSize = 1024 * 1024;
// Bytes of a player's short or long name and of a session name; CreatePlayer with a longer
// name fails with DPERR_INVALIDPARAMS, and a received packet carrying one is dropped.
inline constexpr std::uint32_t kMaxNameSize = 1024;
// A received packet is dropped when it lacks a field or carries bytes after its last one.

// Datagrams and connection attempts the stand-in has sent in this process, counted before
// each is handed to the socket; a refused target leaves them unchanged.
struct TransportCounters {
    std::uint64_t enumerationQueries;
    std::uint64_t sessionConnects;
};
TransportCounters GetTransportCounters();

} // namespace directplay
