// The network object against a recording DirectPlay: what Open, Close and the send methods
// ask of DirectPlay, and what the receive thread makes of the messages it is handed.
#include "harness.h"
#include "netmessage.h"
#include "recording_directplay.h"
#include "records.h"
#include "server_library.h"
#include "window_recorder.h"

#include "dplobby.h"
#include "win32/extensions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using vorntest::RecordingDirectPlay;
using vorntest::WindowRecorder;

constexpr unsigned kWaitMs = 3000;
constexpr GUID kApplication{
    0x7A3E0001, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

// What the voice chat handler was given.
struct VoiceCall {
    UINT cmd;
    std::vector<BYTE> payload;
};
std::mutex voiceLock;
std::vector<VoiceCall> voiceCalls;

void RecordVoice(UINT cmd, const BYTE* payload, UINT nDataSize) {
    std::lock_guard guard(voiceLock);
    voiceCalls.push_back(VoiceCall{cmd, std::vector<BYTE>(payload, payload + nDataSize)});
}

std::vector<VoiceCall> VoiceCalls() {
    std::lock_guard guard(voiceLock);
    return voiceCalls;
}

std::vector<BYTE> Wire(UINT cmd, BYTE type, DWORD idFrom, DWORD idTo, std::vector<BYTE> payload) {
    return NetMessage(cmd, type, idFrom, idTo, payload.data(), static_cast<UINT>(payload.size()))
        .Serialise();
}

template <typename Message> std::vector<BYTE> SystemMessage(const Message& message) {
    std::vector<BYTE> bytes(sizeof message);
    std::memcpy(bytes.data(), &message, sizeof message);
    return bytes;
}

std::vector<BYTE> PlayerCreated(DPID id) {
    DPMSG_CREATEPLAYERORGROUP message{};
    message.dwType = DPSYS_CREATEPLAYERORGROUP;
    message.dwPlayerType = DPPLAYERTYPE_PLAYER;
    message.dpId = id;
    return SystemMessage(message);
}

std::vector<BYTE> PlayerDestroyed(DPID id, DWORD playerType) {
    DPMSG_DESTROYPLAYERORGROUP message{};
    message.dwType = DPSYS_DESTROYPLAYERORGROUP;
    message.dwPlayerType = playerType;
    message.dpId = id;
    return SystemMessage(message);
}

NetMessage Parsed(const RecordingDirectPlay::Sent& sent) {
    const auto message = NetMessage::Parse(sent.bytes.data(), sent.bytes.size());
    EXPECT_TRUE(message.has_value());
    return message.value_or(NetMessage());
}

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class NetworkObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        dptest::UseLoopbackSettings();
        unsetenv("VORN_CONNECT_TIMEOUT_MS");
        ASSERT_NE(Server().module, nullptr);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(Server().DllGetClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)),
                  S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVornLANNetwork,
                                          reinterpret_cast<void**>(&network)),
                  S_OK);
        factory->Release();
        dp = new RecordingDirectPlay;
        dp->sessionApplication = kApplication;
        std::lock_guard guard(voiceLock);
        voiceCalls.clear();
    }

    void TearDown() override {
        if (network != nullptr) {
            EXPECT_EQ(network->Close(player.idGroup, static_cast<INT>(player.idPlayer)), S_OK);
            network->Release();
        }
        if (dp != nullptr) {
            dp->Release();
        }
        CoUninitialize();
    }

    // Opens with the recording DirectPlay, which Open takes one reference of.
    HRESULT OpenAs(DWORD flags, HWND window = nullptr, INT protocolType = 0) {
        player = PlayerInfo{0, 11, 5, flags, "alice", "info"};
        game = GameInfo{"table five", {}, {1, 2, 3, 4, 5}};
        dp->AddRef();
        GUID application = kApplication;
        return network->Open(dp, &application, protocolType, reinterpret_cast<BYTE*>(&player),
                             reinterpret_cast<BYTE*>(&game), window);
    }

    IVornLANNetwork* network = nullptr;
    RecordingDirectPlay* dp = nullptr;
    PlayerInfo player{};
    GameInfo game{};
};

