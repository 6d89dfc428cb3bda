// A host and a client in this process: receiving, system messages, addresses, and the
// loopback-only switch.
#include "directplay/environment.h"
#include "dplay_support.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

using dptest::Ref;
using Clock = std::chrono::steady_clock;

const GUID kApplication = dptest::Application(0xb0b0b0b0);

class Event {
public:
    Event() : handle_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(handle_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

class InProcessSession : public testing::Test {
protected:
    void SetUp() override {
        dptest::UseLoopbackSettings();
        host = dptest::CreateDirectPlay();
        client = dptest::CreateDirectPlay();
        ASSERT_EQ(dptest::InitializeProvider(host.Get(), 0), DP_OK);
        ASSERT_EQ(dptest::HostSession(host.Get(), kApplication, 0, "room"), DP_OK);
        ASSERT_EQ(dptest::CreateNamedPlayer(host.Get(), server, "server", hostEvent.Get(),
                                            DPPLAYER_SERVERPLAYER),
                  DP_OK);
        ASSERT_EQ(dptest::InitializeProvider(client.Get(), 0), DP_OK);
        ASSERT_EQ(dptest::JoinSession(client.Get(), kApplication, 3000, DPENUMSESSIONS_AVAILABLE),
                  DP_OK);
        ASSERT_EQ(dptest::CreateNamedPlayer(client.Get(), player, "Ana", clientEvent.Get(), 0),
                  DP_OK);
    }

    // Waits for the event, then receives one message into `buffer`.
    HRESULT Next(IDirectPlay4A* dp, HANDLE event, DPID& from, DPID& to, std::vector<BYTE>& buffer) {
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        for (;;) {
            const HRESULT hr = dptest::ReceiveAny(dp, from, to, buffer);
            if (hr != DPERR_NOMESSAGES || Clock::now() > deadline) {
                return hr;
            }
            WaitForSingleObject(event, 500);
        }
    }

    // Takes what the join brought the client, so that only what follows sets its event.
    void DrainClient() {
        std::vector<BYTE> buffer;
        DPID from = 0;
        DPID to = 0;
        while (dptest::ReceiveAny(client.Get(), from, to, buffer) == DP_OK) {
        }
        WaitForSingleObject(clientEvent.Get(), 0);
    }

    Ref<IDirectPlay4A> host;
    Ref<IDirectPlay4A> client;
    Event hostEvent;
    Event clientEvent;
    DPID server = 0;
    DPID player = 0;
};

TEST_F(InProcessSession, DataSentAtOnceToANewPlayerReachesIt) {
    DPID from = 0;
    DPID to = 0;
    std::vector<BYTE> buffer;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the first player
    // The host greets the next player as soon as it learns of it.
    std::thread greeter([&] {
        DPID sender = 0;
        DPID receiver = 0;
        std::vector<BYTE> created;
        if (Next(host.Get(), hostEvent.Get(), sender, receiver, created) == DP_OK &&
            created.size() >= sizeof(DPMSG_CREATEPLAYERORGROUP)) {
            DPMSG_CREATEPLAYERORGROUP message{};
            std::memcpy(&message, created.data(), sizeof message);
            char hello[] = "hello";
            host->Send(server, message.dpId, DPSEND_GUARANTEED, hello, sizeof hello);
        }
    });
    Event secondEvent;
    DPID second = 0;
    ASSERT_EQ(dptest::CreateNamedPlayer(client.Get(), second, "Bia", secondEvent.Get(), 0), DP_OK);
    greeter.join();
    ASSERT_EQ(Next(client.Get(), secondEvent.Get(), from, to, buffer), DP_OK);
    EXPECT_EQ(from, server);
    EXPECT_EQ(to, second);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data()), "hello");
}

