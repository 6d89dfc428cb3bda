#include "enumeration.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <utility>

namespace directplay {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kQueryInterval = std::chrono::milliseconds(500);

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

// The next datagram waiting on `fd`, read into `buffer`, and its sender; nothing when none
// is waiting.
std::optional<std::span<const std::uint8_t>> NextDatagram(int fd, std::span<std::uint8_t> buffer,
                                                          sockaddr_in& from) {
    socklen_t fromSize = sizeof from;
    const ssize_t size = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                  reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (size < 0) {
        return std::nullopt;
    }
    return buffer.first(static_cast<std::size_t>(size));
}

void SendDatagram(int fd, std::span<const std::uint8_t> bytes, const sockaddr_in& to) {
    if (sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0) {
        // A full socket buffer or a vanished receiver: the querier asks again.
    }
}

} // namespace

UdpSocket UdpSocket::Open() {
    UdpSocket opened;
    opened.fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return opened;
}

UdpSocket::~UdpSocket() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool AcceptsNewPlayers(const SessionSummary& session) {
    if (session.flags & (DPSESSION_NEWPLAYERSDISABLED | DPSESSION_JOINDISABLED)) {
        return false;
    }
    return session.maxPlayers == 0 || session.currentPlayers < session.maxPlayers;
}

std::vector<std::uint8_t> EncodeQuery(const Provider& provider, const GUID& application) {
    return Writer(PacketKind::EnumQuery).U8(provider.index).Guid(application).Result();
}

std::optional<GUID> DecodeQuery(const Provider& provider, std::span<const std::uint8_t> bytes) {
    Reader reader(bytes);
    const std::uint8_t index = reader.U8();
    const GUID application = reader.Guid();
    if (!reader.Complete() || reader.Kind() != PacketKind::EnumQuery || index != provider.index) {
        return std::nullopt;
    }
    return application;
}

std::vector<std::uint8_t> EncodeAnswer(const Provider& provider, const SessionSummary& session) {
    return Writer(PacketKind::EnumAnswer)
        .U8(provider.index)
        .Guid(session.instance)
        .Guid(session.application)
        .U32(session.flags)
        .U32(session.maxPlayers)
        .U32(session.currentPlayers)
        .Text(session.name)
        .U32(session.sessionPort)
        .Result();
}

std::optional<SessionSummary> DecodeAnswer(const Provider& provider,
                                           std::span<const std::uint8_t> bytes) {
    Reader reader(bytes);
    SessionSummary session;
    const std::uint8_t index = reader.U8();
    session.instance = reader.Guid();
    session.application = reader.Guid();
    session.flags = reader.U32();
    session.maxPlayers = reader.U32();
    session.currentPlayers = reader.U32();
    session.name = reader.Text();
    const std::uint32_t port = reader.U32();
    if (!reader.Complete() || reader.Kind() != PacketKind::EnumAnswer || index != provider.index ||
        port > 0xFFFF) {
        return std::nullopt;
    }
    session.sessionPort = static_cast<std::uint16_t>(port);
    return session;
}

