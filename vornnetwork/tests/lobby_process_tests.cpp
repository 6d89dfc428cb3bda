// A lobby with its clients in processes of their own, each the demo game using the
// registered component through COM, all on 127.0.0.1.
#include "harness.h"
#include "server_library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using dptest::PeerProcess;

constexpr int kLineWaitMs = 8000;

class LobbyGames : public ::testing::Test {
protected:
    void SetUp() override {
        // Before any session: loopback only, short keepalive, short enumeration.
        dptest::UseLoopbackSettings(1000);
        setenv("DPLAY_ENUM_TIMEOUT_MS", "1500", 1);
        setenv("VORN_CONNECT_TIMEOUT_MS", "5000", 1);
        UseFreshRegistry();
        const std::string command = std::string(REGSVR32_PROGRAM) + " /s " + VORNNETWORK_LIBRARY;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override { unsetenv("DPLAY_ENUM_TIMEOUT_MS"); }
};

// Reads the game's lines until one begins with `expected`; that line, or what was read.
std::string WaitFor(PeerProcess& game, const std::string& expected) {
    std::string seen;
    for (;;) {
        std::string line = game.ReadLine(kLineWaitMs);
        if (line.starts_with(expected)) {
            return line;
        }
        if (line == "peer silent" || line == "peer gone") {
            return "not found after: " + seen + line;
        }
        seen += line + " | ";
    }
}

TEST_F(LobbyGames, CompetitorsStartSpectatorsWatchAndAThirdCompetitorIsTurnedAway) {
    PeerProcess server(VORN_LOBBY_DEMO_PROGRAM, {"server", "0", "lobby"});
    ASSERT_TRUE(server.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 1 flags 256 "));

    PeerProcess alice(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "alice"});
    ASSERT_TRUE(alice.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 2 flags 0 group 5"));
    EXPECT_NE(WaitFor(server, "message cmd 5 type 1 from 2 to 1 size 50 \"Login ''alice'' as "
                              "player to group 5, player ID=2\"")
                  .find("Login"),
              std::string::npos);
    EXPECT_EQ(WaitFor(server, "message cmd 4 "),
              "message cmd 4 type 1 from 2 to 0 size 676 alice id 2 flags 0 group 5");

    // The second competitor, who names the server's address, starts the group.
    PeerProcess bob(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "bob", "127.0.0.1"});
    ASSERT_TRUE(bob.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 3 flags 0 group 5"));
    const std::string aliceStart = WaitFor(alice, "message cmd 1 type 2 from 1 to 2 size 5 seed ");
    const std::string bobStart = WaitFor(bob, "message cmd 1 type 2 from 1 to 3 size 5 seed ");
    const auto seedOf = [](const std::string& line) {
        return line.substr(line.find(" seed "), line.find(" role ") - line.find(" seed "));
    };
    ASSERT_NE(aliceStart.find(" role "), std::string::npos) << aliceStart;
    ASSERT_NE(bobStart.find(" role "), std::string::npos) << bobStart;
    EXPECT_EQ(seedOf(aliceStart), seedOf(bobStart));
    // Exactly one of them begins.
    EXPECT_TRUE((aliceStart.ends_with(" role 0") && bobStart.ends_with(" role 1")) ||
                (aliceStart.ends_with(" role 1") && bobStart.ends_with(" role 0")))
        << aliceStart << " / " << bobStart;

    // The state of the game reaches the other competitor and stays with the server.
    ASSERT_TRUE(alice.Send("state board"));
    EXPECT_EQ(WaitFor(bob, "message cmd 8 "), "message cmd 8 type 3 from 2 to 5 size 6 \"board\"");
    EXPECT_EQ(WaitFor(server, "message cmd 8 "),
              "message cmd 8 type 3 from 2 to 5 size 6 \"board\"");

    PeerProcess eve(VORN_LOBBY_DEMO_PROGRAM, {"spectator", "5", "eve"});
    ASSERT_TRUE(eve.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 4 flags 512 group 5"));
    EXPECT_EQ(WaitFor(eve, "message cmd 9 "), "message cmd 9 type 2 from 1 to 4 size 562 "
                                              "competitor 2 alice competitor 3 bob state 6 bytes");

    PeerProcess carol(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "carol"});
    ASSERT_TRUE(carol.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 5 "));
    EXPECT_EQ(WaitFor(carol, "message cmd 7 "),
              "message cmd 7 type 2 from 1 to 5 size 64 \"Sorry, we have all competitors "
              "already.\\nTry other group please.\"");

    // The group's messages reach its members, the spectator too, and nobody else.
    ASSERT_TRUE(bob.Send("group nice shot"));
    const std::string chat = "message cmd 100 type 3 from 3 to 5 size 10 \"nice shot\"";
    EXPECT_EQ(WaitFor(alice, "message cmd 100 "), chat);
    EXPECT_EQ(WaitFor(eve, "message cmd 100 "), chat);
    EXPECT_EQ(carol.ReadLine(500), "peer silent");

    // A competitor leaves: the group stops for the others.
    ASSERT_TRUE(bob.Send("quit"));
    EXPECT_EQ(WaitFor(alice, "message cmd 2 "), "message cmd 2 type 2 from 1 to 2 size 0");
    EXPECT_EQ(WaitFor(eve, "message cmd 2 "), "message cmd 2 type 2 from 1 to 4 size 0");
    EXPECT_EQ(WaitFor(server, "message cmd 5 type 1 from 0 to 1 size 50 \"Remove player"),
              "message cmd 5 type 1 from 0 to 1 size 50 \"Remove player ''bob'' from group 5, "
              "player ID = 3\"");
}

} // namespace
