// Fuzz target: received messages and departures fed to one lobby server.
//
// The input is a series of events, each [kind][sender][length, 2 bytes LE][length bytes].
// Kind 3 (mod 4) is the departure of the sender and carries no bytes; every other kind hands
// the bytes to the lobby as an application message from the sender. Senders are the
// DirectPlay ids 2 to 17, so that logins, groups and departures meet.
#include "lobbyserver.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr DPID kServer = 1;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// What must hold after every event, whatever was received.
void CheckTables(const LobbyServer& lobby) {
    std::set<DPID> players;
    std::map<INT, std::vector<DPID>> members;
    for (const PlayerInfo& player : lobby.Players()) {
        Check(players.insert(player.idPlayer).second);
        Check(strnlen(player.szName, sizeof player.szName) < sizeof player.szName);
        Check(strnlen(player.szInfo, sizeof player.szInfo) < sizeof player.szInfo);
        Check(lobby.FindPlayer(player.idPlayer) == &player);
        members[player.idGroup].push_back(player.idPlayer);
    }
    std::set<INT> groups;
    for (const GroupRecord& group : lobby.Groups()) {
        Check(groups.insert(group.idGroup).second);
        Check((group.pState == nullptr) == (group.nStateSize == 0));
        Check(lobby.FindGroup(group.idGroup) == &group);
        Check(members.contains(group.idGroup) || lobby.Members(group.idGroup).empty());
    }
    // The group index lists exactly the players of each group number, in table order.
    for (const auto& [idGroup, ids] : members) {
        const auto listed = lobby.Members(idGroup);
        Check(std::equal(listed.begin(), listed.end(), ids.begin(), ids.end()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Round trip of the message format: parsing and serialising reproduce the bytes read.
    if (const auto message = NetMessage::Parse(data, size)) {
        const auto bytes = message->Serialise();
        Check(bytes.size() == NetMessage::headerSize + message->DataSize());
        Check(std::memcmp(bytes.data(), data, bytes.size()) == 0);
    }

    // The message being routed and its sender: its forwards carry whatever a client put in
    // them, so only the server's own replies are held to the snapshot's size. Every send
    // goes to a player of the lobby or back to the sender, never to 0 or to the server, and
    // a forward always speaks for its own sender.
    std::vector<BYTE> routed;
    DPID sender = 0;
    LobbyServer lobby(
        [&lobby, &routed, &sender](DPID idFrom, DPID idTarget, const NetMessage& message,
                                   DWORD flags) {
            Check(idFrom == kServer && flags == LobbyServer::sendFlags);
            Check(idTarget != kServer && idTarget != 0);
            Check(idTarget == sender || lobby.FindPlayer(idTarget) != nullptr);
            Check(message.IdFrom() == kServer || message.IdFrom() == sender);
            if (message.Cmd() == cmdSpectatorSnapshot && message.Serialise() != routed) {
                const PlayerInfo* spectator = lobby.FindPlayer(message.IdTo());
                Check(spectator != nullptr);
                const GroupRecord* group = lobby.FindGroup(spectator->idGroup);
                Check(group != nullptr && message.DataSize() == group->nStateSize + 556);
            }
            return S_OK;
        },
        [](const NetMessage& message, DPID, DPID) {
            Check(message.WireSize() == NetMessage::headerSize + message.DataSize());
        },
        [] { return DWORD{12345}; });

    std::size_t at = 0;
    while (size - at >= 4) {
        const std::uint8_t kind = data[at];
        sender = 2 + data[at + 1] % 16;
        const std::size_t length =
            std::min<std::size_t>(data[at + 2] | data[at + 3] << 8, size - at - 4);
        const std::uint8_t* bytes = data + at + 4;
        at += 4;
        if (kind % 4 == 3) {
            lobby.HandleDepartedPlayer(sender, 0, kServer);
        } else {
            const auto message = NetMessage::Parse(bytes, length);
            routed = message ? message->Serialise() : std::vector<BYTE>{};
            lobby.HandleApplicationMessage(bytes, static_cast<DWORD>(length), sender, kServer);
            at += length;
        }
        CheckTables(lobby);
    }
    return 0;
}
