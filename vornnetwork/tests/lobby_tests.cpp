// The lobby server on received buffers with a recording send function: seats, starts and
// stops of groups, spectators and their snapshot, routing, departures and full tables.
#include "debug_lines.h"
#include "lobbyserver.h"
#include "win32/extensions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr DPID kServer = 1;
const std::string kAllCompetitors =
    "Sorry, we have all competitors already.\nTry other group please.";
const std::string kNotStarted = "This session not started yet.\nRepeat your attempt some later.";

struct Sent {
    DPID idFrom;
    DPID idTarget;
    DWORD flags;
    NetMessage message;
};

struct Reported {
    NetMessage message;
    DPID idFrom;
    DPID idTo;

    std::string Text() const {
        return std::string(
            reinterpret_cast<const char*>(message.Data()),
            strnlen(reinterpret_cast<const char*>(message.Data()), message.DataSize()));
    }
};

std::string PayloadText(const NetMessage& message) {
    return std::string(reinterpret_cast<const char*>(message.Data()), message.DataSize());
}

DWORD SeedOf(const NetMessage& start) {
    return ReadRecord<DWORD>(start.Data());
}

BYTE RoleOf(const NetMessage& start) {
    return start.Data()[4];
}

int CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&part](const auto& line) {
        return line.find(part) != std::string::npos;
    }));
}

std::vector<BYTE> LoginBytes(const PlayerInfo& player, const GameInfo& game) {
    const LoginRecord login{player, game};
    return NetMessage(cmdLogin, msgToServer, player.idPlayer, 0, &login, sizeof login).Serialise();
}

class Lobby : public ::testing::Test {
protected:
    // Logs the player idPlayer in from its own DirectPlay id.
    void Login(DPID idPlayer, INT idGroup, DWORD dwFlags, const char* name) {
        PlayerInfo player{idPlayer, static_cast<INT>(idPlayer) * 10, idGroup, dwFlags, {}, {}};
        std::snprintf(player.szName, sizeof player.szName, "%s", name);
        std::snprintf(player.szInfo, sizeof player.szInfo, "info of %s", name);
        GameInfo game{};
        std::snprintf(game.szName, sizeof game.szName, "game of %s", name);
        game.dwUser[0] = idPlayer;
        Receive(idPlayer, LoginBytes(player, game));
    }

    void Receive(DPID idFrom, const std::vector<BYTE>& bytes) {
        lobby->HandleApplicationMessage(bytes.data(), static_cast<DWORD>(bytes.size()), idFrom,
                                        kServer);
    }

    void SendFrom(DPID idFrom, UINT cmd, BYTE type, DWORD idTo, const std::string& payload) {
        Receive(idFrom,
                NetMessage(cmd, type, idFrom, idTo, payload.data(), payload.size()).Serialise());
    }

    void Leave(DPID idPlayer) {
        EXPECT_TRUE(lobby->HandleDepartedPlayer(idPlayer, 0, kServer)) << idPlayer;
    }

    std::vector<Sent> TakeSent() { return std::exchange(sent, {}); }
    std::vector<Reported> TakeReports() { return std::exchange(reports, {}); }

    std::vector<DPID> Targets(const std::vector<Sent>& messages) const {
        std::vector<DPID> targets;
        for (const Sent& message : messages) {
            targets.push_back(message.idTarget);
        }
        return targets;
    }

    std::vector<DPID> TableOrder() const {
        std::vector<DPID> ids;
        for (const PlayerInfo& player : lobby->Players()) {
            ids.push_back(player.idPlayer);
        }
        return ids;
    }

    std::vector<std::string> Texts(const std::vector<Reported>& reported) const {
        std::vector<std::string> texts;
        for (const Reported& report : reported) {
            if (report.message.Cmd() == cmdText) {
                texts.push_back(report.Text());
            }
        }
        return texts;
    }

    // A reply of the server: from the server, guaranteed, msgToPlayer to its target.
    void ExpectReply(const Sent& reply, DPID idTo, UINT cmd) const {
        EXPECT_EQ(reply.idFrom, kServer);
        EXPECT_EQ(reply.idTarget, idTo);
        EXPECT_EQ(reply.flags, 0x201u);
        EXPECT_EQ(reply.message.Cmd(), cmd);
        EXPECT_EQ(reply.message.Type(), msgToPlayer);
        EXPECT_EQ(reply.message.IdFrom(), kServer);
        EXPECT_EQ(reply.message.IdTo(), idTo);
    }