// Receives the next application message for `to` (DPRECEIVE_TOPLAYER), waiting on `event`
// in between; DPERR_TIMEOUT when none comes within 3 seconds.
HRESULT NextFor(IDirectPlay4A* dp, HANDLE event, DPID to, std::vector<BYTE>& buffer) {
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    for (;;) {
        DPID from = 0;
        DPID receiver = to;
        DWORD size = 0;
        HRESULT hr = dp->Receive(&from, &receiver, DPRECEIVE_TOPLAYER, nullptr, &size);
        if (hr == DPERR_BUFFERTOOSMALL) {
            buffer.resize(size);
            hr = dp->Receive(&from, &receiver, DPRECEIVE_TOPLAYER, buffer.data(), &size);
        }
        if (hr == DP_OK && from != DPID_SYSMSG) {
            return hr;
        }
        if (hr != DP_OK && hr != DPERR_NOMESSAGES) {
            return hr;
        }
        if (hr == DPERR_NOMESSAGES) {
            if (Clock::now() > deadline) {
                return DPERR_TIMEOUT;
            }
            WaitForSingleObject(event, 500);
        }
    }
}

std::uint32_t NumberIn(const std::vector<BYTE>& buffer) {
    std::uint32_t number = 0;
    std::memcpy(&number, buffer.data(), std::min(buffer.size(), sizeof number));
    return number;
}

HRESULT SendNumber(IDirectPlay4A* dp, DPID from, DPID to, std::uint32_t number) {
    return dp->SendEx(from, to, DPSEND_GUARANTEED | DPSEND_ASYNC, &number, sizeof number, 0, 0,
                      nullptr, nullptr);
}

TEST_F(InProcessSession, RoundTripsBetweenTwoWaitingThreadsArriveInOrder) {
    constexpr std::uint32_t kRoundTrips = 300;
    std::thread echo([&] {
        std::vector<BYTE> buffer;
        for (std::uint32_t i = 0; i < kRoundTrips; ++i) {
            if (NextFor(host.Get(), hostEvent.Get(), server, buffer) != DP_OK ||
                SendNumber(host.Get(), server, player, NumberIn(buffer)) != DP_OK) {
                return;
            }
        }
    });
    std::vector<BYTE> buffer;
    std::uint32_t answered = 0;
    for (std::uint32_t i = 0; i < kRoundTrips; ++i) {
        ASSERT_EQ(SendNumber(client.Get(), player, server, i), DP_OK);
        if (NextFor(client.Get(), clientEvent.Get(), player, buffer) != DP_OK) {
            break;
        }
        EXPECT_EQ(NumberIn(buffer), i);
        ++answered;
    }
    echo.join();
    EXPECT_EQ(answered, kRoundTrips);
}

