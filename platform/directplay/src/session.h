// An open DirectPlay session: the host accepts peers over ENet and answers enumeration
// queries; a peer connects to the host. All traffic goes through the host, which assigns
// DPIDs and routes messages. One network thread per session waits on the sockets and
// queues what arrives for the local players.
#pragma once

#include "enumeration.h"
#include "settings.h"

#include <enet/enet.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
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

struct SessionConfig {
    Settings settings;
    const Provider* provider = nullptr;
    SessionSummary summary; // for a join: the enumerated session
    in_addr host{};         // for a join: the address that answered
};

class Session {
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
        ENetPeer* peer = nullptr; // the peer that owns a remote player (host only)
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

    explicit Session(const SessionConfig& config, bool isHost);
    HRESULT StartHost();
    HRESULT StartJoin();
    void Run();
    void Wake();

    // Network thread, with the lock held.
    void HandleEvent(const ENetEvent& event);
    void HandlePacket(ENetPeer* peer, std::span<const std::uint8_t> bytes, bool reliable);
    void HostHandle(ENetPeer* peer, Reader& reader, bool reliable);
    void PeerHandle(Reader& reader);
    void AnswerQueries();
    void PeerGone(ENetPeer* peer);
    void SignalEvents();

    // With the lock held.
    DPID AssignId(DWORD flags);
    bool IsFull() const;
    void Notify(const SystemEvent& event, DPID except);
    void Deliver(DPID from, DPID to, std::span<const std::uint8_t> payload);
    void Route(DPID from, DPID to, std::span<const std::uint8_t> payload, bool reliable,
               ENetPeer* origin);
    void SendPacket(ENetPeer* peer, const std::vector<std::uint8_t>& bytes, bool reliable);
    void Broadcast(const std::vector<std::uint8_t>& bytes, ENetPeer* except);
    void RemovePlayer(DPID id);
    SessionSummary Summary() const;

    SessionConfig config_;
    const bool isHost_;
    ENetHost* host_ = nullptr;
    ENetPeer* server_ = nullptr; // a peer's connection to the host
    int enumerationSocket_ = -1; // host only
    int wakeFd_ = -1;
    std::thread thread_;
    bool stop_ = false;

    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = State::Connecting;
    HRESULT failure_ = DP_OK;
    std::map<DPID, Player> players_;
    DPID nextId_ = 2;
    std::uint32_t nextRequest_ = 1;
    std::map<std::uint32_t, PendingCreate> pendingCreates_;
    std::deque<QueuedMessage> queue_;
    std::vector<HANDLE> toSignal_;
};

} // namespace directplay
