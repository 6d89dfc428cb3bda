// Sessions between separate processes on 127.0.0.1, over both service providers.
#include "directplay/environment.h"
#include "dplay.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace {

using dptest::PeerProcess;
using dptest::Word;
using Clock = std::chrono::steady_clock;

constexpr unsigned kKeepaliveMs = 1000;
constexpr const char* kOk = "hr 00000000";

class ProcessSession : public testing::TestWithParam<int> {
protected:
    void SetUp() override { dptest::UseLoopbackSettings(kKeepaliveMs); }

    std::string Provider() const { return "provider " + std::to_string(GetParam()); }

    // A peer process hosting a session of application `application`; returns its player id.
    std::string StartHost(PeerProcess& host, const char* application, int maxPlayers) {
        EXPECT_EQ(host.Command(Provider()), kOk);
        const std::string answer = host.Command(std::string("host ") + application + " " +
                                                std::to_string(maxPlayers) + " table");
        EXPECT_EQ(answer.rfind(kOk, 0), 0u) << answer;
        return Word(answer, 2);
    }

    std::string Join(PeerProcess& client, const char* application,
                     const char* which = "available") {
        EXPECT_EQ(client.Command(Provider()), kOk);
        return client.Command(std::string("join ") + application + " 1500 " + which);
    }
};

TEST_P(ProcessSession, HostAndThreeClientsExchangeCompleteOrderedMessages) {
    PeerProcess host;
    EXPECT_EQ(StartHost(host, "c0ffee01", 0), std::to_string(DPID_SERVERPLAYER));

    std::vector<std::unique_ptr<PeerProcess>> clients;
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<PeerProcess>());
        const std::string answer = Join(*clients.back(), "c0ffee01");
        ASSERT_EQ(answer.rfind(kOk, 0), 0u) << answer;
        ids.push_back(Word(answer, 2));
    }
    // The host hears of each player as it is created.
    for (const std::string& id : ids) {
        EXPECT_EQ(host.Command("recv 2000"), "sys 3 " + id);
    }
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);

    // Player 0 is the server player for a client.
    for (auto& client : clients) {
        EXPECT_EQ(client->Command("send 0 200 300"), kOk);
    }
    EXPECT_EQ(host.Command("collect 600 5000"), "collected 600 3 1 1");

    // The server player's send to all players reaches every client, large messages included.
    EXPECT_EQ(host.Command("send 0 20 5000"), kOk);
    for (auto& client : clients) {
        EXPECT_EQ(client->Command("collect 20 5000"), "collected 20 1 1 1");
    }
    // Clients do not hear of each other in a client/server session.
    EXPECT_EQ(clients[0]->Command("recv 200"), "none");
}

TEST_P(ProcessSession, EnumerationFindsTheSessionAndIgnoresOtherApplications) {
    PeerProcess wanted;
    PeerProcess other;
    StartHost(wanted, "c0ffee02", 4);
    StartHost(other, "deadbeef", 4);

    PeerProcess client;
    ASSERT_EQ(client.Command(Provider()), kOk);
    const std::string answer = client.Command("enum c0ffee02 800");
    EXPECT_EQ(Word(answer, 0) + " " + Word(answer, 1), kOk);
    EXPECT_EQ(Word(answer, 3), "1") << answer;
    EXPECT_EQ(Word(answer, 4), "c0ffee02:table:1/4") << answer;
    // The callback's DPESC_TIMEDOUT comes when the time-out has passed, not before.
    EXPECT_GE(std::stoi(Word(answer, 2)), 800);
    EXPECT_LT(std::stoi(Word(answer, 2)), 2000);
}

TEST_P(ProcessSession, JoiningAFullTwoPlayerSessionFails) {
    PeerProcess host;
    StartHost(host, "c0ffee03", 2);
    PeerProcess first;
    EXPECT_EQ(Join(first, "c0ffee03").rfind(kOk, 0), 0u);

    // A full session is not listed as available, so the join has no session to open...
    PeerProcess second;
    EXPECT_EQ(Word(Join(second, "c0ffee03"), 1), "887700dc"); // DPERR_NOSESSIONS
    // ...and opening it anyway is refused by the host.
    PeerProcess third;
    EXPECT_EQ(Word(Join(third, "c0ffee03", "all"), 1), "8877014a"); // DPERR_NONEWPLAYERS
}

TEST_P(ProcessSession, KilledClientIsDestroyedWithinTheKeepalive) {
    PeerProcess host;
    StartHost(host, "c0ffee04", 0);
    PeerProcess client;
    const std::string id = Word(Join(client, "c0ffee04"), 2);
    ASSERT_EQ(host.Command("recv 2000"), "sys 3 " + id);

    const auto killed = Clock::now();
    client.Kill();
    EXPECT_EQ(host.Command("recv 4000"), "sys 5 " + id);
    EXPECT_LT(Clock::now() - killed, std::chrono::milliseconds(kKeepaliveMs * 5 / 2));
}

