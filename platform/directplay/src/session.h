// An open DirectPlay session: the host accepts peers over ENet and answers enumeration
// queries; a peer connects to the host. All traffic goes through the host, which assigns
// DPIDs and routes messages. One network thread per session waits on the sockets and
// queues what arrives for the local players; a send goes out from the caller's thread,
// unless it is part of a burst, which goes out in one flush when it ends. A thread that
// waits on a local player's event takes in what arrives itself, while the network thread
// stops watching the socket, so that an arriving packet wakes the receiver directly; the
// socket stays with that thread for a moment after its wait, as it usually waits again.
#pragma once

#include "enumeration.h"
#include "settings.h"

#include <enet/enet.h>

#include "win32/extensions.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <variant>

namespace directplay {

struct SystemEvent {
    DWORD type = 0;
    DPID player = 0;
    DWORD flags = 0;
    DWORD currentPlayers = 0;
    std::string shortName;
    std::string longName;
};

struct QueuedMessage {
    DPID from = 0;
    DPID to = 0;
    std::variant<std::vector<BYTE>, SystemEvent> content;
};

// One connection of a session: the index of a peer of the session's ENet host. A peer has
// one, to the host.
using PeerId = std::size_t;
inline constexpr PeerId kNoPeer = static_cast<PeerId>(-1);
inline constexpr PeerId kHostPeer = 0;

// What the handling of packets asks of the connections, called with the session's lock held.
class Links {
public:
    virtual void SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool reliable) = 0;
    // Closes the connection once what is queued on it has gone out.
    virtual void CloseLater(PeerId peer) = 0;
    virtual void Flush() = 0;
    // Sends what is queued soon, on the network thread, so that a burst of sends goes out
    // in one flush.
    virtual void FlushSoon() = 0;
    virtual in_addr RemoteAddress(PeerId peer) const = 0;

protected:
    ~Links() = default;
};

struct SessionConfig {
    Settings settings;
    const Provider* provider = nullptr;
    SessionSummary summary; // for a join: the enumerated session
    in_addr host{};         // for a join: the address that answered
};

class Session final : private Links {
public:
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates a session and starts answering enumeration queries.
    static HRESULT Create(const SessionConfig& config, std::unique_ptr<Session>& session);
    // Starts joining; Open completes it.
    static HRESULT BeginJoin(const SessionConfig& config, std::unique_ptr<Session>& session);
    // DP_OK once joined, DPERR_CONNECTING while under way after waiting at most `waitMs`,
    // or why the join failed.
    HRESULT JoinStatus(DWORD waitMs);

    HRESULT CreatePlayer(DPID& id, const DPNAME* name, HANDLE event, DWORD flags);
    HRESULT DestroyPlayer(DPID id);
    HRESULT Send(DPID from, DPID to, DWORD flags, std::span<const BYTE> data);
    HRESULT Receive(DPID* from, DPID* to, DWORD flags, void* buffer, DWORD* size);
    HRESULT PlayerAddress(DPID id, std::vector<BYTE>& address);

private:
    struct Player {
        DPID id = 0;
        DWORD flags = 0;
        std::string shortName;
        std::string longName;
        PeerId peer = kNoPeer; // the connection that owns a remote player (host only)
        bool local = false;
        HANDLE event = nullptr;
    };
    // A player a peer asked the host for; it exists locally from the host's answer on.
    struct PendingCreate {
        bool done = false;
        HRESULT result = DP_OK;
        DPID id = 0;
        DWORD flags = 0;
        std::string shortName;
        std::string longName;
        HANDLE event = nullptr;
    };
    enum class State { Connecting, Open, Failed, Lost };

    // What a wait on a local player's event does while it waits: takes in what arrives.
    // Detached when the session ends, as a wait may still hold it.
    class Pump final : public win32::WaitPump {
    public:
        Pump(Session& session, int wakeFd) : session_(&session), wakeFd_(wakeFd) {}
        ~Pump() override;
        Pump(const Pump&) = delete;
        Pump& operator=(const Pump&) = delete;
        bool Claim() override;
        int Descriptor() override;
        void Work() override;
        int WakeDescriptor() override { return wakeFd_; }
        void Release() override;
        void Detach();
        // By the network thread: takes the socket back from a pump that has not been claimed
        // again for a while. How long until it would, while it has not.
        std::optional<std::chrono::nanoseconds> ReturnIdleSocket();

    private:
        // With mutex_ held: the network thread watches the socket again.
        void HandBackSocket();
        std::mutex mutex_;
        Session* session_;
        const int wakeFd_;
    };

    // Holds the session's lock. The players' events that became due meanwhile are set before
    // it is released: a message can then be received only after its event was set, and no
    // event is set for a message that another thread has taken already.
    class Hold {
    public:
        explicit Hold(Session& session);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        std::unique_lock<std::mutex>& Guard() { return guard_; }

    private:
        Session& session_;
        std::unique_lock<std::mutex> guard_;
    };

