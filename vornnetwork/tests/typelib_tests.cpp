#include "server_library.h"

#include "com/text.h"
#include "com/typelib_reader.h"

#include <gtest/gtest.h>

namespace {

using com::TypeDesc;

com::TypeLibDesc EmbeddedTypeLib() {
    HRSRC info = FindResourceA(Server().module, MAKEINTRESOURCEA(1), "TYPELIB");
    EXPECT_NE(info, nullptr);
    if (info == nullptr) {
        return {};
    }
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Server().module, info)));
    auto lib = com::ReadTypeLib({data, SizeofResource(Server().module, info)});
    EXPECT_TRUE(lib.has_value());
    return lib.value_or(com::TypeLibDesc{});
}

// A compact spelling of a parameter type: "UINT", "BYTE*", "IUnknown*", ...
std::string Spell(const TypeDesc& type, const com::TypeLibDesc& lib) {
    switch (type.vt) {
    case com::VT_PTR:
        return Spell(type.pointee.at(0), lib) + "*";
    case com::VT_UINT:
        return "UINT";
    case com::VT_INT:
        return "INT";
    case com::VT_I4:
        return "LONG";
    case com::VT_UI4:
        return "ULONG";
    case com::VT_UI1:
        return "BYTE";
    case com::VT_LPWSTR:
        return "LPWSTR";
    case com::VT_HRESULT:
        return "HRESULT";
    case com::VT_UNKNOWN:
        return "IUnknown*";
    case com::VT_VOID:
        return "void";
    case com::VT_USERDEFINED:
        if (type.typeInfoIndex >= 0) {
            return lib.typeInfos.at(static_cast<size_t>(type.typeInfoIndex)).name;
        }
        return type.importedGuid ? com::GuidToString(*type.importedGuid) : "imported";
    default:
        return "vt" + std::to_string(type.vt);
    }
}

TEST(TypeLibrary, LibraryAttributes) {
    const com::TypeLibDesc lib = EmbeddedTypeLib();
    EXPECT_EQ(lib.name, "VORNNETWORKLib");
    EXPECT_EQ(lib.helpString, "VornNetwork 1.0 Type Library");
    EXPECT_EQ(lib.libid, LIBID_VORNNETWORKLib);
    EXPECT_EQ(lib.lcid, 0x409u);
    EXPECT_EQ(lib.majorVersion, 1);
    EXPECT_EQ(lib.minorVersion, 0);
}

TEST(TypeLibrary, TypeInfosInOrder) {
    const com::TypeLibDesc lib = EmbeddedTypeLib();
    ASSERT_GE(lib.typeInfos.size(), 5u);
    struct Expected {
        com::TYPEKIND kind;
        const char* name;
        const char* help;
    } expected[] = {
        {com::TKIND_COCLASS, "VornPoolNetwork", "VornPoolNetwork Class"},
        {com::TKIND_INTERFACE, "IVornPoolNetwork", "IVornPoolNetwork Interface"},
        {com::TKIND_COCLASS, "VornLANNetwork", "VornLANNetwork Class"},
        {com::TKIND_INTERFACE, "IVornLANNetwork", "IVornLANNetwork Interface"},
        {com::TKIND_ALIAS, "wireHWND", ""},
    };
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lib.typeInfos[i].kind, expected[i].kind);
        EXPECT_EQ(lib.typeInfos[i].name, expected[i].name);
        EXPECT_EQ(lib.typeInfos[i].helpString, expected[i].help);
    }
    // The alias brings the remotable handle record and its union along.
    ASSERT_EQ(lib.typeInfos.size(), 7u);
    EXPECT_EQ(lib.typeInfos[5].kind, com::TKIND_RECORD);
    EXPECT_EQ(lib.typeInfos[5].name, "_RemotableHandle");
    EXPECT_EQ(lib.typeInfos[6].kind, com::TKIND_UNION);
    ASSERT_TRUE(lib.typeInfos[4].aliasOf.has_value());
    EXPECT_EQ(Spell(*lib.typeInfos[4].aliasOf, lib), "_RemotableHandle*");
}

