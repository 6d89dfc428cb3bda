#include "netmessage.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::vector<BYTE> WireBytes(UINT cmd, BYTE type, DWORD idFrom, DWORD idTo,
                            const std::string& payload) {
    std::vector<BYTE> bytes(17 + payload.size());
    const DWORD size = static_cast<DWORD>(payload.size());
    std::memcpy(bytes.data(), &cmd, 4);
    bytes[4] = type;
    std::memcpy(bytes.data() + 5, &idFrom, 4);
    std::memcpy(bytes.data() + 9, &idTo, 4);
    std::memcpy(bytes.data() + 13, &size, 4);
    std::memcpy(bytes.data() + 17, payload.data(), payload.size());
    return bytes;
}

TEST(NetMessageFormat, ParsingAndSerialisingReproduceTheReceivedBytes) {
    const std::vector<BYTE> received =
        WireBytes(0x01020304, 3, 0xA1B2C3D4, 77, std::string("payload\0x", 9));
    const auto message = NetMessage::Parse(received.data(), received.size());
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->Cmd(), 0x01020304u);
    EXPECT_EQ(message->Type(), 3);
    EXPECT_EQ(message->IdFrom(), 0xA1B2C3D4u);
    EXPECT_EQ(message->IdTo(), 77u);
    EXPECT_EQ(message->DataSize(), 9u);
    EXPECT_EQ(message->WireSize(), received.size());
    EXPECT_EQ(message->Serialise(), received);
}

TEST(NetMessageFormat, TheWireFormOfASendHoldsTheMessageWhateverItsSize) {
    // Up to 256 bytes the form lies inside the object, beyond on the heap.
    for (const std::size_t payloadSize : {0u, 1u, 238u, 239u, 240u, 5000u}) {
        std::string payload(payloadSize, '\0');
        for (std::size_t at = 0; at < payloadSize; ++at) {
            payload[at] = static_cast<char>(at * 13 + payloadSize);
        }
        const NetMessage message(42, msgToGroup, 7, 5, payload.data(),
                                 static_cast<UINT>(payload.size()));
        WireForm wire(message);
        ASSERT_NE(wire.Data(), nullptr) << payloadSize;
        EXPECT_EQ(std::vector<BYTE>(wire.Data(), wire.Data() + wire.Size()),
                  WireBytes(42, msgToGroup, 7, 5, payload))
            << payloadSize;
    }
}

TEST(NetMessageFormat, HeaderIsLittleEndianAtItsOffsets) {
    const BYTE data[3] = {9, 8, 7};
    const NetMessage message(0x11223344, msgToGroup, 0x55667788, 0x99AABBCC, data, 3);
    const std::vector<BYTE> expected = {0x44, 0x33, 0x22, 0x11, 3, 0x88, 0x77, 0x66, 0x55, 0xCC,
                                        0xBB, 0xAA, 0x99, 3,    0, 0,    0,    9,    8,    7};
    EXPECT_EQ(message.Serialise(), expected);
}

TEST(NetMessageFormat, NoDataMeansNoPayloadAndSizeZero) {
    const BYTE data[5] = {1, 2, 3, 4, 5};
    for (const NetMessage& message : {NetMessage(4, msgToPlayer, 1, 2, nullptr, 5),
                                      NetMessage(4, msgToPlayer, 1, 2, data, 0)}) {
        EXPECT_EQ(message.DataSize(), 0u);
        EXPECT_EQ(message.Data(), nullptr);
        EXPECT_EQ(message.Serialise().size(), 17u);
    }
    const NetMessage empty;
    EXPECT_EQ(empty.Cmd(), 0u);
    EXPECT_EQ(empty.Type(), msgToPlayer);
    EXPECT_EQ(empty.IdFrom(), 0u);
    EXPECT_EQ(empty.IdTo(), 0u);
}

TEST(NetMessageFormat, ShortBuffersAreRefused) {
    const std::vector<BYTE> whole = WireBytes(12, 2, 3, 4, "abcdef");
    EXPECT_FALSE(NetMessage::Parse(whole.data(), 16).has_value());
    EXPECT_FALSE(NetMessage::Parse(whole.data(), whole.size() - 1).has_value());
    EXPECT_FALSE(NetMessage::Parse(nullptr, 40).has_value());
    const auto headerOnly = NetMessage::Parse(WireBytes(12, 2, 3, 4, "").data(), 17);
    ASSERT_TRUE(headerOnly.has_value());
    EXPECT_EQ(headerOnly->WireSize(), 17u);
    // Bytes beyond the announced payload are not part of the message.
    std::vector<BYTE> longer = whole;
    longer.push_back(0xEE);
    EXPECT_EQ(NetMessage::Parse(longer.data(), longer.size())->Serialise(), whole);
}

TEST(Records, LoginRecordLaysOutPlayerThenGame) {
    PlayerInfo player{42, 7, 5, 0x200, "alice", "left-handed"};
    GameInfo game{"table five", "10.0.0.1 ", {1, 2, 3, 4, 5}};
    const LoginRecord login = MakeLoginRecord(player, game);
    BYTE bytes[sizeof(LoginRecord)];
    WriteRecord(login, bytes);
    DWORD value = 0;
    std::memcpy(&value, bytes, 4);
    EXPECT_EQ(value, 42u);
    std::memcpy(&value, bytes + 12, 4);
    EXPECT_EQ(value, 0x200u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 16), "alice");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 144), "left-handed");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 272), "table five");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 400), "10.0.0.1 ");
    std::memcpy(&value, bytes + 272 + 384 + 16, 4);
    EXPECT_EQ(value, 5u);
    const auto back = ReadRecord<LoginRecord>(bytes);
    EXPECT_EQ(std::memcmp(&back, &login, sizeof login), 0);
}

TEST(Records, CopiedTextsKeepAtMost127CharactersAndAreTerminated) {
    PlayerInfo player = EmptyPlayerInfo();
    std::memset(player.szName, 'n', sizeof player.szName);
    std::memset(player.szInfo, 'i', sizeof player.szInfo);
    GameInfo game{};
    std::memset(game.szAddresses, 'a', sizeof game.szAddresses);
    const LoginRecord login = MakeLoginRecord(player, game);
    EXPECT_EQ(std::string(login.player.szName), std::string(127, 'n'));
    EXPECT_EQ(std::string(login.player.szInfo), std::string(127, 'i'));
    EXPECT_EQ(std::string(login.game.szAddresses), std::string(255, 'a'));
    EXPECT_EQ(login.player.idPlayer, static_cast<DWORD>(-1));
    EXPECT_EQ(login.player.idGroup, -1);
}

} // namespace
