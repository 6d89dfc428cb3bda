// Session enumeration: a UDP query to a host or broadcast address, answered by every
// session host of the same provider on the machines it reaches.
#pragma once

#include "settings.h"
#include "wire.h"

#include <netinet/in.h>

#include <chrono>
#include <functional>
#include <memory>
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

// A UDP socket, closed with its owner; none when default-constructed.
class UdpSocket {
public:
    UdpSocket() = default;
    static UdpSocket Open();
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// Answers the enumeration queries of one hosted session. Only one socket on a machine can
// own a provider's port, so that a query sent to the machine's address reaches one of its
// hosts: the first host to bind it owns it and relays each query over loopback to the other
// hosts of the machine, which register with it every kRegisterInterval. When the owner ends,
// the next host to try binding the port takes its place. Works on the session's network
// thread, with the session's lock held.
class EnumerationResponder {
public:
    // Fails when no socket can be made.
    static std::unique_ptr<EnumerationResponder> Create(const Settings& settings,
                                                        const Provider& provider);
    ~EnumerationResponder();
    EnumerationResponder(const EnumerationResponder&) = delete;
    EnumerationResponder& operator=(const EnumerationResponder&) = delete;

    static constexpr auto kRegisterInterval = std::chrono::milliseconds(250);
    // A registration not renewed within this time has ended.
    static constexpr auto kRegistrationLifetime = std::chrono::milliseconds(1000);
    // Hosts of one provider on a machine that an owner relays queries to.
    static constexpr std::size_t kMaxRegistrations = 256;

    // The sockets to wait on; -1 for none.
    int PortFd() const { return port_.Fd(); }
    int RelayFd() const { return relay_.Fd(); }
    bool OwnsPort() const { return port_.Fd() >= 0; }
    // Answers what has arrived for `session`; called when a socket above is readable.
    void AnswerQueries(const SessionSummary& session);
    // Registers with the port's owner or takes the port over, when due.
    void KeepRegistration();

private:
    using Clock = std::chrono::steady_clock;
    struct Registration {
        sockaddr_in address{};
        Clock::time_point expires;
    };

    EnumerationResponder(const Settings& settings, const Provider& provider, UdpSocket relay);
    bool TryOwnPort();
    void Renew();
    void ReadPort(const SessionSummary& session);
    void ReadRelays(const SessionSummary& session);
    void Answer(int fd, const sockaddr_in& querier, std::span<const std::uint8_t> query,
                const SessionSummary& session);
    void SendToOwner(PacketKind kind);

    const Settings settings_;
    const Provider& provider_;
    UdpSocket port_;  // bound to the provider's port while this host owns it
    UdpSocket relay_; // registers with the owner, receives its relays
    Clock::time_point nextRenewal_;
    std::vector<Registration> registrations_; // owner only
};

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