    void ExpectRefused(DPID idTo, const std::string& text) {
        const auto replies = TakeSent();
        ASSERT_EQ(replies.size(), 1u);
        ExpectReply(replies[0], idTo, cmdRefused);
        EXPECT_EQ(PayloadText(replies[0].message), text + '\0');
    }

    // Two competitors (2 and 3) seated in group 5 and started.
    void StartGroupFive() {
        Login(2, 5, roleCompetitor, "alice");
        Login(3, 5, roleCompetitor, "bob");
        ASSERT_TRUE(lobby->FindGroup(5)->bStarted);
        TakeSent();
        TakeReports();
    }

    std::unique_ptr<LobbyServer> NewLobby() {
        return std::make_unique<LobbyServer>(
            [this](DPID idFrom, DPID idTarget, const NetMessage& message, DWORD flags) {
                sent.push_back(Sent{idFrom, idTarget, flags, message});
                return S_OK;
            },
            [this](const NetMessage& message, DPID idFrom, DPID idTo) {
                reports.push_back(Reported{message, idFrom, idTo});
            },
            [this] { return tick; });
    }

    DWORD tick = 1000;
    std::vector<Sent> sent;
    std::vector<Reported> reports;
    std::unique_ptr<LobbyServer> lobby = NewLobby();
};

// --- Competitors and the start of a group ---

TEST_F(Lobby, TheSecondCompetitorStartsTheGroupAndTheSeedPicksWhoBegins) {
    for (const DWORD seed : {1000u, 1001u}) {
        SCOPED_TRACE(seed);
        tick = seed;
        lobby = NewLobby();
        TakeSent();
        TakeReports();

        Login(2, 5, roleCompetitor, "alice");
        EXPECT_TRUE(TakeSent().empty()); // waiting for the second
        auto reported = TakeReports();
        ASSERT_EQ(reported.size(), 2u);
        EXPECT_EQ(reported[0].message.Cmd(), static_cast<UINT>(cmdText));
        EXPECT_EQ(reported[0].message.Type(), msgToServer);
        EXPECT_EQ(reported[0].idFrom, 2u);
        EXPECT_EQ(reported[0].idTo, kServer);
        EXPECT_EQ(reported[0].Text(), "Login ''alice'' as player to group 5, player ID=2");
        EXPECT_EQ(reported[0].message.DataSize(), reported[0].Text().size() + 1);
        EXPECT_EQ(reported[1].message.Cmd(), static_cast<UINT>(cmdLogin));
        ASSERT_EQ(reported[1].message.DataSize(), sizeof(LoginRecord));
        EXPECT_STREQ(ReadRecord<LoginRecord>(reported[1].message.Data()).player.szName, "alice");
        EXPECT_FALSE(lobby->FindGroup(5)->bStarted);

        Login(3, 5, roleCompetitor, "bob");
        const auto starts = TakeSent();
        ASSERT_EQ(Targets(starts), (std::vector<DPID>{2, 3}));
        for (const Sent& start : starts) {
            ExpectReply(start, start.idTarget, cmdStart);
            ASSERT_EQ(start.message.DataSize(), 5u);
            EXPECT_EQ(SeedOf(start.message), seed);
        }
        // seed mod 2 is the position, in table order, of the competitor that begins.
        EXPECT_EQ(RoleOf(starts[seed % 2].message), 0);
        EXPECT_EQ(RoleOf(starts[1 - seed % 2].message), 1);
        reported = TakeReports();
        EXPECT_EQ(Texts(reported),
                  (std::vector<std::string>{"Login ''bob'' as player to group 5, player ID=3"}));
        ASSERT_EQ(reported.size(), 2u);
        EXPECT_EQ(reported[1].message.Cmd(), static_cast<UINT>(cmdLogin));
        EXPECT_EQ(ReadRecord<LoginRecord>(reported[1].message.Data()).player.idPlayer, 3u);
        EXPECT_TRUE(lobby->FindGroup(5)->bStarted);
        // The group keeps the game of the last competitor accepted.
        EXPECT_STREQ(lobby->FindGroup(5)->gameInfo.szName, "game of bob");
    }
}

