// The lobby server: the tables of logged-in players and of groups (pool tables), and what
// the server does with the messages its clients send and with players that leave. It needs
// the network only to send, so it runs on received buffers and any send function.
#pragma once

#include "netmessage.h"
#include "records.h"

#include <array>
#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

using DPID = DWORD;

class LobbyServer {
public:
    static constexpr int maxPlayers = 1024;
    static constexpr int maxGroups = 1024;
    // Flags of every forward and reply: guaranteed, asynchronous.
    static constexpr DWORD sendFlags = 0x201;
    // Sends a message on behalf of the DirectPlay player idFrom to the player idTarget.
    using SendFunction =
        std::function<HRESULT(DPID idFrom, DPID idTarget, const NetMessage& message, DWORD flags)>;
    // Hands a message to the server's own game, with the DirectPlay sender and receiver.
    using ReportFunction = std::function<void(const NetMessage& message, DPID idFrom, DPID idTo)>;
    // The source of a started game's seed.
    using TickFunction = std::function<DWORD()>;

    LobbyServer(SendFunction send, ReportFunction report, TickFunction tick);

    // A received application message: parsed and routed. 0 when it is too short to parse.
    int HandleApplicationMessage(const BYTE* buffer, DWORD size, DPID idFrom, DPID idMe);
    // DirectPlay destroyed the player idPlayer. True when it was in the table and has been
    // removed; false leaves the departure to the caller.
    bool HandleDepartedPlayer(DPID idPlayer, DPID idFrom, DPID idMe);

    // Table operations.
    bool AddPlayer(const PlayerInfo& record);
    void RemovePlayer(const PlayerInfo& record);
    bool AddGroup(INT idGroup);
    void RemoveGroup(INT idGroup);
    int CountCompetitors(INT idGroup) const;

    // The used slots, in table order.
    std::span<const PlayerInfo> Players() const { return {m_players.data(), m_nPlayers}; }
    std::span<const GroupRecord> Groups() const { return {m_groups.data(), m_nGroups}; }
    const PlayerInfo* FindPlayer(DPID idPlayer) const;
    const GroupRecord* FindGroup(INT idGroup) const;
    // The ids of the seated players whose idGroup is idGroup, in table order (whether or not
    // the group table holds that group).
    std::span<const DPID> Members(INT idGroup) const;

private:
    GroupRecord* EditGroup(INT idGroup);
    std::size_t PlayerSlot(DPID idPlayer) const;
    std::size_t GroupSlot(INT idGroup) const;
    // Lists idPlayer, seated at `slot`, among the members of idGroup, in table order.
    void ListMember(INT idGroup, DPID idPlayer, std::size_t slot);
    void UnlistMember(INT idGroup, DPID idPlayer);

    int Route(const NetMessage& message, DPID idFrom, DPID idMe);
    void Login(const NetMessage& message, DPID idFrom, DPID idMe);
    void LoginSpectator(DPID idMe, const PlayerInfo& record);
    void StartGroupGame(DPID idMe, const PlayerInfo& record);
    void StopGroupGame(DPID idMe, const PlayerInfo& record);
    void ForwardToPlayer(const NetMessage& message, DPID idFrom, DPID idMe);
    void StoreState(const NetMessage& message, DPID idFrom, DPID idMe);
    std::vector<BYTE> Snapshot(const GroupRecord& group) const;

    // Sends the message on to idTarget, unless that is the server itself.
    void Forward(const NetMessage& message, DPID idMe, DPID idTarget);
    void Reply(DPID idMe, DPID idTo, UINT cmd, const void* pData, UINT nDataSize);
    void ReplyText(DPID idMe, DPID idTo, UINT cmd, const char* text);
    void Text(const char* text, DPID idFrom, DPID idMe);

    SendFunction m_send;
    ReportFunction m_report;
    TickFunction m_tick;
    std::array<PlayerInfo, maxPlayers> m_players;
    std::size_t m_nPlayers = 0;
    std::array<GroupRecord, maxGroups> m_groups;
    std::size_t m_nGroups = 0;
    // Indexes of the tables, kept by the operations that add and remove their entries:
    // slot of each seated player, slot of each group, members of each group number.
    std::unordered_map<DPID, std::size_t> m_playerSlots;
    std::unordered_map<INT, std::size_t> m_groupSlots;
    std::unordered_map<INT, std::vector<DPID>> m_members;
};