// --- Open in its roles ---

TEST_F(NetworkObject, LobbyServerCreatesTheSessionAsServerPlayerAndSendsNoLogin) {
    dp->nextPlayerId = DPID_SERVERPLAYER;
    ASSERT_EQ(OpenAs(0x300), S_OK);
    EXPECT_EQ(player.dwFlags, 0x100u);
    EXPECT_EQ(player.idPlayer, DPID_SERVERPLAYER);
    EXPECT_EQ(dp->PlayerFlags(), 0x100u);
    EXPECT_EQ(dp->PlayerName(), "alice");
    EXPECT_EQ(dp->OpenFlags(), DPOPEN_CREATE | DPOPEN_RETURNSTATUS);
    const DPSESSIONDESC2 desc = dp->OpenedDesc();
    EXPECT_EQ(desc.dwFlags, 0x3040u);
    EXPECT_EQ(desc.dwMaxPlayers, 0u);
    EXPECT_EQ(desc.guidApplication, kApplication);
    EXPECT_EQ(dp->OpenedSessionName(), "table five");
    EXPECT_FALSE(Contains(dp->Calls(), "EnumSessions"));
    EXPECT_FALSE(Contains(dp->Calls(), "EnumConnections")); // its connection came with it
    EXPECT_TRUE(dp->SentMessages().empty());
    EXPECT_STREQ(game.szAddresses, "10.0.0.7 192.168.1.20 ");
}

TEST_F(NetworkObject, HostCreatesASessionOfTwoAndSendsNoLogin) {
    dp->nextPlayerId = DPID_SERVERPLAYER;
    ASSERT_EQ(OpenAs(0x100), S_OK);
    EXPECT_EQ(player.dwFlags, 0x100u);
    EXPECT_EQ(dp->PlayerFlags(), 0x100u);
    EXPECT_EQ(dp->OpenedDesc().dwMaxPlayers, 2u);
    EXPECT_EQ(dp->OpenFlags(), DPOPEN_CREATE | DPOPEN_RETURNSTATUS);
    EXPECT_TRUE(dp->SentMessages().empty());
}

TEST_F(NetworkObject, PlayerJoinsAndLogsInWithItsNewIdAndAddresses) {
    dp->nextPlayerId = 7;
    ASSERT_EQ(OpenAs(0), S_OK);
    EXPECT_EQ(player.idPlayer, 7u);
    EXPECT_STREQ(game.szAddresses, "10.0.0.7 192.168.1.20 ");
    EXPECT_TRUE(Contains(dp->Calls(), "EnumSessions"));
    EXPECT_EQ(dp->OpenFlags(), DPOPEN_JOIN | DPOPEN_RETURNSTATUS);
    EXPECT_EQ(dp->OpenedDesc().guidInstance, (GUID{0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}}));
    EXPECT_EQ(dp->OpenedDesc().dwMaxPlayers, 0u);

    const auto sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].idFrom, 7u);
    EXPECT_EQ(sent[0].idTo, DPID_ALLPLAYERS);
    EXPECT_EQ(sent[0].flags, 0x201u);
    ASSERT_EQ(sent[0].bytes.size(), 17u + 676u);
    const NetMessage login = Parsed(sent[0]);
    EXPECT_EQ(login.Cmd(), static_cast<UINT>(cmdLogin));
    EXPECT_EQ(login.Type(), msgToServer);
    EXPECT_EQ(login.IdFrom(), 7u);
    EXPECT_EQ(login.IdTo(), 0u);
    const auto record = ReadRecord<LoginRecord>(login.Data());
    EXPECT_EQ(record.player.idPlayer, 7u);
    EXPECT_EQ(record.player.nUser, 11);
    EXPECT_EQ(record.player.idGroup, 5);
    EXPECT_STREQ(record.player.szName, "alice");
    EXPECT_STREQ(record.game.szName, "table five");
    EXPECT_STREQ(record.game.szAddresses, "10.0.0.7 192.168.1.20 ");
    EXPECT_EQ(record.game.dwUser[4], 5u);
}

