// Round-trip latency and one-way message rate through the DirectPlay stand-in, next to raw
// ENet between two hosts of the same process doing the same work. Loopback only.
#include "directplay/environment.h"
#include "dplobby.h"

#include <enet/enet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRoundTrips = 20000;
constexpr int kMessages = 200000;
constexpr std::size_t kMessageSize = 64;
constexpr std::uint32_t kStop = 0xFFFFFFFF;

struct Figures {
    double meanUs;
    double p99Us;
    double messagesPerSecond;
};

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

Figures Summarise(std::vector<double>& samples, double messagesPerSecond) {
    std::sort(samples.begin(), samples.end());
    double total = 0;
    for (double sample : samples) {
        total += sample;
    }
    return {total / samples.size(), samples[samples.size() * 99 / 100], messagesPerSecond};
}

// ---- raw ENet ------------------------------------------------------------------------

struct RawPair {
    ENetHost* server;
    ENetHost* client;
    ENetPeer* toServer;
    ENetPeer* toClient = nullptr;
};

RawPair ConnectRaw() {
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = 0;
    RawPair pair{};
    pair.server = enet_host_create(&address, 1, 2, 0, 0);
    ENetAddress local{};
    enet_address_set_host_ip(&local, "127.0.0.1");
    pair.client = enet_host_create(&local, 1, 2, 0, 0);
    pair.toServer = enet_host_connect(pair.client, &pair.server->address, 2, 0);
    ENetEvent event;
    while (pair.toClient == nullptr) {
        enet_host_service(pair.client, &event, 1);
        if (enet_host_service(pair.server, &event, 1) > 0 &&
            event.type == ENET_EVENT_TYPE_CONNECT) {
            pair.toClient = event.peer;
        }
    }
    while (pair.toServer->state != ENET_PEER_STATE_CONNECTED) {
        enet_host_service(pair.client, &event, 1);
    }
    return pair;
}

void SendRaw(ENetPeer* peer, const std::vector<std::uint8_t>& bytes) {
    enet_peer_send(peer, 0,
                   enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
}

// Waits (blocking in enet_host_service) for the next packet; returns its first word.
std::uint32_t ReceiveRaw(ENetHost* host) {
    ENetEvent event;
    for (;;) {
        if (enet_host_service(host, &event, 1000) > 0 && event.type == ENET_EVENT_TYPE_RECEIVE) {
            std::uint32_t word = 0;
            std::memcpy(&word, event.packet->data, sizeof word);
            enet_packet_destroy(event.packet);
            return word;
        }
    }
}

Figures MeasureRaw() {
    RawPair pair = ConnectRaw();
    // The echo side answers every packet and stops at kStop.
    std::thread echo([&pair] {
        std::vector<std::uint8_t> reply(kMessageSize);
        for (;;) {
            const std::uint32_t word = ReceiveRaw(pair.server);
            if (word == kStop) {
                return;
            }
            std::memcpy(reply.data(), &word, sizeof word);
            SendRaw(pair.toClient, reply);
            enet_host_flush(pair.server);
        }
    });
    std::vector<std::uint8_t> message(kMessageSize);
    std::vector<double> samples;
    for (int i = 0; i < kRoundTrips; ++i) {
        std::uint32_t word = static_cast<std::uint32_t>(i);
        std::memcpy(message.data(), &word, sizeof word);
        const auto sent = Clock::now();
        SendRaw(pair.toServer, message);
        enet_host_flush(pair.client);
        while (ReceiveRaw(pair.client) != word) {
        }
        samples.push_back(Microseconds(Clock::now() - sent));
    }
    std::uint32_t stop = kStop;
    std::memcpy(message.data(), &stop, sizeof stop);
    SendRaw(pair.toServer, message);
    enet_host_flush(pair.client);
    echo.join();

    // One way: one packet and one service call (which flushes) per message.
    std::atomic<bool> done{false};
    std::thread sink([&pair, &done] {
        for (int received = 0; received < kMessages; ++received) {
            ReceiveRaw(pair.server);
        }
        done = true;
    });
    const auto started = Clock::now();
    ENetEvent event;
    for (int i = 0; i < kMessages; ++i) {
        SendRaw(pair.toServer, message);
        enet_host_service(pair.client, &event, 0);
    }
    while (!done) {
        enet_host_service(pair.client, &event, 1);
    }
    const double rate = kMessages / std::chrono::duration<double>(Clock::now() - started).count();
    sink.join();
    enet_host_destroy(pair.client);
    enet_host_destroy(pair.server);
    return Summarise(samples, rate);
}

// ---- through the stand-in ------------------------------------------------------------

struct Side {
    IDirectPlay4A* dp = nullptr;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DPID id = 0;
    std::vector<BYTE> buffer = std::vector<BYTE>(256);
};

IDirectPlay4A* NewDirectPlay() {
    void* object = nullptr;
    CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay4A, &object);
    return static_cast<IDirectPlay4A*>(object);
}

BOOL CALLBACK FirstConnection(LPCGUID, LPVOID connection, DWORD, LPCDPNAME, DWORD, LPVOID context) {
    static_cast<IDirectPlay4A*>(context)->InitializeConnection(connection, 0);
    return FALSE;
}

BOOL CALLBACK FirstSession(LPCDPSESSIONDESC2 desc, LPDWORD, DWORD flags, LPVOID context) {
    if (!(flags & DPESC_TIMEDOUT)) {
        *static_cast<DPSESSIONDESC2*>(context) = *desc;
    }
    return FALSE;
}

