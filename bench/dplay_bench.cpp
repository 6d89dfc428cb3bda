// Round-trip latency and one-way message rate through the DirectPlay stand-in, next to raw
// ENet between two hosts of the same process doing the same work. Loopback only.
//
// Both links stay open for the whole run and are measured in alternating rounds, so that
// load from elsewhere on the machine weighs on both alike. The last two lines are for
// scripts: `ratio dplay_rtt R` (mean round trip, DirectPlay over ENet, lower is better) and
// `ratio dplay_throughput R` (one-way rate, DirectPlay over ENet, as a fraction).
#include "directplay/environment.h"
#include "dplobby.h"

#include <enet/enet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stop_token>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;
constexpr int kRoundTripsPerRound = 4000;
constexpr int kMessagesPerRound = 40000;
constexpr std::size_t kMessageSize = 64;

// A message's first word is its number, its second what the far side does with it.
enum Purpose : std::uint32_t { kEcho, kCount, kStop };

struct Header {
    std::uint32_t number = 0;
    std::uint32_t purpose = kEcho;
};

std::vector<std::uint8_t> Message(std::uint32_t number, Purpose purpose) {
    std::vector<std::uint8_t> bytes(kMessageSize);
    const Header header{number, purpose};
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

Header HeaderOf(const std::uint8_t* data) {
    Header header;
    std::memcpy(&header, data, sizeof header);
    return header;
}

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Every message a far side takes counts as progress of the run.
std::atomic<std::uint64_t> progress{0};

// A link that stops delivering (a peer timed out under load, a lost echo) ends the run with
// an error instead of leaving it waiting for ever.
class Watchdog {
public:
    static constexpr auto kStallLimit = std::chrono::seconds(10);

    Watchdog()
        : thread_([this](std::stop_token stop) {
              std::uint64_t seen = progress.load();
              auto lastChange = Clock::now();
              while (!stop.stop_requested()) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
                  if (const std::uint64_t now = progress.load(); now != seen) {
                      seen = now;
                      lastChange = Clock::now();
                  } else if (Clock::now() - lastChange > kStallLimit) {
                      std::fprintf(stderr, "dplay_bench: nothing arrived for 10 s, stopping\n");
                      std::_Exit(1);
                  }
              }
          }) {}

private:
    std::jthread thread_;
};

// The far side of a link: answers kEcho, counts kCount, ends at kStop.
class Far {
public:
    // Called on the far side's thread; true at kStop.
    template <typename Reply> bool Handle(const Header& header, Reply reply) {
        progress.fetch_add(1, std::memory_order_relaxed);
        if (header.purpose == kStop) {
            return true;
        }
        if (header.purpose == kEcho) {
            reply(Message(header.number, kEcho));
        } else if (counted_.fetch_add(1) + 1 == expected_.load()) {
            counted_.notify_all();
        }
        return false;
    }

    void Expect(std::uint32_t count) {
        counted_ = 0;
        expected_ = count;
    }
    std::uint32_t Counted() const { return counted_.load(); }
    void WaitForCount() const {
        for (std::uint32_t seen = counted_.load(); seen < expected_.load();
             seen = counted_.load()) {
            counted_.wait(seen);
        }
    }

private:
    std::atomic<std::uint32_t> counted_{0};
    std::atomic<std::uint32_t> expected_{0};
};

// ---- raw ENet ------------------------------------------------------------------------

class RawLink {
public:
    RawLink() {
        ENetAddress address{};
        enet_address_set_host_ip(&address, "127.0.0.1");
        server_ = enet_host_create(&address, 1, 2, 0, 0);
        ENetAddress local{};
        enet_address_set_host_ip(&local, "127.0.0.1");
        client_ = enet_host_create(&local, 1, 2, 0, 0);
        if (server_ == nullptr || client_ == nullptr) {
            std::fprintf(stderr, "cannot create the ENet hosts\n");
            std::exit(1);
        }
        toServer_ = enet_host_connect(client_, &server_->address, 2, 0);
        ENetEvent event;
        while (toClient_ == nullptr) {
            enet_host_service(client_, &event, 1);
            if (enet_host_service(server_, &event, 1) > 0 &&
                event.type == ENET_EVENT_TYPE_CONNECT) {
                toClient_ = event.peer;
            }
        }
        while (toServer_->state != ENET_PEER_STATE_CONNECTED) {
            enet_host_service(client_, &event, 1);
        }
        far_ = std::thread([this] {
            while (!farSide_.Handle(Receive(server_), [this](const auto& bytes) {
                Send(toClient_, bytes);
                enet_host_flush(server_);
            })) {
            }
        });
    }
    ~RawLink() {
        Send(toServer_, Message(0, kStop));
        enet_host_flush(client_);
        far_.join();
        enet_host_destroy(client_);
        enet_host_destroy(server_);
    }
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    static constexpr const char* kName = "raw ENet";

