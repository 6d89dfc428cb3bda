// CVornLANNetwork: the LAN network object, created through COM.
#pragma once

#include "VornNetwork.h"
#include "dplay.h"
#include "lobbyserver.h"
#include "netmessage.h"
#include "records.h"

class CVornLANNetwork final : public ISupportErrorInfo, public IVornLANNetwork {
public:
    using VoiceChatHandler = void (*)(UINT cmd, const BYTE* payload, UINT nDataSize);
    // How long Open keeps retrying a join that DirectPlay reports as still connecting
    // (milliseconds); the environment variable VORN_CONNECT_TIMEOUT_MS overrides it.
    static constexpr DWORD defaultConnectTimeoutMs = 30000;

    // The instance creator of the object map: the aggregated form with an outer unknown,
    // the plain form without.
    static HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv);

    // IUnknown, through the controlling unknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IVornLANNetwork
    STDMETHODIMP Send(UINT idTo, UINT idFrom, UINT cmd, BYTE* pData, INT nDataSize,
                      LONG bGuaranteed) override;
    STDMETHODIMP SendToGroup(UINT idGroup, UINT idFrom, UINT cmd, BYTE* data, INT nDataSize,
                             LONG bGuaranteed) override;
    STDMETHODIMP SendToAll(UINT idFrom, UINT cmd, BYTE* data, INT nDataSize,
                           LONG bGuaranteed) override;
    STDMETHODIMP Receive(UINT idTo, UINT idFrom, UINT* pCmd, BYTE* data, INT* pnDataSize) override;
    STDMETHODIMP Open(IUnknown* pDirectPlay, GUID* pAppGUID, INT protocolType, BYTE* pPlayerInfo,
                      BYTE* pGameInfo, HWND hParentWnd) override;
    STDMETHODIMP Close(INT idGroup, INT idPlayer) override;
    STDMETHODIMP SetAddress(LPWSTR strAddress) override;
    STDMETHODIMP SetVoiceChatHandler(ULONG_PTR handler) override;
    STDMETHODIMP SendToServer(UINT idFrom, UINT cmd, BYTE* pData, INT nDataSize,
                              LONG bGuaranteed) override;

private:
    // The object's own IUnknown: the controlling unknown of the plain form, and the
    // non-delegating unknown handed to the outer object of the aggregated form.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(CVornLANNetwork* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CVornLANNetwork* owner_;
    };

    explicit CVornLANNetwork(IUnknown* pUnkOuter);
    ~CVornLANNetwork();

    HRESULT FinalConstruct();
    void FinalRelease();
    HRESULT InternalQueryInterface(REFIID riid, void** ppv);

    // Session (vornsession.cpp)
    HRESULT InitializeConnection(INT protocolType);
    HRESULT OpenSession(const GUID& appGuid, DWORD dwFlags, const GameInfo& gameInfo);
    HRESULT CollectLocalAddresses(DPID idPlayer, char (&szAddresses)[256]);
    HRESULT SendLogin(const PlayerInfo& playerInfo, const GameInfo& gameInfo);
    void HandleSystemMessage(const BYTE* buffer, DWORD size, DPID idFrom, DPID idTo);
    void HandlePlayerCreated(DPID dpId, DPID idFrom, DPID idTo);
    void HandlePlayerDestroyed(const DPMSG_DESTROYPLAYERORGROUP& message, DPID idFrom, DPID idTo);

    // Messages (vornmessages.cpp)
    HRESULT SendMessageTo(UINT type, UINT idTo, UINT idFrom, UINT cmd, BYTE* pData, INT nDataSize,
                          LONG bGuaranteed);
    HRESULT SendNetMessage(DPID idFrom, DPID idTarget, const NetMessage& message, DWORD flags);
    static DWORD WINAPI ReceiveThread(LPVOID pParam);
    // Capacity of the receive buffer at the start of a drain: a login and the usual game
    // messages fit without asking DirectPlay twice.
    static constexpr DWORD receiveBufferSize = 1024;
    void ReceiveMessages();
    int HandleApplicationMessage(const BYTE* buffer, DWORD size, DPID idFrom, DPID idTo);
    // The game's share of a received message: voice chat to the handler, the rest to the window.
    void DeliverToGame(const NetMessage& message, DPID idFrom, DPID idTo);
    // A NetMessage for the game's window, in wire form; ParentNotify is told the DirectPlay
    // sender and receiver.
    int Report(const NetMessage& message, DPID idFrom, DPID idTo);
    // An event of the session for the game: cmd, msgToGroup, no payload.
    int ReportEvent(UINT cmd, DPID idFrom, DPID idTo);
    // A line for the game's log: cmdText, msgToServer, the text with its NUL.
    int ReportText(const char* text, DPID idFrom, DPID idTo);
    int ParentNotify(UINT cmd, DPID idFrom, DPID idTo, const BYTE* bytes, DWORD size);

    // COM members
    LONG volatile m_dwRef = 0;
    InnerUnknown m_inner{this};
    IUnknown* m_pControllingUnknown;
    const bool m_bAggregated;
    IUnknown* m_pUnkMarshaler = nullptr;

    // Session state
    HANDLE hPlayerEvent = nullptr;
    HANDLE hStopEvent = nullptr;
    IDirectPlay4A* pDirectPlay = nullptr;
    HANDLE hThread = nullptr;
    HWND hParentWnd = nullptr;
    bool bLobbyServer = false;
    bool bHost = false;
    bool bOpponentSeen = false;
    char szAddress[128]{};
    VoiceChatHandler pfnVoiceChatHandler = nullptr;

    // The lobby server's tables and routing; only the receive thread touches them.
    LobbyServer m_lobby;
};
