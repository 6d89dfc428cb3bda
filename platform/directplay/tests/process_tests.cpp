// Sessions between separate processes on 127.0.0.1, over both service providers.
#include "dplay.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>

namespace {

using dptest::PeerProcess;
using Clock = std::chrono::steady_clock;

constexpr unsigned kKeepaliveMs = 1000;
constexpr const char* kOk = "hr 00000000";

std::string Word(const std::string& answer, int index) {
    std::istringstream in(answer);
    std::string word;
    for (int i = 0; i <= index; ++i) {
        in >> word;
    }
    return word;
}

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

INSTANTIATE_TEST_SUITE_P(Providers, ProcessSession, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("TcpIp") : std::string("Ipx");
                         });

} // namespace
