#include "session.h"

#include "address.h"

#include <enet/time.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace directplay {
namespace {

constexpr std::size_t kChannels = 2;
constexpr enet_uint8 kReliableChannel = 0;
constexpr enet_uint8 kUnreliableChannel = 1;
constexpr int kHostSocketBuffer = 4 * 1024 * 1024;
// Network events handled in one hold of the session's lock.
constexpr int kEventsPerTurn = 256;
// A send that follows the return of the previous one within this gap is part of a burst.
constexpr auto kBurstGap = std::chrono::microseconds(20);
// What a burst queued goes out once the burst has ended, or has been held this long, or
// fills a datagram.
constexpr auto kBurstHold = std::chrono::microseconds(200);
constexpr std::size_t kBurstBytes = ENET_HOST_DEFAULT_MTU;
// A waiting thread that took in what arrived usually waits again soon: the socket stays
// with it for at least this long after its wait ended. The network thread takes it back at
// its first turn after that (a thread that receives meanwhile takes in for itself).
constexpr auto kPumpGrace = std::chrono::milliseconds(1);
// ENet goes through all its peers on every service and flush. A new connection takes the
// lowest free peer, so ENet is shown only the peers up to the highest one used and this many
// more, and the window widens as connections fill it.
constexpr std::size_t kFreePeersShown = 256;
// Receive takes in what arrived itself once the socket has been left this long: a thread
// that is about to wait again would only find nothing.
constexpr auto kReceiveTakesIn = std::chrono::microseconds(200);

// ENet's own test: reliable data goes out while what is in transit and the packet fit in the
// connection's window, which the throttle scales.
bool WindowTakes(const ENetPeer& connection, std::size_t bytes) {
    const enet_uint32 window = std::max(connection.packetThrottle * connection.windowSize /
                                            ENET_PEER_PACKET_THROTTLE_SCALE,
                                        connection.mtu);
    return connection.reliableDataInTransit + bytes <= window;
}

void InitializeENet() {
    static const bool initialized = enet_initialize() == 0;
    (void)initialized;
}

std::string NameText(LPCSTR text) {
    return text != nullptr ? std::string(text) : std::string();
}

// The IPv4 addresses of this machine's interfaces, loopback only when there is no other.
std::vector<std::string> LocalAddresses(const Settings& settings) {
    std::vector<std::string> addresses;
    ifaddrs* interfaces = nullptr;
    if (!settings.loopbackOnly && getifaddrs(&interfaces) == 0) {
        for (ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            const in_addr address = reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr;
            if (!IsLoopback(address)) {
                addresses.emplace_back(inet_ntoa(address));
            }
        }
        freeifaddrs(interfaces);
    }
    if (addresses.empty()) {
        addresses.emplace_back("127.0.0.1");
    }
    return addresses;
}

template <typename Message> DWORD NamedMessageSize(const SystemEvent& event) {
    return static_cast<DWORD>(sizeof(Message) + event.shortName.size() + 1 + event.longName.size() +
                              1);
}

DWORD MessageSize(const QueuedMessage& message) {
    if (const auto* bytes = std::get_if<std::vector<BYTE>>(&message.content)) {
        return static_cast<DWORD>(bytes->size());
    }
    const auto& event = std::get<SystemEvent>(message.content);
    switch (event.type) {
    case DPSYS_CREATEPLAYERORGROUP:
        return NamedMessageSize<DPMSG_CREATEPLAYERORGROUP>(event);
    case DPSYS_DESTROYPLAYERORGROUP:
        return NamedMessageSize<DPMSG_DESTROYPLAYERORGROUP>(event);
    default:
        return sizeof(DPMSG_GENERIC);
    }
}

// Writes a player message with its names stored after the structure, as DirectPlay does.
template <typename Message> void WriteNamedMessage(const SystemEvent& event, void* buffer) {
    auto* message = static_cast<Message*>(buffer);
    char* text = static_cast<char*>(buffer) + sizeof(Message);
    message->dwType = event.type;
    message->dwPlayerType = DPPLAYERTYPE_PLAYER;
    message->dpId = event.player;
    message->dpnName.dwSize = sizeof(DPNAME);
    message->dpnName.lpszShortNameA = text;
    std::memcpy(text, event.shortName.c_str(), event.shortName.size() + 1);
    text += event.shortName.size() + 1;
    message->dpnName.lpszLongNameA = text;
    std::memcpy(text, event.longName.c_str(), event.longName.size() + 1);
    message->dwFlags = event.flags;
}

void WriteMessage(const QueuedMessage& message, void* buffer, DWORD size) {
    std::memset(buffer, 0, size);
    if (const auto* bytes = std::get_if<std::vector<BYTE>>(&message.content)) {
        std::memcpy(buffer, bytes->data(), bytes->size());
        return;
    }
    const auto& event = std::get<SystemEvent>(message.content);
    if (event.type == DPSYS_CREATEPLAYERORGROUP) {
        WriteNamedMessage<DPMSG_CREATEPLAYERORGROUP>(event, buffer);
        static_cast<DPMSG_CREATEPLAYERORGROUP*>(buffer)->dwCurrentPlayers = event.currentPlayers;
    } else if (event.type == DPSYS_DESTROYPLAYERORGROUP) {
        WriteNamedMessage<DPMSG_DESTROYPLAYERORGROUP>(event, buffer);
    } else {
        static_cast<DPMSG_GENERIC*>(buffer)->dwType = event.type;
    }
}

std::vector<std::uint8_t> PlayerPacket(PacketKind kind, DPID id, DWORD flags,
                                       const std::string& shortName, const std::string& longName,
                                       DWORD currentPlayers) {
    return Writer(kind)
        .U32(id)
        .U32(flags)
        .Text(shortName)
        .Text(longName)
        .U32(currentPlayers)
        .Result();
}

std::vector<std::uint8_t> DataPacket(DPID from, DPID to, std::span<const std::uint8_t> payload) {
    return Writer(PacketKind::Data).U32(from).U32(to).Bytes(payload).Result();
}

// Packets beyond a message of the largest size are dropped by ENet before they are put
// together.
void LimitPacketSize(ENetHost& host) {
    host.maximumPacketSize = kMaxMessageSize + DataPacket(0, 0, {}).size();
}

} // namespace

