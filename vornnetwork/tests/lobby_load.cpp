// Load on the lobby server, all on 127.0.0.1: the demo game runs the lobby server in a
// process of its own (the component through COM); the clients, DirectPlay sessions on a few
// threads of this process, log in (two competitors per group, then spectators, one each to
// the first groups, once their group has started) and send msgToGroup messages at a steady
// rate. Every message must reach each other member of its sender's group exactly once and
// in order, no one else, and the server's memory must stay flat.
//
//   VORN_LOAD_GROUPS      groups of two competitors (default 120)
//   VORN_LOAD_SPECTATORS  spectators, one to each of the first groups (default 16)
//   VORN_LOAD_SECONDS     how long the clients send (default 2)
//   VORN_LOAD_RATE        messages per second of each client (default 20)
// The lobby holds 1024 players: groups * 2 + spectators at most. Exit code 0 when every
// check held.
#include "dplay_support.h"
#include "harness.h"
#include "netmessage.h"
#include "records.h"

#include "dplay.h"

#include <sys/resource.h>

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
// Client threads: at least this many, and enough that each waits on no more events than
// WaitForMultipleObjects takes.
constexpr int kMinThreads = 8;
constexpr int kLobbyCapacity = 1024;
constexpr UINT cmdLoad = 200;
constexpr GUID kApplication{// the demo game's
                            0x7A3E0202,
                            0x5151,
                            0x4242,
                            {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}};
// How long messages still on their way after the last send may take to arrive.
constexpr auto kDrainLimit = std::chrono::seconds(20);
// A spectator turned away because its group has not started yet tries again after this.
constexpr auto kLoginRetry = std::chrono::milliseconds(200);

int Setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

// Each client needs a few descriptors (its socket, events): take what the hard limit allows.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::perror("setrlimit");
        }
    }
}

struct Payload {
    DWORD sender; // client index
    DWORD sequence;
};

// Who is where: clients 0 to 2 * groups - 1 are the competitors, two to a group; the
// spectators follow, one to each of the first groups.
struct Layout {
    int groups = 0;
    int spectators = 0;
    int Clients() const { return groups * 2 + spectators; }
    bool IsSpectator(int client) const { return client >= groups * 2; }
    int Group(int client) const {
        return 1000 + (IsSpectator(client) ? client - groups * 2 : client / 2);
    }
    // The clients that share a group with `client`, in index order.
    std::vector<int> Partners(int client) const {
        const int group = Group(client) - 1000;
        std::vector<int> members{group * 2, group * 2 + 1};
        if (group < spectators) {
            members.push_back(groups * 2 + group);
        }
        std::erase(members, client);
        return members;
    }
};

// One client: a DirectPlay session of its own.
struct Client {
    int index = 0;
    const Layout* layout = nullptr;
    dptest::Ref<IDirectPlay4A> dp;
    HANDLE event = nullptr;
    DPID id = 0;
    bool started = false;
    std::optional<Clock::time_point> loginDue; // a spectator's next attempt
    DWORD sent = 0;
    std::vector<DWORD> expected; // next sequence from each client
    long received = 0;           // in order from a partner
    long misrouted = 0;          // from someone outside the group, or unreadable
    long duplicated = 0;         // a sequence already received
    long skipped = 0;            // a sequence beyond the next: something before it was lost
    std::vector<BYTE> buffer = std::vector<BYTE>(256);
    std::atomic<long>* owed = nullptr;
    std::atomic<long>* delivered = nullptr;

    bool IsSpectator() const { return layout->IsSpectator(index); }

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
        expected.assign(static_cast<std::size_t>(layout->Clients()), 0);
        dp = dptest::CreateDirectPlay();
        if (dp.Get() == nullptr) {
            return false;
        }
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        // A join still connecting is given up after a while, like the component's own.
        if (FAILED(dptest::JoinAsPlayer(dp.Get(), kApplication, event, id, 10000))) {
            return false;
        }
        return LogIn();
    }

    bool LogIn() {
        loginDue.reset();
        const DWORD role = IsSpectator() ? roleSpectator : roleCompetitor;
        LoginRecord login{PlayerInfo{id, index, layout->Group(index), role, {}, {}}, GameInfo{}};
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
        if (Send(NetMessage(cmdLoad, msgToGroup, id, static_cast<DWORD>(layout->Group(index)),
                            &payload, sizeof payload))) {
            ++sent;
            *owed += static_cast<long>(layout->Partners(index).size());
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
        } else if (message->Cmd() == cmdStart && !IsSpectator()) {
            started = true;
        } else if (message->Cmd() == cmdSpectatorSnapshot && IsSpectator()) {
            started = true;
        } else if (message->Cmd() == cmdRefused && IsSpectator() && !started) {
            loginDue = Clock::now() + kLoginRetry;
        } else if (message->Cmd() == cmdStop) {
            // Threads end a moment apart: a competitor that has left stops its group.
        } else if (message->Cmd() == cmdLoad && message->DataSize() == sizeof(Payload)) {
            Count(ReadRecord<Payload>(message->Data()));
        } else {
            ++misrouted;
        }
    }

    void Count(const Payload& payload) {
        const auto partners = layout->Partners(index);
        if (std::ranges::find(partners, static_cast<int>(payload.sender)) == partners.end()) {
            ++misrouted;
            return;
        }
        DWORD& next = expected[payload.sender];
        if (payload.sequence < next) {
            ++duplicated;
        } else {
            skipped += payload.sequence > next ? 1 : 0;
            ++received;
            ++*delivered;
            next = payload.sequence + 1;
        }
    }
};

