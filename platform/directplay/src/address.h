// DirectPlay addresses: a DPAID_TotalSize chunk followed by DPADDRESS chunks and their data.
#pragma once

#include "dplobby.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace directplay {

struct AddressElement {
    GUID type;
    std::vector<BYTE> data;
};

std::vector<BYTE> BuildAddress(std::span<const AddressElement> elements);

// Calls `visit` for every chunk, the total size first, until it returns false.
// DPERR_INVALIDPARAMS when the chunks do not fill the address exactly.
using AddressVisitor = std::function<bool(const GUID& type, DWORD size, const void* data)>;
HRESULT ForEachAddressElement(const void* address, DWORD size, const AddressVisitor& visit);

// The size that an address records in its leading DPAID_TotalSize chunk; 0 when it has none.
DWORD AddressTotalSize(const void* address);

// Copies `bytes` to the caller's buffer, or reports the size it needs.
HRESULT CopyToCaller(std::span<const BYTE> bytes, void* buffer, DWORD* size);

AddressElement ProviderElement(const GUID& provider);
AddressElement TextElement(const GUID& type, const std::string& text);

} // namespace directplay
