// Open and Close: the object's DirectPlay session in its role, and the system messages.
#include "debugoutput.h"
#include "vornlannetwork.h"

#include "dplobby.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSessionFlags =
    DPSESSION_CLIENTSERVER | DPSESSION_DIRECTPLAYPROTOCOL | DPSESSION_KEEPALIVE;
constexpr DWORD kEnumSessionsTimeoutMs = 10000;
constexpr DWORD kConnectRetryDelayMs = 20;
constexpr DWORD kLoginFlags = DPSEND_GUARANTEED | DPSEND_ASYNC;

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T> using ComRef = std::unique_ptr<T, Releaser>;

HRESULT CreateLobby(ComRef<IDirectPlayLobby3A>& lobby) {
    IDirectPlayLobby3A* created = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_DirectPlayLobby, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IDirectPlayLobby3A, reinterpret_cast<void**>(&created));
    if (SUCCEEDED(hr)) {
        lobby.reset(created);
    }
    return hr;
}

DWORD ConnectTimeoutMs() {
    const char* value = std::getenv("VORN_CONNECT_TIMEOUT_MS");
    if (value == nullptr || *value == '\0') {
        return CVornLANNetwork::defaultConnectTimeoutMs;
    }
    return static_cast<DWORD>(std::strtoul(value, nullptr, 10));
}

// TCP/IP to the host address given by SetAddress.
HRESULT InitializeHostConnection(IDirectPlay4A* dp, const char* szAddress) {
    ComRef<IDirectPlayLobby3A> lobby;
    HRESULT hr = CreateLobby(lobby);
    if (FAILED(hr)) {
        return hr;
    }
    GUID provider = DPSPGUID_TCPIP;
    const DPCOMPOUNDADDRESSELEMENT elements[2] = {
        {DPAID_ServiceProvider, sizeof provider, &provider},
        {DPAID_INet, static_cast<DWORD>(std::strlen(szAddress) + 1), const_cast<char*>(szAddress)},
    };
    DWORD size = 0;
    hr = lobby->CreateCompoundAddress(elements, 2, nullptr, &size);
    if (hr != DPERR_BUFFERTOOSMALL) {
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    std::vector<BYTE> address(size);
    hr = lobby->CreateCompoundAddress(elements, 2, address.data(), &size);
    lobby.reset();
    if (FAILED(hr)) {
        return hr;
    }
    return dp->InitializeConnection(address.data(), 0);
}

struct WantedConnection {
    DWORD providerData1;
    std::vector<BYTE> connection;
    bool found = false;
};

BOOL CALLBACK TakeConnection(LPCGUID lpguidSP, LPVOID lpConnection, DWORD dwConnectionSize,
                             LPCDPNAME, DWORD, LPVOID lpContext) {
    auto* wanted = static_cast<WantedConnection*>(lpContext);
    // Providers are told apart by the first 32 bits of their GUID.
    if (lpguidSP == nullptr || lpguidSP->Data1 != wanted->providerData1) {
        return TRUE;
    }
    const auto* bytes = static_cast<const BYTE*>(lpConnection);
    wanted->connection.assign(bytes, bytes + dwConnectionSize);
    wanted->found = true;
    return FALSE;
}

BOOL CALLBACK TakeSession(LPCDPSESSIONDESC2 lpThisSD, LPDWORD, DWORD dwFlags, LPVOID lpContext) {
    auto* desc = static_cast<DPSESSIONDESC2*>(lpContext);
    if ((dwFlags & DPESC_TIMEDOUT) != 0) {
        return FALSE;
    }
    if (lpThisSD->guidApplication.Data1 != desc->guidApplication.Data1) {
        return TRUE;
    }
    // The found session's description replaces ours; its texts belong to the enumeration,
    // so the name stays our own copy.
    LPSTR name = desc->lpszSessionNameA;
    *desc = *lpThisSD;
    desc->lpszSessionNameA = name;
    desc->lpszPasswordA = nullptr;
    return FALSE;
}

struct AddressText {
    char text[1024];
    std::size_t length;
};

BOOL CALLBACK AppendInternetAddress(REFGUID guidDataType, DWORD dwDataSize, LPCVOID lpData,
                                    LPVOID lpContext) {
    if (guidDataType != DPAID_INet) {
        return TRUE;
    }
    auto* addresses = static_cast<AddressText*>(lpContext);
    const std::size_t length = strnlen(static_cast<const char*>(lpData), dwDataSize);
    const std::size_t room = sizeof addresses->text - 1 - addresses->length;
    if (length + 1 <= room) {
        std::memcpy(addresses->text + addresses->length, lpData, length);
        addresses->text[addresses->length + length] = ' ';
        addresses->length += length + 1;
    }
    return TRUE;
}

} // namespace

