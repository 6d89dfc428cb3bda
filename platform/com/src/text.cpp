#include "com/text.h"

#include "windows.h"

#include <cstdio>

namespace com {

std::u16string Widen(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text) {
        wide.push_back(c);
    }
    return wide;
}

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) {
        narrow.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

std::string GuidToString(const GUID& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

std::optional<GUID> GuidFromString(std::string_view text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, dashes at fixed places.
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
        return std::nullopt;
    }
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    BYTE bytes[16];
    size_t position = 1;
    for (int i = 0; i < 16; ++i) {
        if (position == 9 || position == 14 || position == 19 || position == 24) {
            if (text[position] != '-') {
                return std::nullopt;
            }
            ++position;
        }
        const int high = digit(text[position]);
        const int low = digit(text[position + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[i] = static_cast<BYTE>(high * 16 + low);
        position += 2;
    }
    GUID guid{};
    guid.Data1 =
        (ULONG{bytes[0]} << 24) | (ULONG{bytes[1]} << 16) | (ULONG{bytes[2]} << 8) | bytes[3];
    guid.Data2 = static_cast<USHORT>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<USHORT>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = bytes[8 + i];
    }
    return guid;
}

} // namespace com