    void SendEcho(std::uint32_t number) {
        Send(toServer_, Message(number, kEcho));
        enet_host_flush(client_);
    }
    std::uint32_t ReceiveEcho() { return Receive(client_).number; }

    // One packet and one service call (which flushes) per message.
    void SendCounted(std::uint32_t number) {
        Send(toServer_, Message(number, kCount));
        ENetEvent event;
        enet_host_service(client_, &event, 0);
    }
    // The client keeps servicing its host, so that acknowledgements go on flowing.
    void WaitForCount() {
        ENetEvent event;
        while (farSide_.Counted() < kMessagesPerRound) {
            enet_host_service(client_, &event, 1);
        }
    }
    Far& FarSide() { return farSide_; }

private:
    static void Send(ENetPeer* peer, const std::vector<std::uint8_t>& bytes) {
        enet_peer_send(peer, 0,
                       enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
    }
    // Waits (blocking in enet_host_service) for the next packet.
    static Header Receive(ENetHost* host) {
        ENetEvent event;
        for (;;) {
            if (enet_host_service(host, &event, 1000) > 0 &&
                event.type == ENET_EVENT_TYPE_RECEIVE) {
                const Header header = HeaderOf(event.packet->data);
                enet_packet_destroy(event.packet);
                return header;
            }
        }
    }

    ENetHost* server_ = nullptr;
    ENetHost* client_ = nullptr;
    ENetPeer* toServer_ = nullptr;
    ENetPeer* toClient_ = nullptr;
    Far farSide_;
    std::thread far_;
};

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

// Waits on the player's event for the next application message.
Header ReceiveOn(Side& side) {
    for (;;) {
        DPID from;
        DPID to;
        DWORD size = static_cast<DWORD>(side.buffer.size());
        const HRESULT hr = side.dp->Receive(&from, &to, DPRECEIVE_ALL, side.buffer.data(), &size);
        if (hr == DP_OK && from != DPID_SYSMSG) {
            return HeaderOf(side.buffer.data());
        }
        if (hr == DPERR_NOMESSAGES) {
            WaitForSingleObject(side.event, 1000);
        }
    }
}

void SendFrom(Side& side, DPID to, std::vector<BYTE> message) {
    side.dp->SendEx(side.id, to, DPSEND_GUARANTEED | DPSEND_ASYNC, message.data(),
                    static_cast<DWORD>(message.size()), 0, 0, nullptr, nullptr);
}

class StandInLink {
public:
    StandInLink() {
        if (!Open()) {
            std::fprintf(stderr, "cannot open the session\n");
            std::exit(1);
        }
        far_ = std::thread([this] {
            while (!farSide_.Handle(ReceiveOn(server_), [this](auto bytes) {
                SendFrom(server_, client_.id, std::move(bytes));
            })) {
            }
        });
    }
    ~StandInLink() {
        SendFrom(client_, DPID_ALLPLAYERS, Message(0, kStop));
        far_.join();
        for (Side* side : {&client_, &server_}) {
            side->dp->Release();
            CloseHandle(side->event);
        }
    }
    StandInLink(const StandInLink&) = delete;
    StandInLink& operator=(const StandInLink&) = delete;

    static constexpr const char* kName = "DirectPlay stand-in";