STDMETHODIMP CVornLANNetwork::Open(IUnknown* pDP, GUID* pAppGUID, INT protocolType,
                                   BYTE* pPlayerInfo, BYTE* pGameInfo, HWND hParentWnd) {
    // One session per object: a second Open leaves the open one as it is.
    if (pDirectPlay != nullptr) {
        return DPERR_ALREADYINITIALIZED;
    }
    if (pAppGUID == nullptr || pPlayerInfo == nullptr || pGameInfo == nullptr) {
        return E_POINTER;
    }
    auto* player = reinterpret_cast<PlayerInfo*>(pPlayerInfo);
    auto* game = reinterpret_cast<GameInfo*>(pGameInfo);
    this->hParentWnd = hParentWnd;

    if (pDP != nullptr) {
        // The caller's reference is taken over, its connection taken as initialised.
        pDirectPlay = static_cast<IDirectPlay4A*>(pDP);
    } else {
        IDirectPlay4A* created = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IDirectPlay4A, reinterpret_cast<void**>(&created));
        if (FAILED(hr)) {
            return hr;
        }
        pDirectPlay = created;
        const HRESULT connection = InitializeConnection(protocolType);
        if (FAILED(connection)) {
            return connection;
        }
    }

    bLobbyServer = player->dwFlags == roleLobbyServer;
    bHost = player->dwFlags == roleHost;
    if (bLobbyServer) {
        player->dwFlags = roleHost;
    }
    HRESULT hr = OpenSession(*pAppGUID, player->dwFlags, *game);
    if (FAILED(hr)) {
        return hr;
    }

    hPlayerEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    hStopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (hPlayerEvent == nullptr || hStopEvent == nullptr) {
        return E_OUTOFMEMORY;
    }
    char name[sizeof player->szName];
    CopyText(name, player->szName);
    DPNAME dpName{};
    dpName.dwSize = sizeof dpName;
    dpName.lpszShortNameA = name;
    dpName.lpszLongNameA = name;
    DPID idPlayer = 0;
    hr = pDirectPlay->CreatePlayer(&idPlayer, &dpName, hPlayerEvent, nullptr, 0, player->dwFlags);
    if (FAILED(hr)) {
        return hr;
    }
    player->idPlayer = idPlayer;
    CollectLocalAddresses(idPlayer, game->szAddresses);

    hThread = CreateThread(nullptr, 0, ReceiveThread, this, 0, nullptr);
    if (hThread == nullptr) {
        return E_FAIL;
    }
    if (!bLobbyServer && !bHost) {
        // Whether the login reaches the lobby server shows in its answer, not here.
        SendLogin(*player, *game);
    }
    return S_OK;
}

HRESULT CVornLANNetwork::InitializeConnection(INT protocolType) {
    if (protocolType == 0 && szAddress[0] != '\0') {
        // A host that cannot be reached shows when the session is looked for.
        InitializeHostConnection(pDirectPlay, szAddress);
        return S_OK;
    }
    WantedConnection wanted{protocolType == 1 ? DPSPGUID_IPX.Data1 : DPSPGUID_TCPIP.Data1, {}};
    const HRESULT hr =
        pDirectPlay->EnumConnections(nullptr, TakeConnection, &wanted, DPCONNECTION_DIRECTPLAY);
    if (FAILED(hr)) {
        return hr;
    }
    // Without a matching provider the session steps that follow fail and say so.
    pDirectPlay->InitializeConnection(wanted.found ? wanted.connection.data() : nullptr, 0);
    return S_OK;
}

HRESULT CVornLANNetwork::OpenSession(const GUID& appGuid, DWORD dwFlags, const GameInfo& gameInfo) {
    char sessionName[sizeof gameInfo.szName];
    CopyText(sessionName, gameInfo.szName);
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kSessionFlags;
    desc.guidApplication = appGuid;
    desc.dwMaxPlayers = bHost ? 2 : 0;
    desc.lpszSessionNameA = sessionName;

    DWORD openFlags = DPOPEN_CREATE | DPOPEN_RETURNSTATUS;
    if (dwFlags != roleHost) {
        const HRESULT hr = pDirectPlay->EnumSessions(&desc, kEnumSessionsTimeoutMs, TakeSession,
                                                     &desc, DPENUMSESSIONS_AVAILABLE);
        if (FAILED(hr)) {
            return hr;
        }
        openFlags = DPOPEN_JOIN | DPOPEN_RETURNSTATUS;
    }
    // Each call waits a little for the host itself; a host that never answers is given up
    // after the connect time-out with the last error.
    const DWORD limit = ConnectTimeoutMs();
    const DWORD start = GetTickCount();
    HRESULT hr = pDirectPlay->Open(&desc, openFlags);
    while (hr == DPERR_CONNECTING && GetTickCount() - start < limit) {
        Sleep(kConnectRetryDelayMs);
        hr = pDirectPlay->Open(&desc, openFlags);
    }
    return hr;
}