    // Without `links`, the session talks through its own ENet host.
    Session(const SessionConfig& config, bool isHost, Links* links = nullptr);
    HRESULT StartHost();
    HRESULT StartJoin();
    HRESULT AddLocalPlayer(DPID& id, const std::string& shortName, const std::string& longName,
                           HANDLE event, DWORD flags);
    void Run();
    void Wake();
    // With the lock held: takes in at most kEventsPerTurn events; true when more may wait.
    bool TakeIn();
    // With the lock held: shows ENet more of its peers once new connections have used half of
    // the free ones it was shown.
    void WidenPeerWindow();
    // From a thread that claimed the pump.
    void TakeInFromWait();
    // The network thread's epoll set through which it watches the socket, and the pump.
    bool StartWatch();
    bool WatchSocket(bool watch);

    // Network thread, with the lock held.
    void HandleEvent(const ENetEvent& event);
    PeerId PeerOf(const ENetPeer* peer) const;
    void HandlePacket(PeerId peer, std::span<const std::uint8_t> bytes, bool reliable);
    void HostHandle(PeerId peer, Reader& reader, bool reliable);
    void PeerHandle(Reader& reader);
    // Drops connections that have been silent for the keepalive time, or that have not
    // joined within kJoinTimeoutMs.
    void CheckPeers();
    void PeerGone(PeerId peer);

    // With the lock held.
    void AddPlayer(const Player& player);
    DPID AssignId(DWORD flags, bool local);
    bool IsFull() const;
    std::size_t PlayersOf(PeerId peer) const;
    // Notes a player's event to be set when the lock is released.
    void Signal(HANDLE event);
    void Notify(const SystemEvent& event, DPID except);
    void Deliver(DPID from, DPID to, std::span<const std::uint8_t> payload);
    void Route(DPID from, DPID to, std::span<const std::uint8_t> payload, bool reliable,
               PeerId origin);
    void Broadcast(const std::vector<std::uint8_t>& bytes, PeerId except);
    // Sends what is queued on every connection.
    void FlushQueued();
    // How long what a burst of sends queued may still wait; zero when it is due.
    std::chrono::nanoseconds BurstWait() const;
    void RemovePlayer(DPID id);
    SessionSummary Summary() const;

    // The links through the ENet host.
    // Also notes whether a flush would send the packet now: a reliable packet waits while its
    // connection's window is full, until the peer's acknowledgements make room.
    void SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool reliable) override;
    void CloseLater(PeerId peer) override;
    void Flush() override;
    void FlushSoon() override;
    in_addr RemoteAddress(PeerId peer) const override;

    // The fuzz target feeds packets to a session without a network.
    friend class SessionProbe;
    friend class CreatePlayerProbe;

    SessionConfig config_;
    const bool isHost_;
    Links& links_;
    ENetHost* host_ = nullptr;
    std::unique_ptr<EnumerationResponder> responder_; // host only
    int wakeFd_ = -1;
    // Per ENet peer, on the network thread: when it connected and was last heard from.
    struct PeerClock {
        bool live = false;
        enet_uint32 connectedAt = 0;
        enet_uint32 heardAt = 0;
    };
    std::vector<PeerClock> clocks_;
    std::size_t allocatedPeers_ = 0; // ENet's peers; host_->peerCount is how many it is shown
    enet_uint32 nextCheck_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> flushDue_{false};
    std::shared_ptr<Pump> pump_;
    int socketWatch_ = -1;
    bool pumping_ = false;   // a waiting thread takes in what arrives; under the pump's mutex
    bool contended_ = false; // a wait found the pump taken; under the pump's mutex
    // The network thread does not watch the socket: a pump has it, or had it until leftAt_.
    // Changed under the pump's mutex.
    std::atomic<bool> socketLeft_{false};
    std::atomic<std::chrono::steady_clock::time_point> leftAt_{};
    std::atomic<bool> watchFailed_{false}; // the network thread watches the socket itself

    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = State::Connecting;
    HRESULT failure_ = DP_OK;
    std::map<DPID, Player> players_;
    std::set<DPID> local_;    // the players of players_ that are local
    std::set<PeerId> joined_; // host only: the connections that joined the session
    DPID nextId_ = 2;
    std::uint32_t nextRequest_ = 1;
    std::map<std::uint32_t, PendingCreate> pendingCreates_;
    std::deque<QueuedMessage> queue_;
    std::vector<HANDLE> dueEvents_;
    // Send's burst: when the last send returned, when the burst's first send came and how
    // many bytes its sends queued since the last flush.
    std::chrono::steady_clock::time_point lastSendReturned_;
    std::chrono::steady_clock::time_point burstStarted_;
    std::size_t burstBytes_ = 0;
    // What the sends since the last flush queued on the connections: packets that a flush
    // would send, and packets that wait for room in their connection's window.
    bool queuedReady_ = false;
    bool queuedWaitsForRoom_ = false;
};

} // namespace directplay
