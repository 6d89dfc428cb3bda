#include "com/typelib_reader.h"

#include <stdexcept>

namespace com {

namespace {

constexpr LONG msftMagic = 0x5446534D;
constexpr int headerSize = 84;
constexpr int helpDllFlag = 0x100;
constexpr int typeInfoBaseSize = 0x64;
constexpr int importOffsetIsGuid = 0x00010000;
constexpr int maxTypeDepth = 16;

enum Segment {
    TypeInfoTab = 0,
    ImpInfo = 1,
    RefTab = 3,
    GuidTab = 5,
    NameTab = 7,
    StringTab = 8,
    TypeDescTab = 9,
    SegmentCount = 15,
};

struct Damaged : std::runtime_error {
    Damaged() : std::runtime_error("damaged type library") {}
};

class Parser {
public:
    explicit Parser(std::span<const BYTE> bytes) : bytes_(bytes) {}

    TypeLibDesc Parse() {
        if (Int(0) != msftMagic) {
            throw Damaged();
        }
        TypeLibDesc lib;
        const LONG varflags = Int(20);
        const LONG typeInfoCount = Int(32);
        lib.lcid = static_cast<LCID>(Int(12));
        lib.syskind = static_cast<SYSKIND>(varflags & 0xF);
        pointerSize_ = lib.syskind == SYS_WIN64 ? 8 : 4;
        const LONG version = Int(24);
        lib.majorVersion = static_cast<WORD>(version & 0xFFFF);
        lib.minorVersion = static_cast<WORD>((version >> 16) & 0xFFFF);
        lib.libFlags = static_cast<WORD>(Int(28));
        if (typeInfoCount < 0 || typeInfoCount > 0xFFFF) {
            throw Damaged();
        }
        const size_t directory = headerSize + ((varflags & helpDllFlag) ? 4 : 0) +
                                 4 * static_cast<size_t>(typeInfoCount);
        for (int i = 0; i < SegmentCount; ++i) {
            segments_[i] = Int(directory + 16 * i);
        }
        lib.libid = Guid(Int(8));
        lib.helpString = String(Int(36));
        lib.name = Name(Int(56));
        for (LONG i = 0; i < typeInfoCount; ++i) {
            lib.typeInfos.push_back(ReadTypeInfo(i));
        }
        return lib;
    }

private:
    LONG Int(size_t offset) const {
        if (offset + 4 > bytes_.size()) {
            throw Damaged();
        }
        return static_cast<LONG>(bytes_[offset] | (bytes_[offset + 1] << 8) |
                                 (bytes_[offset + 2] << 16) |
                                 (static_cast<DWORD>(bytes_[offset + 3]) << 24));
    }

    SHORT Short(size_t offset) const {
        if (offset + 2 > bytes_.size()) {
            throw Damaged();
        }
        return static_cast<SHORT>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }

    size_t At(Segment segment, LONG offset) const {
        if (segments_[segment] < 0 || offset < 0) {
            throw Damaged();
        }
        return static_cast<size_t>(segments_[segment]) + static_cast<size_t>(offset);
    }

    std::string Text(size_t offset, size_t length) const {
        if (offset + length > bytes_.size()) {
            throw Damaged();
        }
        return std::string(reinterpret_cast<const char*>(bytes_.data() + offset), length);
    }

    std::string Name(LONG offset) const {
        if (offset < 0) {
            return {};
        }
        const size_t entry = At(NameTab, offset);
        return Text(entry + 12, static_cast<size_t>(Int(entry + 8) & 0xFF));
    }

    std::string String(LONG offset) const {
        if (offset < 0) {
            return {};
        }
        const size_t entry = At(StringTab, offset);
        const SHORT length = Short(entry);
        if (length < 0) {
            throw Damaged();
        }
        return Text(entry + 2, static_cast<size_t>(length));
    }

    GUID Guid(LONG offset) const {
        const size_t entry = At(GuidTab, offset);
        GUID guid{};
        guid.Data1 = static_cast<ULONG>(Int(entry));
        guid.Data2 = static_cast<USHORT>(Short(entry + 4));
        guid.Data3 = static_cast<USHORT>(Short(entry + 6));
        for (int i = 0; i < 8; ++i) {
            guid.Data4[i] = static_cast<BYTE>(Int(entry + 8 + i) & 0xFF);
        }
        return guid;
    }

    // A reference to a type info: by index in this file, or an import.
    TypeDesc Reference(LONG hreftype) const {
        TypeDesc type;
        type.vt = VT_USERDEFINED;
        if ((hreftype & 3) == 0) {
            type.typeInfoIndex = hreftype / typeInfoBaseSize;
            return type;
        }
        const size_t import = At(ImpInfo, hreftype & ~3);
        if (Int(import) & importOffsetIsGuid) {
            type.importedGuid = Guid(Int(import + 8));
        }
        return type;
    }