    void SendEcho(std::uint32_t number) {
        SendFrom(client_, DPID_ALLPLAYERS, Message(number, kEcho));
    }
    std::uint32_t ReceiveEcho() { return ReceiveOn(client_).number; }
    void SendCounted(std::uint32_t number) {
        SendFrom(client_, DPID_ALLPLAYERS, Message(number, kCount));
    }
    void WaitForCount() { farSide_.WaitForCount(); }
    Far& FarSide() { return farSide_; }

private:
    bool Open() {
        const GUID application{0x42424242, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        server_.dp = NewDirectPlay();
        client_.dp = NewDirectPlay();
        server_.dp->EnumConnections(nullptr, FirstConnection, server_.dp, DPCONNECTION_DIRECTPLAY);
        client_.dp->EnumConnections(nullptr, FirstConnection, client_.dp, DPCONNECTION_DIRECTPLAY);
        DPSESSIONDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DPSESSION_CLIENTSERVER | DPSESSION_DIRECTPLAYPROTOCOL | DPSESSION_KEEPALIVE;
        desc.guidApplication = application;
        char name[] = "bench";
        desc.lpszSessionNameA = name;
        if (FAILED(server_.dp->Open(&desc, DPOPEN_CREATE)) ||
            FAILED(server_.dp->CreatePlayer(&server_.id, nullptr, server_.event, nullptr, 0,
                                            DPPLAYER_SERVERPLAYER))) {
            return false;
        }
        DPSESSIONDESC2 found{};
        found.dwSize = sizeof found;
        found.guidApplication = application;
        client_.dp->EnumSessions(&found, 2000, FirstSession, &found, DPENUMSESSIONS_AVAILABLE);
        if (FAILED(client_.dp->Open(&found, DPOPEN_JOIN)) ||
            FAILED(client_.dp->CreatePlayer(&client_.id, nullptr, client_.event, nullptr, 0, 0))) {
            return false;
        }
        // The server's first message is the client's creation.
        DPID from;
        DPID to;
        DWORD size = static_cast<DWORD>(server_.buffer.size());
        while (server_.dp->Receive(&from, &to, DPRECEIVE_ALL, server_.buffer.data(), &size) !=
               DP_OK) {
            WaitForSingleObject(server_.event, 1000);
            size = static_cast<DWORD>(server_.buffer.size());
        }
        return true;
    }

    Side server_;
    Side client_;
    Far farSide_;
    std::thread far_;
};

// ---- measuring -----------------------------------------------------------------------

struct Figures {
    std::vector<double> roundTripsUs;
    Clock::duration oneWay{};
    int messages = 0;

    double MeanUs() const {
        double total = 0;
        for (double sample : roundTripsUs) {
            total += sample;
        }
        return total / static_cast<double>(roundTripsUs.size());
    }
    double PercentileUs(int percent) {
        std::sort(roundTripsUs.begin(), roundTripsUs.end());
        return roundTripsUs[roundTripsUs.size() * percent / 100];
    }
    double MessagesPerSecond() const {
        return messages / std::chrono::duration<double>(oneWay).count();
    }
};

template <typename Link> void MeasureRoundTrips(Link& link, Figures& figures) {
    for (int i = 0; i < kRoundTripsPerRound; ++i) {
        const auto number = static_cast<std::uint32_t>(figures.roundTripsUs.size());
        const auto sent = Clock::now();
        link.SendEcho(number);
        while (link.ReceiveEcho() != number) {
        }
        figures.roundTripsUs.push_back(Microseconds(Clock::now() - sent));
    }
}

// From the first send until the far side has counted the last message.
template <typename Link> void MeasureOneWay(Link& link, Figures& figures) {
    link.FarSide().Expect(kMessagesPerRound);
    const auto started = Clock::now();
    for (int i = 0; i < kMessagesPerRound; ++i) {
        link.SendCounted(static_cast<std::uint32_t>(i));
    }
    link.WaitForCount();
    figures.oneWay += Clock::now() - started;
    figures.messages += kMessagesPerRound;
}

void Print(const char* name, Figures& figures) {
    std::printf("%-22s round trip mean %7.1f us  median %7.1f us  p99 %7.1f us  one-way %9.0f "
                "msg/s\n",
                name, figures.MeanUs(), figures.PercentileUs(50), figures.PercentileUs(99),
                figures.MessagesPerSecond());
}

} // namespace

int main() {
    setenv(directplay::kLoopbackOnlyVariable, "1", 1);
    setenv(directplay::kEnumerationAddressVariable, "127.0.0.1", 1);
    setenv(directplay::kTcpIpPortVariable, "47700", 0);
    CoInitialize(nullptr);
    enet_initialize();
    Figures raw;
    Figures standIn;
    {
        const Watchdog watchdog;
        RawLink rawLink;
        StandInLink standInLink;
        for (int round = 0; round < kRounds; ++round) {
            MeasureRoundTrips(rawLink, raw);
            MeasureRoundTrips(standInLink, standIn);
        }
        for (int round = 0; round < kRounds; ++round) {
            MeasureOneWay(rawLink, raw);
            MeasureOneWay(standInLink, standIn);
        }
    }
    std::printf("%d round trips and %d one-way messages of %zu bytes each way, guaranteed, on "
                "127.0.0.1, in %d alternating rounds\n",
                kRounds * kRoundTripsPerRound, kRounds * kMessagesPerRound, kMessageSize, kRounds);
    Print(RawLink::kName, raw);
    Print(StandInLink::kName, standIn);
    std::printf("ratio dplay_rtt %.3f\n", standIn.MeanUs() / raw.MeanUs());
    std::printf("ratio dplay_throughput %.3f\n",
                standIn.MessagesPerSecond() / raw.MessagesPerSecond());
    enet_deinitialize();
    CoUninitialize();
    return 0;
}
