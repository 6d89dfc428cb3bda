// Session enumeration: a UDP query to a host or broadcast address, answered by every
// session host of the same provider listening on the provider's port.
#pragma once

#include "settings.h"
#include "wire.h"

#include <netinet/in.h>

#include <functional>
#include <optional>

namespace directplay {

struct SessionSummary {
    GUID instance{};
    GUID application{};
    DWORD flags = 0;
    DWORD maxPlayers = 0;
    DWORD currentPlayers = 0;
    std::string name;
    std::uint16_t sessionPort = 0; // the host's ENet port
};

bool AcceptsNewPlayers(const SessionSummary& session);

std::vector<std::uint8_t> EncodeQuery(const Provider& provider, const GUID& application);
// The application GUID asked for, when `bytes` is a query for `provider`.
std::optional<GUID> DecodeQuery(const Provider& provider, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> EncodeAnswer(const Provider& provider, const SessionSummary& session);
// The session described, when `bytes` is an answer from a host of `provider`.
std::optional<SessionSummary> DecodeAnswer(const Provider& provider,
                                           std::span<const std::uint8_t> bytes);

struct FoundSession {
    SessionSummary summary;
    in_addr host{};
};

// Sends queries to `target` and reports each newly answering session until `found` returns
// false or the time-out passes; then `timedOut` decides (and may change the time-out)
// whether to go on. Waits on the socket, never spins.
HRESULT EnumerateSessions(const Settings& settings, const Provider& provider, in_addr target,
                          const GUID& application, DWORD timeoutMs,
                          const std::function<bool(const FoundSession&)>& found,
                          const std::function<bool(DWORD& timeoutMs)>& timedOut);

} // namespace directplay