std::unique_ptr<EnumerationResponder> EnumerationResponder::Create(const Settings& settings,
                                                                   const Provider& provider) {
    UdpSocket relay = UdpSocket::Open();
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = settings.loopbackOnly ? htonl(INADDR_LOOPBACK) : htonl(INADDR_ANY);
    if (relay.Fd() < 0 ||
        bind(relay.Fd(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
        return nullptr;
    }
    std::unique_ptr<EnumerationResponder> responder(
        new EnumerationResponder(settings, provider, std::move(relay)));
    responder->Renew();
    return responder;
}

EnumerationResponder::EnumerationResponder(const Settings& settings, const Provider& provider,
                                           UdpSocket relay)
    : settings_(settings), provider_(provider), relay_(std::move(relay)) {}

EnumerationResponder::~EnumerationResponder() {
    // The owner learns at once that this host answers no more; an owner's successor takes
    // the port at its next renewal.
    if (!OwnsPort()) {
        SendToOwner(PacketKind::EnumUnregister);
    }
}

bool EnumerationResponder::TryOwnPort() {
    UdpSocket port = UdpSocket::Open();
    const int enable = 1;
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = htonl(INADDR_ANY);
    bound.sin_port = htons(provider_.Port(settings_));
    // No SO_REUSEADDR: the port has one owner, so that a unicast query reaches it.
    if (port.Fd() < 0 ||
        setsockopt(port.Fd(), SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0 ||
        bind(port.Fd(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
        return false;
    }
    port_ = std::move(port);
    return true;
}

void EnumerationResponder::Renew() {
    nextRenewal_ = Clock::now() + kRegisterInterval;
    if (OwnsPort()) {
        const auto now = Clock::now();
        std::erase_if(registrations_, [now](const Registration& registration) {
            return registration.expires <= now;
        });
    } else if (!TryOwnPort()) {
        SendToOwner(PacketKind::EnumRegister);
    }
}

void EnumerationResponder::SendToOwner(PacketKind kind) {
    SendDatagram(relay_.Fd(), Writer(kind).Result(), LoopbackAddress(provider_.Port(settings_)));
}

void EnumerationResponder::AnswerQueries(const SessionSummary& session) {
    if (OwnsPort()) {
        ReadPort(session);
    }
    ReadRelays(session);
}

void EnumerationResponder::KeepRegistration() {
    if (Clock::now() >= nextRenewal_) {
        Renew();
    }
}

void EnumerationResponder::Answer(int fd, const sockaddr_in& querier,
                                  std::span<const std::uint8_t> query,
                                  const SessionSummary& session) {
    const auto application = DecodeQuery(provider_, query);
    if (!application || !TargetAllowed(settings_, querier.sin_addr) ||
        (*application != GUID_NULL && *application != session.application)) {
        return;
    }
    SendDatagram(fd, EncodeAnswer(provider_, session), querier);
}

void EnumerationResponder::ReadPort(const SessionSummary& session) {
    std::uint8_t buffer[512];
    sockaddr_in from{};
    while (const auto datagram = NextDatagram(port_.Fd(), buffer, from)) {
        const std::span<const std::uint8_t> bytes = *datagram;
        Reader reader(bytes);
        const bool local = IsLoopback(from.sin_addr);
        auto registered = std::ranges::find_if(registrations_, [&](const Registration& entry) {
            return SameAddress(entry.address, from);
        });
        if (reader.Complete() && local && reader.Kind() == PacketKind::EnumRegister) {
            const auto expires = Clock::now() + kRegistrationLifetime;
            if (registered != registrations_.end()) {
                registered->expires = expires;
            } else if (registrations_.size() < kMaxRegistrations) {
                registrations_.push_back({from, expires});
            }
        } else if (reader.Complete() && local && reader.Kind() == PacketKind::EnumUnregister) {
            if (registered != registrations_.end()) {
                registrations_.erase(registered);
            }
        } else if (DecodeQuery(provider_, bytes) && TargetAllowed(settings_, from.sin_addr)) {
            Answer(port_.Fd(), from, bytes, session);
            const auto relay = Writer(PacketKind::EnumRelay)
                                   .U32(from.sin_addr.s_addr)
                                   .U32(ntohs(from.sin_port))
                                   .Bytes(bytes)
                                   .Result();
            for (const Registration& registration : registrations_) {
                SendDatagram(port_.Fd(), relay, registration.address);
            }
        }
    }
}

void EnumerationResponder::ReadRelays(const SessionSummary& session) {
    const sockaddr_in owner = LoopbackAddress(provider_.Port(settings_));
    std::uint8_t buffer[512];
    sockaddr_in from{};
    while (const auto datagram = NextDatagram(relay_.Fd(), buffer, from)) {
        // Only the owner of the port relays.
        if (!SameAddress(from, owner)) {
            continue;
        }
        Reader reader(*datagram);
        sockaddr_in querier{};
        querier.sin_family = AF_INET;
        querier.sin_addr.s_addr = reader.U32();
        const std::uint32_t port = reader.U32();
        const auto query = reader.Rest();
        if (reader.Complete() && reader.Kind() == PacketKind::EnumRelay && port <= 0xFFFF) {
            querier.sin_port = htons(static_cast<std::uint16_t>(port));
            Answer(relay_.Fd(), querier, query, session);
        }
    }
}

HRESULT EnumerateSessions(const Settings& settings, const Provider& provider, in_addr target,
                          const GUID& application, DWORD timeoutMs,
                          const std::function<bool(const FoundSession&)>& found,
                          const std::function<bool(DWORD& timeoutMs)>& timedOut) {
    if (!TargetAllowed(settings, target)) {
        return DPERR_ACCESSDENIED;
    }
    UdpSocket socket = UdpSocket::Open();
    const int enable = 1;
    if (socket.Fd() < 0 ||
        setsockopt(socket.Fd(), SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0) {
        return DPERR_NOCONNECTION;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    to.sin_port = htons(provider.Port(settings));
    const auto query = EncodeQuery(provider, application);
    auto sendQuery = [&] {
        CountEnumerationQuery();
        return sendto(socket.Fd(), query.data(), query.size(), 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0;
    };

    std::set<GUID, GuidLess> reported;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextQuery = Clock::now();
    std::uint8_t buffer[2048];
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            if (!timedOut(timeoutMs)) {
                return DP_OK;
            }
            deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            continue;
        }
        if (now >= nextQuery) {
            if (!sendQuery()) {
                return DPERR_NOCONNECTION;
            }
            nextQuery = now + kQueryInterval;
        }
        const auto wait = std::min(deadline, nextQuery) - now;
        pollfd descriptor{socket.Fd(), POLLIN, 0};
        const int waitMs =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        if (poll(&descriptor, 1, waitMs) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(socket.Fd(), buffer, sizeof buffer, 0,
                                      reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size <= 0 || !TargetAllowed(settings, from.sin_addr)) {
            continue;
        }
        auto session = DecodeAnswer(provider, {buffer, static_cast<std::size_t>(size)});
        if (!session || !reported.insert(session->instance).second) {
            continue;
        }
        if (!found({*session, from.sin_addr})) {
            return DP_OK;
        }
    }
}

} // namespace directplay
