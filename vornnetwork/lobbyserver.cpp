#include "lobbyserver.h"

#include "debugoutput.h"

#include <algorithm>
#include <cstring>

namespace {

// The packed form of a competitor in a spectator snapshot, and the slot it lies in.
constexpr int kSnapshotSlots = 2;
constexpr DWORD kSnapshotSlotSize = 272;
constexpr std::size_t kSnapshotSlotsSize = kSnapshotSlots * (4 + kSnapshotSlotSize);

const char* RoleWord(DWORD dwFlags) {
    switch (dwFlags) {
    case roleCompetitor:
        return "player";
    case roleSpectator:
        return "spectator";
    default:
        return "server";
    }
}

bool IsCompetitor(const PlayerInfo& player) {
    return player.dwFlags == roleCompetitor;
}

bool IsLogin(const NetMessage& message) {
    return message.Type() == msgToServer && message.Cmd() == cmdLogin;
}

// Answers to logins that cannot be taken as they are: the client's game learns of the
// refusal at once instead of by waiting.
constexpr const char* kLoginIncomplete = "Login refused: incomplete login record.";
constexpr const char* kLoginNotYours = "Login refused: a player logs in for itself only.";
constexpr const char* kLoginRepeated = "Login refused: this player is logged in already.";

void AppendBytes(std::vector<BYTE>& out, const void* bytes, std::size_t size) {
    const auto* begin = static_cast<const BYTE*>(bytes);
    out.insert(out.end(), begin, begin + size);
}

void AppendDword(std::vector<BYTE>& out, DWORD value) {
    AppendBytes(out, &value, sizeof value);
}

// idPlayer, nUser, idGroup, dwFlags, the name and the info each with its NUL, then zeros.
void AppendPackedCompetitor(std::vector<BYTE>& out, const PlayerInfo& player) {
    const std::size_t start = out.size();
    AppendBytes(out, &player, offsetof(PlayerInfo, szName));
    AppendBytes(out, player.szName, strnlen(player.szName, sizeof player.szName - 1) + 1);
    AppendBytes(out, player.szInfo, strnlen(player.szInfo, sizeof player.szInfo - 1) + 1);
    out.resize(start + kSnapshotSlotSize, 0);
}

} // namespace

LobbyServer::LobbyServer(SendFunction send, ReportFunction report, TickFunction tick)
    : m_send(std::move(send)), m_report(std::move(report)), m_tick(std::move(tick)) {
    m_players.fill(EmptyPlayerInfo());
    m_playerSlots.reserve(maxPlayers);
    m_groupSlots.reserve(maxGroups);
    m_members.reserve(maxGroups);
}

int LobbyServer::HandleApplicationMessage(const BYTE* buffer, DWORD size, DPID idFrom, DPID idMe) {
    const auto message = NetMessage::Parse(buffer, size);
    if (!message) {
        DebugLine("HandleApplicationMessage: %d bytes from player ID=%d are no message, dropped\n",
                  static_cast<int>(size), static_cast<int>(idFrom));
        return 0;
    }
    return Route(*message, idFrom, idMe);
}

int LobbyServer::Route(const NetMessage& message, DPID idFrom, DPID idMe) {
    // A client speaks for itself only: a message in another player's name is neither
    // stored, reported nor forwarded.
    if (message.IdFrom() != idFrom) {
        DebugLine("HandleApplicationMessage: cmd %u in the name of player ID=%d sent by player "
                  "ID=%d, dropped\n",
                  message.Cmd(), static_cast<int>(message.IdFrom()), static_cast<int>(idFrom));
        if (IsLogin(message)) {
            ReplyText(idMe, idFrom, cmdRefused, kLoginNotYours);
        }
        return 1;
    }
    if (message.Cmd() == cmdSetState) {
        StoreState(message, idFrom, idMe);
    }
    switch (message.Type()) {
    case msgToAll:
        for (const PlayerInfo& player : Players()) {
            if (player.idPlayer != idFrom) {
                Forward(message, idMe, player.idPlayer);
            }
        }
        break;
    case msgToServer:
        if (message.Cmd() == cmdLogin) {
            Login(message, idFrom, idMe);
        } else if (message.Cmd() == cmdToServer) {
            m_report(message, idFrom, idMe);
        }
        break;
    case msgToPlayer:
        ForwardToPlayer(message, idFrom, idMe);
        break;
    case msgToGroup: {
        const auto idGroup = static_cast<INT>(message.IdTo());
        for (const DPID idMember : Members(idGroup)) {
            if (idMember != idFrom) {
                Forward(message, idMe, idMember);
            }
        }
        char text[32];
        std::snprintf(text, sizeof text, "msgToGroup %d ", idGroup);
        Text(text, idFrom, idMe);
        break;
    }
    default:
        break;
    }
    return 1;
}