TEST_F(NetworkObject, SpectatorsAndOtherFlagsJoinWithTheirOwnFlagsAndLogIn) {
    for (const DWORD flags : {0x200u, 0x42u}) {
        SCOPED_TRACE(flags);
        ASSERT_EQ(OpenAs(flags), S_OK);
        EXPECT_EQ(player.dwFlags, flags);
        EXPECT_EQ(dp->PlayerFlags(), flags);
        EXPECT_EQ(dp->OpenFlags(), DPOPEN_JOIN | DPOPEN_RETURNSTATUS);
        const auto sent = dp->SentMessages();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(ReadRecord<LoginRecord>(Parsed(sent.back()).Data()).player.dwFlags, flags);
        EXPECT_EQ(network->Close(5, static_cast<INT>(player.idPlayer)), S_OK);
    }
}

TEST_F(NetworkObject, ASessionOfAnotherApplicationIsNotJoined) {
    dp->sessionApplication =
        GUID{0x7A3E0002, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
    dp->openResults = {DPERR_NOSESSIONS};
    EXPECT_EQ(OpenAs(0), DPERR_NOSESSIONS);
    EXPECT_EQ(dp->OpenedDesc().guidInstance, GUID{});
    EXPECT_FALSE(Contains(dp->Calls(), "CreatePlayer"));
}

TEST_F(NetworkObject, CloseAfterAFailedOpenClosesWhatExists) {
    dp->openResults = {DPERR_NOSESSIONS};
    ASSERT_EQ(OpenAs(0), DPERR_NOSESSIONS);
    EXPECT_EQ(dp->References(), 2);
    EXPECT_EQ(network->Close(5, 9), S_OK);
    EXPECT_EQ(dp->References(), 1); // released
    const auto calls = dp->Calls();
    EXPECT_TRUE(Contains(calls, "DeletePlayerFromGroup 5 9"));
    EXPECT_TRUE(Contains(calls, "DestroyPlayer 9"));
    EXPECT_TRUE(Contains(calls, "Close"));
    // A Close with nothing open does nothing.
    EXPECT_EQ(network->Close(5, 9), S_OK);
    EXPECT_EQ(dp->Calls().size(), calls.size());
}

TEST_F(NetworkObject, ASecondOpenIsRefusedAndLeavesTheSessionAsItWas) {
    dp->nextPlayerId = 3;
    ASSERT_EQ(OpenAs(0), S_OK);
    auto* other = new RecordingDirectPlay;
    PlayerInfo otherPlayer{0, 0, 1, 0, "bob", ""};
    GameInfo otherGame{};
    GUID application = kApplication;
    EXPECT_EQ(network->Open(other, &application, 0, reinterpret_cast<BYTE*>(&otherPlayer),
                            reinterpret_cast<BYTE*>(&otherGame), nullptr),
              DPERR_ALREADYINITIALIZED);
    EXPECT_TRUE(other->Calls().empty());
    EXPECT_EQ(other->References(), 1); // not taken over
    other->Release();
    EXPECT_EQ(otherPlayer.idPlayer, 0u);
    EXPECT_EQ(network->Send(4, 3, 200, nullptr, 0, TRUE), DP_OK);
    EXPECT_EQ(dp->SentMessages().size(), 2u); // the login and this send, both on the open session
}

// --- The connection, by protocol type ---

class Connection : public NetworkObject {
protected:
    // Opens through CoCreateInstance, which hands out the recording DirectPlay.
    HRESULT OpenWithProtocol(INT protocolType) {
        vorntest::DirectPlayClassOverride override(dp);
        player = PlayerInfo{0, 0, 1, 0, "carol", ""};
        game = GameInfo{"game", {}, {}};
        GUID application = kApplication;
        const HRESULT hr =
            network->Open(nullptr, &application, protocolType, reinterpret_cast<BYTE*>(&player),
                          reinterpret_cast<BYTE*>(&game), nullptr);
        EXPECT_EQ(network->Close(1, static_cast<INT>(player.idPlayer)), S_OK);
        return hr;
    }

    std::string ConnectionText() const {
        const auto bytes = dp->Connection();
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(Connection, ProtocolTypesPickTheirServiceProvider) {
    const struct {
        INT protocolType;
        const char* connection;
    } cases[] = {{0, "tcp/ip connection"},
                 {1, "ipx connection"},
                 {2, "tcp/ip connection"},
                 {3, "tcp/ip connection"}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.protocolType);
        ASSERT_EQ(OpenWithProtocol(test.protocolType), S_OK);
        EXPECT_EQ(ConnectionText(), test.connection);
        EXPECT_TRUE(Contains(dp->Calls(), "EnumConnections"));
    }
    EXPECT_EQ(dp->References(), 1); // every Close released what CoCreateInstance gave
}

TEST_F(Connection, ProtocolZeroWithAnAddressSkipsTheEnumeration) {
    char address[] = "127.0.0.1";
    ASSERT_EQ(network->SetAddress(reinterpret_cast<LPWSTR>(address)), S_OK);
    ASSERT_EQ(OpenWithProtocol(0), S_OK);
    EXPECT_FALSE(Contains(dp->Calls(), "EnumConnections"));
    EXPECT_NE(ConnectionText().find(std::string("127.0.0.1") + '\0'), std::string::npos);
    // Other protocol types ignore the address.
    ASSERT_EQ(OpenWithProtocol(2), S_OK);
    EXPECT_EQ(ConnectionText(), "tcp/ip connection");
}

TEST_F(Connection, AnAddressOf128BytesOrMoreKeepsTheFirst127) {
    std::string address(200, '9');
    address.replace(0, 4, "host");
    ASSERT_EQ(network->SetAddress(reinterpret_cast<LPWSTR>(address.data())), S_OK);
    ASSERT_EQ(OpenWithProtocol(0), S_OK);
    const std::string connection = ConnectionText();
    EXPECT_NE(connection.find(address.substr(0, 127) + '\0'), std::string::npos);
    EXPECT_EQ(connection.find(address.substr(0, 128)), std::string::npos);
}

// --- Joining while the host is still connecting ---

TEST_F(NetworkObject, ConnectingIsRetriedUntilTheJoinCompletes) {
    dp->openResults = {DPERR_CONNECTING, DPERR_CONNECTING, DPERR_CONNECTING};
    ASSERT_EQ(OpenAs(0), S_OK);
    const auto calls = dp->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Open"), 4);
}

TEST_F(NetworkObject, AHostThatNeverAnswersIsGivenUpAfterTheConnectTimeOut) {
    setenv("VORN_CONNECT_TIMEOUT_MS", "300", 1);
    dp->openResults.assign(100000, DPERR_CONNECTING);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenAs(0), DPERR_CONNECTING);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    // It waits between attempts instead of spinning.
    const auto calls = dp->Calls();
    EXPECT_LT(std::count(calls.begin(), calls.end(), "Open"), 40);
    EXPECT_FALSE(Contains(calls, "CreatePlayer"));
}

// --- The send methods ---

TEST_F(NetworkObject, SendsNeedAnOpenSession) {
    BYTE data[2] = {1, 2};
    EXPECT_EQ(network->Send(2, 1, 50, data, 2, TRUE), DPERR_UNINITIALIZED);
    EXPECT_EQ(network->SendToGroup(5, 1, 50, data, 2, TRUE), DPERR_UNINITIALIZED);
    EXPECT_EQ(network->SendToAll(1, 50, data, 2, FALSE), DPERR_UNINITIALIZED);
    EXPECT_EQ(network->SendToServer(1, 50, data, 2, FALSE), DPERR_UNINITIALIZED);
    ASSERT_EQ(OpenAs(0x100), S_OK);
    EXPECT_EQ(network->Send(2, 1, 50, data, 2, TRUE), DP_OK);
    EXPECT_EQ(network->Close(0, static_cast<INT>(player.idPlayer)), S_OK);
    EXPECT_EQ(network->Send(2, 1, 50, data, 2, TRUE), DPERR_UNINITIALIZED);
    EXPECT_EQ(network->SendToServer(1, 50, data, 2, FALSE), DPERR_UNINITIALIZED);
    EXPECT_EQ(dp->SentMessages().size(), 1u);
}

TEST_F(NetworkObject, SendMethodsDifferInRoutingTypeAndHeaderTarget) {
    dp->nextPlayerId = DPID_SERVERPLAYER;
    ASSERT_EQ(OpenAs(0x100), S_OK);
    BYTE data[3] = {7, 8, 9};
    ASSERT_EQ(network->Send(6, 4, 300, data, 3, TRUE), DP_OK);
    ASSERT_EQ(network->SendToGroup(5, 4, 301, data, 3, FALSE), DP_OK);
    ASSERT_EQ(network->SendToAll(4, 302, data, 3, TRUE), DP_OK);
    ASSERT_EQ(network->SendToServer(4, 303, data, 3, FALSE), DP_OK);
    const auto sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 4u);
    const struct {
        BYTE type;
        DWORD idTo;
        DWORD flags;
    } expected[] = {{msgToPlayer, 6, 0x201},
                    {msgToGroup, 5, 0x200},
                    {msgToAll, 0, 0x201},
                    {msgToServer, 0, 0x200}};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].idFrom, 4u);
        EXPECT_EQ(sent[i].idTo, DPID_ALLPLAYERS);
        EXPECT_EQ(sent[i].flags, expected[i].flags);
        const NetMessage message = Parsed(sent[i]);
        EXPECT_EQ(message.Cmd(), 300 + i);
        EXPECT_EQ(message.Type(), expected[i].type);
        EXPECT_EQ(message.IdFrom(), 4u);
        EXPECT_EQ(message.IdTo(), expected[i].idTo);
        ASSERT_EQ(message.DataSize(), 3u);
        EXPECT_EQ(std::vector<BYTE>(message.Data(), message.Data() + 3),
                  std::vector<BYTE>(data, data + 3));
    }
}