TEST_F(Lobby, AThirdCompetitorIsRefusedAndNotSeated) {
    StartGroupFive();
    Login(4, 5, roleCompetitor, "carol");
    ExpectRefused(4, kAllCompetitors);
    EXPECT_EQ(TableOrder(), (std::vector<DPID>{2, 3}));
    const auto reported = TakeReports();
    EXPECT_EQ(Texts(reported),
              (std::vector<std::string>{"Login ''carol'' as player to group 5, player ID=4"}));
    EXPECT_EQ(reported.size(), 1u); // no login report for a refusal
}

TEST_F(Lobby, OtherFlagsAreCalledServerAndAreNotCounted) {
    Login(2, 5, 0x42, "odd");
    Login(3, 5, roleCompetitor, "alice");
    EXPECT_EQ(Texts(TakeReports()),
              (std::vector<std::string>{"Login ''odd'' as server to group 5, player ID=2",
                                        "Login ''alice'' as player to group 5, player ID=3"}));
    EXPECT_EQ(lobby->CountCompetitors(5), 1);
    EXPECT_TRUE(TakeSent().empty());
    // Once started, such a player takes a competitor's role by its position.
    Login(4, 5, roleCompetitor, "bob");
    const auto starts = TakeSent();
    ASSERT_EQ(Targets(starts), (std::vector<DPID>{2, 3, 4}));
    EXPECT_EQ(RoleOf(starts[0].message), 0); // seed 1000: k = 0 is the odd player
    EXPECT_EQ(RoleOf(starts[1].message), 1);
    EXPECT_EQ(RoleOf(starts[2].message), 1);
}

// --- Spectators ---

TEST_F(Lobby, SpectatorsAreRefusedForAWaitingOrMissingGroup) {
    Login(7, 9, roleSpectator, "eve");
    ExpectRefused(7, kNotStarted);
    EXPECT_EQ(Texts(TakeReports()),
              (std::vector<std::string>{"Login ''eve'' as spectator to group 9, player ID=7"}));
    Login(2, 5, roleCompetitor, "alice");
    TakeSent();
    Login(7, 5, roleSpectator, "eve");
    ExpectRefused(7, kNotStarted);
    EXPECT_EQ(TableOrder(), (std::vector<DPID>{2}));
}

TEST_F(Lobby, ASpectatorOfAStartedGroupGetsTheCompetitorsAndTheStateAndJoinsTheGroup) {
    StartGroupFive();
    const std::string state = "board of group five";
    SendFrom(3, cmdSetState, msgToServer, 0, state);
    Login(7, 5, roleSpectator, "eve");
    const auto replies = TakeSent();
    ASSERT_EQ(replies.size(), 1u);
    ExpectReply(replies[0], 7, cmdSpectatorSnapshot);
    const NetMessage& snapshot = replies[0].message;
    ASSERT_EQ(snapshot.DataSize(), state.size() + 556);
    const BYTE* bytes = snapshot.Data();
    const char* names[] = {"alice", "bob"};
    for (int slot = 0; slot < 2; ++slot) {
        SCOPED_TRACE(slot);
        const BYTE* at = bytes + slot * 276;
        EXPECT_EQ(ReadRecord<DWORD>(at), 272u);
        EXPECT_EQ(ReadRecord<DWORD>(at + 4), static_cast<DWORD>(2 + slot)); // idPlayer
        EXPECT_EQ(ReadRecord<INT>(at + 8), (2 + slot) * 10);                // nUser
        EXPECT_EQ(ReadRecord<INT>(at + 12), 5);                             // idGroup
        EXPECT_EQ(ReadRecord<DWORD>(at + 16), 0u);                          // dwFlags
        // Packed: the info follows the name's NUL, zeros fill the slot.
        const char* name = reinterpret_cast<const char*>(at + 20);
        EXPECT_STREQ(name, names[slot]);
        const char* info = name + std::strlen(names[slot]) + 1;
        EXPECT_EQ(std::string(info), std::string("info of ") + names[slot]);
        const BYTE* rest = reinterpret_cast<const BYTE*>(info + std::strlen(info) + 1);
        EXPECT_TRUE(std::all_of(rest, at + 276, [](BYTE b) { return b == 0; }));
    }
    EXPECT_EQ(ReadRecord<DWORD>(bytes + 552), state.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 556), state.size()), state);

    // A member now: the group's messages reach it.
    SendFrom(2, 77, msgToGroup, 5, "shot");
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{3, 7}));
}