bool OpenSides(Side& server, Side& client) {
    const GUID application{0x42424242, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    server.dp = NewDirectPlay();
    client.dp = NewDirectPlay();
    server.dp->EnumConnections(nullptr, FirstConnection, server.dp, DPCONNECTION_DIRECTPLAY);
    client.dp->EnumConnections(nullptr, FirstConnection, client.dp, DPCONNECTION_DIRECTPLAY);
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DPSESSION_CLIENTSERVER | DPSESSION_DIRECTPLAYPROTOCOL | DPSESSION_KEEPALIVE;
    desc.guidApplication = application;
    char name[] = "bench";
    desc.lpszSessionNameA = name;
    if (FAILED(server.dp->Open(&desc, DPOPEN_CREATE)) ||
        FAILED(server.dp->CreatePlayer(&server.id, nullptr, server.event, nullptr, 0,
                                       DPPLAYER_SERVERPLAYER))) {
        return false;
    }
    DPSESSIONDESC2 found{};
    found.dwSize = sizeof found;
    found.guidApplication = application;
    client.dp->EnumSessions(&found, 2000, FirstSession, &found, DPENUMSESSIONS_AVAILABLE);
    if (FAILED(client.dp->Open(&found, DPOPEN_JOIN)) ||
        FAILED(client.dp->CreatePlayer(&client.id, nullptr, client.event, nullptr, 0, 0))) {
        return false;
    }
    // The server's first message is the client's creation.
    DPID from;
    DPID to;
    DWORD size = static_cast<DWORD>(server.buffer.size());
    while (server.dp->Receive(&from, &to, DPRECEIVE_ALL, server.buffer.data(), &size) != DP_OK) {
        WaitForSingleObject(server.event, 1000);
        size = static_cast<DWORD>(server.buffer.size());
    }
    return true;
}

// Waits on the player's event for the next application message; returns its first word.
std::uint32_t ReceiveStandIn(Side& side) {
    for (;;) {
        DPID from;
        DPID to;
        DWORD size = static_cast<DWORD>(side.buffer.size());
        const HRESULT hr = side.dp->Receive(&from, &to, DPRECEIVE_ALL, side.buffer.data(), &size);
        if (hr == DP_OK && from != DPID_SYSMSG) {
            std::uint32_t word;
            std::memcpy(&word, side.buffer.data(), sizeof word);
            return word;
        }
        if (hr == DPERR_NOMESSAGES) {
            WaitForSingleObject(side.event, 1000);
        }
    }
}

void SendStandIn(Side& side, DPID to, std::vector<BYTE>& message) {
    side.dp->SendEx(side.id, to, DPSEND_GUARANTEED | DPSEND_ASYNC, message.data(),
                    static_cast<DWORD>(message.size()), 0, 0, nullptr, nullptr);
}

Figures MeasureStandIn() {
    Side server;
    Side client;
    if (!OpenSides(server, client)) {
        std::fprintf(stderr, "cannot open the session\n");
        std::exit(1);
    }
    std::thread echo([&] {
        std::vector<BYTE> reply(kMessageSize);
        for (;;) {
            const std::uint32_t word = ReceiveStandIn(server);
            if (word == kStop) {
                return;
            }
            std::memcpy(reply.data(), &word, sizeof word);
            SendStandIn(server, client.id, reply);
        }
    });
    std::vector<BYTE> message(kMessageSize);
    std::vector<double> samples;
    for (int i = 0; i < kRoundTrips; ++i) {
        std::uint32_t word = static_cast<std::uint32_t>(i);
        std::memcpy(message.data(), &word, sizeof word);
        const auto sent = Clock::now();
        SendStandIn(client, DPID_ALLPLAYERS, message);
        while (ReceiveStandIn(client) != word) {
        }
        samples.push_back(Microseconds(Clock::now() - sent));
    }
    std::uint32_t stop = kStop;
    std::memcpy(message.data(), &stop, sizeof stop);
    SendStandIn(client, DPID_ALLPLAYERS, message);
    echo.join();

    std::thread sink([&] {
        for (int received = 0; received < kMessages; ++received) {
            ReceiveStandIn(server);
        }
    });
    const auto started = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        SendStandIn(client, DPID_ALLPLAYERS, message);
    }
    sink.join();
    const double rate = kMessages / std::chrono::duration<double>(Clock::now() - started).count();
    client.dp->Release();
    server.dp->Release();
    CloseHandle(client.event);
    CloseHandle(server.event);
    return Summarise(samples, rate);
}

void Print(const char* name, const Figures& figures) {
    std::printf("%-22s round trip mean %7.1f us  p99 %7.1f us  one-way %9.0f msg/s\n", name,
                figures.meanUs, figures.p99Us, figures.messagesPerSecond);
}

} // namespace

int main() {
    setenv(directplay::kLoopbackOnlyVariable, "1", 1);
    setenv(directplay::kEnumerationAddressVariable, "127.0.0.1", 1);
    setenv(directplay::kTcpIpPortVariable, "47700", 0);
    CoInitialize(nullptr);
    enet_initialize();
    const Figures raw = MeasureRaw();
    const Figures standIn = MeasureStandIn();
    std::printf("%d round trips and %d one-way messages of %zu bytes, guaranteed, on 127.0.0.1\n",
                kRoundTrips, kMessages, kMessageSize);
    Print("raw ENet", raw);
    Print("DirectPlay stand-in", standIn);
    std::printf("latency ratio %.2f (mean), %.2f (p99); throughput %.0f %% of raw ENet\n",
                standIn.meanUs / raw.meanUs, standIn.p99Us / raw.p99Us,
                100.0 * standIn.messagesPerSecond / raw.messagesPerSecond);
    enet_deinitialize();
    CoUninitialize();
    return 0;
}