TEST_F(NetworkObject, SendWithoutDataSendsAHeaderOfSizeZero) {
    ASSERT_EQ(OpenAs(0x100), S_OK);
    ASSERT_EQ(network->Send(2, 1, 77, nullptr, 5, FALSE), DP_OK);
    BYTE data[1] = {1};
    EXPECT_EQ(network->Send(2, 1, 77, data, -1, FALSE), E_INVALIDARG);
    const auto sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].bytes.size(), 17u);
    EXPECT_EQ(Parsed(sent[0]).DataSize(), 0u);
}

TEST_F(NetworkObject, ReceiveWritesNothing) {
    ASSERT_EQ(OpenAs(0x100), S_OK);
    UINT cmd = 123;
    INT size = 456;
    BYTE data[4] = {1, 2, 3, 4};
    EXPECT_EQ(network->Receive(1, 2, &cmd, data, &size), S_OK);
    EXPECT_EQ(cmd, 123u);
    EXPECT_EQ(size, 456);
    EXPECT_EQ(data[0], 1);
}

// --- Delivery of received messages ---

TEST_F(NetworkObject, VoiceChatGoesToTheHandlerAndEverythingElseToTheWindow) {
    WindowRecorder window;
    ASSERT_EQ(network->SetVoiceChatHandler(reinterpret_cast<ULONG_PTR>(&RecordVoice)), S_OK);
    dp->nextPlayerId = 2;
    ASSERT_EQ(OpenAs(0, window.Handle()), S_OK);
    for (const UINT cmd : {149u, 150u, 159u, 160u}) {
        dp->Deliver(9, 2, Wire(cmd, msgToPlayer, 9, 2, {static_cast<BYTE>(cmd), 0xAB}));
    }
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    for (const UINT cmd : {149u, 160u}) {
        const auto message = window.TakeCmd(cmd, kWaitMs);
        ASSERT_TRUE(message.has_value()) << cmd;
        EXPECT_EQ(message->wParam, cmd);
        EXPECT_EQ(message->block, Wire(cmd, msgToPlayer, 9, 2, {static_cast<BYTE>(cmd), 0xAB}));
    }
    const auto calls = VoiceCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].cmd, 150u);
    EXPECT_EQ(calls[0].payload, (std::vector<BYTE>{150, 0xAB}));
    EXPECT_EQ(calls[1].cmd, 159u);
    EXPECT_TRUE(window.Pending().empty());

    // Without a handler a voice message reaches nobody.
    ASSERT_EQ(network->SetVoiceChatHandler(0), S_OK);
    dp->Deliver(9, 2, Wire(155, msgToPlayer, 9, 2, {1}));
    dp->Deliver(9, 2, Wire(161, msgToPlayer, 9, 2, {}));
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    const auto after = window.TakeCmd(161, kWaitMs);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->block.size(), 17u); // no payload, a header alone
    EXPECT_TRUE(window.Pending().empty());
    EXPECT_EQ(VoiceCalls().size(), 2u);
}