TEST_P(ProcessSession, KilledHostLosesTheSessionForEveryClient) {
    PeerProcess host;
    StartHost(host, "c0ffee05", 0);
    PeerProcess first;
    PeerProcess second;
    ASSERT_EQ(Join(first, "c0ffee05").rfind(kOk, 0), 0u);
    ASSERT_EQ(Join(second, "c0ffee05").rfind(kOk, 0), 0u);

    host.Kill();
    EXPECT_EQ(first.Command("recv 4000"), "sys 49 0");
    EXPECT_EQ(second.Command("recv 4000"), "sys 49 0");
    EXPECT_EQ(Word(first.Command("send 0 1 8"), 1), "88770168"); // DPERR_CONNECTIONLOST
}

// The sessions an "enum" answer lists, as application:name:players/most.
std::vector<std::string> ListedSessions(const std::string& answer) {
    std::istringstream in(answer);
    std::string word;
    std::vector<std::string> sessions;
    for (int i = 0; in >> word; ++i) {
        if (i >= 4) {
            sessions.push_back(word);
        }
    }
    std::ranges::sort(sessions);
    return sessions;
}

TEST_P(ProcessSession, AQueryToTheMachineFindsEveryHostOnItAndOutlivesThePortOwner) {
    // Queries go to 127.0.0.1 itself, not to a broadcast address: TCP/IP through the host
    // address a game gives, IPX through the enumeration address.
    setenv(directplay::kEnumerationAddressVariable, "127.0.0.1", 1);
    const std::string connect = GetParam() == 0 ? "tcpip-host 127.0.0.1" : Provider();
    // The first host owns the enumeration port; the others answer through it.
    auto game = std::make_unique<PeerProcess>();
    ASSERT_EQ(game->Command(Provider()), kOk);
    ASSERT_EQ(game->Command("host c0ffee06 2 game").rfind(kOk, 0), 0u);
    PeerProcess lobby;
    ASSERT_EQ(lobby.Command(Provider()), kOk);
    ASSERT_EQ(lobby.Command("host c0ffee06 0 lobby").rfind(kOk, 0), 0u);

    PeerProcess client;
    ASSERT_EQ(client.Command(connect), kOk);
    EXPECT_EQ(ListedSessions(client.Command("enum c0ffee06 1200")),
              (std::vector<std::string>{"c0ffee06:game:1/2", "c0ffee06:lobby:1/0"}));

    // Once the port's owner is gone, another host takes the port over.
    game->Kill();
    game.reset();
    EXPECT_EQ(ListedSessions(client.Command("enum c0ffee06 1200")),
              (std::vector<std::string>{"c0ffee06:lobby:1/0"}));
    PeerProcess later;
    ASSERT_EQ(later.Command(Provider()), kOk);
    ASSERT_EQ(later.Command("host c0ffee06 2 later").rfind(kOk, 0), 0u);
    EXPECT_EQ(ListedSessions(client.Command("enum c0ffee06 1200")),
              (std::vector<std::string>{"c0ffee06:later:1/2", "c0ffee06:lobby:1/0"}));
    // And the session found can be joined.
    PeerProcess player;
    ASSERT_EQ(player.Command(connect), kOk);
    const std::string joined = player.Command("join c0ffee06 1500 available");
    EXPECT_EQ(joined.rfind(kOk, 0), 0u) << joined;
}

// Killed processes send nothing more: the other side must notice the silence itself,
// after the keepalive time and before a quarter more has passed.
TEST_P(ProcessSession, KilledClientAndHostAreReportedLostWithinAQuarterOverTheKeepalive) {
    constexpr unsigned kSlowKeepaliveMs = 2000;
    dptest::UseLoopbackSettings(kSlowKeepaliveMs);
    PeerProcess host;
    StartHost(host, "c0ffee07", 0);
    PeerProcess killed;
    PeerProcess survivor;
    const std::string id = Word(Join(killed, "c0ffee07"), 2);
    ASSERT_EQ(Join(survivor, "c0ffee07").rfind(kOk, 0), 0u);
    ASSERT_EQ(host.Command("recv 2000"), "sys 3 " + id);
    ASSERT_EQ(host.Command("recv 2000").rfind("sys 3 ", 0), 0u);

    auto timeToLoss = [](PeerProcess& victim, PeerProcess& witness, const std::string& loss) {
        const auto killedAt = Clock::now();
        victim.Kill();
        EXPECT_EQ(witness.Command("recv 4000"), loss);
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - killedAt)
            .count();
    };
    // The victim was last heard at most a ping interval (a quarter of the keepalive) and a
    // check period before it died.
    const auto clientLost = timeToLoss(killed, host, "sys 5 " + id);
    RecordProperty("client_lost_ms", std::to_string(clientLost));
    EXPECT_GE(clientLost, kSlowKeepaliveMs / 2);
    EXPECT_LE(clientLost, kSlowKeepaliveMs * 5 / 4);
    const auto hostLost = timeToLoss(host, survivor, "sys 49 0");
    RecordProperty("host_lost_ms", std::to_string(hostLost));
    EXPECT_GE(hostLost, kSlowKeepaliveMs / 2);
    EXPECT_LE(hostLost, kSlowKeepaliveMs * 5 / 4);
}

INSTANTIATE_TEST_SUITE_P(Providers, ProcessSession, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("TcpIp") : std::string("Ipx");
                         });

} // namespace