void LobbyServer::ForwardToPlayer(const NetMessage& message, DPID idFrom, DPID idMe) {
    // One player of the lobby or nobody: 0 would reach the whole session, the server's own
    // id would come back to the server without end.
    const DPID idTo = message.IdTo();
    if (idTo == 0 || idTo == idMe || FindPlayer(idTo) == nullptr) {
        DebugLine("msgToPlayer: player ID=%d is no player of the lobby, message of player ID=%d "
                  "dropped\n",
                  static_cast<int>(idTo), static_cast<int>(idFrom));
        return;
    }
    m_send(idMe, idTo, message, sendFlags);
    Text("msgToPlayer", idFrom, idMe);
}

void LobbyServer::StoreState(const NetMessage& message, DPID idFrom, DPID idMe) {
    const PlayerInfo* sender = FindPlayer(idFrom);
    GroupRecord* group = sender != nullptr ? EditGroup(sender->idGroup) : nullptr;
    if (group == nullptr) {
        DebugLine("poolSetState: can't find appropriate group\n");
        return;
    }
    if (message.DataSize() != 0) {
        // The group keeps a copy of exactly the size received, whatever it held before.
        auto state = std::make_unique<BYTE[]>(message.DataSize());
        std::memcpy(state.get(), message.Data(), message.DataSize());
        group->pState = std::move(state);
        group->nStateSize = message.DataSize();
    }
    m_report(message, idFrom, idMe);
}

void LobbyServer::Login(const NetMessage& message, DPID idFrom, DPID idMe) {
    if (message.DataSize() < sizeof(LoginRecord)) {
        DebugLine("Login: %d bytes from player ID=%d are no login record, refused\n",
                  static_cast<int>(message.DataSize()), static_cast<int>(idFrom));
        ReplyText(idMe, idFrom, cmdRefused, kLoginIncomplete);
        return;
    }
    const auto login = ReadRecord<LoginRecord>(message.Data());
    // A client logs in for itself only: a seat taken under another player's id would
    // overwrite that player's slot and send its replies elsewhere.
    if (login.player.idPlayer != idFrom) {
        DebugLine("Login: player ID=%d sent by player ID=%d, refused\n",
                  static_cast<int>(login.player.idPlayer), static_cast<int>(idFrom));
        ReplyText(idMe, idFrom, cmdRefused, kLoginNotYours);
        return;
    }
    // A seated player that logged in again would leave its old group behind without a stop
    // and, group after group, fill the group table with groups nobody belongs to.
    if (FindPlayer(idFrom) != nullptr) {
        DebugLine("Login: player ID=%d is logged in already, refused\n", static_cast<int>(idFrom));
        ReplyText(idMe, idFrom, cmdRefused, kLoginRepeated);
        return;
    }
    const PlayerInfo record = CopyPlayerInfo(login.player);
    char text[256];
    std::snprintf(text, sizeof text, "Login ''%s'' as %s to group %d, player ID=%d", record.szName,
                  RoleWord(record.dwFlags), record.idGroup, static_cast<int>(record.idPlayer));
    Text(text, idFrom, idMe);

    if (record.dwFlags == roleSpectator) {
        LoginSpectator(idMe, record);
        return;
    }
    const int competitors = CountCompetitors(record.idGroup);
    if (const GroupRecord* group = FindGroup(record.idGroup);
        group != nullptr && (group->bStarted || competitors >= group->nMaxCompetitors)) {
        ReplyText(idMe, record.idPlayer, cmdRefused,
                  "Sorry, we have all competitors already.\nTry other group please.");
        return;
    }
    AddPlayer(record);
    if (GroupRecord* group = EditGroup(record.idGroup)) {
        group->gameInfo = CopyGameInfo(login.game);
    }
    StartGroupGame(idMe, record);
    m_report(message, idFrom, idMe);
}

void LobbyServer::LoginSpectator(DPID idMe, const PlayerInfo& record) {
    const int competitors = CountCompetitors(record.idGroup);
    const GroupRecord* group = FindGroup(record.idGroup);
    if (group == nullptr || !group->bStarted || competitors < group->nMaxCompetitors) {
        ReplyText(idMe, record.idPlayer, cmdRefused,
                  "This session not started yet.\nRepeat your attempt some later.");
        return;
    }
    AddPlayer(record);
    const std::vector<BYTE> snapshot = Snapshot(*group);
    Reply(idMe, record.idPlayer, cmdSpectatorSnapshot, snapshot.data(),
          static_cast<UINT>(snapshot.size()));
}