TEST_F(NetworkObject, WithoutAWindowMessagesAreStillDrained) {
    ASSERT_EQ(network->SetVoiceChatHandler(reinterpret_cast<ULONG_PTR>(&RecordVoice)), S_OK);
    std::vector<std::string> lines;
    std::mutex linesLock;
    auto previous = win32::SetDebugOutputSink([&](const char* text) {
        std::lock_guard guard(linesLock);
        lines.emplace_back(text);
    });
    ASSERT_EQ(OpenAs(0, nullptr), S_OK);
    dp->Deliver(9, 2, Wire(42, msgToPlayer, 9, 2, std::vector<BYTE>(3000, 1)));
    dp->Deliver(9, 2, Wire(151, msgToPlayer, 9, 2, {5}));
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    win32::SetDebugOutputSink(previous);
    ASSERT_EQ(VoiceCalls().size(), 1u);
    EXPECT_EQ(VoiceCalls()[0].cmd, 151u);
    std::lock_guard guard(linesLock);
    EXPECT_TRUE(Contains(lines, "HandleApplicationMessage(42) to=2, from=9\n"));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("CVornLANNetwork::ParentNotify()");
    }));
}

TEST_F(NetworkObject, ShortMessagesAreDroppedAndTheNextOnesStillArrive) {
    WindowRecorder window;
    ASSERT_EQ(OpenAs(0, window.Handle()), S_OK);
    std::vector<BYTE> truncated = Wire(60, msgToPlayer, 9, 2, {1, 2, 3, 4});
    truncated.pop_back();
    dp->Deliver(9, 2, truncated);
    dp->Deliver(9, 2, {61, 0, 0});
    std::vector<BYTE> headerCut = Wire(62, msgToPlayer, 9, 2, {});
    headerCut.pop_back();
    dp->Deliver(9, 2, headerCut);
    dp->Deliver(9, 2, Wire(63, msgToPlayer, 9, 2, {1}));
    ASSERT_TRUE(window.TakeCmd(63, kWaitMs).has_value());
    EXPECT_TRUE(window.Pending().empty());
}