// When the clients send: set by the main thread once every client has started.
struct Schedule {
    std::atomic<int> joined{0};
    std::atomic<int> started{0};
    std::atomic<int> failedJoins{0};
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false}; // every client leaves
    Clock::time_point sendFrom;
    Clock::time_point sendUntil;
    // Deliveries owed to receivers (each message once to each other member of its group),
    // and those made, so that the run ends when nothing more is on its way.
    std::atomic<long> owed{0};
    std::atomic<long> delivered{0};
};

// The clients of one thread: join, log in (spectators again when turned away), wait for the
// schedule, send at the rate until its end, then take what is still on its way.
void RunClients(std::vector<Client>& clients, int rate, Schedule& schedule) {
    CoInitialize(nullptr);
    std::vector<HANDLE> events;
    std::vector<Client*> joined;
    for (Client& client : clients) {
        if (client.Join()) {
            events.push_back(client.event);
            joined.push_back(&client);
        } else {
            ++schedule.failedJoins;
        }
        ++schedule.joined;
    }
    const auto period = std::chrono::microseconds(1000000 / rate);
    std::optional<Clock::time_point> nextSend;
    int startedHere = 0;
    for (;;) {
        const auto now = Clock::now();
        if (schedule.stop || joined.empty()) {
            break;
        }
        if (schedule.go && !nextSend) {
            nextSend = schedule.sendFrom;
        }
        auto until = now + std::chrono::milliseconds(50);
        if (nextSend && now < schedule.sendUntil) {
            until = std::min(until, *nextSend);
        }
        // Behind the schedule, no wait: the next sends are due.
        const auto wait =
            std::max(std::chrono::milliseconds(0),
                     std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
        // Drains the clients whose event is set, each wait taking (and resetting) one.
        const auto count = static_cast<DWORD>(events.size());
        DWORD signalled =
            WaitForMultipleObjects(count, events.data(), FALSE, static_cast<DWORD>(wait.count()));
        while (signalled < WAIT_OBJECT_0 + count) {
            joined[signalled - WAIT_OBJECT_0]->Drain();
            signalled = WaitForMultipleObjects(count, events.data(), FALSE, 0);
        }
        if (signalled == WAIT_FAILED) {
            std::fprintf(stderr, "WaitForMultipleObjects failed\n");
            schedule.stop = true;
        }
        for (Client* client : joined) {
            if (client->loginDue && Clock::now() >= *client->loginDue) {
                client->LogIn();
            }
        }
        const int startedNow = static_cast<int>(
            std::ranges::count_if(joined, [](const Client* client) { return client->started; }));
        schedule.started += startedNow - startedHere;
        startedHere = startedNow;
        if (nextSend && Clock::now() >= *nextSend && Clock::now() < schedule.sendUntil) {
            for (Client* client : joined) {
                client->SendNext();
            }
            *nextSend += period;
        }
    }
    for (Client& client : clients) {
        client.Leave();
    }
    CoUninitialize();
}

} // namespace