Session::Session(const SessionConfig& config, bool isHost, Links* links)
    : config_(config), isHost_(isHost), links_(links != nullptr ? *links : *this) {
    InitializeENet();
}

Session::~Session() {
    if (thread_.joinable()) {
        {
            std::lock_guard guard(lock_);
            stop_ = true;
        }
        Wake();
        thread_.join();
    }
    if (pump_ != nullptr) {
        for (const auto& [id, player] : players_) {
            if (player.local && player.event != nullptr) {
                win32::ClearEventPump(player.event, *pump_);
            }
        }
        // Waits for a waiting thread that is taking in what arrived.
        pump_->Detach();
    }
    if (host_ != nullptr) {
        host_->peerCount = allocatedPeers_;
        // Tell every connected peer at once: the host's peers lose the session, the host
        // drops a leaving peer's players.
        for (std::size_t i = 0; i < host_->peerCount; ++i) {
            if (host_->peers[i].state == ENET_PEER_STATE_CONNECTED) {
                enet_peer_disconnect_now(&host_->peers[i], 0);
            }
        }
        enet_host_destroy(host_);
    }
    if (wakeFd_ >= 0) {
        close(wakeFd_);
    }
    if (socketWatch_ >= 0) {
        close(socketWatch_);
    }
}

HRESULT Session::Create(const SessionConfig& config, std::unique_ptr<Session>& session) {
    std::unique_ptr<Session> created(new Session(config, true));
    const HRESULT hr = created->StartHost();
    if (SUCCEEDED(hr)) {
        session = std::move(created);
    }
    return hr;
}

HRESULT Session::BeginJoin(const SessionConfig& config, std::unique_ptr<Session>& session) {
    if (!TargetAllowed(config.settings, config.host)) {
        return DPERR_ACCESSDENIED;
    }
    std::unique_ptr<Session> joining(new Session(config, false));
    const HRESULT hr = joining->StartJoin();
    if (SUCCEEDED(hr)) {
        session = std::move(joining);
    }
    return hr;
}

HRESULT Session::StartHost() {
    if (config_.summary.name.size() > kMaxNameSize) {
        return DPERR_INVALIDPARAMS;
    }
    ENetAddress address{};
    address.host = config_.settings.loopbackOnly ? htonl(INADDR_LOOPBACK) : ENET_HOST_ANY;
    address.port = 0;
    host_ = enet_host_create(&address, kMaxConnections, kChannels, 0, 0);
    responder_ = EnumerationResponder::Create(config_.settings, *config_.provider);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (host_ == nullptr || responder_ == nullptr || wakeFd_ < 0) {
        return DPERR_CANNOTCREATESERVER;
    }
    LimitPacketSize(*host_);
    // Every connection's packets arrive on this one socket: a burst from many peers at once
    // must not overflow it (the system caps the size at its own maximum).
    if (enet_socket_set_option(host_->socket, ENET_SOCKOPT_RCVBUF, kHostSocketBuffer) != 0 ||
        enet_socket_set_option(host_->socket, ENET_SOCKOPT_SNDBUF, kHostSocketBuffer) != 0) {
        return DPERR_CANNOTCREATESERVER;
    }
    allocatedPeers_ = host_->peerCount;
    host_->peerCount = std::min(allocatedPeers_, kFreePeersShown);
    clocks_.resize(allocatedPeers_);
    if (!StartWatch()) {
        return DPERR_CANNOTCREATESERVER;
    }
    config_.summary.sessionPort = host_->address.port;
    state_ = State::Open;
    thread_ = std::thread(&Session::Run, this);
    return DP_OK;
}

