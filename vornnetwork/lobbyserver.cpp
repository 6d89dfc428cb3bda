// The lobby server's share of the receive thread: what it does with the messages its
// clients send and with players that leave.
#include "vornlannetwork.h"

#include <algorithm>

int CVornLANNetwork::RouteLobbyMessage(const NetMessage& message, DPID idFrom, DPID idMe) {
    // The server's own game is handed each message as it arrives; the group routing
    // takes this over.
    Report(message, idFrom, idMe);
    return 1;
}

bool CVornLANNetwork::HandleDepartedPlayer(DPID idPlayer, DPID, DPID) {
    // Only players in the lobby's table are the lobby's to remove; nobody else is in it.
    return FindPlayer(idPlayer) != nullptr;
}

const PlayerInfo* CVornLANNetwork::FindPlayer(DPID idPlayer) const {
    const auto end = m_players.begin() + m_nPlayers;
    const auto found = std::find_if(m_players.begin(), end, [idPlayer](const PlayerInfo& player) {
        return player.idPlayer == idPlayer;
    });
    return found != end ? &*found : nullptr;
}
