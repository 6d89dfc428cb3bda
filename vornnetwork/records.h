// The fixed-layout records that the game, the component and the network exchange:
// packed, little-endian, with fixed-size NUL-terminated ANSI texts.
#pragma once

#include "windows.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>

#pragma pack(push, 1)

struct PlayerInfo {
    DWORD idPlayer;
    INT nUser;
    INT idGroup;
    DWORD dwFlags;
    char szName[128];
    char szInfo[128];
};
static_assert(sizeof(PlayerInfo) == 272);
static_assert(offsetof(PlayerInfo, dwFlags) == 12 && offsetof(PlayerInfo, szName) == 16 &&
              offsetof(PlayerInfo, szInfo) == 144);

struct GameInfo {
    char szName[128];
    char szAddresses[256];
    DWORD dwUser[5];
};
static_assert(sizeof(GameInfo) == 404);
static_assert(offsetof(GameInfo, szAddresses) == 128 && offsetof(GameInfo, dwUser) == 384);

struct LoginRecord {
    PlayerInfo player;
    GameInfo game;
};
static_assert(sizeof(LoginRecord) == 676);
static_assert(offsetof(LoginRecord, game) == 272);

#pragma pack(pop)

// The records are copied as they lie in memory: the wire is little-endian.
static_assert(std::endian::native == std::endian::little);

// Player roles, by PlayerInfo.dwFlags at Open.
constexpr DWORD roleCompetitor = 0;
constexpr DWORD roleHost = 0x100;
constexpr DWORD roleSpectator = 0x200;
constexpr DWORD roleLobbyServer = 0x300;

// A record read from, or written to, its wire form (sizeof(Record) bytes).
template <typename Record> Record ReadRecord(const BYTE* bytes) {
    Record record;
    std::memcpy(&record, bytes, sizeof record);
    return record;
}

template <typename Record> void WriteRecord(const Record& record, BYTE* bytes) {
    std::memcpy(bytes, &record, sizeof record);
}

// Copies a text field with at most N - 1 characters, terminated and zero-filled.
template <std::size_t N> void CopyText(char (&to)[N], const char (&from)[N]) {
    const std::size_t length = strnlen(from, N - 1);
    std::memcpy(to, from, length);
    std::memset(to + length, 0, N - length);
}

// The copy of a PlayerInfo that goes into a login or a table.
inline PlayerInfo CopyPlayerInfo(const PlayerInfo& from) {
    PlayerInfo to{from.idPlayer, from.nUser, from.idGroup, from.dwFlags, {}, {}};
    CopyText(to.szName, from.szName);
    CopyText(to.szInfo, from.szInfo);
    return to;
}

inline GameInfo CopyGameInfo(const GameInfo& from) {
    GameInfo to{};
    CopyText(to.szName, from.szName);
    CopyText(to.szAddresses, from.szAddresses);
    std::memcpy(to.dwUser, from.dwUser, sizeof to.dwUser);
    return to;
}

inline LoginRecord MakeLoginRecord(const PlayerInfo& player, const GameInfo& game) {
    return LoginRecord{CopyPlayerInfo(player), CopyGameInfo(game)};
}

// The empty PlayerInfo of a free table slot.
constexpr PlayerInfo EmptyPlayerInfo() {
    return PlayerInfo{static_cast<DWORD>(-1), -1, -1, 0, {}, {}};
}

// A group (pool table) as the lobby server keeps it.
struct GroupRecord {
    INT idGroup = -1;
    bool bStarted = false;
    INT nMaxCompetitors = 2;
    GameInfo gameInfo{};
    std::unique_ptr<BYTE[]> pState; // the last cmdSetState payload
    UINT nStateSize = 0;
};