HRESULT Session::StartJoin() {
    ENetAddress local{};
    local.host = config_.settings.loopbackOnly ? htonl(INADDR_LOOPBACK) : ENET_HOST_ANY;
    host_ = enet_host_create(&local, 1, kChannels, 0, 0);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (host_ == nullptr || wakeFd_ < 0) {
        return DPERR_NOCONNECTION;
    }
    LimitPacketSize(*host_);
    allocatedPeers_ = host_->peerCount;
    clocks_.resize(allocatedPeers_);
    if (!StartWatch()) {
        return DPERR_NOCONNECTION;
    }
    ENetAddress remote{};
    remote.host = config_.host.s_addr;
    remote.port = config_.summary.sessionPort;
    CountSessionConnect();
    ENetPeer* server = enet_host_connect(host_, &remote, kChannels, 0);
    if (server == nullptr) {
        return DPERR_NOCONNECTION;
    }
    const std::uint32_t keepalive = config_.settings.keepaliveMs;
    enet_peer_timeout(server, 0, keepalive, keepalive);
    enet_peer_ping_interval(server, std::max<std::uint32_t>(keepalive / 4, 10));
    thread_ = std::thread(&Session::Run, this);
    return DP_OK;
}

bool Session::StartWatch() {
    socketWatch_ = epoll_create1(EPOLL_CLOEXEC);
    epoll_event interest{};
    interest.events = EPOLLIN;
    interest.data.fd = host_->socket;
    if (socketWatch_ < 0 || epoll_ctl(socketWatch_, EPOLL_CTL_ADD, host_->socket, &interest) != 0) {
        return false;
    }
    const int pumpWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (pumpWake < 0) {
        return false;
    }
    pump_ = std::make_shared<Pump>(*this, pumpWake);
    return true;
}

HRESULT Session::JoinStatus(DWORD waitMs) {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, std::chrono::milliseconds(waitMs),
                      [this] { return state_ != State::Connecting; });
    switch (state_) {
    case State::Connecting:
        return DPERR_CONNECTING;
    case State::Open:
        return DP_OK;
    case State::Lost:
        return DPERR_CONNECTIONLOST;
    case State::Failed:
        break;
    }
    return failure_;
}

Session::Hold::Hold(Session& session) : session_(session), guard_(session.lock_) {}

Session::Hold::~Hold() {
    for (HANDLE event : session_.dueEvents_) {
        SetEvent(event);
    }
    session_.dueEvents_.clear();
}

void Session::Wake() {
    const std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // The counter is saturated: the thread is already due to wake.
    }
}