HRESULT CVornLANNetwork::CollectLocalAddresses(DPID idPlayer, char (&szAddresses)[256]) {
    std::memset(szAddresses, 0, sizeof szAddresses);
    std::vector<BYTE> address(64);
    DWORD size = static_cast<DWORD>(address.size());
    HRESULT hr = pDirectPlay->GetPlayerAddress(idPlayer, address.data(), &size);
    if (hr == DPERR_BUFFERTOOSMALL) {
        address.resize(size);
        hr = pDirectPlay->GetPlayerAddress(idPlayer, address.data(), &size);
    }
    if (FAILED(hr)) {
        return hr;
    }
    ComRef<IDirectPlayLobby3A> lobby;
    hr = CreateLobby(lobby);
    if (FAILED(hr)) {
        return hr;
    }
    AddressText addresses{};
    hr = lobby->EnumAddress(AppendInternetAddress, address.data(), size, &addresses);
    if (FAILED(hr)) {
        return hr;
    }
    const std::size_t length = std::min(addresses.length, sizeof szAddresses - 1);
    std::memcpy(szAddresses, addresses.text, length);
    return S_OK;
}

HRESULT CVornLANNetwork::SendLogin(const PlayerInfo& playerInfo, const GameInfo& gameInfo) {
    const LoginRecord login = MakeLoginRecord(playerInfo, gameInfo);
    return SendNetMessage(
        playerInfo.idPlayer, DPID_ALLPLAYERS,
        NetMessage(cmdLogin, msgToServer, playerInfo.idPlayer, 0, &login, sizeof login),
        kLoginFlags);
}

STDMETHODIMP CVornLANNetwork::Close(INT idGroup, INT idPlayer) {
    if (hThread != nullptr) {
        SetEvent(hStopEvent);
        WaitForSingleObject(hThread, INFINITE);
        CloseHandle(hThread);
        hThread = nullptr;
    }
    if (hStopEvent != nullptr) {
        CloseHandle(hStopEvent);
        hStopEvent = nullptr;
    }
    if (pDirectPlay != nullptr) {
        // Leaving the session: what DirectPlay answers changes nothing any more.
        pDirectPlay->DeletePlayerFromGroup(static_cast<DPID>(idGroup), static_cast<DPID>(idPlayer));
        pDirectPlay->DestroyPlayer(static_cast<DPID>(idPlayer));
        pDirectPlay->Close();
        pDirectPlay->Release();
        pDirectPlay = nullptr;
    }
    if (hPlayerEvent != nullptr) {
        CloseHandle(hPlayerEvent);
        hPlayerEvent = nullptr;
    }
    return S_OK;
}

void CVornLANNetwork::HandleSystemMessage(const BYTE* buffer, DWORD size, DPID idFrom, DPID idTo) {
    switch (ReadRecord<DWORD>(buffer)) {
    case DPSYS_CREATEPLAYERORGROUP:
        if (size >= sizeof(DPMSG_CREATEPLAYERORGROUP)) {
            HandlePlayerCreated(ReadRecord<DPMSG_CREATEPLAYERORGROUP>(buffer).dpId, idFrom, idTo);
        }
        break;
    case DPSYS_DESTROYPLAYERORGROUP:
        if (size >= sizeof(DPMSG_DESTROYPLAYERORGROUP)) {
            HandlePlayerDestroyed(ReadRecord<DPMSG_DESTROYPLAYERORGROUP>(buffer), idFrom, idTo);
        }
        break;
    case DPSYS_SESSIONLOST:
        ReportEvent(cmdSessionLost, idFrom, idTo);
        DebugLine("HandleSystemMessage(DPSYS_SESSIONLOST) to=%d, from=%d\n", static_cast<int>(idTo),
                  static_cast<int>(idFrom));
        break;
    default:
        break;
    }
}

void CVornLANNetwork::HandlePlayerCreated(DPID dpId, DPID idFrom, DPID idTo) {
    char text[64];
    std::snprintf(text, sizeof text, "Create player ID=%d", static_cast<int>(dpId));
    ReportText(text, idFrom, idTo);
    if (!bHost) {
        return;
    }
    // The host plays one opponent: the first peer starts the game, every later one is
    // turned away, also after the first has left.
    UINT cmd = cmdBusy;
    if (!bOpponentSeen) {
        bOpponentSeen = true;
        ReportEvent(cmdStart, idFrom, idTo);
        cmd = cmdStart;
    }
    Send(DPID_ALLPLAYERS, idTo, cmd, nullptr, 0, TRUE);
}

void CVornLANNetwork::HandlePlayerDestroyed(const DPMSG_DESTROYPLAYERORGROUP& message, DPID idFrom,
                                            DPID idTo) {
    char text[64];
    std::snprintf(text, sizeof text, "Destroy player ID=%d", static_cast<int>(message.dpId));
    OutputDebugStringA(text);
    ReportText(text, idFrom, idTo);
    if (message.dwPlayerType == DPPLAYERTYPE_GROUP) {
        return;
    }
    if (!m_lobby.HandleDepartedPlayer(message.dpId, idFrom, idTo)) {
        ReportEvent(cmdStop, idFrom, idTo);
    }
}
