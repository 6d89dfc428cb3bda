// A raw client that does not follow the protocol, against a session host in a process of
// its own, while honest peers play on: connections that never join, players created in a
// loop, packets too large or with bytes after their last field, sends in another player's
// name. The honest peers receive exactly what they should, the raw client gets only what its
// requests earn, and the host goes back to idle.
#include "directplay/environment.h"
#include "dplay_support.h"
#include "enumeration.h"
#include "harness.h"
#include "wire.h"

#include <enet/enet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using directplay::PacketKind;
using directplay::Reader;
using directplay::Writer;
using dptest::PeerProcess;
using dptest::Word;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr unsigned kKeepaliveMs = 2000;
constexpr const char* kOk = "hr 00000000";
const GUID kApplication = dptest::Application(0xc0ffee20);

// A message as the peer program's "collect" checks it: its sequence number, then a pattern.
Bytes PatternPayload(std::size_t size) {
    Bytes payload(size, 0);
    for (std::size_t i = 4; i < size; ++i) {
        payload[i] = static_cast<std::uint8_t>(i); // sequence 0
    }
    return payload;
}

Bytes CreatePlayer(std::uint32_t request) {
    return Writer(PacketKind::CreatePlayer)
        .U32(request)
        .U32(0)
        .Text("raw " + std::to_string(request))
        .Text("")
        .Result();
}

Bytes Data(DPID from, DPID to, const Bytes& payload) {
    return Writer(PacketKind::Data).U32(from).U32(to).Bytes(payload).Result();
}

Bytes WithTrailingByte(Bytes packet) {
    packet.push_back(0);
    return packet;
}

// ENet connections of the test's own, driven packet by packet. A thread of the client
// services them all the time, so that they answer the host's keepalive like a live peer.
class RawClient {
public:
    struct Connection {
        ENetPeer* peer = nullptr;
        bool connected = false;
        bool disconnected = false;
        Clock::time_point connectedAt;
        Clock::time_point disconnectedAt;
        std::deque<Bytes> received;
    };
    using Connections = std::vector<Connection>;

    explicit RawClient(std::size_t connections)
        : host_(enet_host_create(nullptr, connections, 2, 0, 0)), connections_(connections) {
        if (host_ != nullptr) {
            thread_ = std::thread(&RawClient::Serve, this);
        }
    }
    ~RawClient() { Close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Valid() const { return host_ != nullptr; }

    void Connect(std::size_t index, const ENetAddress& address) {
        std::lock_guard guard(lock_);
        connections_[index].peer = enet_host_connect(host_, &address, 2, 0);
    }

    void Send(std::size_t index, const Bytes& bytes) {
        std::lock_guard guard(lock_);
        ENetPacket* packet =
            enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
        ASSERT_EQ(enet_peer_send(connections_[index].peer, 0, packet), 0);
        enet_host_flush(host_);
    }

    // Waits until `done` holds for the connections, or the time-out passes.
    bool WaitFor(const std::function<bool(const Connections&)>& done, int timeoutMs) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [&] { return done(connections_); });
    }

    // Takes the packets that arrived on connection `index` up to now.
    std::deque<Bytes> Take(std::size_t index) {
        std::lock_guard guard(lock_);
        return std::exchange(connections_[index].received, {});
    }

    Connections Snapshot() {
        std::lock_guard guard(lock_);
        return connections_;
    }

    // Goes silent at once, as a killed process does.
    void Close() {
        if (thread_.joinable()) {
            {
                std::lock_guard guard(lock_);
                stop_ = true;
            }
            thread_.join();
        }
        if (host_ != nullptr) {
            enet_host_destroy(host_);
            host_ = nullptr;
        }
    }

private:
    void Serve() {
        for (;;) {
            {
                std::lock_guard guard(lock_);
                if (stop_) {
                    return;
                }
                ENetEvent event;
                while (enet_host_service(host_, &event, 0) > 0) {
                    Note(event);
                }
                enet_host_flush(host_);
            }
            changed_.notify_all();
            pollfd descriptor{host_->socket, POLLIN, 0};
            poll(&descriptor, 1, 10);
        }
    }

    void Note(const ENetEvent& event) {
        Connection& connection = connections_[static_cast<std::size_t>(event.peer - host_->peers)];
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            connection.connected = true;
            connection.connectedAt = Clock::now();
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            connection.disconnected = true;
            connection.disconnectedAt = Clock::now();
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            connection.received.emplace_back(event.packet->data,
                                             event.packet->data + event.packet->dataLength);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
    }

    ENetHost* host_;
    std::mutex lock_;
    std::condition_variable changed_;
    Connections connections_;
    bool stop_ = false;
    std::thread thread_;
};

