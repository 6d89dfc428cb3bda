// The seed inputs of the session fuzz target and of the CreatePlayer fuzz target, written
// with the packet writer: sessions as they go when everyone follows the protocol, plus a few
// requests a host must turn down and answers a peer must not take.
//
//   session_fuzz_seeds SESSION_DIR CREATE_PLAYER_DIR          writes the seeds
//   session_fuzz_seeds --check SESSION_DIR CREATE_PLAYER_DIR  fails unless the folders hold
//                                                             them as written now
#include "enumeration.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using directplay::PacketKind;
using directplay::Writer;
using Bytes = std::vector<std::uint8_t>;

// Must match the session fuzz target.
const GUID kInstance{0x1e2d3c4b, 0x5a69, 0x7887, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kApplication{0x0f1e2d3c, 0x4b5a, 0x6978, {8, 7, 6, 5, 4, 3, 2, 1}};
constexpr std::uint8_t kPeerSide = 1;
constexpr std::uint8_t kClientServer = 2;
constexpr std::uint8_t kDeparture = 4;

class Seed {
public:
    explicit Seed(std::uint8_t setup) : bytes_{setup} {}
    Seed& Packet(std::uint8_t from, const Bytes& packet) {
        bytes_.push_back(from);
        bytes_.push_back(static_cast<std::uint8_t>(packet.size()));
        bytes_.push_back(static_cast<std::uint8_t>(packet.size() >> 8));
        bytes_.insert(bytes_.end(), packet.begin(), packet.end());
        return *this;
    }
    Seed& Departure(std::uint8_t from) {
        bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(from | kDeparture), 0, 0});
        return *this;
    }
    const Bytes& Result() const { return bytes_; }

private:
    Bytes bytes_;
};

Bytes Join(const GUID& instance) {
    return Writer(PacketKind::Join).Guid(instance).Result();
}

Bytes CreatePlayer(std::uint32_t request, DWORD flags, const std::string& name) {
    return Writer(PacketKind::CreatePlayer)
        .U32(request)
        .U32(flags)
        .Text(name)
        .Text(name + " the long")
        .Result();
}

Bytes PlayerCreated(std::uint32_t request, HRESULT result, DPID id) {
    return Writer(PacketKind::PlayerCreated)
        .U32(request)
        .U32(static_cast<std::uint32_t>(result))
        .U32(id)
        .Result();
}

Bytes PlayerEvent(PacketKind kind, DPID id, const std::string& name, DWORD players) {
    return Writer(kind).U32(id).U32(0).Text(name).Text("").U32(players).Result();
}

Bytes Data(DPID from, DPID to, const std::string& text) {
    return Writer(PacketKind::Data)
        .U32(from)
        .U32(to)
        .Bytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})
        .Result();
}

