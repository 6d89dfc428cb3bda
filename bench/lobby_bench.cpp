// Messages per second and round trip between two clients through the VornNetwork lobby
// server (the demo game in a process of its own, the component through COM), next to a
// minimal ENet relay of the same run doing the same work and to the same two clients
// addressed to each other through the session's host alone (DirectPlay's own share), in
// rounds that take turns. The last two lines are the medians of the rounds' ratios,
// lobby / relay:
//   ratio lobby_rtt VALUE          mean round trip (lower is better)
//   ratio lobby_throughput VALUE   one-way messages per second (higher is better)
// Loopback only.
//
//   lobby_bench <regsvr32> <libVornNetwork.so> <vorn_lobby_demo>
#include "dplay_support.h"
#include "harness.h"
#include "netmessage.h"
#include "records.h"

#include "dplay.h"

#include <enet/enet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 3;
constexpr int kRoundTrips = 5000;
constexpr int kMessages = 50000;
constexpr std::size_t kPayload = 32;
constexpr UINT cmdBench = 200;
constexpr GUID kApplication{// the demo game's
                            0x7A3E0202,
                            0x5151,
                            0x4242,
                            {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}};

struct Figures {
    double meanUs;
    double p99Us;
    double messagesPerSecond;
};

Figures Summarise(std::vector<double>& samples, double rate) {
    std::sort(samples.begin(), samples.end());
    double total = 0;
    for (const double sample : samples) {
        total += sample;
    }
    return {total / samples.size(), samples[samples.size() * 99 / 100], rate};
}

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// ---- a minimal ENet relay: what comes from one client goes to the other ----------------

Figures MeasureRelay() {
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    ENetHost* relay = enet_host_create(&address, 2, 1, 0, 0);
    ENetAddress bound{};
    enet_socket_get_address(relay->socket, &bound);
    bound.host = address.host;
    ENetHost* a = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetHost* b = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetPeer* toRelayA = enet_host_connect(a, &bound, 1, 0);
    ENetPeer* toRelayB = enet_host_connect(b, &bound, 1, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> relayPeers{0};
    std::thread relayThread([&] {
        ENetPeer* peers[2] = {nullptr, nullptr};
        int connected = 0;
        while (!stop) {
            ENetEvent event;
            // Drain every queued event, then flush once.
            for (int got = enet_host_service(relay, &event, 100); got > 0;
                 got = enet_host_check_events(relay, &event)) {
                if (event.type == ENET_EVENT_TYPE_CONNECT) {
                    peers[connected++ % 2] = event.peer;
                    ++relayPeers;
                    relayPeers.notify_all();
                } else if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                    ENetPeer* other = event.peer == peers[0] ? peers[1] : peers[0];
                    if (other != nullptr) {
                        enet_peer_send(other, 0, event.packet);
                    } else {
                        enet_packet_destroy(event.packet);
                    }
                }
            }
            enet_host_flush(relay);
        }
    });
    ENetEvent event;
    while (enet_host_service(a, &event, 100) >= 0 && event.type != ENET_EVENT_TYPE_CONNECT) {
    }
    while (enet_host_service(b, &event, 100) >= 0 && event.type != ENET_EVENT_TYPE_CONNECT) {
    }
    // The relay knows a client once that client's acknowledgement has reached it.
    enet_host_flush(a);
    enet_host_flush(b);
    for (int seen = relayPeers; seen < 2; seen = relayPeers) {
        relayPeers.wait(seen);
    }
    const auto receive = [&event](ENetHost* host) {
        while (enet_host_service(host, &event, 1000) >= 0 &&
               event.type != ENET_EVENT_TYPE_RECEIVE) {
        }
        enet_packet_destroy(event.packet);
    };
    std::vector<std::uint8_t> payload(kPayload);
    std::vector<double> samples;
    for (int i = 0; i < kRoundTrips; ++i) {
        const auto sent = Clock::now();
        enet_peer_send(
            toRelayA, 0,
            enet_packet_create(payload.data(), payload.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(a);
        receive(b);
        enet_peer_send(
            toRelayB, 0,
            enet_packet_create(payload.data(), payload.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(b);
        receive(a);
        samples.push_back(Microseconds(Clock::now() - sent));
    }
    std::thread sink([&] {
        ENetEvent got;
        for (int n = 0; n < kMessages;) {
            if (enet_host_service(b, &got, 1000) > 0 && got.type == ENET_EVENT_TYPE_RECEIVE) {
                enet_packet_destroy(got.packet);
                ++n;
            }
        }
    });
    const auto started = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        enet_peer_send(
            toRelayA, 0,
            enet_packet_create(payload.data(), payload.size(), ENET_PACKET_FLAG_RELIABLE));
        if (i % 64 == 63) {
            enet_host_service(a, &event, 0);
        }
    }
    enet_host_flush(a);
    std::thread pump([&] {
        ENetEvent ignored;
        while (!stop) {
            enet_host_service(a, &ignored, 10);
        }
    });
    sink.join();
    const double rate = kMessages / std::chrono::duration<double>(Clock::now() - started).count();
    stop = true;
    pump.join();
    relayThread.join();
    enet_host_destroy(a);
    enet_host_destroy(b);
    enet_host_destroy(relay);
    return Summarise(samples, rate);
}

// Ends the run when a client did not get what it waits for: its figures would be void.
void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "lobby_bench: %s\n", what);
        std::exit(1);
    }
}