TEST_F(Lobby, ASnapshotWithoutStateHoldsTheCompetitorsInTableOrder) {
    Login(3, 5, roleCompetitor, "bob");
    Login(2, 5, roleCompetitor, "alice");
    TakeSent();
    Login(7, 5, roleSpectator, "eve");
    const auto replies = TakeSent();
    ASSERT_EQ(replies.size(), 1u);
    const NetMessage& snapshot = replies[0].message;
    ASSERT_EQ(snapshot.DataSize(), 556u);
    EXPECT_EQ(ReadRecord<DWORD>(snapshot.Data() + 4), 3u);
    EXPECT_EQ(ReadRecord<DWORD>(snapshot.Data() + 276 + 4), 2u);
    EXPECT_EQ(ReadRecord<DWORD>(snapshot.Data() + 552), 0u);
}

// --- Departures ---

TEST_F(Lobby, ADepartingCompetitorStopsTheGroupAndANewOneRestartsItWithAFreshSeed) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve");
    TakeSent();
    TakeReports();

    Leave(3);
    const auto reported = TakeReports();
    EXPECT_EQ(Texts(reported),
              (std::vector<std::string>{"Remove player ''bob'' from group 5, player ID = 3"}));
    EXPECT_EQ(reported[0].idFrom, 0u);
    EXPECT_EQ(reported[0].idTo, kServer);
    const auto stops = TakeSent();
    ASSERT_EQ(Targets(stops), (std::vector<DPID>{2, 7}));
    for (const Sent& stop : stops) {
        ExpectReply(stop, stop.idTarget, cmdStop);
        EXPECT_EQ(stop.message.DataSize(), 0u);
    }
    EXPECT_FALSE(lobby->FindGroup(5)->bStarted);

    tick = 2001;
    Login(4, 5, roleCompetitor, "carol");
    const auto starts = TakeSent();
    ASSERT_EQ(Targets(starts), (std::vector<DPID>{2, 7, 4}));
    for (const Sent& start : starts) {
        EXPECT_EQ(SeedOf(start.message), 2001u);
    }
    EXPECT_EQ(RoleOf(starts[0].message), 1);
    EXPECT_EQ(RoleOf(starts[1].message), 2); // the spectator
    EXPECT_EQ(RoleOf(starts[2].message), 0); // 2001 mod 2: the second competitor
}

TEST_F(Lobby, ADepartingSpectatorStopsNothing) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve");
    TakeSent();
    TakeReports();
    Leave(7);
    EXPECT_EQ(Texts(TakeReports()),
              (std::vector<std::string>{"Remove spectator ''eve'' from group 5, player ID = 7"}));
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_TRUE(lobby->FindGroup(5)->bStarted);
}

TEST_F(Lobby, TheLastMemberLeavingRemovesTheGroupAndItsState) {
    StartGroupFive();
    SendFrom(2, cmdSetState, msgToServer, 0, "state");
    Leave(2);
    Leave(3);
    EXPECT_EQ(lobby->FindGroup(5), nullptr);
    EXPECT_TRUE(lobby->Groups().empty());
    EXPECT_TRUE(lobby->Players().empty());
    EXPECT_FALSE(lobby->HandleDepartedPlayer(3, 0, kServer)); // not the lobby's any more

    Login(4, 5, roleCompetitor, "carol");
    const GroupRecord* group = lobby->FindGroup(5);
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(group->bStarted);
    EXPECT_EQ(group->nStateSize, 0u);
    EXPECT_EQ(group->pState, nullptr);
    EXPECT_EQ(group->nMaxCompetitors, 2);
}

TEST_F(Lobby, RemovalFromTheMiddleKeepsTheOrderAndUsesTheRemovedPlayersGroupAndRole) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve"); // table: 2, 3, 7
    Login(8, 6, roleCompetitor, "dan");
    Login(9, 6, roleCompetitor, "fay"); // group 6 started
    TakeSent();

    // The spectator 7 leaves; competitor 8 of group 6 moves into its slot.
    Leave(7);
    EXPECT_EQ(TableOrder(), (std::vector<DPID>{2, 3, 8, 9}));
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_TRUE(lobby->FindGroup(5)->bStarted);
    EXPECT_TRUE(lobby->FindGroup(6)->bStarted);

    // Competitor 3 leaves; 8 of group 6 moves into its slot: group 5 stops, 6 plays on.
    Leave(3);
    EXPECT_EQ(TableOrder(), (std::vector<DPID>{2, 8, 9}));
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{2}));
    EXPECT_FALSE(lobby->FindGroup(5)->bStarted);
    EXPECT_TRUE(lobby->FindGroup(6)->bStarted);
    EXPECT_EQ(lobby->Players().size(), 3u);
}

