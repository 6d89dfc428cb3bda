#include "wire.h"

#include <cstring>

namespace directplay {

Writer::Writer(PacketKind kind) {
    U32(kWireMagic);
    U8(static_cast<std::uint8_t>(kind));
}

Writer& Writer::U8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
}

Writer& Writer::U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return *this;
}

Writer& Writer::Guid(const GUID& value) {
    U32(value.Data1);
    U32(value.Data2 | static_cast<std::uint32_t>(value.Data3) << 16);
    return Bytes(value.Data4);
}

Writer& Writer::Text(const std::string& value) {
    U32(static_cast<std::uint32_t>(value.size()));
    return Bytes({reinterpret_cast<const std::uint8_t*>(value.data()), value.size()});
}

Writer& Writer::Bytes(std::span<const std::uint8_t> value) {
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    return *this;
}

Reader::Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
    if (U32() != kWireMagic) {
        ok_ = false;
    }
    kind_ = static_cast<PacketKind>(U8());
}

std::span<const std::uint8_t> Reader::Take(std::size_t count) {
    if (!ok_ || bytes_.size() < count) {
        ok_ = false;
        return {};
    }
    auto taken = bytes_.first(count);
    bytes_ = bytes_.subspan(count);
    return taken;
}

std::uint8_t Reader::U8() {
    auto taken = Take(1);
    return taken.empty() ? 0 : taken[0];
}

std::uint32_t Reader::U32() {
    auto taken = Take(4);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < taken.size(); ++i) {
        value |= static_cast<std::uint32_t>(taken[i]) << (8 * i);
    }
    return value;
}

GUID Reader::Guid() {
    GUID value{};
    value.Data1 = U32();
    const std::uint32_t middle = U32();
    value.Data2 = static_cast<USHORT>(middle);
    value.Data3 = static_cast<USHORT>(middle >> 16);
    auto tail = Take(8);
    if (!tail.empty()) {
        std::memcpy(value.Data4, tail.data(), 8);
    }
    return value;
}

std::string Reader::Text() {
    const std::uint32_t size = U32();
    if (size > kMaxNameSize) {
        ok_ = false;
    }
    auto taken = Take(size);
    return {taken.begin(), taken.end()};
}

std::span<const std::uint8_t> Reader::Rest() {
    if (bytes_.size() > kMaxMessageSize) {
        ok_ = false;
    }
    return Take(bytes_.size());
}

} // namespace directplay