// ---- through the lobby server ------------------------------------------------------------

struct LobbyClient {
    dptest::Ref<IDirectPlay4A> dp;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DPID id = 0;
    std::vector<BYTE> buffer = std::vector<BYTE>(1024);

    bool Join(int group) {
        dp = dptest::CreateDirectPlay();
        if (dp.Get() == nullptr ||
            FAILED(dptest::JoinAsPlayer(dp.Get(), kApplication, event, id))) {
            return false;
        }
        const LoginRecord login{PlayerInfo{id, 0, group, roleCompetitor, "bench", ""}, GameInfo{}};
        Send(NetMessage(cmdLogin, msgToServer, id, 0, &login, sizeof login));
        return WaitFor(cmdStart);
    }

    void Send(const NetMessage& message, DPID target = DPID_ALLPLAYERS) {
        auto bytes = message.Serialise();
        Require(SUCCEEDED(dp->SendEx(id, target, DPSEND_GUARANTEED | DPSEND_ASYNC, bytes.data(),
                                     static_cast<DWORD>(bytes.size()), 0, 0, nullptr, nullptr)),
                "a send failed");
    }

    // Waits on the player's event for the next application message with that cmd.
    bool WaitFor(UINT cmd) {
        for (;;) {
            DPID from = 0;
            DPID to = 0;
            DWORD size = static_cast<DWORD>(buffer.size());
            const HRESULT hr = dp->Receive(&from, &to, DPRECEIVE_ALL, buffer.data(), &size);
            if (hr == DP_OK && from != DPID_SYSMSG && ReadRecord<UINT>(buffer.data()) == cmd) {
                return true;
            }
            if (hr == DPERR_NOMESSAGES && WaitForSingleObject(event, 5000) != WAIT_OBJECT_0) {
                return false;
            }
        }
    }

    ~LobbyClient() {
        if (dp.Get() != nullptr) {
            dp->Close();
        }
        CloseHandle(event);
    }
};

enum class Path {
    lobby,      // to DirectPlay's all players, that is to the lobby server, which forwards
    sessionHost // to the other client's id, which the session's host hands on by itself
};

// Round trips, then one-way messages, between two clients of the lobby's session. Along the
// session host's path neither the server's receive thread nor its game take part: the
// difference between the two paths is the lobby server's own share.
Figures MeasureSession(Path path) {
    LobbyClient a;
    LobbyClient b;
    bool joinedB = false;
    std::thread joinB([&b, &joinedB] {
        CoInitialize(nullptr);
        joinedB = b.Join(1);
    });
    const bool joinedA = a.Join(1);
    joinB.join();
    Require(joinedA && joinedB, "cannot join the lobby");
    const DPID toB = path == Path::lobby ? DPID_ALLPLAYERS : b.id;
    const DPID toA = path == Path::lobby ? DPID_ALLPLAYERS : a.id;
    std::vector<BYTE> payload(kPayload);
    const NetMessage fromA(cmdBench, msgToGroup, a.id, 1, payload.data(), kPayload);
    const NetMessage fromB(cmdBench, msgToGroup, b.id, 1, payload.data(), kPayload);
    std::vector<double> samples;
    for (int i = 0; i < kRoundTrips; ++i) {
        const auto sent = Clock::now();
        a.Send(fromA, toB);
        Require(b.WaitFor(cmdBench), "a round trip's message did not arrive");
        b.Send(fromB, toA);
        Require(a.WaitFor(cmdBench), "a round trip's answer did not arrive");
        samples.push_back(Microseconds(Clock::now() - sent));
    }
    int received = 0;
    std::thread sink([&b, &received] {
        while (received < kMessages && b.WaitFor(cmdBench)) {
            ++received;
        }
    });
    const auto started = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        a.Send(fromA, toB);
    }
    sink.join();
    Require(received == kMessages, "one-way messages were lost");
    const double rate = kMessages / std::chrono::duration<double>(Clock::now() - started).count();
    return Summarise(samples, rate);
}

