// The COM surface: class registration, interface layout, constants, connections and the
// lobby's addresses.
#include "dplay_support.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

using dptest::CreateDirectPlay;
using dptest::CreateLobby;

TEST(DirectPlayConstants, KeepDirectPlayValuesAndNaturalStructureSizes) {
    EXPECT_EQ(static_cast<unsigned>(DPERR_CONNECTING), 0x8877015Eu);
    EXPECT_EQ(static_cast<unsigned>(DPERR_BUFFERTOOSMALL), 0x8877001Eu);
    EXPECT_EQ(static_cast<unsigned>(DPERR_NOMESSAGES), 0x887700BEu);
    EXPECT_EQ(DPSESSION_CLIENTSERVER | DPSESSION_DIRECTPLAYPROTOCOL | DPSESSION_KEEPALIVE, 0x3040u);
    EXPECT_EQ(DPSEND_GUARANTEED | DPSEND_ASYNC, 0x201u);
    EXPECT_EQ(DPSYS_SESSIONLOST, 0x31u);
    // Pointer members take their natural size on this target.
    EXPECT_EQ(offsetof(DPSESSIONDESC2, lpszSessionNameA), 48u);
    EXPECT_EQ(sizeof(DPSESSIONDESC2), 48u + 2 * sizeof(void*) + 6 * sizeof(DWORD));
    EXPECT_EQ(sizeof(DPNAME), 8u + 2 * sizeof(void*));
    EXPECT_EQ(sizeof(DPADDRESS), 20u);
}

TEST(DirectPlayClasses, AreCreatedByCoCreateInstanceWithTheirInterfaces) {
    auto dp = CreateDirectPlay();
    auto lobby = CreateLobby();
    ASSERT_NE(dp.Get(), nullptr);
    ASSERT_NE(lobby.Get(), nullptr);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(dp->QueryInterface(IID_IDirectPlayLobby3A, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    void* unknown = nullptr;
    ASSERT_EQ(dp->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<void*>(dp.Get()));
    static_cast<IUnknown*>(unknown)->Release();
}

TEST(DirectPlayClasses, MethodsOutsideTheSubsetAreUnsupported) {
    auto dp = CreateDirectPlay();
    DPID group = 0;
    EXPECT_EQ(dp->CreateGroup(&group, nullptr, nullptr, 0, 0), DPERR_UNSUPPORTED);
    EXPECT_EQ(dp->EnumPlayers(nullptr, nullptr, nullptr, 0), DPERR_UNSUPPORTED);
    EXPECT_EQ(dp->CancelPriority(0, 0, 0), DPERR_UNSUPPORTED);
    auto lobby = CreateLobby();
    EXPECT_EQ(lobby->RunApplication(0, nullptr, nullptr, nullptr), DPERR_UNSUPPORTED);
}

struct Connection {
    GUID provider;
    std::string name;
    DWORD flags;
    std::vector<BYTE> address;
};

BOOL CALLBACK RecordConnection(LPCGUID provider, LPVOID address, DWORD size, LPCDPNAME name,
                               DWORD flags, LPVOID context) {
    auto* connections = static_cast<std::vector<Connection>*>(context);
    const auto* bytes = static_cast<const BYTE*>(address);
    connections->push_back({*provider, name->lpszShortNameA, flags, {bytes, bytes + size}});
    return TRUE;
}

BOOL CALLBACK StopAtFirst(LPCGUID, LPVOID, DWORD, LPCDPNAME, DWORD, LPVOID context) {
    ++*static_cast<int*>(context);
    return FALSE;
}

struct Element {
    GUID type;
    std::vector<BYTE> data;
};

BOOL CALLBACK RecordElement(REFGUID type, DWORD size, LPCVOID data, LPVOID context) {
    const auto* bytes = static_cast<const BYTE*>(data);
    static_cast<std::vector<Element>*>(context)->push_back({type, {bytes, bytes + size}});
    return TRUE;
}

std::vector<Element> Elements(IDirectPlayLobby3A* lobby, const std::vector<BYTE>& address) {
    std::vector<Element> elements;
    EXPECT_EQ(lobby->EnumAddress(RecordElement, address.data(), static_cast<DWORD>(address.size()),
                                 &elements),
              DP_OK);
    return elements;
}

TEST(DirectPlayConnections, ListTcpIpThenIpxWithAddressesNamingTheProvider) {
    auto dp = CreateDirectPlay();
    auto lobby = CreateLobby();
    std::vector<Connection> connections;
    ASSERT_EQ(dp->EnumConnections(nullptr, RecordConnection, &connections, DPCONNECTION_DIRECTPLAY),
              DP_OK);
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_EQ(connections[0].provider, DPSPGUID_TCPIP);
    EXPECT_EQ(connections[1].provider, DPSPGUID_IPX);
    EXPECT_EQ(connections[0].flags, DPCONNECTION_DIRECTPLAY);
    EXPECT_EQ(connections[1].name, "IPX Connection For DirectPlay");
    const auto elements = Elements(lobby.Get(), connections[1].address);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0].type, DPAID_TotalSize);
    EXPECT_EQ(elements[1].type, DPAID_ServiceProvider);
    ASSERT_EQ(elements[1].data.size(), sizeof(GUID));
    EXPECT_EQ(std::memcmp(elements[1].data.data(), &DPSPGUID_IPX, sizeof(GUID)), 0);

    int calls = 0;
    EXPECT_EQ(dp->EnumConnections(nullptr, StopAtFirst, &calls, 0), DP_OK);
    EXPECT_EQ(calls, 1);
}