TEST_F(NetworkObject, MessagesOfEverySizeArriveWholeWhateverCameBefore) {
    WindowRecorder window;
    ASSERT_EQ(OpenAs(0, window.Handle()), S_OK);
    const std::vector<std::size_t> sizes = {5, 3000, 10, 1007, 1008, 70000, 0, 2999};
    std::vector<std::vector<BYTE>> sent;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::vector<BYTE> payload(sizes[i]);
        for (std::size_t at = 0; at < payload.size(); ++at) {
            payload[at] = static_cast<BYTE>(at * 7 + i);
        }
        sent.push_back(Wire(static_cast<UINT>(80 + i), msgToPlayer, 9, 2, payload));
        dp->Deliver(9, 2, sent.back());
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const auto message = window.TakeCmd(static_cast<UINT>(80 + i), kWaitMs);
        ASSERT_TRUE(message.has_value()) << sizes[i];
        EXPECT_EQ(message->block, sent[i]) << sizes[i];
    }
    EXPECT_TRUE(window.Pending().empty());
}

TEST_F(NetworkObject, ABlockThatCannotBePostedIsFreed) {
    HWND gone = CreateWindowExA(0, "Gone", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    std::string failure;
    std::mutex lineLock;
    auto previous = win32::SetDebugOutputSink([&](const char* text) {
        std::lock_guard guard(lineLock);
        if (std::string(text).starts_with("CVornLANNetwork::ParentNotify() PostMessage failed")) {
            failure = text;
        }
    });
    ASSERT_EQ(OpenAs(0, gone), S_OK);
    dp->Deliver(9, 2, Wire(70, msgToPlayer, 9, 2, {1, 2}));
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    win32::SetDebugOutputSink(previous);
    std::lock_guard guard(lineLock);
    const auto at = failure.find("Memory handle=");
    ASSERT_NE(at, std::string::npos) << failure;
    const auto handle = reinterpret_cast<HGLOBAL>(
        std::strtoull(failure.c_str() + at + std::strlen("Memory handle="), nullptr, 16));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GlobalSize(handle), 0u); // no such block any more
}