TEST_F(Lobby, AnEmptiedGroupInTheMiddleGoesAndTheOthersKeepTheirOrderAndState) {
    Login(2, 4, roleCompetitor, "a");
    Login(3, 5, roleCompetitor, "b");
    Login(4, 6, roleCompetitor, "c");
    SendFrom(4, cmdSetState, msgToServer, 0, "six");
    Leave(3);
    const auto groups = lobby->Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].idGroup, 4);
    EXPECT_EQ(groups[1].idGroup, 6);
    ASSERT_EQ(groups[1].nStateSize, 3u);
    EXPECT_EQ(std::memcmp(groups[1].pState.get(), "six", 3), 0);
}

// --- Routing ---

TEST_F(Lobby, GroupMessagesReachEveryMemberButTheSenderUnchanged) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve");
    Login(8, 6, roleCompetitor, "dan");
    TakeSent();
    TakeReports();
    const auto bytes = NetMessage(77, msgToGroup, 2, 5, "cue", 3).Serialise();
    Receive(2, bytes);
    const auto forwards = TakeSent();
    EXPECT_EQ(Targets(forwards), (std::vector<DPID>{3, 7}));
    for (const Sent& forward : forwards) {
        EXPECT_EQ(forward.idFrom, kServer);
        EXPECT_EQ(forward.flags, 0x201u);
        EXPECT_EQ(forward.message.Serialise(), bytes); // idFrom stays the client's
    }
    const auto reported = TakeReports();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].Text(), "msgToGroup 5 ");
    EXPECT_EQ(reported[0].idFrom, 2u);

    SendFrom(7, 77, msgToGroup, 5, "cheer"); // from the spectator
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{2, 3}));
    SendFrom(2, 77, msgToGroup, 42, "void"); // no such group
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(Texts(TakeReports()).back(), "msgToGroup 42 ");
}

TEST_F(Lobby, MessagesToAllReachEveryPlayerButTheSenderInTableOrder) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve");
    Login(8, 6, roleCompetitor, "dan");
    TakeSent();
    TakeReports();
    SendFrom(3, 77, msgToAll, 0, "hello");
    const auto forwards = TakeSent();
    EXPECT_EQ(Targets(forwards), (std::vector<DPID>{2, 7, 8}));
    EXPECT_EQ(forwards[0].message.IdFrom(), 3u);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(Lobby, MessagesToAPlayerGoToThatPlayerOfTheLobbyOnly) {
    StartGroupFive();
    Login(8, 6, roleCompetitor, "dan");
    TakeSent();
    TakeReports();
    const DebugLines debug;
    SendFrom(2, 77, msgToPlayer, 3, "psst");
    SendFrom(2, 77, msgToPlayer, 8, "other group");
    const auto forwards = TakeSent();
    EXPECT_EQ(Targets(forwards), (std::vector<DPID>{3, 8}));
    EXPECT_EQ(PayloadText(forwards[1].message), "other group");
    EXPECT_EQ(Texts(TakeReports()), (std::vector<std::string>{"msgToPlayer", "msgToPlayer"}));
    EXPECT_TRUE(debug.Lines().empty());

    // Nobody of the lobby: dropped with a debug line each, and nothing for the server's game.
    for (const DPID idTo : {DPID{99}, DPID{0}, kServer}) {
        SendFrom(2, 77, msgToPlayer, idTo, "nowhere");
        EXPECT_TRUE(TakeSent().empty()) << idTo;
        EXPECT_TRUE(TakeReports().empty()) << idTo;
    }
    ASSERT_EQ(debug.Lines().size(), 3u);
    EXPECT_EQ(debug.Lines()[0],
              "msgToPlayer: player ID=99 is no player of the lobby, message of player ID=2 "
              "dropped\n");
    EXPECT_NE(debug.Lines()[2].find("player ID=1 is no player"), std::string::npos);
}