void Session::Run() {
    {
        std::lock_guard guard(lock_);
        nextCheck_ = enet_time_get();
    }
    const int periodMs =
        static_cast<int>(std::clamp<std::uint32_t>(config_.settings.keepaliveMs / 4, 10, 100));
    bool busy = false;
    auto burstWait = std::chrono::nanoseconds::zero();
    // The enumeration sockets are read when poll finds them readable, and once at the start.
    bool queriesWaiting = true;
    for (;;) {
        // The socket is watched through socketWatch_, from which a waiting thread that takes
        // in what arrives removes it meanwhile; the network thread takes it back once that
        // thread has not waited again for a while.
        const auto socketDue = pump_->ReturnIdleSocket();
        pollfd descriptors[4] = {{watchFailed_ ? host_->socket : socketWatch_, POLLIN, 0},
                                 {wakeFd_, POLLIN, 0},
                                 {-1, POLLIN, 0},
                                 {-1, POLLIN, 0}};
        {
            Hold hold(*this);
            if (stop_) {
                return;
            }
            // One round of socket reads, then the events it queued, before flushing once; a
            // long burst is taken in turns, so that the callers waiting for the lock get it
            // in between.
            busy = TakeIn();
            CheckPeers();
            if (responder_ != nullptr) {
                if (queriesWaiting) {
                    responder_->AnswerQueries(Summary());
                }
                responder_->KeepRegistration();
                descriptors[2].fd = responder_->PortFd();
                descriptors[3].fd = responder_->RelayFd();
            }
            // While a burst goes on, what it queued waits, and so do the acknowledgements.
            burstWait = BurstWait();
            if (burstWait == std::chrono::nanoseconds::zero()) {
                flushDue_ = false;
                FlushQueued();
            }
        }
        std::chrono::nanoseconds wait = std::chrono::milliseconds(periodMs);
        if (busy) {
            wait = std::chrono::nanoseconds::zero();
        } else if (burstWait != std::chrono::nanoseconds::zero()) {
            wait = burstWait;
        }
        if (socketDue) {
            wait = std::min(wait, *socketDue);
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        timespec timeout{seconds.count(), (wait - seconds).count()};
        ppoll(descriptors, 4, &timeout, nullptr);
        queriesWaiting = (descriptors[2].revents | descriptors[3].revents) != 0;
        if (descriptors[1].revents & POLLIN) {
            std::uint64_t value;
            if (read(wakeFd_, &value, sizeof value) < 0) {
                // Already reset by an earlier read.
            }
        }
    }
}

bool Session::TakeIn() {
    ENetEvent event;
    bool more = false;
    int handled = 0;
    for (int found = enet_host_service(host_, &event, 0); found > 0;
         found = enet_host_check_events(host_, &event)) {
        HandleEvent(event);
        if (++handled == kEventsPerTurn) {
            more = true;
            break;
        }
    }
    WidenPeerWindow();
    return more;
}

void Session::WidenPeerWindow() {
    const std::size_t shown = host_->peerCount;
    if (shown == allocatedPeers_ ||
        host_->peers[shown - kFreePeersShown / 2].state == ENET_PEER_STATE_DISCONNECTED) {
        return;
    }
    std::size_t highest = shown - 1;
    while (host_->peers[highest].state == ENET_PEER_STATE_DISCONNECTED) {
        --highest;
    }
    host_->peerCount = std::min(allocatedPeers_, highest + 1 + kFreePeersShown);
}

void Session::TakeInFromWait() {
    Hold hold(*this);
    if (stop_) {
        return;
    }
    // The rest of a long burst is left to the network thread.
    if (TakeIn()) {
        FlushSoon();
    }
    FlushQueued();
}

bool Session::WatchSocket(bool watch) {
    epoll_event interest{};
    interest.events = watch ? static_cast<std::uint32_t>(EPOLLIN) : 0U;
    interest.data.fd = host_->socket;
    return epoll_ctl(socketWatch_, EPOLL_CTL_MOD, host_->socket, &interest) == 0;
}

Session::Pump::~Pump() {
    close(wakeFd_);
}

bool Session::Pump::Claim() {
    std::lock_guard guard(mutex_);
    if (session_ == nullptr) {
        return false;
    }
    if (session_->pumping_) {
        // Another wait sleeps meanwhile and relies on the network thread: from now on the
        // socket goes back to it as each wait ends.
        session_->contended_ = true;
        return false;
    }
    session_->pumping_ = true;
    // Without it the network thread goes on watching the socket too: only slower.
    if (!session_->socketLeft_ && session_->WatchSocket(false)) {
        session_->socketLeft_ = true;
    }
    return true;
}

int Session::Pump::Descriptor() {
    std::lock_guard guard(mutex_);
    return session_ != nullptr && !session_->stop_ ? session_->host_->socket : -1;
}

void Session::Pump::Work() {
    std::lock_guard guard(mutex_);
    if (session_ != nullptr) {
        session_->TakeInFromWait();
    }
}

void Session::Pump::Release() {
    std::lock_guard guard(mutex_);
    if (session_ == nullptr) {
        return;
    }
    session_->pumping_ = false;
    session_->leftAt_ = std::chrono::steady_clock::now();
    if (session_->contended_) {
        HandBackSocket();
    }
}

std::optional<std::chrono::nanoseconds> Session::Pump::ReturnIdleSocket() {
    std::lock_guard guard(mutex_);
    if (session_ == nullptr || session_->pumping_ || !session_->socketLeft_) {
        return std::nullopt;
    }
    const auto idle = std::chrono::steady_clock::now() - session_->leftAt_.load();
    if (idle < kPumpGrace) {
        return kPumpGrace - idle;
    }
    HandBackSocket();
    return std::nullopt;
}

void Session::Pump::HandBackSocket() {
    if (!session_->socketLeft_) {
        return;
    }
    session_->socketLeft_ = false;
    // A packet that arrived meanwhile wakes the network thread at once.
    if (!session_->WatchSocket(true)) {
        session_->watchFailed_ = true;
        session_->Wake();
    }
}

void Session::Pump::Detach() {
    std::lock_guard guard(mutex_);
    session_ = nullptr;
}

void Session::CheckPeers() {
    const enet_uint32 now = enet_time_get();
    if (ENET_TIME_LESS(now, nextCheck_)) {
        return;
    }
    const std::uint32_t keepalive = config_.settings.keepaliveMs;
    nextCheck_ = now + std::clamp<std::uint32_t>(keepalive / 4, 10, 100);
    for (PeerId id = 0; id < clocks_.size(); ++id) {
        PeerClock& clock = clocks_[id];
        if (!clock.live) {
            continue;
        }
        ENetPeer& peer = host_->peers[id];
        // ENet notes when it was last acknowledged (0 until the first acknowledgement); the
        // packets it hands over are noted here.
        enet_uint32 heard = clock.heardAt;
        if (peer.lastReceiveTime != 0 && ENET_TIME_GREATER(peer.lastReceiveTime, heard)) {
            heard = peer.lastReceiveTime;
        }
        if (ENET_TIME_DIFFERENCE(now, heard) >= keepalive) {
            enet_peer_reset(&peer);
        } else if (isHost_ && !joined_.contains(id) &&
                   ENET_TIME_DIFFERENCE(now, clock.connectedAt) >= kJoinTimeoutMs) {
            enet_peer_disconnect_now(&peer, 0);
        } else {
            continue;
        }
        clock = PeerClock{};
        PeerGone(id);
    }
}

void Session::HandleEvent(const ENetEvent& event) {
    const PeerId peer = PeerOf(event.peer);
    switch (event.type) {
    case ENET_EVENT_TYPE_CONNECT:
        clocks_[peer] = PeerClock{true, host_->serviceTime, host_->serviceTime};
        if (isHost_) {
            const std::uint32_t keepalive = config_.settings.keepaliveMs;
            enet_peer_timeout(event.peer, 0, keepalive, keepalive);
            enet_peer_ping_interval(event.peer, std::max<std::uint32_t>(keepalive / 4, 10));
        } else {
            links_.SendTo(kHostPeer,
                          Writer(PacketKind::Join).Guid(config_.summary.instance).Result(), true);
        }
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        clocks_[peer].heardAt = host_->serviceTime;
        HandlePacket(peer, {event.packet->data, event.packet->dataLength},
                     (event.packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0);
        enet_packet_destroy(event.packet);
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        clocks_[peer] = PeerClock{};
        PeerGone(peer);
        break;
    case ENET_EVENT_TYPE_NONE:
        break;
    }
}

PeerId Session::PeerOf(const ENetPeer* peer) const {
    return static_cast<PeerId>(peer - host_->peers);
}

void Session::HandlePacket(PeerId peer, std::span<const std::uint8_t> bytes, bool reliable) {
    Reader reader(bytes);
    if (!reader.Ok()) {
        return;
    }
    if (isHost_) {
        HostHandle(peer, reader, reliable);
    } else {
        PeerHandle(reader);
    }
}

void Session::HostHandle(PeerId peer, Reader& reader, bool reliable) {
    const bool joined = joined_.contains(peer);
    switch (reader.Kind()) {
    case PacketKind::Join: {
        const GUID instance = reader.Guid();
        HRESULT refusal = DP_OK;
        if (!reader.Complete() || instance != config_.summary.instance) {
            refusal = DPERR_NOSESSIONS;
        } else if (!AcceptsNewPlayers(Summary())) {
            refusal = DPERR_NONEWPLAYERS;
        }
        if (refusal != DP_OK) {
            links_.SendTo(peer, Writer(PacketKind::Refused).U32(refusal).Result(), true);
            links_.CloseLater(peer);
            return;
        }
        joined_.insert(peer);
        links_.SendTo(peer,
                      Writer(PacketKind::Welcome)
                          .U32(config_.summary.flags)
                          .U32(config_.summary.maxPlayers)
                          .Result(),
                      true);
        return;
    }
    case PacketKind::CreatePlayer: {
        const std::uint32_t request = reader.U32();
        const DWORD flags = reader.U32();
        std::string shortName = reader.Text();
        std::string longName = reader.Text();
        if (!reader.Complete() || !joined) {
            return;
        }
        if (IsFull() || PlayersOf(peer) >= kMaxPlayersPerConnection) {
            links_.SendTo(peer,
                          Writer(PacketKind::PlayerCreated)
                              .U32(request)
                              .U32(DPERR_CANTADDPLAYER)
                              .U32(0)
                              .Result(),
                          true);
            return;
        }
        const DPID id = AssignId(flags, false);
        AddPlayer(Player{id, flags, shortName, longName, peer, false, nullptr});
        links_.SendTo(
            peer, Writer(PacketKind::PlayerCreated).U32(request).U32(DP_OK).U32(id).Result(), true);
        const SystemEvent created{DPSYS_CREATEPLAYERORGROUP,           id,        flags,
                                  static_cast<DWORD>(players_.size()), shortName, longName};
        Notify(created, 0);
        if (!(config_.summary.flags & DPSESSION_CLIENTSERVER)) {
            Broadcast(PlayerPacket(PacketKind::PlayerAdded, id, flags, shortName, longName,
                                   static_cast<DWORD>(players_.size())),
                      peer);
        }
        return;
    }
    case PacketKind::DestroyPlayer: {
        const DPID id = reader.U32();
        auto player = players_.find(id);
        if (reader.Complete() && player != players_.end() && player->second.peer == peer) {
            RemovePlayer(id);
        }
        return;
    }
    case PacketKind::Data: {
        const DPID from = reader.U32();
        const DPID to = reader.U32();
        auto payload = reader.Rest();
        auto sender = players_.find(from);
        if (reader.Complete() && sender != players_.end() && sender->second.peer == peer) {
            Route(from, to, payload, reliable, peer);
        }
        return;
    }
    default:
        return;
    }
}

void Session::PeerHandle(Reader& reader) {
    switch (reader.Kind()) {
    case PacketKind::Welcome: {
        const DWORD flags = reader.U32();
        const DWORD maxPlayers = reader.U32();
        if (reader.Complete() && state_ == State::Connecting) {
            config_.summary.flags = flags;
            config_.summary.maxPlayers = maxPlayers;
            state_ = State::Open;
            changed_.notify_all();
        }
        return;
    }
    case PacketKind::Refused: {
        const HRESULT refusal = static_cast<HRESULT>(reader.U32());
        if (reader.Complete() && state_ == State::Connecting) {
            state_ = State::Failed;
            failure_ = refusal;
            changed_.notify_all();
        }
        return;
    }
    case PacketKind::PlayerCreated: {
        const std::uint32_t request = reader.U32();
        const HRESULT result = static_cast<HRESULT>(reader.U32());
        const DPID id = reader.U32();
        auto pending = pendingCreates_.find(request);
        if (reader.Complete() && pending != pendingCreates_.end() && !pending->second.done) {
            PendingCreate& create = pending->second;
            create.done = true;
            // The caller is told DP_OK for any success the host reports.
            create.result = SUCCEEDED(result) ? DP_OK : result;
            create.id = id;
            // A player the host cannot have given: not one of the reserved ids, nor one
            // already here.
            if (SUCCEEDED(create.result) &&
                (id == DPID_ALLPLAYERS || id == DPID_UNKNOWN || players_.contains(id))) {
                create.result = DPERR_CANTADDPLAYER;
            }
            // Registered here, not by the waiting caller: the host may send to the new
            // player right after its answer, in the same burst of packets.
            if (SUCCEEDED(create.result)) {
                AddPlayer(Player{id, create.flags, create.shortName, create.longName, kNoPeer, true,
                                 create.event});
            }
            changed_.notify_all();
        }
        return;
    }
    case PacketKind::PlayerAdded:
    case PacketKind::PlayerRemoved: {
        SystemEvent event;
        event.type = reader.Kind() == PacketKind::PlayerAdded ? DPSYS_CREATEPLAYERORGROUP
                                                              : DPSYS_DESTROYPLAYERORGROUP;
        event.player = reader.U32();
        event.flags = reader.U32();
        event.shortName = reader.Text();
        event.longName = reader.Text();
        event.currentPlayers = reader.U32();
        if (reader.Complete()) {
            Notify(event, 0);
        }
        return;
    }
    case PacketKind::Data: {
        const DPID from = reader.U32();
        const DPID to = reader.U32();
        auto payload = reader.Rest();
        if (reader.Complete()) {
            Deliver(from, to, payload);
        }
        return;
    }
    default:
        return;
    }
}

void Session::PeerGone(PeerId peer) {
    if (isHost_) {
        std::vector<DPID> owned;
        for (const auto& [id, player] : players_) {
            if (player.peer == peer) {
                owned.push_back(id);
            }
        }
        for (DPID id : owned) {
            RemovePlayer(id);
        }
        joined_.erase(peer);
        return;
    }
    if (state_ == State::Connecting) {
        state_ = State::Failed;
        failure_ = DPERR_NOCONNECTION;
    } else if (state_ == State::Open) {
        state_ = State::Lost;
        SystemEvent lost;
        lost.type = DPSYS_SESSIONLOST;
        Notify(lost, 0);
    }
    changed_.notify_all();
}

void Session::AddPlayer(const Player& player) {
    players_[player.id] = player;
    if (player.local) {
        local_.insert(player.id);
    }
}

DPID Session::AssignId(DWORD flags, bool local) {
    // Only the host's own player can be the server player.
    if (local && (flags & DPPLAYER_SERVERPLAYER) &&
        (config_.summary.flags & DPSESSION_CLIENTSERVER) && !players_.contains(DPID_SERVERPLAYER)) {
        return DPID_SERVERPLAYER;
    }
    while (players_.contains(nextId_) || nextId_ == DPID_UNKNOWN || nextId_ <= DPID_SERVERPLAYER) {
        ++nextId_;
    }
    return nextId_++;
}

std::size_t Session::PlayersOf(PeerId peer) const {
    return static_cast<std::size_t>(std::ranges::count_if(
        players_, [peer](const auto& entry) { return entry.second.peer == peer; }));
}

bool Session::IsFull() const {
    return config_.summary.maxPlayers != 0 && players_.size() >= config_.summary.maxPlayers;
}

SessionSummary Session::Summary() const {
    SessionSummary summary = config_.summary;
    summary.currentPlayers = static_cast<DWORD>(players_.size());
    return summary;
}

void Session::Notify(const SystemEvent& event, DPID except) {
    for (DPID id : local_) {
        const Player& player = players_.at(id);
        if (id != except) {
            queue_.push_back({DPID_SYSMSG, id, event});
            Signal(player.event);
        }
    }
}

void Session::Signal(HANDLE event) {
    if (event != nullptr && std::ranges::find(dueEvents_, event) == dueEvents_.end()) {
        dueEvents_.push_back(event);
    }
}

void Session::Deliver(DPID from, DPID to, std::span<const std::uint8_t> payload) {
    auto player = players_.find(to);
    if (player == players_.end() || !player->second.local) {
        return;
    }
    queue_.push_back({from, to, std::vector<BYTE>(payload.begin(), payload.end())});
    Signal(player->second.event);
}

void Session::Route(DPID from, DPID to, std::span<const std::uint8_t> payload, bool reliable,
                    PeerId origin) {
    auto sendTo = [&](const Player& player) {
        if (player.local) {
            Deliver(from, player.id, payload);
        } else {
            links_.SendTo(player.peer, DataPacket(from, player.id, payload), reliable);
        }
    };
    if (to != DPID_ALLPLAYERS) {
        auto player = players_.find(to);
        if (player != players_.end()) {
            sendTo(player->second);
        }
        return;
    }
    // In a client/server session a client's send to all players reaches the server player,
    // which is local.
    if ((config_.summary.flags & DPSESSION_CLIENTSERVER) && origin != kNoPeer) {
        for (DPID id : local_) {
            const Player& player = players_.at(id);
            if (id != from && (player.flags & DPPLAYER_SERVERPLAYER)) {
                sendTo(player);
            }
        }
        return;
    }
    for (const auto& [id, player] : players_) {
        if (id != from) {
            sendTo(player);
        }
    }
}

void Session::Broadcast(const std::vector<std::uint8_t>& bytes, PeerId except) {
    for (PeerId peer : joined_) {
        if (peer != except) {
            links_.SendTo(peer, bytes, true);
        }
    }
}

void Session::RemovePlayer(DPID id) {
    auto found = players_.find(id);
    if (found == players_.end()) {
        return;
    }
    const Player player = found->second;
    players_.erase(found);
    local_.erase(id);
    std::erase_if(queue_, [id](const QueuedMessage& message) { return message.to == id; });
    if (!isHost_) {
        return;
    }
    const SystemEvent destroyed{DPSYS_DESTROYPLAYERORGROUP,
                                id,
                                player.flags,
                                static_cast<DWORD>(players_.size()),
                                player.shortName,
                                player.longName};
    Notify(destroyed, 0);
    if (!(config_.summary.flags & DPSESSION_CLIENTSERVER)) {
        Broadcast(PlayerPacket(PacketKind::PlayerRemoved, id, player.flags, player.shortName,
                               player.longName, static_cast<DWORD>(players_.size())),
                  player.peer);
    }
}

HRESULT Session::CreatePlayer(DPID& id, const DPNAME* name, HANDLE event, DWORD flags) {
    const std::string shortName = name ? NameText(name->lpszShortNameA) : std::string();
    const std::string longName = name ? NameText(name->lpszLongNameA) : std::string();
    if (shortName.size() > kMaxNameSize || longName.size() > kMaxNameSize) {
        return DPERR_INVALIDPARAMS;
    }
    const HRESULT hr = AddLocalPlayer(id, shortName, longName, event, flags);
    if (SUCCEEDED(hr) && event != nullptr && pump_ != nullptr) {
        win32::SetEventPump(event, pump_);
    }
    return hr;
}

HRESULT Session::AddLocalPlayer(DPID& id, const std::string& shortName, const std::string& longName,
                                HANDLE event, DWORD flags) {
    Hold hold(*this);
    if (state_ != State::Open) {
        return DPERR_CONNECTIONLOST;
    }
    if (isHost_) {
        if (IsFull()) {
            return DPERR_CANTADDPLAYER;
        }
        id = AssignId(flags, true);
        AddPlayer(Player{id, flags, shortName, longName, kNoPeer, true, event});
        if (!(config_.summary.flags & DPSESSION_CLIENTSERVER)) {
            Broadcast(PlayerPacket(PacketKind::PlayerAdded, id, flags, shortName, longName,
                                   static_cast<DWORD>(players_.size())),
                      kNoPeer);
            FlushQueued();
        }
        return DP_OK;
    }
    const std::uint32_t request = nextRequest_++;
    pendingCreates_[request] = PendingCreate{false, DP_OK, 0, flags, shortName, longName, event};
    links_.SendTo(kHostPeer,
                  Writer(PacketKind::CreatePlayer)
                      .U32(request)
                      .U32(flags)
                      .Text(shortName)
                      .Text(longName)
                      .Result(),
                  true);
    FlushQueued();
    const bool answered =
        changed_.wait_for(hold.Guard(), std::chrono::milliseconds(config_.settings.keepaliveMs),
                          [&] { return pendingCreates_[request].done || state_ != State::Open; });
    const PendingCreate outcome = pendingCreates_[request];
    pendingCreates_.erase(request);
    if (!outcome.done) {
        return answered ? DPERR_CONNECTIONLOST : DPERR_TIMEOUT;
    }
    if (SUCCEEDED(outcome.result)) {
        id = outcome.id;
    }
    return outcome.result;
}

HRESULT Session::DestroyPlayer(DPID id) {
    HANDLE unused = nullptr; // the player's event, unless another local player shares it
    {
        Hold hold(*this);
        auto player = players_.find(id);
        if (player == players_.end() || !player->second.local) {
            return DPERR_INVALIDPLAYER;
        }
        const HANDLE event = player->second.event;
        RemovePlayer(id);
        if (!isHost_ && state_ == State::Open) {
            links_.SendTo(kHostPeer, Writer(PacketKind::DestroyPlayer).U32(id).Result(), true);
        }
        FlushQueued();
        if (std::ranges::none_of(local_,
                                 [&](DPID other) { return players_.at(other).event == event; })) {
            unused = event;
        }
    }
    if (unused != nullptr && pump_ != nullptr) {
        win32::ClearEventPump(unused, *pump_);
    }
    return DP_OK;
}

HRESULT Session::Send(DPID from, DPID to, DWORD flags, std::span<const BYTE> data) {
    if (data.size() > kMaxMessageSize) {
        return DPERR_SENDTOOBIG;
    }
    Hold hold(*this);
    auto sender = players_.find(from);
    if (sender == players_.end() || !sender->second.local) {
        return DPERR_INVALIDPLAYER;
    }
    if (state_ != State::Open) {
        return DPERR_CONNECTIONLOST;
    }
    const bool reliable = (flags & DPSEND_GUARANTEED) != 0;
    if (isHost_) {
        if (to != DPID_ALLPLAYERS && !players_.contains(to)) {
            return DPERR_INVALIDPLAYER;
        }
        Route(from, to, data, reliable, kNoPeer);
    } else {
        auto target = players_.find(to);
        if (target != players_.end()) {
            Deliver(from, to, data);
        } else {
            links_.SendTo(kHostPeer, DataPacket(from, to, data), reliable);
        }
    }
    // A send on its own goes out at once from the caller's thread. The sends of a burst are
    // left to the network thread, which sends them together when the burst ends, unless
    // they fill a datagram first. Packets that wait for room in their connection's window
    // go out with the acknowledgements that make it: a flush would only walk ENet's queue.
    const auto now = std::chrono::steady_clock::now();
    if (queuedWaitsForRoom_ && !queuedReady_) {
        lastSendReturned_ = now;
        return DP_OK;
    }
    if (burstBytes_ == 0) {
        burstStarted_ = now;
    }
    burstBytes_ += data.size();
    if ((now - lastSendReturned_ >= kBurstGap && queue_.empty()) || burstBytes_ >= kBurstBytes) {
        FlushQueued();
    } else {
        links_.FlushSoon();
    }
    lastSendReturned_ = std::chrono::steady_clock::now();
    return DP_OK;
}

HRESULT Session::Receive(DPID* from, DPID* to, DWORD flags, void* buffer, DWORD* size) {
    if (size == nullptr || ((flags & DPRECEIVE_TOPLAYER) && to == nullptr) ||
        ((flags & DPRECEIVE_FROMPLAYER) && from == nullptr)) {
        return DPERR_INVALIDPARAMS;
    }
    Hold hold(*this);
    auto matches = [&](const QueuedMessage& message) {
        return (!(flags & DPRECEIVE_TOPLAYER) || message.to == *to) &&
               (!(flags & DPRECEIVE_FROMPLAYER) || message.from == *from);
    };
    auto message = std::find_if(queue_.begin(), queue_.end(), matches);
    // While no thread watches the socket, a thread that keeps receiving takes in what
    // arrived itself.
    if (message == queue_.end() && socketLeft_ &&
        std::chrono::steady_clock::now() - leftAt_.load() >= kReceiveTakesIn && !stop_) {
        if (TakeIn()) {
            FlushSoon();
        }
        FlushQueued();
        message = std::find_if(queue_.begin(), queue_.end(), matches);
    }
    if (message == queue_.end()) {
        // The thread has taken all there was: the burst of its answers is over.
        if (burstBytes_ > 0) {
            FlushQueued();
        }
        return DPERR_NOMESSAGES;
    }
    const DWORD needed = MessageSize(*message);
    // An empty message needs no buffer.
    if (needed > 0) {
        if (buffer == nullptr || *size < needed) {
            *size = needed;
            return DPERR_BUFFERTOOSMALL;
        }
        WriteMessage(*message, buffer, needed);
    }
    *size = needed;
    if (from != nullptr) {
        *from = message->from;
    }
    if (to != nullptr) {
        *to = message->to;
    }
    if (!(flags & DPRECEIVE_PEEK)) {
        queue_.erase(message);
    }
    return DP_OK;
}

HRESULT Session::PlayerAddress(DPID id, std::vector<BYTE>& address) {
    std::lock_guard guard(lock_);
    auto player = players_.find(id);
    if (player == players_.end()) {
        return DPERR_INVALIDPLAYER;
    }
    std::vector<AddressElement> elements{ProviderElement(*config_.provider->guid)};
    if (config_.provider->internetAddresses) {
        if (player->second.local) {
            for (const std::string& text : LocalAddresses(config_.settings)) {
                elements.push_back(TextElement(DPAID_INet, text));
            }
        } else {
            elements.push_back(
                TextElement(DPAID_INet, inet_ntoa(links_.RemoteAddress(player->second.peer))));
        }
    }
    address = BuildAddress(elements);
    return DP_OK;
}

void Session::SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool reliable) {
    ENetPeer& connection = host_->peers[peer];
    ENetPacket* packet =
        enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (packet != nullptr &&
        enet_peer_send(&connection, reliable ? kReliableChannel : kUnreliableChannel, packet) !=
            0) {
        enet_packet_destroy(packet);
    }
    if (reliable && !WindowTakes(connection, bytes.size())) {
        queuedWaitsForRoom_ = true;
    } else {
        queuedReady_ = true;
    }
}

void Session::CloseLater(PeerId peer) {
    enet_peer_disconnect_later(&host_->peers[peer], 0);
}

void Session::Flush() {
    enet_host_flush(host_);
}

void Session::FlushQueued() {
    links_.Flush();
    burstBytes_ = 0;
    queuedReady_ = false;
    queuedWaitsForRoom_ = false;
}

std::chrono::nanoseconds Session::BurstWait() const {
    if (burstBytes_ == 0) {
        return std::chrono::nanoseconds::zero();
    }
    const auto now = std::chrono::steady_clock::now();
    const auto quiet = now - lastSendReturned_;
    const auto held = now - burstStarted_;
    // A thread with messages still to receive goes on with its burst when it has taken them.
    if ((quiet >= kBurstGap && queue_.empty()) || held >= kBurstHold) {
        return std::chrono::nanoseconds::zero();
    }
    const auto untilHeld = std::chrono::nanoseconds(kBurstHold - held);
    return quiet < kBurstGap ? std::min<std::chrono::nanoseconds>(kBurstGap - quiet, untilHeld)
                             : untilHeld;
}

void Session::FlushSoon() {
    if (!flushDue_.exchange(true)) {
        Wake();
    }
}

in_addr Session::RemoteAddress(PeerId peer) const {
    in_addr remote{};
    remote.s_addr = host_->peers[peer].address.host;
    return remote;
}

} // namespace directplay
