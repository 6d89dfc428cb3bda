// Fuzz target: received packets fed to the packet handling of a session, host or peer, and
// the decoding of enumeration queries and answers.
//
// The first byte sets the session up: bit 0 picks the peer side, bit 1 a client/server
// session, bits 2 to 4 the most players (0: no limit), bit 5 a host whose own player is
// not (yet) the server player. Then comes a series of events, each
// [kind][length, 2 bytes LE][length bytes]. Bits 0 and 1 of the kind name the connection
// the event comes from (a peer only has the one to its host), bit 2 makes it that
// connection's end instead of a packet, bit 3 marks a packet sent unreliably.
//
// The host starts open with a player of its own (the server player in a client/server
// session, unless bit 5 says otherwise). The peer starts connecting, with two players asked for
// (requests 1 and 2) whose callers wait for the host's answers.
#include "enumeration.h"
#include "fuzz_checks.h"
#include "session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace directplay {
namespace {

const GUID kInstance{0x1e2d3c4b, 0x5a69, 0x7887, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kApplication{0x0f1e2d3c, 0x4b5a, 0x6978, {8, 7, 6, 5, 4, 3, 2, 1}};

// Decoding an enumeration packet and encoding what it says gives the packet back.
void CheckEnumeration(std::span<const std::uint8_t> bytes) {
    for (const Provider& provider : Providers()) {
        if (const auto application = DecodeQuery(provider, bytes)) {
            Check(std::ranges::equal(EncodeQuery(provider, *application), bytes));
        }
        if (const auto session = DecodeAnswer(provider, bytes)) {
            Check(std::ranges::equal(EncodeAnswer(provider, *session), bytes));
        }
    }
}

} // namespace

class SessionProbe {
public:
    explicit SessionProbe(std::uint8_t setup)
        : isHost_(!(setup & 1)), session_(Configure(setup), isHost_, &links_) {
        if (isHost_) {
            session_.state_ = Session::State::Open;
            char name[] = "host";
            DPNAME dpName{};
            dpName.dwSize = sizeof(DPNAME);
            dpName.lpszShortNameA = name;
            DPID id = 0;
            const DWORD flags = (setup & 0x22) == 2 ? DPPLAYER_SERVERPLAYER : 0;
            Check(session_.CreatePlayer(id, &dpName, nullptr, flags) == DP_OK);
        } else {
            for (std::uint32_t request : {1u, 2u}) {
                session_.pendingCreates_[request] = Session::PendingCreate{
                    false, DP_OK, 0, 0, "asked " + std::to_string(request), "", nullptr};
            }
            session_.nextRequest_ = 3;
        }
        CheckTables();
    }

private:
    // Everything a packet may change.
    auto Snapshot() const {
        std::vector<std::tuple<DPID, DWORD, std::string, std::string, PeerId, bool>> players;
        for (const auto& [id, player] : session_.players_) {
            players.emplace_back(id, player.flags, player.shortName, player.longName, player.peer,
                                 player.local);
        }
        std::vector<std::tuple<std::uint32_t, bool, HRESULT, DPID>> pending;
        for (const auto& [request, create] : session_.pendingCreates_) {
            pending.emplace_back(request, create.done, create.result, create.id);
        }
        return std::make_tuple(players, pending, session_.joined_, session_.state_,
                               session_.failure_, session_.config_.summary.flags,
                               session_.config_.summary.maxPlayers, session_.queue_.size(),
                               session_.nextId_);
    }

public:
    void Packet(PeerId from, std::span<const std::uint8_t> bytes, bool reliable) {
        const auto before = Snapshot();
        links_.sent.clear();
        links_.closed.clear();
        links_.packets.clear();
        {
            std::lock_guard guard(session_.lock_);
            session_.HandlePacket(from, bytes, reliable);
        }
        // A malformed packet changes nothing; at most, the host turns its sender away.
        if (!WellFormed(bytes)) {
            Check(Snapshot() == before);
            Check(std::ranges::all_of(links_.sent, [from](PeerId to) { return to == from; }));
            Check(std::ranges::all_of(links_.closed, [from](PeerId to) { return to == from; }));
        }
        // Answers go to the sender; whatever else is sent goes to connections that joined.
        for (PeerId to : links_.sent) {
            Check(to == from || session_.joined_.contains(to));
        }
        CheckTables();
        Drain();
    }

    void Gone(PeerId peer) {
        {
            std::lock_guard guard(session_.lock_);
            session_.PeerGone(peer);
        }
        Check(!session_.joined_.contains(peer));
        for (const auto& [id, player] : session_.players_) {
            Check(player.peer != peer);
        }
        CheckTables();
        Drain();
    }

    bool IsHost() const { return isHost_; }

private:
    static SessionConfig Configure(std::uint8_t setup) {
        SessionConfig config;
        config.settings.loopbackOnly = true;
        config.provider = &Providers()[0];
        config.summary.instance = kInstance;
        config.summary.application = kApplication;
        config.summary.flags = (setup & 2) ? DPSESSION_CLIENTSERVER : 0;
        config.summary.maxPlayers = (setup >> 2) & 7;
        return config;
    }

    void CheckTables() const {
        std::set<DPID> local;
        for (const auto& [id, player] : session_.players_) {
            if (player.local) {
                local.insert(id);
            }
        }
        Check(session_.local_ == local);
        const auto& summary = session_.config_.summary;
        for (const auto& [id, player] : session_.players_) {
            Check(player.id == id && id != DPID_ALLPLAYERS && id != DPID_UNKNOWN);
            // Local players have no connection, remote ones (only the host has any) the
            // connection that joined and asked for them.
            Check(player.local == (player.peer == kNoPeer));
            Check(player.local || (isHost_ && session_.joined_.contains(player.peer)));
            if (id == DPID_SERVERPLAYER && isHost_ && (summary.flags & DPSESSION_CLIENTSERVER)) {
                Check(player.local);
            }
        }
        if (isHost_ && summary.maxPlayers != 0) {
            Check(session_.players_.size() <= summary.maxPlayers);
        }
        if (!isHost_) {
            // Each player of a peer is the one the host gave a caller who asked for it.
            std::size_t created = 0;
            for (const auto& [request, create] : session_.pendingCreates_) {
                if (create.done && SUCCEEDED(create.result)) {
                    ++created;
                    auto player = session_.players_.find(create.id);
                    Check(player != session_.players_.end() &&
                          player->second.shortName == create.shortName);
                }
            }
            Check(session_.players_.size() == created);
        }
        for (const QueuedMessage& message : session_.queue_) {
            auto player = session_.players_.find(message.to);
            Check(player != session_.players_.end() && player->second.local);
        }
    }

    void Drain() {
        DrainMessages(session_, [this](DPID id) { return session_.players_.contains(id); });
    }

    const bool isHost_;
    RecordingLinks links_;
    Session session_;
};

} // namespace directplay

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    directplay::SessionProbe probe(data[0]);
    directplay::ForEachRecord({data + 1, size - 1}, [&probe](std::uint8_t kind, auto bytes) {
        const directplay::PeerId from = probe.IsHost() ? kind & 3 : directplay::kHostPeer;
        if (kind & 4) {
            probe.Gone(from);
            return;
        }
        directplay::CheckEnumeration(bytes);
        probe.Packet(from, bytes, !(kind & 8));
    });
    return 0;
}