TEST_F(Lobby, MessagesInAnotherPlayersNameAreNeitherForwardedStoredNorReported) {
    StartGroupFive();
    Login(7, 5, roleSpectator, "eve");
    TakeSent();
    TakeReports();
    const DebugLines debug;
    // Player 9 writes alice's id (2) into each kind of message.
    const auto forged = [this](UINT cmd, BYTE type, DWORD idTo) {
        Receive(9, NetMessage(cmd, type, 2, idTo, "forged", 6).Serialise());
    };
    forged(77, msgToPlayer, 3);
    forged(77, msgToGroup, 5);
    forged(77, msgToAll, 0);
    forged(cmdSetState, msgToGroup, 5);
    forged(cmdToServer, msgToServer, 0);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_EQ(lobby->FindGroup(5)->nStateSize, 0u);
    ASSERT_EQ(debug.Lines().size(), 5u);
    EXPECT_EQ(debug.Lines()[0], "HandleApplicationMessage: cmd 77 in the name of player ID=2 sent "
                                "by player ID=9, dropped\n");
    // Even a seated player cannot speak for its neighbour.
    Receive(3, NetMessage(77, msgToGroup, 2, 5, "cue", 3).Serialise());
    EXPECT_TRUE(TakeSent().empty());
}

TEST_F(Lobby, MessagesToTheServerAreReportedOnlyForItsOwnCommand) {
    StartGroupFive();
    SendFrom(2, cmdToServer, msgToServer, 0, "for the server");
    SendFrom(2, 77, msgToServer, 0, "dropped");
    SendFrom(2, 77, 4, 5, "unknown type");
    EXPECT_TRUE(TakeSent().empty());
    const auto reported = TakeReports();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].message.Cmd(), static_cast<UINT>(cmdToServer));
    EXPECT_EQ(PayloadText(reported[0].message), "for the server");
    EXPECT_EQ(reported[0].idFrom, 2u);
}

TEST_F(Lobby, AGameStateSentToTheGroupIsStoredReportedAndForwarded) {
    StartGroupFive();
    SendFrom(2, cmdSetState, msgToGroup, 5, "first state, rather long");
    SendFrom(3, cmdSetState, msgToGroup, 5, "second");
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{3, 2}));
    const GroupRecord* group = lobby->FindGroup(5);
    ASSERT_EQ(group->nStateSize, 6u);
    EXPECT_EQ(std::memcmp(group->pState.get(), "second", 6), 0);
    const auto reported = TakeReports();
    ASSERT_EQ(reported.size(), 4u); // each: the state, then the group text
    EXPECT_EQ(reported[0].message.Cmd(), static_cast<UINT>(cmdSetState));
    EXPECT_EQ(reported[1].Text(), "msgToGroup 5 ");

    // An empty state keeps the one stored; it is still reported and routed.
    SendFrom(2, cmdSetState, msgToGroup, 5, "");
    EXPECT_EQ(group->nStateSize, 6u);
    EXPECT_EQ(TakeReports().front().message.Cmd(), static_cast<UINT>(cmdSetState));
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{3}));
}

TEST_F(Lobby, AGameStateFromAStrangerIsOnlyRouted) {
    StartGroupFive();
    SendFrom(50, cmdSetState, msgToGroup, 5, "forged");
    EXPECT_EQ(lobby->FindGroup(5)->nStateSize, 0u);
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{2, 3}));
    EXPECT_EQ(Texts(TakeReports()), (std::vector<std::string>{"msgToGroup 5 "})); // no cmd 8
}

// --- Table operations and full tables ---

TEST_F(Lobby, AddingAPlayerTwiceOverwritesItsSlotAndLeavesTheGroups) {
    const PlayerInfo first{2, 0, 5, 0, "alice", ""};
    const PlayerInfo again{2, 1, 6, 0, "alice two", ""};
    EXPECT_TRUE(lobby->AddPlayer(first));
    EXPECT_TRUE(lobby->AddPlayer(again));
    ASSERT_EQ(lobby->Players().size(), 1u);
    EXPECT_STREQ(lobby->Players()[0].szName, "alice two");
    ASSERT_EQ(lobby->Groups().size(), 1u);
    EXPECT_EQ(lobby->Groups()[0].idGroup, 5);
    EXPECT_TRUE(lobby->AddGroup(5)); // present already: nothing
    EXPECT_EQ(lobby->Groups().size(), 1u);
}

