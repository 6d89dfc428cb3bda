#include "win32/extensions.h"
#include "windows.h"

namespace {

constexpr WORD binaryValue = 0;
constexpr WORD textValue = 1;

// One node of a VS_VERSIONINFO tree: wLength, wValueLength, wType, the key in UTF-16,
// the value and the children, each aligned to 4 bytes.
struct VersionNode {
    std::string key;
    std::vector<BYTE> value;
    WORD valueLength = 0; // in bytes for binary values, in characters for text
    WORD type = textValue;
    std::vector<VersionNode> children;
};

void PutWord(std::vector<BYTE>& out, WORD value) {
    out.push_back(static_cast<BYTE>(value & 0xFF));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD value) {
    PutWord(out, static_cast<WORD>(value & 0xFFFF));
    PutWord(out, static_cast<WORD>(value >> 16));
}

// Latin-1 text to UTF-16 with its terminator.
std::vector<BYTE> Utf16(const std::string& text) {
    std::vector<BYTE> out;
    for (unsigned char c : text) {
        PutWord(out, c);
    }
    PutWord(out, 0);
    return out;
}

void Align(std::vector<BYTE>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

void Write(std::vector<BYTE>& out, const VersionNode& node) {
    Align(out);
    const size_t start = out.size();
    PutWord(out, 0); // wLength, patched below
    PutWord(out, node.valueLength);
    PutWord(out, node.type);
    const std::vector<BYTE> key = Utf16(node.key);
    out.insert(out.end(), key.begin(), key.end());
    Align(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        Write(out, child);
    }
    const auto length = static_cast<WORD>(out.size() - start);
    out[start] = static_cast<BYTE>(length & 0xFF);
    out[start + 1] = static_cast<BYTE>(length >> 8);
}

} // namespace

namespace win32 {

std::vector<BYTE> BuildVersionResource(DWORD fileVersionMS, DWORD fileVersionLS,
                                       const std::vector<VersionString>& strings) {
    VersionNode root{"VS_VERSION_INFO", {}, 52, binaryValue, {}};
    for (DWORD field :
         {0xFEEF04BDu, 0x00010000u, fileVersionMS, fileVersionLS, fileVersionMS, fileVersionLS,
          0x3Fu, 0u, 0x00040004u /* VOS_NT_WINDOWS32 */, 0x2u /* VFT_DLL */, 0u, 0u, 0u}) {
        PutDword(root.value, field);
    }
    VersionNode table{"040904B0", {}, 0, textValue, {}};
    for (const VersionString& entry : strings) {
        VersionNode text{entry.key,
                         Utf16(entry.value),
                         static_cast<WORD>(entry.value.size() + 1),
                         textValue,
                         {}};
        table.children.push_back(std::move(text));
    }
    root.children.push_back(VersionNode{"StringFileInfo", {}, 0, textValue, {std::move(table)}});
    VersionNode translation{"Translation", {}, 4, binaryValue, {}};
    PutWord(translation.value, 0x0409);
    PutWord(translation.value, 0x04B0);
    root.children.push_back(VersionNode{"VarFileInfo", {}, 0, textValue, {std::move(translation)}});

    std::vector<BYTE> out;
    Write(out, root);
    return out;
}

} // namespace win32
