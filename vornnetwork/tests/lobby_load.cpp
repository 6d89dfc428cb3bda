// Load on the lobby server, all on 127.0.0.1: the demo game runs the lobby server in a
// process of its own (the component through COM); 256 clients in 128 groups, DirectPlay
// sessions on a few threads of this process, log in and send msgToGroup messages at a steady
// rate. Every message must reach its group's other member exactly once and in order, and the
// server's memory must stay flat.
//
//   VORN_LOAD_SECONDS   how long the clients send (default 2)
//   VORN_LOAD_RATE      messages per second of each client (default 20)
// Exit code 0 when every check held.
#include "dplay_support.h"
#include "harness.h"
#include "netmessage.h"
#include "records.h"

#include "dplay.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClients = 256;
constexpr int kThreads = 8;
constexpr int kClientsPerThread = kClients / kThreads;
constexpr UINT cmdLoad = 200;
constexpr GUID kApplication{// the demo game's
                            0x7A3E0202,
                            0x5151,
                            0x4242,
                            {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}};

int Setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

struct Payload {
    DWORD sender; // client index
    DWORD sequence;
};

// One client: a DirectPlay session of its own, seated in group index / 2.
struct Client {
    int index = 0;
    dptest::Ref<IDirectPlay4A> dp;
    HANDLE event = nullptr;
    DPID id = 0;
    bool started = false;
    DWORD sent = 0;
    DWORD received = 0;  // from the partner, in order
    DWORD misrouted = 0; // from anyone else, or out of order
    std::vector<BYTE> buffer = std::vector<BYTE>(256);

    int Group() const { return 1000 + index / 2; }
    int Partner() const { return index ^ 1; }

    // Leaves the session; on the thread that joined it.
    void Leave() {
        if (dp.Get() != nullptr) {
            dp->DestroyPlayer(id);
            dp->Close();
            dp.Reset();
        }
        if (event != nullptr) {
            CloseHandle(event);
            event = nullptr;
        }
    }

    bool Join() {
        dp = dptest::CreateDirectPlay();
        if (dp.Get() == nullptr) {
            return false;
        }
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        // A join still connecting is given up after a while, like the component's own.
        if (FAILED(dptest::JoinAsPlayer(dp.Get(), kApplication, event, id, 10000))) {
            return false;
        }
        LoginRecord login{PlayerInfo{id, index, Group(), roleCompetitor, {}, {}}, GameInfo{}};
        std::snprintf(login.player.szName, sizeof login.player.szName, "client %d", index);
        return Send(NetMessage(cmdLogin, msgToServer, id, 0, &login, sizeof login));
    }

    bool Send(const NetMessage& message) {
        const auto bytes = message.Serialise();
        return SUCCEEDED(dp->SendEx(id, DPID_ALLPLAYERS, DPSEND_GUARANTEED | DPSEND_ASYNC,
                                    const_cast<BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size()), 0, 0, nullptr, nullptr));
    }

    void SendNext() {
        const Payload payload{static_cast<DWORD>(index), sent};
        if (started && Send(NetMessage(cmdLoad, msgToGroup, id, static_cast<DWORD>(Group()),
                                       &payload, sizeof payload))) {
            ++sent;
        }
    }

    void Drain() {
        for (;;) {
            DPID from = 0;
            DPID to = 0;
            DWORD size = static_cast<DWORD>(buffer.size());
            const HRESULT hr = dp->Receive(&from, &to, DPRECEIVE_ALL, buffer.data(), &size);
            if (hr == DPERR_BUFFERTOOSMALL) {
                buffer.resize(size);
                continue;
            }
            if (FAILED(hr)) {
                return;
            }
            if (from != DPID_SYSMSG) {
                Handle(NetMessage::Parse(buffer.data(), size));
            }
        }
    }

    void Handle(const std::optional<NetMessage>& message) {
        if (!message) {
            ++misrouted;
        } else if (message->Cmd() == cmdStart) {
            started = true;
        } else if (message->Cmd() == cmdLoad && message->DataSize() == sizeof(Payload)) {
            const auto payload = ReadRecord<Payload>(message->Data());
            if (payload.sender == static_cast<DWORD>(Partner()) && payload.sequence == received) {
                ++received;
            } else {
                ++misrouted;
            }
        }
    }
};

// The clients of one thread: join, wait for their group's start, send at the rate until
// the end of the run, then take what is still on its way.
void RunClients(std::vector<Client>& clients, int rate, Clock::time_point sendFrom,
                Clock::time_point sendUntil, Clock::time_point drainUntil,
                std::atomic<int>& failedJoins) {
    CoInitialize(nullptr);
    std::vector<HANDLE> events;
    std::vector<Client*> joined;
    for (Client& client : clients) {
        if (client.Join()) {
            events.push_back(client.event);
            joined.push_back(&client);
        } else {
            ++failedJoins;
        }
    }
    const auto period = std::chrono::microseconds(1000000 / rate);
    auto nextSend = sendFrom;
    for (;;) {
        const auto now = Clock::now();
        if (now >= drainUntil || joined.empty()) {
            break;
        }
        const auto until = now < sendUntil ? std::min(nextSend, drainUntil) : drainUntil;
        // Behind the schedule, no wait: the next sends are due.
        const auto wait =
            std::max(std::chrono::milliseconds(0),
                     std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
        WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                               static_cast<DWORD>(wait.count()));
        for (Client* client : joined) {
            client->Drain();
        }
        if (Clock::now() >= nextSend && Clock::now() < sendUntil) {
            for (Client* client : joined) {
                client->SendNext();
            }
            nextSend += period;
        }
    }
    for (Client& client : clients) {
        client.Leave();
    }
    CoUninitialize();
}

} // namespace