TEST(DirectPlayConnections, InitializeOnceAndRefuseUnknownProviders) {
    auto dp = CreateDirectPlay();
    auto lobby = CreateLobby();
    const GUID serial{0x0f1d6860, 0x88d9, 0x11cf, {0x9c, 0x4e, 0x00, 0xa0, 0xc9, 0x05, 0x42, 0x5e}};
    BYTE address[128];
    DWORD size = sizeof address;
    ASSERT_EQ(lobby->CreateAddress(serial, DPAID_INet, "x", 2, address, &size), DP_OK);
    EXPECT_EQ(dp->InitializeConnection(address, 0), DPERR_UNAVAILABLE);
    EXPECT_EQ(dp->InitializeConnection(nullptr, 0), DPERR_INVALIDPARAMS);
    EXPECT_EQ(dptest::InitializeProvider(dp.Get(), 0), DP_OK);
    EXPECT_EQ(dptest::InitializeProvider(dp.Get(), 1), DPERR_ALREADYINITIALIZED);
}

TEST(DirectPlayLobby, CompoundAddressReportsItsSizeAndEnumeratesItsElements) {
    auto lobby = CreateLobby();
    const char host[] = "127.0.0.1";
    DPCOMPOUNDADDRESSELEMENT elements[] = {
        {DPAID_ServiceProvider, sizeof(GUID), const_cast<GUID*>(&DPSPGUID_TCPIP)},
        {DPAID_INet, sizeof host, const_cast<char*>(host)}};
    DWORD size = 0;
    ASSERT_EQ(lobby->CreateCompoundAddress(elements, 2, nullptr, &size), DPERR_BUFFERTOOSMALL);
    const DWORD expected = 3 * sizeof(DPADDRESS) + sizeof(DWORD) + sizeof(GUID) + sizeof host;
    ASSERT_EQ(size, expected);
    std::vector<BYTE> address(size);
    DWORD tooSmall = size - 1;
    EXPECT_EQ(lobby->CreateCompoundAddress(elements, 2, address.data(), &tooSmall),
              DPERR_BUFFERTOOSMALL);
    EXPECT_EQ(tooSmall, expected);
    ASSERT_EQ(lobby->CreateCompoundAddress(elements, 2, address.data(), &size), DP_OK);

    const auto found = Elements(lobby.Get(), address);
    ASSERT_EQ(found.size(), 3u);
    DWORD total = 0;
    std::memcpy(&total, found[0].data.data(), sizeof total);
    EXPECT_EQ(total, expected);
    EXPECT_EQ(found[2].type, DPAID_INet);
    EXPECT_STREQ(reinterpret_cast<const char*>(found[2].data.data()), host);

    // An address whose last chunk runs past its end is refused before any callback.
    std::vector<Element> none;
    EXPECT_EQ(lobby->EnumAddress(RecordElement, address.data(), size - 1, &none),
              DPERR_INVALIDPARAMS);
    EXPECT_TRUE(none.empty());
}

} // namespace
