// The fixed-layout records that the game, the component and the network exchange:
// packed, little-endian, with fixed-size NUL-terminated ANSI texts.
#pragma once

#include "windows.h"

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

struct GameInfo {
    char szName[128];
    char szAddresses[256];
    DWORD dwUser[5];
};
static_assert(sizeof(GameInfo) == 404);

struct LoginRecord {
    PlayerInfo player;
    GameInfo game;
};
static_assert(sizeof(LoginRecord) == 676);

#pragma pack(pop)

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
