#include "netmessage.h"

#include <bit>
#include <cstring>
#include <new>

// The header is copied as it lies in memory: the wire is little-endian.
static_assert(std::endian::native == std::endian::little);

NetMessage::NetMessage(UINT cmd, BYTE type, DWORD idFrom, DWORD idTo, const void* pData,
                       UINT nDataSize)
    : header_{cmd, type, idFrom, idTo, 0} {
    if (pData != nullptr && nDataSize != 0) {
        const auto* bytes = static_cast<const BYTE*>(pData);
        payload_.assign(bytes, bytes + nDataSize);
        header_.nDataSize = nDataSize;
    }
}

std::optional<NetMessage> NetMessage::Parse(const BYTE* buffer, std::size_t size) {
    if (buffer == nullptr || size < headerSize) {
        return std::nullopt;
    }
    NetMessage message;
    std::memcpy(&message.header_, buffer, headerSize);
    if (size - headerSize < message.header_.nDataSize) {
        return std::nullopt;
    }
    message.payload_.assign(buffer + headerSize, buffer + headerSize + message.header_.nDataSize);
    return message;
}

void NetMessage::Serialise(BYTE* out) const {
    std::memcpy(out, &header_, headerSize);
    if (!payload_.empty()) {
        std::memcpy(out + headerSize, payload_.data(), payload_.size());
    }
}

std::vector<BYTE> NetMessage::Serialise() const {
    std::vector<BYTE> bytes(WireSize());
    Serialise(bytes.data());
    return bytes;
}

WireForm::WireForm(const NetMessage& message) : size_(message.WireSize()) {
    if (size_ <= inlineSize) {
        data_ = inline_.data();
    } else {
        heap_.reset(new (std::nothrow) BYTE[size_]);
        data_ = heap_.get();
    }
    if (data_ != nullptr) {
        message.Serialise(data_);
    }
}
