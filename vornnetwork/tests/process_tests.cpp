// Games in processes of their own over the DirectPlay stand-in, all on 127.0.0.1.
#include "harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using dptest::PeerProcess;

class Games : public ::testing::Test {
protected:
    void SetUp() override {
        // Before any session: loopback only, short keepalive, short enumeration.
        dptest::UseLoopbackSettings(1000);
        setenv("DPLAY_ENUM_TIMEOUT_MS", "1500", 1);
        setenv("VORN_CONNECT_TIMEOUT_MS", "5000", 1);
    }
    void TearDown() override { unsetenv("DPLAY_ENUM_TIMEOUT_MS"); }
};

bool Succeeded(const std::string& answer) {
    return answer.starts_with("hr 00000000 ");
}

TEST_F(Games, HostAdmitsOnePeerAndTurnsAwayTheNext) {
    PeerProcess host(VORN_PEER_PROGRAM);
    const std::string hosted = host.Command("open 256 0 0 host");
    ASSERT_TRUE(Succeeded(hosted)) << hosted;
    EXPECT_NE(hosted.find(" id 1 flags 256 addresses [127.0.0.1 ]"), std::string::npos) << hosted;

    PeerProcess first(VORN_PEER_PROGRAM);
    const std::string joined = first.Command("open 0 2 0 alice");
    ASSERT_TRUE(Succeeded(joined)) << joined;
    EXPECT_NE(joined.find(" id 2 flags 0 addresses [127.0.0.1 ]"), std::string::npos) << joined;
    EXPECT_EQ(host.Command("text Create player ID=2"), "got text");
    EXPECT_EQ(host.Command("wait 1"), "got 1 type 3 from 0 to 1 size 0");
    EXPECT_EQ(first.Command("wait 1"), "got 1 type 2 from 1 to 0 size 0");

    // The session holds two players: a third finds no session while the first is in.
    PeerProcess second(VORN_PEER_PROGRAM);
    EXPECT_FALSE(Succeeded(second.Command("open 0 3 0 bob")));

    // The first leaves; the host is told, and the next peer is still turned away.
    EXPECT_EQ(first.Command("close"), "hr 00000000");
    EXPECT_EQ(host.Command("text Destroy player ID=2"), "got text");
    EXPECT_EQ(host.Command("wait 2"), "got 2 type 3 from 0 to 1 size 0");
    PeerProcess third(VORN_PEER_PROGRAM);
    ASSERT_TRUE(Succeeded(third.Command("open 0 0 0 carol")));
    EXPECT_EQ(third.Command("wait 11"), "got 11 type 2 from 1 to 0 size 0");
    EXPECT_EQ(host.Command("text Create player ID=3"), "got text");

    // The host goes away as a crash would: its peer loses the session.
    host.Kill();
    EXPECT_EQ(third.Command("wait 3"), "got 3 type 3 from 0 to 3 size 0");
}

TEST_F(Games, PlayerAndSpectatorLogInToTheLobbyServer) {
    PeerProcess server(VORN_PEER_PROGRAM);
    const std::string opened = server.Command("open 768 0 0 lobby");
    ASSERT_TRUE(Succeeded(opened)) << opened;
    EXPECT_NE(opened.find(" id 1 flags 256 "), std::string::npos) << opened;

    PeerProcess player(VORN_PEER_PROGRAM);
    ASSERT_TRUE(Succeeded(player.Command("open 0 3 5 alice")));
    EXPECT_EQ(server.Command("text Create player ID=2"), "got text");
    EXPECT_EQ(server.Command("wait 4"),
              "got 4 type 1 from 2 to 0 size 676 login 2 0 5 alice [127.0.0.1 ]");

    // A spectator that names the server's address instead of enumerating: the group waits
    // for its second competitor, so the spectator is turned away.
    PeerProcess spectator(VORN_PEER_PROGRAM);
    EXPECT_EQ(spectator.Command("address 127.0.0.1"), "hr 00000000");
    ASSERT_TRUE(Succeeded(spectator.Command("open 512 0 5 bob")));
    EXPECT_EQ(server.Command("text Login ''bob'' as spectator to group 5, player ID=3"),
              "got text");
    EXPECT_EQ(spectator.Command("wait 7"), "got 7 type 2 from 1 to 3 size 62 text This session "
                                           "not started yet.\\nRepeat your attempt some later.");

    // A seated client that leaves is removed from its group.
    EXPECT_EQ(player.Command("close"), "hr 00000000");
    EXPECT_EQ(server.Command("text Destroy player ID=2"), "got text");
    EXPECT_EQ(server.Command("text Remove player ''alice'' from group 5, player ID = 2"),
              "got text");
}

TEST_F(Games, HostAndPeerMeetOverIpx) {
    PeerProcess host(VORN_PEER_PROGRAM);
    const std::string hosted = host.Command("open 256 1 0 host");
    ASSERT_TRUE(Succeeded(hosted)) << hosted;
    EXPECT_NE(hosted.find(" addresses []"), std::string::npos) << hosted; // no Internet address
    PeerProcess peer(VORN_PEER_PROGRAM);
    ASSERT_TRUE(Succeeded(peer.Command("open 0 1 0 alice")));
    EXPECT_EQ(peer.Command("wait 1"), "got 1 type 2 from 1 to 0 size 0");
    EXPECT_EQ(host.Command("wait 1"), "got 1 type 3 from 0 to 1 size 0");
}

} // namespace