TEST_F(InProcessSession, ConnectionsStayWhileBothSidesWaitLongerThanTheKeepalive) {
    std::vector<BYTE> buffer;
    DPID from = 0;
    DPID to = 0;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation
    WaitForSingleObject(hostEvent.Get(), 0); // set for it, unless the wait took it
    DrainClient();
    // Nothing is sent for three keepalive times while a thread waits on each side.
    DWORD hostWait = WAIT_FAILED;
    std::thread hostWaiter([&] { hostWait = WaitForSingleObject(hostEvent.Get(), 3000); });
    EXPECT_EQ(WaitForSingleObject(clientEvent.Get(), 3000), static_cast<DWORD>(WAIT_TIMEOUT));
    hostWaiter.join();
    EXPECT_EQ(hostWait, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(dptest::ReceiveAny(client.Get(), from, to, buffer), DPERR_NOMESSAGES);
    EXPECT_EQ(dptest::ReceiveAny(host.Get(), from, to, buffer), DPERR_NOMESSAGES);
    ASSERT_EQ(SendNumber(client.Get(), player, server, 7), DP_OK);
    ASSERT_EQ(NextFor(host.Get(), hostEvent.Get(), server, buffer), DP_OK);
    EXPECT_EQ(NumberIn(buffer), 7u);
    ASSERT_EQ(SendNumber(host.Get(), server, player, 8), DP_OK);
    ASSERT_EQ(NextFor(client.Get(), clientEvent.Get(), player, buffer), DP_OK);
    EXPECT_EQ(NumberIn(buffer), 8u);
}

TEST_F(InProcessSession, TwoThreadsWaitingOnOneSessionEachGetTheirOwnMessages) {
    Event secondEvent;
    DPID second = 0;
    ASSERT_EQ(dptest::CreateNamedPlayer(client.Get(), second, "Bia", secondEvent.Get(), 0), DP_OK);
    constexpr std::uint32_t kEach = 200;
    auto receive = [&](DPID id, HANDLE event, std::uint32_t& inOrder) {
        std::vector<BYTE> buffer;
        for (std::uint32_t i = 0; i < kEach; ++i) {
            if (NextFor(client.Get(), event, id, buffer) != DP_OK || NumberIn(buffer) != i) {
                return;
            }
            ++inOrder;
        }
    };
    std::uint32_t firstInOrder = 0;
    std::uint32_t secondInOrder = 0;
    std::thread first([&] { receive(player, clientEvent.Get(), firstInOrder); });
    std::thread other([&] { receive(second, secondEvent.Get(), secondInOrder); });
    for (std::uint32_t i = 0; i < kEach; ++i) {
        ASSERT_EQ(SendNumber(host.Get(), server, player, i), DP_OK);
        ASSERT_EQ(SendNumber(host.Get(), server, second, i), DP_OK);
        if (i % 16 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    first.join();
    other.join();
    EXPECT_EQ(firstInOrder, kEach);
    EXPECT_EQ(secondInOrder, kEach);
}

// Receives the next application message for `to` by calling Receive until one is there,
// without waiting on the event; DPERR_TIMEOUT after 3 seconds.
HRESULT PollFor(IDirectPlay4A* dp, DPID to, std::vector<BYTE>& buffer) {
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    buffer.resize(64);
    while (Clock::now() < deadline) {
        DPID from = 0;
        DPID receiver = to;
        DWORD size = static_cast<DWORD>(buffer.size());
        const HRESULT hr = dp->Receive(&from, &receiver, DPRECEIVE_TOPLAYER, buffer.data(), &size);
        if (hr == DP_OK && from != DPID_SYSMSG) {
            buffer.resize(size);
            return hr;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return DPERR_TIMEOUT;
}

// A thread that took a message in through its wait keeps the socket for a while; whoever
// receives next, by polling or by waiting on another player's event, gets what follows as
// promptly as ever. Each round would otherwise wait for the network thread's next turn
// (a tenth of a second with these settings).
TEST_F(InProcessSession, WhatFollowsAWaitReachesPollingAndOtherWaitingThreadsPromptly) {
    constexpr int kRounds = 8;
    constexpr auto kRoundsTakeAtMost = std::chrono::milliseconds(300);
    std::vector<BYTE> buffer;
    auto polled = Clock::duration::zero();
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_EQ(SendNumber(host.Get(), server, player, 2 * round), DP_OK);
        ASSERT_EQ(NextFor(client.Get(), clientEvent.Get(), player, buffer), DP_OK);
        ASSERT_EQ(NumberIn(buffer), 2u * round);
        const auto sent = Clock::now();
        ASSERT_EQ(SendNumber(host.Get(), server, player, 2 * round + 1), DP_OK);
        ASSERT_EQ(PollFor(client.Get(), player, buffer), DP_OK);
        polled += Clock::now() - sent;
        ASSERT_EQ(NumberIn(buffer), 2u * round + 1);
    }
    EXPECT_LT(polled, kRoundsTakeAtMost);

    // One thread waits on the first player's event and so takes the socket; a second thread
    // then waits on the second player's event. The first leaves after its message; the
    // second's message follows.
    Event secondEvent;
    DPID second = 0;
    ASSERT_EQ(dptest::CreateNamedPlayer(client.Get(), second, "Bia", secondEvent.Get(), 0), DP_OK);
    auto waited = Clock::duration::zero();
    for (int round = 0; round < kRounds; ++round) {
        std::thread first([&] {
            std::vector<BYTE> own;
            EXPECT_EQ(NextFor(client.Get(), clientEvent.Get(), player, own), DP_OK);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Clock::time_point sent;
        std::thread other([&] {
            std::vector<BYTE> own;
            EXPECT_EQ(NextFor(client.Get(), secondEvent.Get(), second, own), DP_OK);
            waited += Clock::now() - sent;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(SendNumber(host.Get(), server, player, round), DP_OK);
        first.join();
        sent = Clock::now();
        ASSERT_EQ(SendNumber(host.Get(), server, second, round), DP_OK);
        other.join();
    }
    EXPECT_LT(waited, kRoundsTakeAtMost);
}

TEST_F(InProcessSession, ClosingWhileAnotherThreadWaitsOnThePlayersEvent) {
    DrainClient();
    DWORD result = WAIT_FAILED;
    Clock::time_point returned;
    std::thread waiter([&] {
        result = WaitForSingleObject(clientEvent.Get(), 5000);
        returned = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(client->Close(), DP_OK);
    client.Reset();
    // The host's messages no longer reach the event; the application's own SetEvent does.
    SendNumber(host.Get(), server, player, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto set = Clock::now();
    ASSERT_TRUE(SetEvent(clientEvent.Get()));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_GE(returned, set);
    EXPECT_LT(returned - set, std::chrono::seconds(2));
    EXPECT_EQ(WaitForSingleObject(clientEvent.Get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(InProcessSession, CreationReachesTheServerAsASystemMessageWithItsNames) {
    EXPECT_EQ(server, DPID_SERVERPLAYER);
    EXPECT_NE(player, DPID_SERVERPLAYER);
    EXPECT_NE(player, DPID_ALLPLAYERS);
    ASSERT_EQ(WaitForSingleObject(hostEvent.Get(), 3000), WAIT_OBJECT_0);

    DPID from = 99;
    DPID to = 0;
    std::vector<BYTE> buffer;
    ASSERT_EQ(dptest::ReceiveAny(host.Get(), from, to, buffer), DP_OK);
    EXPECT_EQ(from, DPID_SYSMSG);
    EXPECT_EQ(to, server);
    ASSERT_EQ(buffer.size(), sizeof(DPMSG_CREATEPLAYERORGROUP) + 2 * sizeof "Ana");
    const auto* message = reinterpret_cast<const DPMSG_CREATEPLAYERORGROUP*>(buffer.data());
    EXPECT_EQ(message->dwType, DPSYS_CREATEPLAYERORGROUP);
    EXPECT_EQ(message->dwPlayerType, DPPLAYERTYPE_PLAYER);
    EXPECT_EQ(message->dpId, player);
    EXPECT_EQ(message->dwCurrentPlayers, 2u);
    // The names live inside the received buffer.
    EXPECT_STREQ(message->dpnName.lpszShortNameA, "Ana");
    EXPECT_STREQ(message->dpnName.lpszLongNameA, "Ana");
    EXPECT_GE(reinterpret_cast<const BYTE*>(message->dpnName.lpszShortNameA), buffer.data());
    EXPECT_LT(reinterpret_cast<const BYTE*>(message->dpnName.lpszLongNameA),
              buffer.data() + buffer.size());
    EXPECT_EQ(dptest::ReceiveAny(host.Get(), from, to, buffer), DPERR_NOMESSAGES);
}

TEST_F(InProcessSession, MessagesUpToTheSizeLimitArriveWholeAndLargerOnesAreRefused) {
    std::vector<BYTE> buffer;
    DPID from;
    DPID to;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation

    auto patterned = [](std::size_t size) {
        std::vector<BYTE> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<BYTE>(i * 31 + size);
        }
        return bytes;
    };
    // A game state of 300 KB, then the largest message; one byte more is refused at once.
    for (const std::size_t size :
         {std::size_t{300 * 1024}, std::size_t{directplay::kMaxMessageSize}}) {
        auto sent = patterned(size);
        ASSERT_EQ(client->SendEx(player, DPID_ALLPLAYERS, DPSEND_GUARANTEED | DPSEND_ASYNC,
                                 sent.data(), static_cast<DWORD>(size), 0, 0, nullptr, nullptr),
                  DP_OK);
        ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK);
        EXPECT_EQ(from, player);
        EXPECT_TRUE(buffer == sent) << size;
    }
    auto tooLarge = patterned(directplay::kMaxMessageSize + 1);
    EXPECT_EQ(client->SendEx(player, DPID_ALLPLAYERS, DPSEND_GUARANTEED, tooLarge.data(),
                             static_cast<DWORD>(tooLarge.size()), 0, 0, nullptr, nullptr),
              DPERR_SENDTOOBIG);
    EXPECT_EQ(host->SendEx(server, player, DPSEND_GUARANTEED, tooLarge.data(),
                           static_cast<DWORD>(tooLarge.size()), 0, 0, nullptr, nullptr),
              DPERR_SENDTOOBIG);
    EXPECT_EQ(WaitForSingleObject(hostEvent.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(dptest::ReceiveAny(host.Get(), from, to, buffer), DPERR_NOMESSAGES);
}

TEST_F(InProcessSession, NamesUpToTheSizeLimitAreTakenAndLongerOnesRefused) {
    Event event;
    DPID id = 0;
    const std::string longest(directplay::kMaxNameSize, 'n');
    EXPECT_EQ(dptest::CreateNamedPlayer(client.Get(), id, longest.c_str(), event.Get(), 0), DP_OK);
    const std::string tooLong(directplay::kMaxNameSize + 1, 'n');
    EXPECT_EQ(dptest::CreateNamedPlayer(client.Get(), id, tooLong.c_str(), event.Get(), 0),
              DPERR_INVALIDPARAMS);
    EXPECT_EQ(dptest::CreateNamedPlayer(host.Get(), id, tooLong.c_str(), event.Get(), 0),
              DPERR_INVALIDPARAMS);
}

TEST_F(InProcessSession, SmallBufferGetsTheNeededSizeThenTheMessage) {
    std::vector<BYTE> buffer;
    DPID from;
    DPID to;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation

    const char text[] = "a message of thirty-two bytes..";
    ASSERT_EQ(client->SendEx(player, DPID_ALLPLAYERS, DPSEND_GUARANTEED | DPSEND_ASYNC,
                             const_cast<char*>(text), sizeof text, 0, 0, nullptr, nullptr),
              DP_OK);
    BYTE small[8];
    DWORD size = sizeof small;
    HRESULT hr;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while ((hr = host->Receive(&from, &to, DPRECEIVE_ALL, small, &size)) == DPERR_NOMESSAGES &&
           Clock::now() < deadline) {
        WaitForSingleObject(hostEvent.Get(), 500);
    }
    EXPECT_EQ(hr, DPERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, sizeof text);
    size = 0;
    EXPECT_EQ(host->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size), DPERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, sizeof text);

    char received[64] = {};
    size = sizeof received;
    ASSERT_EQ(host->Receive(&from, &to, DPRECEIVE_ALL, received, &size), DP_OK);
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(received, text);
    EXPECT_EQ(from, player);
    EXPECT_EQ(to, server);
    EXPECT_EQ(host->Receive(&from, &to, DPRECEIVE_ALL, received, &size), DPERR_NOMESSAGES);
}

TEST_F(InProcessSession, AnEmptyMessageIsReceivedWithoutABuffer) {
    ASSERT_EQ(host->SendEx(server, DPID_ALLPLAYERS, DPSEND_GUARANTEED, nullptr, 0, 0, 0, nullptr,
                           nullptr),
              DP_OK);
    DPID from = 0;
    DPID to = 0;
    DWORD size = 0;
    HRESULT hr;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while ((hr = client->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size)) == DPERR_NOMESSAGES &&
           Clock::now() < deadline) {
        WaitForSingleObject(clientEvent.Get(), 500);
    }
    EXPECT_EQ(hr, DP_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(from, server);
    EXPECT_EQ(to, player);
    EXPECT_EQ(client->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size), DPERR_NOMESSAGES);
}

TEST_F(InProcessSession, ServerSendToAllReachesTheClientAndUnknownSendersAreRefused) {
    const DWORD value = 0x01020304;
    ASSERT_EQ(host->SendEx(server, DPID_ALLPLAYERS, DPSEND_ASYNC, const_cast<DWORD*>(&value),
                           sizeof value, 0, 0, nullptr, nullptr),
              DP_OK);
    std::vector<BYTE> buffer;
    DPID from;
    DPID to;
    ASSERT_EQ(Next(client.Get(), clientEvent.Get(), from, to, buffer), DP_OK);
    EXPECT_EQ(from, server);
    EXPECT_EQ(to, player);
    ASSERT_EQ(buffer.size(), sizeof value);
    EXPECT_EQ(std::memcmp(buffer.data(), &value, sizeof value), 0);

    EXPECT_EQ(client->SendEx(server, 0, DPSEND_GUARANTEED, const_cast<DWORD*>(&value), sizeof value,
                             0, 0, nullptr, nullptr),
              DPERR_INVALIDPLAYER);
    EXPECT_EQ(host->SendEx(server, 12345, DPSEND_GUARANTEED, const_cast<DWORD*>(&value),
                           sizeof value, 0, 0, nullptr, nullptr),
              DPERR_INVALIDPLAYER);
}

// Sends in quick succession are left to the network thread to flush together, a lone send
// goes out at once: either way every guaranteed message arrives, in order.
TEST_F(InProcessSession, BurstsAndLoneSendsArriveWholeAndInOrderBothWays) {
    constexpr DWORD kBurst = 400;
    DPID from = 0;
    DPID to = 0;
    std::vector<BYTE> buffer;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation
    auto sendNumbers = [](IDirectPlay4A* dp, DPID sender, DPID receiver, DWORD first, DWORD count) {
        for (DWORD number = first; number < first + count; ++number) {
            ASSERT_EQ(dp->Send(sender, receiver, DPSEND_GUARANTEED, &number, sizeof number), DP_OK);
        }
    };
    auto expectNumbers = [&](IDirectPlay4A* dp, HANDLE event, DPID sender, DWORD first,
                             DWORD count) {
        for (DWORD number = first; number < first + count; ++number) {
            ASSERT_EQ(Next(dp, event, from, to, buffer), DP_OK) << "message " << number;
            ASSERT_EQ(from, sender);
            ASSERT_EQ(buffer.size(), sizeof number);
            DWORD received = 0;
            std::memcpy(&received, buffer.data(), sizeof received);
            ASSERT_EQ(received, number);
        }
    };
    sendNumbers(client.Get(), player, server, 0, kBurst);
    expectNumbers(host.Get(), hostEvent.Get(), player, 0, kBurst);
    sendNumbers(host.Get(), server, player, 0, kBurst);
    expectNumbers(client.Get(), clientEvent.Get(), server, 0, kBurst);
    for (DWORD lone = kBurst; lone < kBurst + 3; ++lone) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sendNumbers(client.Get(), player, server, lone, 1);
        expectNumbers(host.Get(), hostEvent.Get(), player, lone, 1);
        sendNumbers(host.Get(), server, player, lone, 1);
        expectNumbers(client.Get(), clientEvent.Get(), server, lone, 1);
    }
    EXPECT_EQ(dptest::ReceiveAny(host.Get(), from, to, buffer), DPERR_NOMESSAGES);
    EXPECT_EQ(dptest::ReceiveAny(client.Get(), from, to, buffer), DPERR_NOMESSAGES);
}

// A stream many times the connection's window: what waits for room goes out with the
// acknowledgements, although the sending thread neither waits nor receives nor sends again.
TEST_F(InProcessSession, AStreamLongerThanTheWindowArrivesWholeAndInOrder) {
    constexpr std::uint32_t kMessages = 4000;
    std::vector<BYTE> message(256, 0x5A); // 1 MB in all, against a window of 64 KB
    for (std::uint32_t number = 0; number < kMessages; ++number) {
        std::memcpy(message.data(), &number, sizeof number);
        ASSERT_EQ(client->SendEx(player, server, DPSEND_GUARANTEED | DPSEND_ASYNC, message.data(),
                                 static_cast<DWORD>(message.size()), 0, 0, nullptr, nullptr),
                  DP_OK);
    }
    std::vector<BYTE> buffer;
    for (std::uint32_t number = 0; number < kMessages; ++number) {
        ASSERT_EQ(NextFor(host.Get(), hostEvent.Get(), server, buffer), DP_OK) << number;
        ASSERT_EQ(buffer.size(), message.size());
        ASSERT_EQ(NumberIn(buffer), number);
    }
}

// The sends of a burst go out together once it ends, not at the network thread's next turn
// (a tenth of a second with these settings). A thread with messages still to receive is
// taken to be in a burst from its first send on, so nothing is in flight to bring it back.
TEST_F(InProcessSession, ABurstGoesOutAsSoonAsItEnds) {
    constexpr int kBursts = 8;
    constexpr std::uint32_t kBurst = 50;
    std::vector<BYTE> buffer;
    DPID from = 0;
    DPID to = 0;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation
    auto tails = Clock::duration::zero();
    for (int burst = 0; burst < kBursts; ++burst) {
        ASSERT_EQ(SendNumber(client.Get(), player, server, burst), DP_OK);
        // The host has it queued, unread.
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        DWORD size = 0;
        while (host->Receive(&from, &to, DPRECEIVE_ALL | DPRECEIVE_PEEK, nullptr, &size) ==
                   DPERR_NOMESSAGES &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        for (std::uint32_t number = 0; number < kBurst; ++number) {
            ASSERT_EQ(SendNumber(host.Get(), server, player, number), DP_OK);
        }
        const auto sent = Clock::now();
        for (std::uint32_t number = 0; number < kBurst; ++number) {
            ASSERT_EQ(NextFor(client.Get(), clientEvent.Get(), player, buffer), DP_OK);
            ASSERT_EQ(NumberIn(buffer), number);
        }
        tails += Clock::now() - sent;
        ASSERT_EQ(NextFor(host.Get(), hostEvent.Get(), server, buffer), DP_OK);
        ASSERT_EQ(NumberIn(buffer), static_cast<std::uint32_t>(burst));
    }
    EXPECT_LT(tails, std::chrono::milliseconds(300));
}

TEST_F(InProcessSession, DestroyedPlayerAndClosedHostAreReported) {
    std::vector<BYTE> buffer;
    DPID from;
    DPID to;
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK); // the creation

    // No groups exist, so removing a player from one names an invalid group.
    EXPECT_EQ(client->DeletePlayerFromGroup(5, player), DPERR_INVALIDGROUP);
    ASSERT_EQ(client->DestroyPlayer(player), DP_OK);
    EXPECT_EQ(client->DestroyPlayer(player), DPERR_INVALIDPLAYER);
    ASSERT_EQ(Next(host.Get(), hostEvent.Get(), from, to, buffer), DP_OK);
    const auto* destroyed = reinterpret_cast<const DPMSG_DESTROYPLAYERORGROUP*>(buffer.data());
    EXPECT_EQ(destroyed->dwType, DPSYS_DESTROYPLAYERORGROUP);
    EXPECT_EQ(destroyed->dpId, player);
    EXPECT_STREQ(destroyed->dpnName.lpszShortNameA, "Ana");

    DPID second = 0;
    ASSERT_EQ(dptest::CreateNamedPlayer(client.Get(), second, "Rui", clientEvent.Get(), 0), DP_OK);
    EXPECT_NE(second, player);
    ASSERT_EQ(host->Close(), DP_OK);
    ASSERT_EQ(Next(client.Get(), clientEvent.Get(), from, to, buffer), DP_OK);
    EXPECT_EQ(from, DPID_SYSMSG);
    EXPECT_EQ(to, second);
    ASSERT_EQ(buffer.size(), sizeof(DPMSG_SESSIONLOST));
    EXPECT_EQ(reinterpret_cast<const DPMSG_SESSIONLOST*>(buffer.data())->dwType, DPSYS_SESSIONLOST);
}

BOOL CALLBACK CollectInternet(REFGUID type, DWORD, LPCVOID data, LPVOID context) {
    if (type == DPAID_INet) {
        *static_cast<std::string*>(context) += static_cast<const char*>(data) + std::string(" ");
    }
    return TRUE;
}

TEST_F(InProcessSession, PlayerAddressCarriesTheInternetAddress) {
    BYTE small[8];
    DWORD size = sizeof small;
    ASSERT_EQ(client->GetPlayerAddress(player, small, &size), DPERR_BUFFERTOOSMALL);
    std::vector<BYTE> address(size);
    ASSERT_EQ(client->GetPlayerAddress(player, address.data(), &size), DP_OK);
    auto lobby = dptest::CreateLobby();
    std::string internet;
    ASSERT_EQ(lobby->EnumAddress(CollectInternet, address.data(), size, &internet), DP_OK);
    // With the loopback-only switch on, the machine shows only its loopback address.
    EXPECT_EQ(internet, "127.0.0.1 ");
    EXPECT_EQ(client->GetPlayerAddress(4242, address.data(), &size), DPERR_INVALIDPLAYER);
}

TEST(DirectPlayIpx, PlayerAddressHasNoInternetAddress) {
    dptest::UseLoopbackSettings();
    auto dp = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeProvider(dp.Get(), 1), DP_OK);
    ASSERT_EQ(dptest::HostSession(dp.Get(), kApplication, 2, "ipx"), DP_OK);
    DPID id = 0;
    ASSERT_EQ(dptest::CreateNamedPlayer(dp.Get(), id, "host", nullptr, DPPLAYER_SERVERPLAYER),
              DP_OK);
    DWORD size = 0;
    ASSERT_EQ(dp->GetPlayerAddress(id, nullptr, &size), DPERR_BUFFERTOOSMALL);
    std::vector<BYTE> address(size);
    ASSERT_EQ(dp->GetPlayerAddress(id, address.data(), &size), DP_OK);
    std::string internet;
    ASSERT_EQ(dptest::CreateLobby()->EnumAddress(CollectInternet, address.data(), size, &internet),
              DP_OK);
    EXPECT_EQ(internet, "");
}

TEST(DirectPlayEnumeration, ReachesAGivenHostAddressAndTimesOutWhenNothingAnswers) {
    dptest::UseLoopbackSettings();
    auto host = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeProvider(host.Get(), 0), DP_OK);
    ASSERT_EQ(dptest::HostSession(host.Get(), kApplication, 0, "direct"), DP_OK);

    auto client = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeTcpIpHost(client.Get(), "127.0.0.1"), DP_OK);
    std::vector<dptest::FoundSession> sessions;
    ASSERT_EQ(dptest::FindSessions(client.Get(), kApplication, 300, 0, sessions), DP_OK);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].name, "direct");
    EXPECT_EQ(sessions[0].desc.dwSize, sizeof(DPSESSIONDESC2));
    EXPECT_EQ(sessions[0].desc.dwFlags, dptest::kSessionFlags);

    // Another application's client finds nothing, and hears of the time-out once the time
    // has passed.
    auto other = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeProvider(other.Get(), 0), DP_OK);
    sessions.clear();
    const auto started = Clock::now();
    ASSERT_EQ(dptest::FindSessions(other.Get(), dptest::Application(0x0badf00d), 300, 0, sessions),
              DP_OK);
    EXPECT_TRUE(sessions.empty());
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(300));
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(other->Open(&desc, DPOPEN_JOIN), DPERR_NOSESSIONS);
}

TEST(DirectPlayLoopbackOnly, RefusesOtherAddressesWithoutSendingAnything) {
    dptest::UseLoopbackSettings();
    const auto before = directplay::GetTransportCounters();
    auto dp = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeTcpIpHost(dp.Get(), "192.0.2.1"), DP_OK);
    std::vector<dptest::FoundSession> sessions;
    EXPECT_EQ(dptest::FindSessions(dp.Get(), kApplication, 5000, 0, sessions), DPERR_ACCESSDENIED);

    // The default target, the broadcast address, is outside loopback too.
    unsetenv(directplay::kEnumerationAddressVariable);
    auto broadcaster = dptest::CreateDirectPlay();
    ASSERT_EQ(dptest::InitializeProvider(broadcaster.Get(), 1), DP_OK);
    EXPECT_EQ(dptest::FindSessions(broadcaster.Get(), kApplication, 5000, 0, sessions),
              DPERR_ACCESSDENIED);

    const auto after = directplay::GetTransportCounters();
    EXPECT_EQ(after.enumerationQueries, before.enumerationQueries);
    EXPECT_EQ(after.sessionConnects, before.sessionConnects);
    EXPECT_TRUE(sessions.empty());
}

} // namespace
