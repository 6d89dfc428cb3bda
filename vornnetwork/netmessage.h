// NetMessage: everything the game and the component exchange over the network, a 17-byte
// header followed by an opaque payload, carried as one DirectPlay application message.
#pragma once

#include "windows.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// Routing types: where the lobby server sends a message.
enum NetMessageType : BYTE {
    msgToAll = 0,    // every player known to the lobby server except the sender
    msgToServer = 1, // the lobby server itself
    msgToPlayer = 2, // the player named by idTo
    msgToGroup = 3,  // every member of group idTo except the sender
};

// Command codes the component produces or interprets; every other value is the game's own.
enum NetCommand : UINT {
    cmdStart = 1,
    cmdStop = 2,
    cmdSessionLost = 3,
    cmdLogin = 4,
    cmdText = 5,
    cmdRefused = 7,
    cmdSetState = 8,
    cmdSpectatorSnapshot = 9,
    cmdToServer = 10,
    cmdBusy = 11,
};

// Commands of the voice chat, handed to the voice chat handler instead of the window.
constexpr UINT cmdVoiceChatFirst = 150;
constexpr UINT cmdVoiceChatLast = 159;

constexpr bool IsVoiceChatCommand(UINT cmd) {
    return cmd >= cmdVoiceChatFirst && cmd <= cmdVoiceChatLast;
}

#pragma pack(push, 1)
struct NetMessageHeader {
    UINT cmd;
    BYTE type;
    DWORD idFrom;
    DWORD idTo;
    DWORD nDataSize;
};
#pragma pack(pop)
static_assert(sizeof(NetMessageHeader) == 17);
static_assert(offsetof(NetMessageHeader, type) == 4 && offsetof(NetMessageHeader, idFrom) == 5 &&
              offsetof(NetMessageHeader, idTo) == 9 && offsetof(NetMessageHeader, nDataSize) == 13);

class NetMessage {
public:
    static constexpr std::size_t headerSize = sizeof(NetMessageHeader);

    // The message that nothing was parsed into: cmd 0, msgToPlayer, zero ids, no payload.
    NetMessage() = default;
    // Without data (pData NULL or nDataSize 0) the message has no payload.
    NetMessage(UINT cmd, BYTE type, DWORD idFrom, DWORD idTo, const void* pData, UINT nDataSize);

    // Reads a received buffer; nothing when it is shorter than the header or than the
    // header and the payload it announces.
    static std::optional<NetMessage> Parse(const BYTE* buffer, std::size_t size);

    UINT Cmd() const { return header_.cmd; }
    BYTE Type() const { return header_.type; }
    DWORD IdFrom() const { return header_.idFrom; }
    DWORD IdTo() const { return header_.idTo; }
    DWORD DataSize() const { return header_.nDataSize; }
    const BYTE* Data() const { return payload_.empty() ? nullptr : payload_.data(); }

    // Length in wire form: the header and the payload.
    std::size_t WireSize() const { return headerSize + payload_.size(); }
    // Writes the wire form into `out`, which holds WireSize() bytes.
    void Serialise(BYTE* out) const;
    std::vector<BYTE> Serialise() const;

private:
    NetMessageHeader header_{0, msgToPlayer, 0, 0, 0};
    std::vector<BYTE> payload_;
};

// The wire form of one message for as long as a send or a post needs it: inside the object
// when the message is small, as most are, on the heap otherwise.
class WireForm {
public:
    explicit WireForm(const NetMessage& message);
    WireForm(const WireForm&) = delete;
    WireForm& operator=(const WireForm&) = delete;

    // Null when a large message found no room on the heap.
    BYTE* Data() { return data_; }
    std::size_t Size() const { return size_; }

private:
    static constexpr std::size_t inlineSize = 256;
    std::array<BYTE, inlineSize> inline_;
    std::unique_ptr<BYTE[]> heap_;
    std::size_t size_;
    BYTE* data_ = nullptr;
};