std::vector<BYTE> LobbyServer::Snapshot(const GroupRecord& group) const {
    std::vector<BYTE> snapshot;
    snapshot.reserve(kSnapshotSlotsSize + 4 + group.nStateSize);
    // Two slots whatever the table holds: the snapshot's size depends on its state alone.
    int slots = 0;
    for (const DPID idMember : Members(group.idGroup)) {
        if (slots == kSnapshotSlots) {
            break;
        }
        if (const PlayerInfo& player = *FindPlayer(idMember); IsCompetitor(player)) {
            DebugLine("CVornLANNetwork::LoginSpectator() : add client %s data\n", player.szName);
            AppendDword(snapshot, kSnapshotSlotSize);
            AppendPackedCompetitor(snapshot, player);
            ++slots;
        }
    }
    snapshot.resize(kSnapshotSlotsSize, 0);
    AppendDword(snapshot, group.nStateSize);
    AppendBytes(snapshot, group.pState.get(), group.nStateSize);
    return snapshot;
}

void LobbyServer::StartGroupGame(DPID idMe, const PlayerInfo& record) {
    if (record.dwFlags == roleSpectator) {
        return;
    }
    GroupRecord* group = EditGroup(record.idGroup);
    if (group == nullptr || group->bStarted ||
        CountCompetitors(record.idGroup) < group->nMaxCompetitors) {
        return;
    }
    const DWORD seed = m_tick();
    const DWORD pick = seed % static_cast<DWORD>(group->nMaxCompetitors);
    DWORD k = 0;
    for (const DPID idMember : Members(group->idGroup)) {
        const PlayerInfo& player = *FindPlayer(idMember);
        BYTE role = 2;
        if (player.dwFlags != roleSpectator) {
            role = k == pick ? 0 : 1;
            ++k;
        }
        BYTE payload[5];
        std::memcpy(payload, &seed, sizeof seed);
        payload[4] = role;
        Reply(idMe, player.idPlayer, cmdStart, payload, sizeof payload);
    }
    group->bStarted = true;
}

bool LobbyServer::HandleDepartedPlayer(DPID idPlayer, DPID idFrom, DPID idMe) {
    const PlayerInfo* player = FindPlayer(idPlayer);
    if (player == nullptr) {
        return false;
    }
    // The slot is reused by the players that move down: what follows works on a copy.
    const PlayerInfo removed = *player;
    char text[256];
    std::snprintf(text, sizeof text, "Remove %s ''%s'' from group %d, player ID = %d",
                  RoleWord(removed.dwFlags), removed.szName, removed.idGroup,
                  static_cast<int>(removed.idPlayer));
    OutputDebugStringA(text);
    Text(text, idFrom, idMe);
    RemovePlayer(removed);
    StopGroupGame(idMe, removed);
    return true;
}

void LobbyServer::StopGroupGame(DPID idMe, const PlayerInfo& record) {
    if (record.dwFlags == roleSpectator) {
        return;
    }
    GroupRecord* group = EditGroup(record.idGroup);
    if (group == nullptr || !group->bStarted ||
        CountCompetitors(record.idGroup) >= group->nMaxCompetitors) {
        return;
    }
    for (const DPID idMember : Members(group->idGroup)) {
        Reply(idMe, idMember, cmdStop, nullptr, 0);
    }
    group->bStarted = false;
}

bool LobbyServer::AddPlayer(const PlayerInfo& record) {
    const std::size_t slot = PlayerSlot(record.idPlayer);
    if (slot < m_nPlayers) {
        if (const INT idOldGroup = m_players[slot].idGroup; idOldGroup != record.idGroup) {
            UnlistMember(idOldGroup, record.idPlayer);
            ListMember(record.idGroup, record.idPlayer, slot);
        }
        m_players[slot] = CopyPlayerInfo(record);
        return true;
    }
    if (m_nPlayers == maxPlayers) {
        return false;
    }
    m_players[m_nPlayers] = CopyPlayerInfo(record);
    m_playerSlots.emplace(record.idPlayer, m_nPlayers);
    ListMember(record.idGroup, record.idPlayer, m_nPlayers);
    ++m_nPlayers;
    AddGroup(record.idGroup);
    return true;
}

void LobbyServer::RemovePlayer(const PlayerInfo& record) {
    const auto found = m_playerSlots.find(record.idPlayer);
    if (found == m_playerSlots.end()) {
        return;
    }
    const std::size_t slot = found->second;
    m_playerSlots.erase(found);
    UnlistMember(m_players[slot].idGroup, record.idPlayer);
    std::move(m_players.begin() + slot + 1, m_players.begin() + m_nPlayers,
              m_players.begin() + slot);
    m_players[--m_nPlayers] = EmptyPlayerInfo();
    for (std::size_t moved = slot; moved < m_nPlayers; ++moved) {
        m_playerSlots[m_players[moved].idPlayer] = moved;
    }
    if (Members(record.idGroup).empty()) {
        RemoveGroup(record.idGroup);
    }
}

