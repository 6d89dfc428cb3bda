#include "enumeration.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <set>

namespace directplay {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kQueryInterval = std::chrono::milliseconds(500);

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

class UdpSocket {
public:
    UdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~UdpSocket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

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
    if (!reader.Ok() || reader.Kind() != PacketKind::EnumQuery || index != provider.index) {
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
    if (!reader.Ok() || reader.Kind() != PacketKind::EnumAnswer || index != provider.index ||
        port > 0xFFFF) {
        return std::nullopt;
    }
    session.sessionPort = static_cast<std::uint16_t>(port);
    return session;
}

HRESULT EnumerateSessions(const Settings& settings, const Provider& provider, in_addr target,
                          const GUID& application, DWORD timeoutMs,
                          const std::function<bool(const FoundSession&)>& found,
                          const std::function<bool(DWORD& timeoutMs)>& timedOut) {
    if (!TargetAllowed(settings, target)) {
        return DPERR_ACCESSDENIED;
    }
    UdpSocket socket;
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