// --- System messages ---

TEST_F(NetworkObject, HostStartsWithTheFirstPeerAndTurnsAwayEveryLaterOne) {
    WindowRecorder window;
    dp->nextPlayerId = DPID_SERVERPLAYER;
    ASSERT_EQ(OpenAs(0x100, window.Handle()), S_OK);
    dp->Deliver(DPID_SYSMSG, 1, PlayerCreated(2));
    const auto created = window.TakeText("Create player ID=2", kWaitMs);
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(created->Type(), msgToServer);
    EXPECT_EQ(created->DataSize(), std::strlen("Create player ID=2") + 1);
    const auto start = window.TakeCmd(cmdStart, kWaitMs);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->Type(), msgToGroup);
    EXPECT_EQ(start->IdFrom(), 0u);
    EXPECT_EQ(start->IdTo(), 1u);
    EXPECT_EQ(start->block.size(), 17u);

    dp->Deliver(DPID_SYSMSG, 1, PlayerDestroyed(2, DPPLAYERTYPE_PLAYER));
    dp->Deliver(DPID_SYSMSG, 1, PlayerCreated(3));
    ASSERT_TRUE(window.TakeText("Destroy player ID=2", kWaitMs).has_value());
    ASSERT_TRUE(window.TakeCmd(cmdStop, kWaitMs).has_value());
    ASSERT_TRUE(window.TakeText("Create player ID=3", kWaitMs).has_value());
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    EXPECT_FALSE(window.TakeCmd(cmdStart, 100).has_value()); // reported once only

    const auto sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 2u);
    const UINT commands[] = {cmdStart, cmdBusy};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(sent[i].idFrom, 1u);
        EXPECT_EQ(sent[i].idTo, DPID_ALLPLAYERS);
        EXPECT_EQ(sent[i].flags, 0x201u);
        const NetMessage message = Parsed(sent[i]);
        EXPECT_EQ(message.Cmd(), commands[i]);
        EXPECT_EQ(message.Type(), msgToPlayer);
        EXPECT_EQ(message.IdTo(), 0u);
        EXPECT_EQ(message.DataSize(), 0u);
    }
}