// A file of this run that goes with it, however the run ends.
struct TemporaryFile {
    explicit TemporaryFile(std::filesystem::path file) : path(std::move(file)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        std::error_code ignored; // a file that was never written is no fault
        std::filesystem::remove(path, ignored);
    }
    const std::filesystem::path path;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Print(const char* name, const Figures& figures) {
    std::printf("  %-26s round trip mean %7.1f us  p99 %7.1f us  one-way %9.0f msg/s\n", name,
                figures.meanUs, figures.p99Us, figures.messagesPerSecond);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: lobby_bench <regsvr32> <libVornNetwork.so> <demo>\n");
        return 2;
    }
    // Before any session: loopback only, and a registry of this run's own.
    dptest::UseLoopbackSettings(5000);
    const TemporaryFile registry{std::filesystem::temp_directory_path() /
                                 ("vorn-lobby-bench-" + std::to_string(getpid()) + ".reg")};
    setenv("VORN_REGISTRY_FILE", registry.path.c_str(), 1);
    const std::string registration = std::string(argv[1]) + " /s " + argv[2];
    if (std::system(registration.c_str()) != 0 || FAILED(CoInitialize(nullptr)) ||
        enet_initialize() != 0) {
        return 2;
    }
    std::vector<double> rttRatios;
    std::vector<double> throughputRatios;
    long windowMessages = -1;
    double serverCpuUs = 0;
    std::printf("%d rounds of %d round trips and %d one-way messages of %zu bytes, guaranteed, "
                "on 127.0.0.1, client -> server -> client\n",
                kRounds, kRoundTrips, kMessages, kPayload);
    {
        // The server's game takes every report into its window without printing it.
        setenv("VORN_LOBBY_DEMO_QUIET", "1", 1);
        dptest::PeerProcess server(argv[3], {"server", "0", "lobby"});
        if (!server.ReadLine(10000).starts_with("open hr 00000000")) {
            return 2;
        }
        // Relay and lobby take turns, so that a change in the machine's load falls on both.
        for (int round = 1; round <= kRounds; ++round) {
            const Figures relay = MeasureRelay();
            const Figures host = MeasureSession(Path::sessionHost);
            const long ticksBefore = dptest::UsageOf(server.Pid()).ticks;
            const Figures lobby = MeasureSession(Path::lobby);
            serverCpuUs += 1e6 *
                           static_cast<double>(dptest::UsageOf(server.Pid()).ticks - ticksBefore) /
                           static_cast<double>(sysconf(_SC_CLK_TCK));
            std::printf("round %d\n", round);
            Print("minimal ENet relay", relay);
            Print("DirectPlay session host", host);
            Print("VornNetwork lobby server", lobby);
            rttRatios.push_back(lobby.meanUs / relay.meanUs);
            throughputRatios.push_back(lobby.messagesPerSecond / relay.messagesPerSecond);
            std::printf(
                "  latency ratio %.2f (mean), %.2f (p99); throughput %.0f %% of the relay\n",
                rttRatios.back(), lobby.p99Us / relay.p99Us, 100.0 * throughputRatios.back());
        }
        server.Send("quit");
        for (std::string line = server.ReadLine(60000);
             line != "peer gone" && line != "peer silent"; line = server.ReadLine(60000)) {
            if (line.starts_with("window messages ")) {
                windowMessages = std::stol(dptest::Word(line, 2));
            }
        }
    }
    const long routed = kRounds * (2L * kRoundTrips + kMessages);
    std::printf("server process CPU %.1f us per message through the lobby\n", serverCpuUs / routed);
    // One report per routed group message, and a text and the login for each client.
    const long reports = routed + kRounds * 4L;
    if (windowMessages < reports) {
        std::fprintf(stderr, "the server's game took %ld messages, fewer than the %ld reports\n",
                     windowMessages, reports);
        return 1;
    }
    std::printf("the server's game took %ld messages into its window\n", windowMessages);
    std::printf("ratio lobby_rtt %.3f\n", Median(rttRatios));
    std::printf("ratio lobby_throughput %.3f\n", Median(throughputRatios));
    enet_deinitialize();
    CoUninitialize();
    return 0;
}