int main() {
    const int seconds = Setting("VORN_LOAD_SECONDS", 2);
    const int rate = Setting("VORN_LOAD_RATE", 20);
    if (seconds <= 0 || seconds > 600 || rate <= 0 || rate > 1000) {
        std::fprintf(stderr, "VORN_LOAD_SECONDS 1-600, VORN_LOAD_RATE 1-1000\n");
        return 2;
    }
    // Before any session: loopback only, and a registry of this run's own.
    dptest::UseLoopbackSettings(5000);
    const auto registry = std::filesystem::temp_directory_path() /
                          ("vorn-lobby-load-" + std::to_string(getpid()) + ".reg");
    setenv("VORN_REGISTRY_FILE", registry.c_str(), 1);
    const std::string registration = std::string(REGSVR32_PROGRAM) + " /s " + VORNNETWORK_LIBRARY;
    if (std::system(registration.c_str()) != 0 || FAILED(CoInitialize(nullptr))) {
        return 2;
    }

    int code = 0;
    {
        dptest::PeerProcess server(VORN_LOBBY_DEMO_PROGRAM, {"server", "0", "lobby"});
        const std::string opened = server.ReadLine(10000);
        if (!opened.starts_with("open hr 00000000")) {
            std::fprintf(stderr, "server: %s\n", opened.c_str());
            return 2;
        }
        // The server's game prints a line for each message it is told of: read them all,
        // so that its output never holds it up.
        std::atomic<long> serverLines{0};
        std::thread reader([&] {
            for (;;) {
                const std::string line = server.ReadLine(20000);
                if (line == "peer gone" || line == "peer silent") {
                    break;
                }
                ++serverLines;
            }
        });
        const long startKb = ResidentKilobytes(server.Pid());

        std::vector<std::vector<Client>> threads(kThreads);
        for (int t = 0; t < kThreads; ++t) {
            threads[t].resize(kClientsPerThread);
            for (int i = 0; i < kClientsPerThread; ++i) {
                threads[t][i].index = t * kClientsPerThread + i;
            }
        }
        // Joining takes a moment: the clients send once every thread has had time to join.
        const auto joined = Clock::now() + std::chrono::seconds(3);
        const auto sendUntil = joined + std::chrono::seconds(seconds);
        const auto drainUntil = sendUntil + std::chrono::seconds(3);
        std::atomic<int> failedJoins{0};
        std::vector<std::thread> workers;
        long warmKb = 0;
        for (auto& clients : threads) {
            workers.emplace_back(RunClients, std::ref(clients), rate, joined, sendUntil, drainUntil,
                                 std::ref(failedJoins));
        }
        std::this_thread::sleep_until(joined + std::chrono::seconds(seconds) / 4);
        warmKb = ResidentKilobytes(server.Pid());
        std::this_thread::sleep_until(sendUntil);
        const long endKb = ResidentKilobytes(server.Pid());
        for (std::thread& worker : workers) {
            worker.join();
        }

        long sent = 0;
        long received = 0;
        long misrouted = 0;
        int lossy = 0;
        int idle = 0;
        for (const auto& clients : threads) {
            for (const Client& client : clients) {
                const Client& partner = threads[client.Partner() / kClientsPerThread]
                                               [client.Partner() % kClientsPerThread];
                sent += client.sent;
                received += client.received;
                misrouted += client.misrouted;
                lossy += client.received != partner.sent ? 1 : 0;
                idle += client.sent == 0 ? 1 : 0;
            }
        }
        std::printf("%d clients in %d groups, %d s at %d msg/s each: %ld sent, %ld received, "
                    "%ld misrouted, %d receivers short, %d clients never started, %d failed "
                    "joins\n",
                    kClients, kClients / 2, seconds, rate, sent, received, misrouted, lossy, idle,
                    failedJoins.load());
        std::printf("server resident memory: %ld kB at start, %ld kB warm, %ld kB at the end "
                    "(%+ld kB); %ld lines from its game\n",
                    startKb, warmKb, endKb, endKb - warmKb, serverLines.load());
        // Flat: what the server holds once warm grows by no more than a small slack.
        // AddressSanitizer's quarantine keeps freed memory resident on purpose, so an
        // instrumented server is not judged by its size.
#ifdef __SANITIZE_ADDRESS__
        const bool flat = true;
#else
        const bool flat = endKb - warmKb <= std::max(2048L, warmKb / 10);
#endif
        if (failedJoins != 0 || idle != 0 || misrouted != 0 || lossy != 0 || sent != received ||
            !flat) {
            std::printf("FAILED\n");
            code = 1;
        }
        server.Send("quit");
        reader.join();
    }
    CoUninitialize();
    std::filesystem::remove(registry);
    return code;
}