TEST_F(Lobby, APlayerAddedAgainInAnotherGroupMovesToItInTableOrder) {
    for (const DPID id : {2u, 3u, 4u}) {
        ASSERT_TRUE(lobby->AddPlayer(PlayerInfo{id, 0, id == 3 ? 6 : 5, 0, "", ""}));
    }
    ASSERT_TRUE(lobby->AddPlayer(PlayerInfo{3, 0, 5, 0, "", ""}));
    EXPECT_EQ(lobby->CountCompetitors(5), 3);
    EXPECT_EQ(lobby->CountCompetitors(6), 0);
    SendFrom(4, 77, msgToGroup, 5, "cue");
    EXPECT_EQ(Targets(TakeSent()), (std::vector<DPID>{2, 3}));
    SendFrom(4, 77, msgToGroup, 6, "cue");
    EXPECT_TRUE(TakeSent().empty());
}

// Seats, moves and departures in many groups, each followed by the lookups, the group members
// and the group forwards that a scan of the tables gives.
TEST_F(Lobby, LookupsAndGroupMembersFollowTheTablesThroughEveryChange) {
    DWORD random = 12345;
    const auto next = [&random](DWORD range) {
        random = random * 1103515245u + 12345u;
        return (random >> 16) % range;
    };
    for (int step = 0; step < 3000; ++step) {
        const DPID id = 2 + next(40);
        const auto idGroup = static_cast<INT>(1 + next(6));
        const DWORD dwFlags = next(3) == 0 ? roleSpectator : roleCompetitor;
        if (lobby->FindPlayer(id) != nullptr && next(2) == 0) {
            lobby->RemovePlayer(*lobby->FindPlayer(id));
        } else {
            lobby->AddPlayer(PlayerInfo{id, 0, idGroup, dwFlags, "", ""});
        }
        const auto players = lobby->Players();
        for (const PlayerInfo& player : players) {
            ASSERT_EQ(lobby->FindPlayer(player.idPlayer), &player) << "step " << step;
        }
        for (const GroupRecord& group : lobby->Groups()) {
            ASSERT_EQ(lobby->FindGroup(group.idGroup), &group) << "step " << step;
        }
        for (INT group = 1; group <= 6; ++group) {
            std::vector<DPID> members;
            int competitors = 0;
            for (const PlayerInfo& player : players) {
                if (player.idGroup == group) {
                    members.push_back(player.idPlayer);
                    competitors += player.dwFlags == roleCompetitor ? 1 : 0;
                }
            }
            const auto listed = lobby->Members(group);
            ASSERT_EQ(std::vector<DPID>(listed.begin(), listed.end()), members)
                << "step " << step << " group " << group;
            ASSERT_EQ(lobby->CountCompetitors(group), competitors) << "step " << step;
            if (!members.empty()) {
                SendFrom(members.front(), 77, msgToGroup, static_cast<DWORD>(group), "cue");
                members.erase(members.begin());
                ASSERT_EQ(Targets(TakeSent()), members) << "step " << step;
            }
        }
        TakeReports();
    }
}

TEST_F(Lobby, WithThePlayerTableFullLoginsAreAcceptedButNotSeated) {
    for (int i = 0; i < LobbyServer::maxPlayers; ++i) {
        ASSERT_TRUE(lobby->AddPlayer(PlayerInfo{static_cast<DWORD>(100 + i), 0, 1, 0x42, "", ""}));
    }
    EXPECT_FALSE(lobby->AddPlayer(PlayerInfo{5000, 0, 1, 0, "", ""}));
    Login(2, 5, roleCompetitor, "alice");
    Login(3, 5, roleCompetitor, "bob");
    EXPECT_TRUE(TakeSent().empty()); // no cmdStart, no refusal
    EXPECT_EQ(lobby->Players().size(), static_cast<std::size_t>(LobbyServer::maxPlayers));
    EXPECT_EQ(lobby->FindPlayer(2), nullptr);
    int logins = 0;
    for (const Reported& report : TakeReports()) {
        logins += report.message.Cmd() == cmdLogin ? 1 : 0;
    }
    EXPECT_EQ(logins, 2);
}

TEST_F(Lobby, WithTheGroupTableFullANewGroupsCompetitorsAreNeverStarted) {
    for (int i = 0; i < LobbyServer::maxGroups; ++i) {
        ASSERT_TRUE(lobby->AddGroup(1000 + i));
    }
    EXPECT_FALSE(lobby->AddGroup(5));
    Login(2, 5, roleCompetitor, "alice");
    Login(3, 5, roleCompetitor, "bob");
    Login(4, 5, roleCompetitor, "carol");
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(TableOrder(), (std::vector<DPID>{2, 3, 4}));
    EXPECT_EQ(lobby->FindGroup(5), nullptr);
    Login(7, 5, roleSpectator, "eve");
    ExpectRefused(7, kNotStarted);
    // Once a group is gone there is room again.
    lobby->RemoveGroup(1000);
    Login(8, 5, roleCompetitor, "dan");
    EXPECT_NE(lobby->FindGroup(5), nullptr);
}

