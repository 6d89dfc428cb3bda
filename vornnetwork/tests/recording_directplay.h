// An IDirectPlay4A for tests: it records what the component asks of it, plays a session
// that always answers, and hands the component the messages a test queues for it.
#pragma once

#include "dplay.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vorntest {

class RecordingDirectPlay final : public IDirectPlay4A {
public:
    struct Sent {
        DPID idFrom;
        DPID idTo;
        DWORD flags;
        std::vector<BYTE> bytes;
    };

    // Created with one reference, which the creator owns.
    RecordingDirectPlay();

    // What the session answers.
    DPID nextPlayerId = 2;
    GUID sessionApplication{};        // what EnumSessions reports
    std::vector<HRESULT> openResults; // consumed one per Open call; then DP_OK
    std::vector<std::string> internetAddresses{"10.0.0.7", "192.168.1.20"};

    // Queues a message for the local player and signals its event.
    void Deliver(DPID idFrom, DPID idTo, std::vector<BYTE> bytes);
    // Waits until Receive has taken every queued message and found the queue empty.
    bool WaitDrained(unsigned timeoutMs);

    // What the component asked, in order of the calls.
    std::vector<std::string> Calls() const;
    std::vector<Sent> SentMessages() const;
    std::vector<BYTE> Connection() const;
    DWORD OpenFlags() const;
    DPSESSIONDESC2 OpenedDesc() const;
    std::string OpenedSessionName() const;
    DWORD PlayerFlags() const;
    std::string PlayerName() const;
    LONG References() const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // What the component uses
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, HANDLE hEvent,
                                           LPVOID lpData, DWORD dwDataSize, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE DeletePlayerFromGroup(DPID idGroup, DPID idPlayer) override;
    HRESULT STDMETHODCALLTYPE DestroyPlayer(DPID idPlayer) override;
    HRESULT STDMETHODCALLTYPE EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD dwTimeout,
                                           LPDPENUMSESSIONSCALLBACK2 callback, LPVOID lpContext,
                                           DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE GetPlayerAddress(DPID idPlayer, LPVOID lpData,
                                               LPDWORD lpdwDataSize) override;
    HRESULT STDMETHODCALLTYPE Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags, LPVOID lpData,
                                      LPDWORD lpdwDataSize) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(LPCGUID lpguidApplication,
                                              LPDPENUMCONNECTIONSCALLBACK callback,
                                              LPVOID lpContext, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE InitializeConnection(LPVOID lpConnection, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE SendEx(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                     DWORD dwDataSize, DWORD dwPriority, DWORD dwTimeout,
                                     LPVOID lpContext, LPDWORD_PTR lpdwMsgID) override;

    // Outside what the component uses: DPERR_UNSUPPORTED, recorded like any call.
    HRESULT STDMETHODCALLTYPE AddPlayerToGroup(DPID, DPID) override;
    HRESULT STDMETHODCALLTYPE CreateGroup(LPDPID, LPDPNAME, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE DestroyGroup(DPID) override;
    HRESULT STDMETHODCALLTYPE EnumGroupPlayers(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID,
                                               DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumGroups(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumPlayers(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDPCAPS, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetGroupData(DPID, LPVOID, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetGroupName(DPID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetMessageCount(DPID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetPlayerCaps(DPID, LPDPCAPS, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPlayerData(DPID, LPVOID, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPlayerName(DPID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetSessionDesc(LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPGUID) override;
    HRESULT STDMETHODCALLTYPE Send(DPID, DPID, DWORD, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetGroupData(DPID, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetGroupName(DPID, LPDPNAME, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetPlayerData(DPID, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetPlayerName(DPID, LPDPNAME, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetSessionDesc(LPDPSESSIONDESC2, DWORD) override;
    HRESULT STDMETHODCALLTYPE AddGroupToGroup(DPID, DPID) override;
    HRESULT STDMETHODCALLTYPE CreateGroupInGroup(DPID, LPDPID, LPDPNAME, LPVOID, DWORD,
                                                 DWORD) override;
    HRESULT STDMETHODCALLTYPE DeleteGroupFromGroup(DPID, DPID) override;
    HRESULT STDMETHODCALLTYPE EnumGroupsInGroup(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID,
                                                DWORD) override;
    HRESULT STDMETHODCALLTYPE GetGroupConnectionSettings(DWORD, DPID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SecureOpen(LPCDPSESSIONDESC2, DWORD, LPCDPSECURITYDESC,
                                         LPCDPCREDENTIALS) override;
    HRESULT STDMETHODCALLTYPE SendChatMessage(DPID, DPID, DWORD, LPDPCHAT) override;
    HRESULT STDMETHODCALLTYPE SetGroupConnectionSettings(DWORD, DPID, LPDPLCONNECTION) override;
    HRESULT STDMETHODCALLTYPE StartSession(DWORD, DPID) override;
    HRESULT STDMETHODCALLTYPE GetGroupFlags(DPID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetGroupParent(DPID, LPDPID) override;
    HRESULT STDMETHODCALLTYPE GetPlayerAccount(DPID, DWORD, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetPlayerFlags(DPID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetGroupOwner(DPID, LPDPID) override;
    HRESULT STDMETHODCALLTYPE SetGroupOwner(DPID, DPID) override;
    HRESULT STDMETHODCALLTYPE GetMessageQueue(DPID, DPID, DWORD, LPDWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE CancelMessage(DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE CancelPriority(DWORD, DWORD, DWORD) override;

private:
    struct Queued {
        DPID idFrom;
        DPID idTo;
        std::vector<BYTE> bytes;
    };

    ~RecordingDirectPlay() = default;
    HRESULT Unsupported(const char* name);
    void Record(std::string call);

    mutable std::mutex lock_;
    std::condition_variable drained_;
    LONG volatile refs_ = 1;
    std::vector<std::string> calls_;
    std::vector<Sent> sent_;
    std::vector<BYTE> connection_;
    DWORD openFlags_ = 0;
    DPSESSIONDESC2 openedDesc_{};
    std::string openedName_;
    DWORD playerFlags_ = 0;
    std::string playerName_;
    HANDLE playerEvent_ = nullptr;
    std::deque<Queued> inbound_;
    bool empty_ = true; // Receive found the queue empty after the last delivery
};

// Makes CoCreateInstance(CLSID_DirectPlay) hand out `directPlay` (one reference per call)
// while it lives; afterwards the stand-in's class is back.
class DirectPlayClassOverride {
public:
    explicit DirectPlayClassOverride(RecordingDirectPlay* directPlay);
    ~DirectPlayClassOverride();
    DirectPlayClassOverride(const DirectPlayClassOverride&) = delete;
    DirectPlayClassOverride& operator=(const DirectPlayClassOverride&) = delete;
};

} // namespace vorntest