TEST_F(NetworkObject, DepartedPlayersGroupsAndALostSessionAreReported) {
    WindowRecorder window;
    dp->nextPlayerId = 4;
    ASSERT_EQ(OpenAs(0, window.Handle()), S_OK);
    dp->Deliver(DPID_SYSMSG, 4, PlayerDestroyed(9, DPPLAYERTYPE_GROUP));
    dp->Deliver(DPID_SYSMSG, 4, PlayerCreated(6));
    dp->Deliver(DPID_SYSMSG, 4, PlayerDestroyed(1, DPPLAYERTYPE_PLAYER));
    DPMSG_SESSIONLOST lost{DPSYS_SESSIONLOST};
    dp->Deliver(DPID_SYSMSG, 4, SystemMessage(lost));
    ASSERT_TRUE(window.TakeText("Destroy player ID=9", kWaitMs).has_value());
    ASSERT_TRUE(window.TakeText("Create player ID=6", kWaitMs).has_value());
    ASSERT_TRUE(window.TakeText("Destroy player ID=1", kWaitMs).has_value());
    const auto stop = window.TakeCmd(cmdStop, kWaitMs);
    ASSERT_TRUE(stop.has_value());
    EXPECT_EQ(stop->Type(), msgToGroup);
    EXPECT_EQ(stop->IdTo(), 4u);
    const auto sessionLost = window.TakeCmd(cmdSessionLost, kWaitMs);
    ASSERT_TRUE(sessionLost.has_value());
    EXPECT_EQ(sessionLost->wParam, static_cast<WPARAM>(cmdSessionLost));
    EXPECT_EQ(sessionLost->Type(), msgToGroup);
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    EXPECT_TRUE(window.Pending().empty());    // one cmdStop only: not for the group
    EXPECT_EQ(dp->SentMessages().size(), 1u); // the login: a player starts nobody
}

TEST_F(NetworkObject, LobbyServerSeatsItsClientsAndRemovesThemWhenTheyLeave) {
    WindowRecorder window;
    dp->nextPlayerId = DPID_SERVERPLAYER;
    ASSERT_EQ(OpenAs(0x300, window.Handle()), S_OK);
    for (const DPID id : {2u, 3u}) {
        const LoginRecord login{PlayerInfo{id, 0, 5, 0, "p", ""}, GameInfo{}};
        dp->Deliver(id, 1, Wire(cmdLogin, msgToServer, id, 0, SystemMessage(login)));
    }
    const auto first = window.TakeText("Login ''p'' as player to group 5, player ID=2", kWaitMs);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->IdFrom(), 2u);
    EXPECT_EQ(first->IdTo(), 1u);
    ASSERT_TRUE(window.TakeText("Login ''p'' as player to group 5, player ID=3", kWaitMs));
    ASSERT_TRUE(window.TakeCmd(cmdLogin, kWaitMs).has_value());
    ASSERT_TRUE(window.TakeCmd(cmdLogin, kWaitMs).has_value());
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    auto sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(sent[i].idFrom, 1u);
        EXPECT_EQ(sent[i].idTo, 2u + i);
        EXPECT_EQ(sent[i].flags, 0x201u);
        EXPECT_EQ(Parsed(sent[i]).Cmd(), static_cast<UINT>(cmdStart));
    }

    // The lobby deals with a departure itself: no cmdStop report, a cmdStop to the rest.
    dp->Deliver(DPID_SYSMSG, 1, PlayerDestroyed(3, DPPLAYERTYPE_PLAYER));
    ASSERT_TRUE(window.TakeText("Destroy player ID=3", kWaitMs).has_value());
    ASSERT_TRUE(window.TakeText("Remove player ''p'' from group 5, player ID = 3", kWaitMs));
    ASSERT_TRUE(dp->WaitDrained(kWaitMs));
    EXPECT_FALSE(window.TakeCmd(cmdStop, 100).has_value());
    sent = dp->SentMessages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].idTo, 2u);
    EXPECT_EQ(Parsed(sent[2]).Cmd(), static_cast<UINT>(cmdStop));

    // A player that never logged in is not the lobby's: its departure is reported.
    dp->Deliver(DPID_SYSMSG, 1, PlayerDestroyed(8, DPPLAYERTYPE_PLAYER));
    ASSERT_TRUE(window.TakeCmd(cmdStop, kWaitMs).has_value());
}

} // namespace
