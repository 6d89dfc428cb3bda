// The stand-in's own packets: packed, little-endian, fixed layouts.
#pragma once

#include "directplay/environment.h"
#include "guiddef.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace directplay {

inline constexpr std::uint32_t kWireMagic = 0x4C504456; // "VDPL"

enum class PacketKind : std::uint8_t {
    EnumQuery = 1,  // provider, application GUID
    EnumAnswer,     // provider, session summary, ENet port
    Join,           // session instance GUID
    Welcome,        // session flags
    Refused,        // HRESULT
    CreatePlayer,   // request id, flags, short name, long name
    PlayerCreated,  // request id, HRESULT, DPID
    PlayerAdded,    // DPID, flags, short name, long name, current players
    DestroyPlayer,  // DPID
    PlayerRemoved,  // DPID, flags, short name, long name
    Data,           // from, to, payload
    EnumRegister,   // (no fields) a host of this machine asks the port's owner for queries
    EnumUnregister, // (no fields) it no longer does
    EnumRelay,      // querier's IPv4 address and port, the query
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

// Reads fields in order; any read past the end, or a text longer than kMaxNameSize, marks
// the packet as malformed and yields zeros, so a handler checks Complete() once after
// reading everything.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes);
    bool Ok() const { return ok_; }
    // Every field was there and nothing follows the last one.
    bool Complete() const { return ok_ && bytes_.empty(); }
    PacketKind Kind() const { return kind_; }
    std::uint8_t U8();
    std::uint32_t U32();
    GUID Guid();
    std::string Text();
    // The remaining bytes: a message's payload, of at most kMaxMessageSize.
    std::span<const std::uint8_t> Rest();

private:
    std::span<const std::uint8_t> Take(std::size_t count);
    std::span<const std::uint8_t> bytes_;
    PacketKind kind_{};
    bool ok_ = true;
};

} // namespace directplay