int main() {
    Layout layout{Setting("VORN_LOAD_GROUPS", 120), Setting("VORN_LOAD_SPECTATORS", 16)};
    const int seconds = Setting("VORN_LOAD_SECONDS", 2);
    const int rate = Setting("VORN_LOAD_RATE", 20);
    if (seconds <= 0 || seconds > 600 || rate <= 0 || rate > 1000 || layout.groups <= 0 ||
        layout.spectators < 0 || layout.spectators > layout.groups ||
        layout.Clients() > kLobbyCapacity) {
        std::fprintf(stderr, "VORN_LOAD_SECONDS 1-600, VORN_LOAD_RATE 1-1000, VORN_LOAD_GROUPS "
                             "and VORN_LOAD_SPECTATORS (at most one a group) for at most 1024 "
                             "players\n");
        return 2;
    }
    const int clientCount = layout.Clients();
    RaiseDescriptorLimit();
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
        const long startKb = dptest::UsageOf(server.Pid()).residentKb;

        Schedule schedule;
        // Spread over the threads in turn, so that each thread's spectators come last.
        constexpr int kWaitLimit = MAXIMUM_WAIT_OBJECTS;
        const int threadCount = std::max(kMinThreads, (clientCount + kWaitLimit - 1) / kWaitLimit);
        std::vector<std::vector<Client>> threads(static_cast<std::size_t>(threadCount));
        for (int index = 0; index < clientCount; ++index) {
            Client client;
            client.index = index;
            client.layout = &layout;
            client.owed = &schedule.owed;
            client.delivered = &schedule.delivered;
            threads[static_cast<std::size_t>(index % threadCount)].push_back(std::move(client));
        }
        std::vector<std::thread> workers;
        const auto begun = Clock::now();
        for (auto& clients : threads) {
            workers.emplace_back(RunClients, std::ref(clients), rate, std::ref(schedule));
        }
        // Sending starts once every client has joined and started, or never.
        const auto joinLimit = begun + std::chrono::seconds(60 + clientCount / 10);
        while (Clock::now() < joinLimit &&
               (schedule.joined < clientCount ||
                schedule.started < clientCount - schedule.failedJoins || schedule.started == 0)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto ready = Clock::now();
        long warmKb = 0;
        long endKb = 0;
        double drainSeconds = 0;
        if (schedule.started == clientCount) {
            schedule.sendFrom = ready + std::chrono::milliseconds(200);
            schedule.sendUntil = schedule.sendFrom + std::chrono::seconds(seconds);
            schedule.go = true;
            std::this_thread::sleep_until(schedule.sendFrom + std::chrono::seconds(seconds) / 4);
            warmKb = dptest::UsageOf(server.Pid()).residentKb;
            std::this_thread::sleep_until(schedule.sendUntil);
            endKb = dptest::UsageOf(server.Pid()).residentKb;
            // What is on its way arrives, or the run has lost it.
            const auto drainLimit = schedule.sendUntil + kDrainLimit;
            while (Clock::now() < drainLimit && schedule.delivered < schedule.owed) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            // A little longer, for anything that should not come at all.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            drainSeconds = std::chrono::duration<double>(Clock::now() - schedule.sendUntil).count();
        }
        schedule.stop = true;
        for (std::thread& worker : workers) {
            worker.join();
        }

        std::vector<const Client*> byIndex(static_cast<std::size_t>(clientCount));
        for (const auto& clients : threads) {
            for (const Client& client : clients) {
                byIndex[static_cast<std::size_t>(client.index)] = &client;
            }
        }
        long sent = 0;
        long due = 0;
        long received = 0;
        long misrouted = 0;
        long duplicated = 0;
        long skipped = 0;
        int lossy = 0;
        int idle = 0;
        for (const Client* client : byIndex) {
            sent += client->sent;
            received += client->received;
            misrouted += client->misrouted;
            duplicated += client->duplicated;
            skipped += client->skipped;
            idle += client->sent == 0 ? 1 : 0;
            for (int partner : layout.Partners(client->index)) {
                const DWORD partnerSent = byIndex[static_cast<std::size_t>(partner)]->sent;
                due += partnerSent;
                lossy += client->expected[static_cast<std::size_t>(partner)] != partnerSent ? 1 : 0;
            }
        }
        std::printf("%d clients (%d competitors in %d groups, %d spectators), ready after %.1f s; "
                    "%d s at %d msg/s each, all delivered %.1f s after the last send: %ld sent, "
                    "%ld due, %ld received, %ld misrouted, %ld duplicated, %ld out of order, %d "
                    "receivers short, %d clients never sent, %d failed joins\n",
                    clientCount, layout.groups * 2, layout.groups, layout.spectators,
                    std::chrono::duration<double>(ready - begun).count(), seconds, rate,
                    drainSeconds - 0.5, sent, due, received, misrouted, duplicated, skipped, lossy,
                    idle, schedule.failedJoins.load());
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
        if (!schedule.go || schedule.failedJoins != 0 || idle != 0 || misrouted != 0 ||
            duplicated != 0 || skipped != 0 || lossy != 0 || received != due || !flat) {
            std::printf("FAILED\n");
            code = 1;
        }
        server.Send("quit");
        reader.join();
    }
    CoUninitialize();
    std::filesystem::remove(registry);
    std::filesystem::remove(registry.string() + ".lock");
    return code;
}