bool LobbyServer::AddGroup(INT idGroup) {
    if (m_nGroups == maxGroups) {
        return false;
    }
    if (m_groupSlots.emplace(idGroup, m_nGroups).second) {
        m_groups[m_nGroups] = GroupRecord{};
        m_groups[m_nGroups++].idGroup = idGroup;
    }
    return true;
}

void LobbyServer::RemoveGroup(INT idGroup) {
    const auto found = m_groupSlots.find(idGroup);
    if (found == m_groupSlots.end()) {
        return;
    }
    const std::size_t slot = found->second;
    m_groupSlots.erase(found);
    // Moving the following slots down frees the removed group's state.
    std::move(m_groups.begin() + slot + 1, m_groups.begin() + m_nGroups, m_groups.begin() + slot);
    m_groups[--m_nGroups] = GroupRecord{};
    for (std::size_t moved = slot; moved < m_nGroups; ++moved) {
        m_groupSlots[m_groups[moved].idGroup] = moved;
    }
}

int LobbyServer::CountCompetitors(INT idGroup) const {
    const auto members = Members(idGroup);
    return static_cast<int>(std::count_if(members.begin(), members.end(), [this](DPID idMember) {
        return IsCompetitor(*FindPlayer(idMember));
    }));
}

std::span<const DPID> LobbyServer::Members(INT idGroup) const {
    const auto found = m_members.find(idGroup);
    return found != m_members.end() ? std::span<const DPID>(found->second)
                                    : std::span<const DPID>();
}

void LobbyServer::ListMember(INT idGroup, DPID idPlayer, std::size_t slot) {
    std::vector<DPID>& members = m_members[idGroup];
    // Players are mostly appended to the table: their place is then at the end.
    const auto place = std::find_if(members.begin(), members.end(), [this, slot](DPID idMember) {
        return PlayerSlot(idMember) > slot;
    });
    members.insert(place, idPlayer);
}

void LobbyServer::UnlistMember(INT idGroup, DPID idPlayer) {
    const auto found = m_members.find(idGroup);
    if (found == m_members.end()) {
        return;
    }
    std::erase(found->second, idPlayer);
    if (found->second.empty()) {
        m_members.erase(found);
    }
}

std::size_t LobbyServer::PlayerSlot(DPID idPlayer) const {
    const auto found = m_playerSlots.find(idPlayer);
    return found != m_playerSlots.end() ? found->second : m_nPlayers;
}

std::size_t LobbyServer::GroupSlot(INT idGroup) const {
    const auto found = m_groupSlots.find(idGroup);
    return found != m_groupSlots.end() ? found->second : m_nGroups;
}

const PlayerInfo* LobbyServer::FindPlayer(DPID idPlayer) const {
    const std::size_t slot = PlayerSlot(idPlayer);
    return slot < m_nPlayers ? &m_players[slot] : nullptr;
}

const GroupRecord* LobbyServer::FindGroup(INT idGroup) const {
    const std::size_t slot = GroupSlot(idGroup);
    return slot < m_nGroups ? &m_groups[slot] : nullptr;
}

GroupRecord* LobbyServer::EditGroup(INT idGroup) {
    const std::size_t slot = GroupSlot(idGroup);
    return slot < m_nGroups ? &m_groups[slot] : nullptr;
}

void LobbyServer::Forward(const NetMessage& message, DPID idMe, DPID idTarget) {
    // Failed forwards are not retried: the sender learns nothing of them. The server never
    // forwards to itself.
    if (idTarget != idMe) {
        m_send(idMe, idTarget, message, sendFlags);
    }
}

void LobbyServer::Reply(DPID idMe, DPID idTo, UINT cmd, const void* pData, UINT nDataSize) {
    m_send(idMe, idTo, NetMessage(cmd, msgToPlayer, idMe, idTo, pData, nDataSize), sendFlags);
}

void LobbyServer::ReplyText(DPID idMe, DPID idTo, UINT cmd, const char* text) {
    Reply(idMe, idTo, cmd, text, static_cast<UINT>(std::strlen(text) + 1));
}

void LobbyServer::Text(const char* text, DPID idFrom, DPID idMe) {
    m_report(NetMessage(cmdText, msgToServer, idFrom, idMe, text,
                        static_cast<UINT>(std::strlen(text) + 1)),
             idFrom, idMe);
}
