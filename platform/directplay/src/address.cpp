#include "address.h"

#include <cstring>

namespace directplay {

std::vector<BYTE> BuildAddress(std::span<const AddressElement> elements) {
    std::vector<BYTE> bytes;
    auto append = [&bytes](const GUID& type, const void* data, DWORD size) {
        const DPADDRESS header{type, size};
        const auto* raw = reinterpret_cast<const BYTE*>(&header);
        bytes.insert(bytes.end(), raw, raw + sizeof header);
        const auto* content = static_cast<const BYTE*>(data);
        bytes.insert(bytes.end(), content, content + size);
    };
    DWORD total = sizeof(DPADDRESS) + sizeof(DWORD);
    for (const AddressElement& element : elements) {
        total += static_cast<DWORD>(sizeof(DPADDRESS) + element.data.size());
    }
    append(DPAID_TotalSize, &total, sizeof total);
    for (const AddressElement& element : elements) {
        append(element.type, element.data.data(), static_cast<DWORD>(element.data.size()));
    }
    return bytes;
}

HRESULT ForEachAddressElement(const void* address, DWORD size, const AddressVisitor& visit) {
    if (address == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    const auto* bytes = static_cast<const BYTE*>(address);
    DWORD offset = 0;
    // Validate the whole chain before the first callback.
    while (offset < size) {
        DPADDRESS header;
        if (size - offset < sizeof header) {
            return DPERR_INVALIDPARAMS;
        }
        std::memcpy(&header, bytes + offset, sizeof header);
        if (size - offset - sizeof header < header.dwDataSize) {
            return DPERR_INVALIDPARAMS;
        }
        offset += sizeof header + header.dwDataSize;
    }
    for (offset = 0; offset < size;) {
        DPADDRESS header;
        std::memcpy(&header, bytes + offset, sizeof header);
        if (!visit(header.guidDataType, header.dwDataSize, bytes + offset + sizeof header)) {
            break;
        }
        offset += sizeof header + header.dwDataSize;
    }
    return DP_OK;
}

DWORD AddressTotalSize(const void* address) {
    if (address == nullptr) {
        return 0;
    }
    DPADDRESS header;
    std::memcpy(&header, address, sizeof header);
    if (header.guidDataType != DPAID_TotalSize || header.dwDataSize != sizeof(DWORD)) {
        return 0;
    }
    DWORD total;
    std::memcpy(&total, static_cast<const BYTE*>(address) + sizeof header, sizeof total);
    return total;
}

HRESULT CopyToCaller(std::span<const BYTE> bytes, void* buffer, DWORD* size) {
    if (size == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return DPERR_BUFFERTOOSMALL;
    }
    std::memcpy(buffer, bytes.data(), needed);
    *size = needed;
    return DP_OK;
}

AddressElement ProviderElement(const GUID& provider) {
    const auto* raw = reinterpret_cast<const BYTE*>(&provider);
    return {DPAID_ServiceProvider, {raw, raw + sizeof provider}};
}

AddressElement TextElement(const GUID& type, const std::string& text) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    return {type, std::move(data)};
}

} // namespace directplay
