// Reader of MSFT type libraries, the binary form written by MIDL and widl.
#pragma once

#include "guiddef.h"
#include "oleauto.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace com {

enum TYPEKIND {
    TKIND_ENUM = 0,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
};

constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
constexpr WORD TYPEFLAG_FDUAL = 0x40;
constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;

constexpr int IMPLTYPEFLAG_FDEFAULT = 0x1;

enum VARENUM : WORD {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_UNKNOWN = 13,
};

// A type: a base type, a pointer to a type, or a reference to a type info (by index
// in this library, or imported, by GUID).
struct TypeDesc {
    VARENUM vt = VT_EMPTY;
    std::vector<TypeDesc> pointee; // one element for VT_PTR
    int typeInfoIndex = -1;        // VT_USERDEFINED within this library
    std::optional<GUID> importedGuid;
};

struct ParamDesc {
    std::string name;
    TypeDesc type;
    int flags = 0;
};

struct FuncDesc {
    LONG memid = 0;
    std::string name;
    std::string helpString;
    int vtableSlot = 0;
    int invokeKind = 0;
    int callConv = 0;
    TypeDesc returnType;
    std::vector<ParamDesc> params;
};

struct ImplType {
    TypeDesc type; // VT_USERDEFINED
    int flags = 0;
};

struct TypeInfoDesc {
    TYPEKIND kind = TKIND_ENUM;
    std::string name;
    std::string helpString;
    std::optional<GUID> guid;
    WORD flags = 0;
    int vtableSlots = 0;
    std::vector<FuncDesc> funcs;
    std::vector<ImplType> implTypes;
    std::optional<TypeDesc> aliasOf;
};

struct TypeLibDesc {
    GUID libid{};
    std::string name;
    std::string helpString;
    LCID lcid = 0;
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    SYSKIND syskind = SYS_WIN32;
    WORD libFlags = 0;
    std::vector<TypeInfoDesc> typeInfos;
};

// Parses an MSFT type library; nullopt when the bytes are not one or are damaged.
std::optional<TypeLibDesc> ReadTypeLib(std::span<const BYTE> bytes);

} // namespace com
