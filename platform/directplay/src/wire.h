// The stand-in's own packets: packed, little-endian, fixed layouts.
#pragma once

#include "guiddef.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace directplay {

inline constexpr std::uint32_t kWireMagic = 0x4C504456; // "VDPL"

enum class PacketKind : std::uint8_t {
    EnumQuery = 1, // provider, application GUID
    EnumAnswer,    // provider, session summary, ENet port
    Join,          // session instance GUID
    Welcome,       // session flags
    Refused,       // HRESULT
    CreatePlayer,  // request id, flags, short name, long name
    PlayerCreated, // request id, HRESULT, DPID
    PlayerAdded,   // DPID, flags, short name, long name, current players
    DestroyPlayer, // DPID
    PlayerRemoved, // DPID, flags, short name, long name
    Data,          // from, to, payload
};

class Writer {
public:
    explicit Writer(PacketKind kind);
    Writer& U8(std::uint8_t value);
    Writer& U32(std::uint32_t value);
    Writer& Guid(const GUID& value);
    Writer& Text(const std::string& value);
    Writer& Bytes(std::span<const std::uint8_t> value);
    const std::vector<std::uint8_t>& Result() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads fields in order; any read past the end marks the packet as malformed and
// yields zeros, so a handler checks Ok() once after reading everything.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes);
    bool Ok() const { return ok_; }
    PacketKind Kind() const { return kind_; }
    std::uint8_t U8();
    std::uint32_t U32();
    GUID Guid();
    std::string Text();
    std::span<const std::uint8_t> Rest();

private:
    std::span<const std::uint8_t> Take(std::size_t count);
    std::span<const std::uint8_t> bytes_;
    PacketKind kind_{};
    bool ok_ = true;
};

} // namespace directplay