std::vector<std::pair<std::string, Bytes>> Seeds() {
    const auto& provider = directplay::Providers()[0];
    directplay::SessionSummary summary;
    summary.instance = kInstance;
    summary.application = kApplication;
    summary.maxPlayers = 4;
    summary.currentPlayers = 2;
    summary.name = "lobby";
    summary.sessionPort = 47624;
    // The host's own player is 2; the two peers' players are 3 and 4.
    return {
        {"host_two_peers", Seed(0)
                               .Packet(1, Join(kInstance))
                               .Packet(1, CreatePlayer(1, 0, "one"))
                               .Packet(2, Join(kInstance))
                               .Packet(2, CreatePlayer(1, 0, "two"))
                               .Packet(1, Data(3, DPID_ALLPLAYERS, "to all"))
                               .Packet(2 | 8, Data(4, 2, "to the host"))
                               .Packet(1, Data(3, 4, "to two"))
                               .Packet(1, Writer(PacketKind::DestroyPlayer).U32(3).Result())
                               .Departure(2)
                               .Result()},
        // The server player is 1; the session holds two players.
        {"host_client_server_full",
         Seed(kClientServer | 2 << 2)
             .Packet(1, Join(kInstance))
             .Packet(1, CreatePlayer(1, DPPLAYER_SERVERPLAYER, "claims the server"))
             .Packet(1, Data(2, DPID_ALLPLAYERS, "to the server"))
             .Packet(2, Join(kInstance))
             .Packet(3, Join(kApplication))
             .Packet(1, CreatePlayer(2, 0, "one too many"))
             .Departure(1)
             .Result()},
        {"host_enumeration", Seed(0)
                                 .Packet(0, directplay::EncodeQuery(provider, kApplication))
                                 .Packet(0, directplay::EncodeAnswer(provider, summary))
                                 .Result()},
        // Requests 1 and 2 wait for their players.
        {"peer_joined", Seed(kPeerSide)
                            .Packet(0, Writer(PacketKind::Welcome).U32(0).U32(8).Result())
                            .Packet(0, PlayerCreated(1, DP_OK, 5))
                            .Packet(0, PlayerCreated(2, DP_OK, 6))
                            .Packet(0, PlayerEvent(PacketKind::PlayerAdded, 7, "seven", 3))
                            .Packet(0, Data(7, 5, "to five"))
                            .Packet(0 | 8, Data(7, 6, "to six"))
                            .Packet(0, PlayerEvent(PacketKind::PlayerRemoved, 7, "seven", 2))
                            .Departure(0)
                            .Result()},
        {"peer_refused", Seed(kPeerSide)
                             .Packet(0, Writer(PacketKind::Refused).U32(DPERR_NOSESSIONS).Result())
                             .Packet(0, Writer(PacketKind::Welcome).U32(0).U32(0).Result())
                             .Packet(0, PlayerCreated(1, DPERR_CANTADDPLAYER, 0))
                             .Result()},
    };
}

// For the CreatePlayer target: its callers ask for requests 1, 2 and 3 in turn.
std::vector<std::pair<std::string, Bytes>> CreatePlayerSeeds() {
    constexpr std::uint8_t kThreeCallers = 2;
    constexpr std::uint8_t kServerPlayer = 4;
    return {
        {"answered_in_turn", Seed(kThreeCallers)
                                 .Packet(0, PlayerCreated(2, DP_OK, 8))
                                 .Packet(0, Data(9, 8, "to eight"))
                                 .Packet(0, PlayerCreated(1, DP_OK, 7))
                                 .Packet(0, PlayerCreated(3, DPERR_CANTADDPLAYER, 0))
                                 .Result()},
        {"answers_not_to_take", Seed(kThreeCallers)
                                    .Packet(0, PlayerCreated(1, DP_OK, 7))
                                    .Packet(0, PlayerCreated(1, DP_OK, 9)) // twice
                                    .Packet(0, PlayerCreated(2, DP_OK, 7)) // a player already here
                                    .Packet(0, PlayerCreated(3, DP_OK, DPID_ALLPLAYERS))
                                    .Packet(0, PlayerCreated(4, DP_OK, 10)) // never asked
                                    .Result()},
        {"server_player_then_lost", Seed(kServerPlayer)
                                        .Packet(0, PlayerCreated(1, DP_OK, DPID_SERVERPLAYER))
                                        .Packet(0, Data(5, 1, "to the server"))
                                        .Departure(0)
                                        .Result()},
        {"lost_before_the_answer",
         Seed(1).Departure(0).Packet(0, PlayerCreated(1, DP_OK, 7)).Result()},
    };
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Writes the seeds into `folder`, or counts those that differ from its files.
int WriteOrCheck(const std::vector<std::pair<std::string, Bytes>>& seeds,
                 const std::filesystem::path& folder, bool check) {
    int failures = 0;
    for (const auto& [name, bytes] : seeds) {
        if (!check) {
            std::ofstream(folder / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        } else if (ReadFile(folder / name) != bytes) {
            std::fprintf(stderr, "%s differs from the seed written now\n", name.c_str());
            ++failures;
        }
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    const bool check = argc == 4 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 3 && !check) {
        std::fprintf(stderr, "usage: %s [--check] SESSION_DIR CREATE_PLAYER_DIR\n", argv[0]);
        return 2;
    }
    const int failures = WriteOrCheck(Seeds(), argv[argc - 2], check) +
                         WriteOrCheck(CreatePlayerSeeds(), argv[argc - 1], check);
    return failures == 0 ? 0 : 1;
}