TEST(HostileRawClient, IsRefusedWhileHonestPeersReceiveExactlyTheirMessages) {
    dptest::UseLoopbackSettings(kKeepaliveMs);
    PeerProcess host;
    ASSERT_EQ(host.Command("provider 0"), kOk);
    ASSERT_EQ(host.Command("host c0ffee20 0 lobby"), std::string(kOk) + " 1");
    PeerProcess first;
    PeerProcess second;
    std::vector<std::string> honest;
    for (PeerProcess* peer : {&first, &second}) {
        ASSERT_EQ(peer->Command("provider 0"), kOk);
        const std::string joined = peer->Command("join c0ffee20 1500 available");
        ASSERT_EQ(joined.rfind(kOk, 0), 0u) << joined;
        honest.push_back(Word(joined, 2));
        ASSERT_EQ(host.Command("recv 2000"), "sys 3 " + honest.back());
    }

    // The raw client finds the session as anyone would.
    const directplay::Settings settings = directplay::ReadSettings();
    in_addr loopback{htonl(INADDR_LOOPBACK)};
    std::optional<directplay::SessionSummary> session;
    ASSERT_EQ(directplay::EnumerateSessions(
                  settings, directplay::Providers()[0], loopback, kApplication, 1500,
                  [&](const directplay::FoundSession& found) {
                      session = found.summary;
                      return false;
                  },
                  [](DWORD&) { return false; }),
              DP_OK);
    ASSERT_TRUE(session.has_value());
    ENetAddress address{loopback.s_addr, session->sessionPort};
    const Bytes join = Writer(PacketKind::Join).Guid(session->instance).Result();

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long idleKb = dptest::UsageOf(host.Pid()).residentKb;

    // Connections 0 to 2 join: 0 creates players in a loop, 1 sends too much, 2 joins with a
    // byte too many. The others never join. One client serves them all, so that the joined
    // ones answer the host's keepalive while the others wait.
    constexpr std::size_t kJoined = 3;
    constexpr std::size_t kFlood = 200;
    RawClient raw(kJoined + kFlood);
    ASSERT_TRUE(raw.Valid());
    for (std::size_t i = 0; i < kJoined + kFlood; ++i) {
        raw.Connect(i, address);
    }
    ASSERT_TRUE(raw.WaitFor(
        [](const auto& connections) {
            return std::ranges::all_of(connections, [](const auto& c) { return c.connected; });
        },
        5000));
    raw.Send(0, join);
    raw.Send(1, join);
    raw.Send(2, WithTrailingByte(join));
    ASSERT_TRUE(raw.WaitFor(
        [](const auto& connections) {
            return std::all_of(connections.begin(), connections.begin() + kJoined,
                               [](const auto& c) { return !c.received.empty(); });
        },
        2000));
    EXPECT_EQ(Reader(raw.Take(0).front()).Kind(), PacketKind::Welcome);
    EXPECT_EQ(Reader(raw.Take(1).front()).Kind(), PacketKind::Welcome);
    const auto refusal = raw.Take(2);
    Reader refused(refusal.front());
    EXPECT_EQ(refused.Kind(), PacketKind::Refused);
    EXPECT_EQ(static_cast<HRESULT>(refused.U32()), DPERR_NOSESSIONS);

    // Players in a loop: a connection gets as many as the limit, then refusals; a request
    // with a byte after its last field gets no answer at all.
    constexpr std::uint32_t kAsked = directplay::kMaxPlayersPerConnection + 24;
    for (std::uint32_t request = 1; request <= kAsked; ++request) {
        raw.Send(0, CreatePlayer(request));
    }
    raw.Send(0, WithTrailingByte(CreatePlayer(kAsked + 1)));
    raw.Send(1, CreatePlayer(1));
    ASSERT_TRUE(raw.WaitFor(
        [&](const auto& connections) { return connections[0].received.size() >= kAsked; }, 3000));
    std::vector<DPID> rawPlayers;
    int refusals = 0;
    for (const Bytes& packet : raw.Take(0)) {
        Reader answer(packet);
        ASSERT_EQ(answer.Kind(), PacketKind::PlayerCreated);
        answer.U32();
        const auto result = static_cast<HRESULT>(answer.U32());
        const DPID id = answer.U32();
        if (result == DP_OK) {
            rawPlayers.push_back(id);
        } else {
            EXPECT_EQ(result, DPERR_CANTADDPLAYER);
            ++refusals;
        }
    }
    EXPECT_EQ(rawPlayers.size(), directplay::kMaxPlayersPerConnection);
    EXPECT_EQ(refusals, 24);
    ASSERT_TRUE(raw.WaitFor(
        [](const auto& connections) { return !connections[1].received.empty(); }, 2000));
    const auto created = raw.Take(1);
    Reader oversizer(created.front());
    oversizer.U32();
    ASSERT_EQ(static_cast<HRESULT>(oversizer.U32()), DP_OK);
    const DPID oversizerPlayer = oversizer.U32();

    // A destruction with a byte too many destroys nothing; a proper one does.
    const DPID speaker = rawPlayers.front();
    const DPID destroyed = rawPlayers.back();
    raw.Send(0, WithTrailingByte(Writer(PacketKind::DestroyPlayer).U32(speaker).Result()));
    raw.Send(0, Writer(PacketKind::DestroyPlayer).U32(destroyed).Result());
    // In an honest player's name, and at the size limit from a player of its own.
    raw.Send(0,
             Data(static_cast<DPID>(std::stoul(honest[0])), DPID_SERVERPLAYER, PatternPayload(64)));
    raw.Send(0, Data(speaker, DPID_SERVERPLAYER, PatternPayload(directplay::kMaxMessageSize)));
    raw.Send(1, Data(oversizerPlayer, DPID_SERVERPLAYER,
                     PatternPayload(directplay::kMaxMessageSize + 1)));

    // Honest traffic meanwhile, both ways.
    EXPECT_EQ(first.Command("send 1 30 300"), kOk);
    EXPECT_EQ(second.Command("send 1 30 300"), kOk);
    EXPECT_EQ(host.Command("collect 61 10000"), "collected 61 3 1 1");
    EXPECT_EQ(host.Command("send 0 5 100"), kOk);
    EXPECT_EQ(first.Command("collect 5 5000"), "collected 5 1 1 1");
    EXPECT_EQ(second.Command("collect 5 5000"), "collected 5 1 1 1");

    // Connections that never joined are dropped after the join time; the joined ones stay.
    ASSERT_TRUE(raw.WaitFor(
        [](const auto& connections) {
            return std::all_of(connections.begin() + kJoined, connections.end(),
                               [](const auto& c) { return c.disconnected; });
        },
        static_cast<int>(directplay::kJoinTimeoutMs) + 2000));
    const auto connections = raw.Snapshot();
    for (std::size_t i = kJoined; i < kJoined + kFlood; ++i) {
        const auto& connection = connections[i];
        const auto lasted = std::chrono::duration_cast<std::chrono::milliseconds>(
            connection.disconnectedAt - connection.connectedAt);
        EXPECT_GE(lasted.count(), directplay::kJoinTimeoutMs - 200);
        EXPECT_LE(lasted.count(), directplay::kJoinTimeoutMs + 1000);
    }
    EXPECT_FALSE(connections[0].disconnected);

    // The raw client goes silent. The host heard of exactly the players made, the one
    // destroyed, and then each of the others lost; of no data beyond what it collected.
    raw.Close();
    std::multiset<std::string> expected{"sys 3 " + std::to_string(oversizerPlayer),
                                        "sys 5 " + std::to_string(oversizerPlayer)};
    for (DPID id : rawPlayers) {
        expected.insert("sys 3 " + std::to_string(id));
        expected.insert("sys 5 " + std::to_string(id));
    }
    std::multiset<std::string> heard;
    while (heard.size() < expected.size()) {
        const std::string line = host.Command("recv " + std::to_string(kKeepaliveMs * 2));
        if (line == "none" || line.starts_with("peer")) {
            break;
        }
        heard.insert(line);
    }
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(host.Command("recv 300"), "none");

    // The honest peers play on.
    EXPECT_EQ(first.Command("send 1 10 300"), kOk);
    EXPECT_EQ(host.Command("collect 10 5000"), "collected 10 1 1 1");

    // And the host is back to idle: hardly any processor time, no memory kept.
    const long ticksBefore = dptest::UsageOf(host.Pid()).ticks;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long idleTicks = dptest::UsageOf(host.Pid()).ticks - ticksBefore;
    const long afterKb = dptest::UsageOf(host.Pid()).residentKb;
    RecordProperty("idle_cpu_ticks_per_second", std::to_string(idleTicks));
    RecordProperty("resident_kb_before", std::to_string(idleKb));
    RecordProperty("resident_kb_after", std::to_string(afterKb));
    EXPECT_LE(idleTicks, sysconf(_SC_CLK_TCK) / 20); // 5 % of a core
    // AddressSanitizer's quarantine keeps freed memory resident on purpose, so an
    // instrumented host is not judged by its size.
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LE(afterKb - idleKb, 4096);
#endif
}

} // namespace
