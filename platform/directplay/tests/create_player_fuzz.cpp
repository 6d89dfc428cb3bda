// Fuzz target: the waiting side of CreatePlayer. A joined peer's callers ask the host for
// players on threads of their own and wait; the host's answers, and whatever else comes over
// the connection, are fed to the peer's packet handling while they wait.
//
// The first byte sets the session up: bits 0 and 1 give the number of callers less one (at
// most three), bits 2 to 4 the flags they ask with (bit 2 the server player, bit 3 a
// spectator, bit 4 a client/server session). Then comes a series of events, each
// [kind][length, 2 bytes LE][length bytes]: bit 2 of the kind ends the connection to the
// host instead of delivering a packet, bit 3 marks a packet sent unreliably. At the end the
// connection is lost, so that every caller returns.
//
// Each caller ends with its answer: a player of its own name, known to the session, or a
// failure that leaves no player behind; no answer is taken twice and nothing is left waiting.
#include "fuzz_checks.h"
#include "session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace directplay {
namespace {

// Tells the probe of every packet the session sends.
class NotifyingLinks : public RecordingLinks {
public:
    void SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool reliable) override {
        RecordingLinks::SendTo(peer, bytes, reliable);
        sentOne.notify_all();
    }
    std::condition_variable sentOne;
};

} // namespace

class CreatePlayerProbe {
public:
    explicit CreatePlayerProbe(std::uint8_t setup)
        : callers_(std::min(3, (setup & 3) + 1)), session_(Configure(setup), false, &links_) {
        session_.state_ = Session::State::Open;
        const DWORD flags =
            ((setup & 4) ? DPPLAYER_SERVERPLAYER : 0) | ((setup & 8) ? DPPLAYER_SPECTATOR : 0);
        for (Caller& caller : callers_) {
            caller.name = "caller " + std::to_string(&caller - callers_.data());
            caller.thread = std::thread([this, &caller, flags] {
                char* name = caller.name.data();
                DPNAME dpName{};
                dpName.dwSize = sizeof(DPNAME);
                dpName.lpszShortNameA = name;
                dpName.lpszLongNameA = name;
                caller.result = session_.CreatePlayer(caller.id, &dpName, nullptr, flags);
            });
        }
        // Every caller has asked before the first answer comes.
        std::unique_lock guard(session_.lock_);
        Check(links_.sentOne.wait_for(guard, std::chrono::seconds(10), [this] {
            return session_.pendingCreates_.size() == callers_.size();
        }));
        Check(links_.packets.size() == callers_.size());
    }

    ~CreatePlayerProbe() {
        {
            std::lock_guard guard(session_.lock_);
            session_.PeerGone(kHostPeer);
        }
        for (Caller& caller : callers_) {
            caller.thread.join();
        }
        std::lock_guard guard(session_.lock_);
        // Nothing waits any more, and each player is the one its caller was given.
        Check(session_.pendingCreates_.empty());
        std::size_t created = 0;
        for (const Caller& caller : callers_) {
            const auto player = std::ranges::find_if(session_.players_, [&](const auto& entry) {
                return entry.second.shortName == caller.name;
            });
            if (caller.result == DP_OK) {
                ++created;
                Check(player != session_.players_.end() && player->first == caller.id);
            } else {
                Check(FAILED(caller.result) && player == session_.players_.end());
            }
        }
        Check(session_.players_.size() == created);
    }

    CreatePlayerProbe(const CreatePlayerProbe&) = delete;
    CreatePlayerProbe& operator=(const CreatePlayerProbe&) = delete;

    void Packet(std::span<const std::uint8_t> bytes, bool reliable) {
        {
            std::lock_guard guard(session_.lock_);
            const std::size_t sentBefore = links_.packets.size();
            session_.HandlePacket(kHostPeer, bytes, reliable);
            // A peer answers its host with nothing but what its callers ask.
            Check(links_.packets.size() == sentBefore);
            CheckTables();
        }
        Drain();
    }

    void Lost() {
        {
            std::lock_guard guard(session_.lock_);
            session_.PeerGone(kHostPeer);
            Check(session_.state_ == Session::State::Lost);
            CheckTables();
        }
        Drain();
    }

private:
    struct Caller {
        std::string name;
        std::thread thread;
        DPID id = 0;
        HRESULT result = DP_OK;
    };

    static SessionConfig Configure(std::uint8_t setup) {
        SessionConfig config;
        config.settings.loopbackOnly = true;
        // Long enough never to run out: the callers return when the connection ends.
        config.settings.keepaliveMs = 600000;
        config.provider = &Providers()[0];
        config.summary.flags = (setup & 16) ? DPSESSION_CLIENTSERVER : 0;
        return config;
    }

    // With the lock held: the peer's players are its callers', each given once, with the
    // name its caller asked for, never a reserved id.
    void CheckTables() const {
        std::set<DPID> local;
        for (const auto& [id, player] : session_.players_) {
            if (player.local) {
                local.insert(id);
            }
        }
        Check(session_.local_ == local);
        for (const auto& [id, player] : session_.players_) {
            Check(player.id == id && id != DPID_ALLPLAYERS && id != DPID_UNKNOWN);
            Check(player.local && player.peer == kNoPeer);
            const std::string& name = player.shortName;
            const auto caller = std::ranges::find_if(
                callers_, [&name](const Caller& entry) { return entry.name == name; });
            Check(caller != callers_.end());
            const auto asked =
                std::ranges::find_if(session_.pendingCreates_, [&name](const auto& entry) {
                    return entry.second.shortName == name;
                });
            // Until its caller takes it, the answer that made the player names it.
            Check(asked == session_.pendingCreates_.end() ||
                  (asked->second.done && asked->second.id == id));
        }
        for (const QueuedMessage& message : session_.queue_) {
            auto player = session_.players_.find(message.to);
            Check(player != session_.players_.end() && player->second.local);
        }
    }

    void Drain() {
        DrainMessages(session_, [this](DPID id) {
            std::lock_guard guard(session_.lock_);
            return session_.players_.contains(id);
        });
    }

    NotifyingLinks links_;
    std::vector<Caller> callers_;
    Session session_;
};

} // namespace directplay

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    directplay::CreatePlayerProbe probe(data[0]);
    directplay::ForEachRecord({data + 1, size - 1}, [&probe](std::uint8_t kind, auto bytes) {
        if (kind & 4) {
            probe.Lost();
        } else {
            probe.Packet(bytes, !(kind & 8));
        }
    });
    return 0;
}
