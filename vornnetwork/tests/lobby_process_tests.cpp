// A lobby with its clients in processes of their own, each the demo game using the
// registered component through COM, all on 127.0.0.1.
#include "harness.h"
#include "server_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
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

// Every line the process writes until it has been silent for `silenceMs`.
std::vector<std::string> ReadUntilSilent(PeerProcess& process, int silenceMs) {
    std::vector<std::string> lines;
    for (;;) {
        std::string line = process.ReadLine(silenceMs);
        if (line == "peer silent" || line == "peer gone") {
            return lines;
        }
        lines.push_back(std::move(line));
    }
}

// The chat lines (cmd 100) among a game's lines.
std::vector<std::string> ChatLines(const std::vector<std::string>& lines) {
    std::vector<std::string> chat;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(chat),
                 [](const std::string& line) { return line.starts_with("message cmd 100 "); });
    return chat;
}

int CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&part](const auto& line) {
        return line.find(part) != std::string::npos;
    }));
}

// A raw DirectPlay client in the lobby: it writes to the server's id, to 0 and to ids nobody
// has, in the names of other players, and sends forged, short and cut logins, while two
// competitors and a spectator play on. Afterwards each honest game has exactly its
// messages, from their real senders, the raw client has an answer for each refused login,
// the seats and the group's state are unchanged and the server is idle again.
TEST_F(LobbyGames, AHostileClientNeitherDisturbsTheGamesNorKeepsTheServerBusy) {
    PeerProcess server(VORN_LOBBY_DEMO_PROGRAM, {"server", "0", "lobby"});
    ASSERT_TRUE(server.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 1 "));
    PeerProcess alice(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "alice"});
    ASSERT_TRUE(alice.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 2 "));
    PeerProcess bob(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "bob"});
    const std::string bobOpen = bob.ReadLine(kLineWaitMs);
    ASSERT_TRUE(bobOpen.starts_with("open hr 00000000 id 3 ")) << bobOpen;
    ASSERT_TRUE(WaitFor(alice, "message cmd 1 ").starts_with("message cmd 1 "));
    ASSERT_TRUE(WaitFor(bob, "message cmd 1 ").starts_with("message cmd 1 "));
    ASSERT_TRUE(alice.Send("state board"));
    ASSERT_EQ(WaitFor(bob, "message cmd 8 "), "message cmd 8 type 3 from 2 to 5 size 6 \"board\"");
    PeerProcess eve(VORN_LOBBY_DEMO_PROGRAM, {"spectator", "5", "eve"});
    ASSERT_TRUE(eve.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 4 "));
    ASSERT_TRUE(WaitFor(eve, "message cmd 9 ").starts_with("message cmd 9 "));
    PeerProcess raw(VORN_RAW_CLIENT_PROGRAM);
    ASSERT_EQ(raw.Command("join"), "joined hr 00000000 id 5");
    ReadUntilSilent(server, 500);
    const dptest::ProcessUsage before = dptest::UsageOf(server.Pid());

    // Honest play, with the hostile client's messages in between (DirectPlay target 1 is
    // the server, 0 reaches it as well).
    const auto chat = [](PeerProcess& game, const std::string& command, const std::string& tag) {
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(game.Send(command + " " + tag + std::to_string(i)));
        }
    };
    const std::vector<std::string> hostile = {
        "send 1 100 2 5 1 300 to the server itself",
        "send 0 100 2 5 1 300 to the server itself",
        "send 1 100 2 5 0 20 to everybody",
        "send 1 100 2 5 77 20 to nobody",
        "send 1 100 2 5 4294967295 20 to nobody",
        "send 1 100 3 2 5 20 forged group",
        "send 1 100 0 3 0 20 forged all",
        "send 1 100 2 2 4 20 forged whisper",
        "send 1 8 3 2 5 1 forged state",
        "send 1 10 1 2 0 1 forged server",
        "login 1 5 2 0 5 676",
        "login 1 2 5 0 5 676",
        "login 1 5 5 0 5 272",
        "short 1 10",
        "short 1 40",
        "send 1 7 2 1 2 3 forged refusal from the server",
    };
    chat(alice, "group", "a");
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        ASSERT_EQ(raw.Command(hostile[i]), "sent hr 00000000") << hostile[i];
        if (i == 5) {
            chat(bob, "group", "b");
        } else if (i == 10) {
            chat(eve, "all", "e");
        }
    }
    chat(alice, "to 3", "p");
    // Its own competitor's seat in a full group: refused like anyone's.
    ASSERT_EQ(raw.Command("login 1 5 5 0 5 676"), "sent hr 00000000");

    EXPECT_EQ(raw.Command("drain 1500"),
              "drained 4; 7 2 1 5 49 Login refused: a player logs in for itself only."
              "; 7 2 1 5 49 Login refused: a player logs in for itself only."
              "; 7 2 1 5 40 Login refused: incomplete login record."
              "; 7 2 1 5 64 Sorry, we have all competitors already.\\nTry other group please.");

    // Each honest game: its chat, complete, from the real senders, and nothing forged.
    const auto expectChat = [](PeerProcess& game, const std::map<std::string, std::string>& from,
                               int expected) {
        const auto lines = ReadUntilSilent(game, 1000);
        const auto chatLines = ChatLines(lines);
        EXPECT_EQ(static_cast<int>(chatLines.size()), expected);
        for (const std::string& line : chatLines) {
            const std::string text = line.substr(line.find('"') + 1, 1);
            ASSERT_TRUE(from.contains(text)) << line;
            EXPECT_NE(line.find(" from " + from.at(text) + " "), std::string::npos) << line;
        }
        EXPECT_EQ(CountContaining(lines, "forged"), 0);
        EXPECT_EQ(CountContaining(lines, "message cmd 7 "), 0);
    };
    expectChat(alice, {{"b", "3"}, {"e", "4"}}, 10);
    expectChat(bob, {{"a", "2"}, {"e", "4"}, {"p", "2"}}, 15);
    expectChat(eve, {{"a", "2"}, {"b", "3"}}, 10);

    // The server's game: one "msgToPlayer" per honest whisper, the raw client's own login
    // text, and nothing in anybody else's name.
    const auto reports = ReadUntilSilent(server, 1000);
    EXPECT_EQ(CountContaining(reports, "\"msgToPlayer\""), 5);
    EXPECT_EQ(CountContaining(reports, "Login ''mallory''"), 1);
    EXPECT_EQ(CountContaining(reports, "message cmd 4 "), 0);
    EXPECT_EQ(CountContaining(reports, "message cmd 8 "), 0);
    EXPECT_EQ(CountContaining(reports, "message cmd 10 "), 0);

    // Idle again: no CPU time to speak of over two seconds, memory where it was.
    const dptest::ProcessUsage idle = dptest::UsageOf(server.Pid());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const dptest::ProcessUsage after = dptest::UsageOf(server.Pid());
    EXPECT_LE(after.ticks - idle.ticks, 10) << "CPU ticks of the server in 2 s";
    EXPECT_LE(after.residentKb - before.residentKb, 4096) << before.residentKb << " kB before";

    // The seats are alice's and bob's, and the group's state is the one alice sent.
    PeerProcess zed(VORN_LOBBY_DEMO_PROGRAM, {"spectator", "5", "zed"});
    ASSERT_TRUE(zed.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 6 "));
    EXPECT_EQ(WaitFor(zed, "message cmd 9 "), "message cmd 9 type 2 from 1 to 6 size 562 "
                                              "competitor 2 alice competitor 3 bob state 6 bytes");
}

} // namespace