// --- Received data that does not hold what it claims ---

TEST_F(Lobby, AShortLoginIsRefusedToItsSender) {
    const DebugLines debug;
    const PlayerInfo player{2, 0, 5, 0, "alice", ""};
    Receive(2, NetMessage(cmdLogin, msgToServer, 2, 0, &player, sizeof player).Serialise());
    ExpectRefused(2, "Login refused: incomplete login record.");
    auto bytes = LoginBytes(player, GameInfo{});
    bytes.pop_back(); // one byte short of the payload it announces: no message at all
    EXPECT_EQ(
        lobby->HandleApplicationMessage(bytes.data(), static_cast<DWORD>(bytes.size()), 2, kServer),
        0);
    EXPECT_TRUE(lobby->Players().empty());
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(
        debug.Lines(),
        (std::vector<std::string>{
            "Login: 272 bytes from player ID=2 are no login record, refused\n",
            "HandleApplicationMessage: 692 bytes from player ID=2 are no message, dropped\n"}));
}

TEST_F(Lobby, ALoginForAnotherPlayersIdIsRefusedToItsSender) {
    Login(2, 5, roleCompetitor, "alice");
    TakeReports();
    TakeSent();
    const DebugLines debug;
    // Player 9 claims alice's seat: her slot and her replies stay hers.
    const PlayerInfo forged{2, 0, 5, 0, "mallory", ""};
    Receive(9, LoginBytes(forged, GameInfo{}));
    ExpectRefused(9, "Login refused: a player logs in for itself only.");
    // The same with the header in alice's name as well.
    const LoginRecord login{forged, GameInfo{}};
    Receive(9, NetMessage(cmdLogin, msgToServer, 2, 0, &login, sizeof login).Serialise());
    ExpectRefused(9, "Login refused: a player logs in for itself only.");
    EXPECT_STREQ(lobby->FindPlayer(2)->szName, "alice");
    EXPECT_EQ(lobby->FindPlayer(9), nullptr);
    EXPECT_EQ(lobby->Players().size(), 1u);
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_EQ(debug.Lines().size(), 2u);
}

TEST_F(Lobby, ASeatedPlayerLoggingInAgainIsRefusedAndKeepsItsSeat) {
    StartGroupFive();
    const DebugLines debug;
    Login(2, 9, roleCompetitor, "alice elsewhere");
    ExpectRefused(2, "Login refused: this player is logged in already.");
    Login(3, 5, roleSpectator, "bob watching");
    ExpectRefused(3, "Login refused: this player is logged in already.");
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_STREQ(lobby->FindPlayer(2)->szName, "alice");
    EXPECT_EQ(lobby->FindPlayer(3)->dwFlags, roleCompetitor);
    ASSERT_EQ(lobby->Groups().size(), 1u); // no group 9 left behind
    EXPECT_TRUE(lobby->FindGroup(5)->bStarted);
    EXPECT_EQ(CountContaining(debug.Lines(), "logged in already"), 2);
}

TEST_F(Lobby, UnterminatedTextsInALoginAreCutAt127Characters) {
    LoginRecord login{};
    login.player = PlayerInfo{2, 0, 5, 0, {}, {}};
    std::memset(login.player.szName, 'n', sizeof login.player.szName);
    std::memset(login.player.szInfo, 'i', sizeof login.player.szInfo);
    std::memset(login.game.szName, 'g', sizeof login.game.szName);
    Receive(2, NetMessage(cmdLogin, msgToServer, 2, 0, &login, sizeof login).Serialise());
    const PlayerInfo* seated = lobby->FindPlayer(2);
    ASSERT_NE(seated, nullptr);
    EXPECT_EQ(std::string(seated->szName), std::string(127, 'n'));
    EXPECT_EQ(std::string(seated->szInfo), std::string(127, 'i'));
    EXPECT_EQ(std::string(lobby->FindGroup(5)->gameInfo.szName), std::string(127, 'g'));
    EXPECT_EQ(Texts(TakeReports()).front(),
              "Login ''" + std::string(127, 'n') + "'' as player to group 5, player ID=2");
}

} // namespace