    TypeDesc Type(LONG encoded, int depth = 0) const {
        if (depth > maxTypeDepth) {
            throw Damaged();
        }
        TypeDesc type;
        if (encoded < 0) {
            type.vt = static_cast<VARENUM>(encoded & 0xFFF);
            return type;
        }
        const size_t entry = At(TypeDescTab, encoded);
        const SHORT vt = Short(entry);
        const SHORT low = Short(entry + 4);
        const SHORT high = Short(entry + 6);
        type.vt = static_cast<VARENUM>(vt & 0xFFF);
        if (type.vt == VT_PTR) {
            TypeDesc pointee;
            if (high < 0) {
                pointee.vt = static_cast<VARENUM>(low & 0xFFF);
            } else {
                pointee = Type(static_cast<WORD>(low), depth + 1);
            }
            type.pointee.push_back(std::move(pointee));
        } else if (type.vt == VT_USERDEFINED) {
            return Reference(static_cast<LONG>(
                static_cast<WORD>(low) | (static_cast<DWORD>(static_cast<WORD>(high)) << 16)));
        }
        return type;
    }

    void ReadFuncs(TypeInfoDesc& info, size_t memberOffset, int funcCount, int varCount) const {
        const LONG infoLength = Int(memberOffset);
        size_t record = memberOffset + 4;
        const size_t ids = memberOffset + 4 + static_cast<size_t>(infoLength);
        for (int i = 0; i < funcCount; ++i) {
            const size_t length = static_cast<size_t>(Int(record) & 0xFFFF);
            const LONG kinds = Int(record + 16);
            const int argCount = Short(record + 20);
            if (argCount < 0) {
                throw Damaged();
            }
            FuncDesc func;
            func.returnType = Type(Int(record + 4));
            func.vtableSlot = (Short(record + 12) & ~1) / pointerSize_;
            func.invokeKind = (kinds >> 3) & 0xF;
            func.callConv = (kinds >> 8) & 0xF;
            long optional = static_cast<long>(length) - argCount * 12;
            if (kinds & 0x1000) {
                optional -= argCount * 4;
            }
            if (optional > 28) {
                func.helpString = String(Int(record + 28));
            }
            func.memid = Int(ids + 4 * static_cast<size_t>(i));
            func.name = Name(Int(ids + 4 * static_cast<size_t>(funcCount + varCount + i)));
            for (int j = 0; j < argCount; ++j) {
                const size_t param = record + length - 12 * static_cast<size_t>(argCount - j);
                func.params.push_back(ParamDesc{Name(Int(param + 4)), Type(Int(param)),
                                                static_cast<int>(Int(param + 8))});
            }
            info.funcs.push_back(std::move(func));
            record += length;
        }
    }

    TypeInfoDesc ReadTypeInfo(LONG index) const {
        const size_t base = At(TypeInfoTab, index * typeInfoBaseSize);
        TypeInfoDesc info;
        info.kind = static_cast<TYPEKIND>(Int(base) & 0xF);
        const LONG elements = Int(base + 0x18);
        const LONG guidOffset = Int(base + 0x2C);
        if (guidOffset >= 0) {
            info.guid = Guid(guidOffset);
        }
        info.flags = static_cast<WORD>(Int(base + 0x30));
        info.name = Name(Int(base + 0x34));
        info.helpString = String(Int(base + 0x3C));
        const int implCount = Short(base + 0x4C);
        info.vtableSlots = Short(base + 0x4E) / pointerSize_;
        const LONG dataType1 = Int(base + 0x54);

        if (info.kind == TKIND_COCLASS) {
            LONG reference = dataType1;
            for (int i = 0; i < implCount && reference >= 0; ++i) {
                const size_t entry = At(RefTab, reference);
                info.implTypes.push_back(ImplType{Reference(Int(entry)), Int(entry + 4)});
                reference = Int(entry + 12);
            }
        } else if ((info.kind == TKIND_INTERFACE || info.kind == TKIND_DISPATCH) && implCount > 0) {
            info.implTypes.push_back(ImplType{Reference(dataType1), 0});
        } else if (info.kind == TKIND_ALIAS) {
            info.aliasOf = Type(dataType1);
        }
        const int funcCount = elements & 0xFFFF;
        if (funcCount > 0) {
            ReadFuncs(info, static_cast<size_t>(Int(base + 4)), funcCount,
                      (elements >> 16) & 0xFFFF);
        }
        return info;
    }

    std::span<const BYTE> bytes_;
    LONG segments_[SegmentCount]{};
    int pointerSize_ = 4;
};

} // namespace

std::optional<TypeLibDesc> ReadTypeLib(std::span<const BYTE> bytes) {
    try {
        return Parser(bytes).Parse();
    } catch (const Damaged&) {
        return std::nullopt;
    }
}

} // namespace com