TEST(TypeLibrary, CoclassesAreCreatableWithTheirDefaultInterfaces) {
    const com::TypeLibDesc lib = EmbeddedTypeLib();
    ASSERT_GE(lib.typeInfos.size(), 4u);
    for (size_t coclass : {0u, 2u}) {
        const com::TypeInfoDesc& info = lib.typeInfos[coclass];
        EXPECT_TRUE(info.flags & com::TYPEFLAG_FCANCREATE);
        ASSERT_EQ(info.implTypes.size(), 1u);
        EXPECT_EQ(info.implTypes[0].flags & com::IMPLTYPEFLAG_FDEFAULT, com::IMPLTYPEFLAG_FDEFAULT);
        EXPECT_EQ(info.implTypes[0].type.typeInfoIndex, static_cast<int>(coclass) + 1);
    }
    EXPECT_EQ(lib.typeInfos[2].guid, CLSID_VornLANNetwork);
    EXPECT_EQ(lib.typeInfos[0].guid, CLSID_VornPoolNetwork);
}

TEST(TypeLibrary, NetworkInterfaceMethods) {
    const com::TypeLibDesc lib = EmbeddedTypeLib();
    ASSERT_GE(lib.typeInfos.size(), 4u);
    const com::TypeInfoDesc& network = lib.typeInfos[3];
    EXPECT_EQ(network.guid, IID_IVornLANNetwork);
    EXPECT_EQ(network.flags & (com::TYPEFLAG_FDUAL | com::TYPEFLAG_FOLEAUTOMATION), 0);
    EXPECT_EQ(network.vtableSlots, 12);
    ASSERT_EQ(network.implTypes.size(), 1u);
    EXPECT_EQ(network.implTypes[0].type.importedGuid, IID_IUnknown);
    EXPECT_EQ(lib.typeInfos[1].funcs.size(), 0u);

    struct Expected {
        const char* name;
        std::vector<std::pair<std::string, std::string>> params;
    };
    // GUID is imported from stdole2.tlb; widl names an unnamed parameter "a".
    const std::vector<Expected> expected = {
        {"Send",
         {{"idTo", "UINT"},
          {"idFrom", "UINT"},
          {"cmd", "UINT"},
          {"pData", "BYTE*"},
          {"nDataSize", "INT"},
          {"bGuaranteed", "LONG"}}},
        {"SendToGroup",
         {{"idGroup", "UINT"},
          {"idFrom", "UINT"},
          {"cmd", "UINT"},
          {"a", "BYTE*"},
          {"nDataSize", "INT"},
          {"bGuaranteed", "LONG"}}},
        {"SendToAll",
         {{"idFrom", "UINT"},
          {"cmd", "UINT"},
          {"a", "BYTE*"},
          {"nDataSize", "INT"},
          {"bGuaranteed", "LONG"}}},
        {"Receive",
         {{"idTo", "UINT"},
          {"idFrom", "UINT"},
          {"pCmd", "UINT*"},
          {"a", "BYTE*"},
          {"pnDataSize", "INT*"}}},
        {"Open",
         {{"pDirectPlay", "IUnknown*"},
          {"pAppGUID", "imported*"},
          {"protocolType", "INT"},
          {"pPlayerInfo", "BYTE*"},
          {"pGameInfo", "BYTE*"},
          {"hParentWnd", "wireHWND"}}},
        {"Close", {{"idGroup", "INT"}, {"idPlayer", "INT"}}},
        {"SetAddress", {{"strAddress", "LPWSTR"}}},
        {"SetVoiceChatHandler", {{"a", "ULONG"}}},
        {"SendToServer",
         {{"idFrom", "UINT"},
          {"cmd", "UINT"},
          {"pData", "BYTE*"},
          {"nDataSize", "INT"},
          {"bGuaranteed", "LONG"}}},
    };
    ASSERT_EQ(network.funcs.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const com::FuncDesc& func = network.funcs[i];
        SCOPED_TRACE(func.name);
        EXPECT_EQ(func.name, expected[i].name);
        EXPECT_EQ(func.memid, static_cast<LONG>(0x60010000 + i));
        EXPECT_EQ(func.helpString, std::string("method ") + expected[i].name);
        EXPECT_EQ(func.vtableSlot, static_cast<int>(3 + i));
        EXPECT_EQ(Spell(func.returnType, lib), "HRESULT");
        ASSERT_EQ(func.params.size(), expected[i].params.size());
        for (size_t j = 0; j < func.params.size(); ++j) {
            EXPECT_EQ(func.params[j].name, expected[i].params[j].first) << j;
            EXPECT_EQ(Spell(func.params[j].type, lib), expected[i].params[j].second) << j;
            EXPECT_EQ(func.params[j].flags, 0) << j; // no direction attributes
        }
    }
}

} // namespace
