// CVornLANNetwork: the LAN network object, created through COM.
#pragma once

#include "VornNetwork.h"
#include "records.h"

#include <array>

struct IDirectPlay4A;

class CVornLANNetwork final : public ISupportErrorInfo, public IVornLANNetwork {
public:
    static constexpr int maxPlayers = 1024;
    static constexpr int maxGroups = 1024;
    using VoiceChatHandler = void (*)(UINT cmd, const BYTE* payload, UINT nDataSize);

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
    STDMETHODIMP SetVoiceChatHandler(ULONG handler) override;
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

    // Lobby tables
    std::array<PlayerInfo, maxPlayers> m_players;
    int m_nPlayers = 0;
    std::array<GroupRecord, maxGroups> m_groups;
    int m_nGroups = 0;
};