// A server's game in quiet mode, as the benchmark runs it: its window takes every report
// without printing it, and the count it gives at the end is every report of the session.
TEST_F(LobbyGames, AQuietServerGameTakesEveryReportWithoutPrintingIt) {
    setenv("VORN_LOBBY_DEMO_QUIET", "1", 1);
    PeerProcess server(VORN_LOBBY_DEMO_PROGRAM, {"server", "0", "lobby"});
    unsetenv("VORN_LOBBY_DEMO_QUIET");
    ASSERT_TRUE(server.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 1 "));
    PeerProcess alice(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "alice"});
    ASSERT_TRUE(alice.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 2 "));
    PeerProcess bob(VORN_LOBBY_DEMO_PROGRAM, {"player", "5", "bob"});
    ASSERT_TRUE(bob.ReadLine(kLineWaitMs).starts_with("open hr 00000000 id 3 "));
    ASSERT_TRUE(WaitFor(alice, "message cmd 1 ").starts_with("message cmd 1 "));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(alice.Send("group shot " + std::to_string(i)));
    }
    ASSERT_TRUE(bob.Send("state board"));
    ASSERT_EQ(WaitFor(alice, "message cmd 8 "),
              "message cmd 8 type 3 from 3 to 5 size 6 \"board\"");
    ASSERT_EQ(ChatLines(ReadUntilSilent(bob, 500)).size(), 3u);

    ASSERT_TRUE(server.Send("quit"));
    const std::vector<std::string> lines = ReadUntilSilent(server, kLineWaitMs);
    // A creation text for each client, a login text and the login for each, a group text for
    // each chat line, and the state with its group text.
    EXPECT_EQ(lines, (std::vector<std::string>{"window messages 11"}));
}
