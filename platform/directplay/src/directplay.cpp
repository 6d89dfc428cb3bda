// IDirectPlay4A: connection set-up, session enumeration, and the session operations that
// Session carries out.
#include "address.h"
#include "objects.h"
#include "session.h"

#include <cstring>
#include <map>
#include <mutex>
#include <random>

namespace directplay {
namespace {

constexpr DWORD kDefaultEnumerationTimeoutMs = 5000;
constexpr DWORD kJoinStatusWaitMs = 100;

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

GUID NewGuid() {
    static std::mutex lock;
    static std::mt19937_64 generator{std::random_device{}()};
    std::lock_guard guard(lock);
    GUID guid;
    const std::uint64_t high = generator();
    const std::uint64_t low = generator();
    std::memcpy(&guid, &high, sizeof high);
    std::memcpy(reinterpret_cast<BYTE*>(&guid) + sizeof high, &low, sizeof low);
    return guid;
}

class DirectPlay final : public ComObject<IDirectPlay4A, IID_IDirectPlay4A> {
public:
    // The supported subset
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
    HRESULT STDMETHODCALLTYPE Send(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                   DWORD dwDataSize) override {
        return SendEx(idFrom, idTo, dwFlags, lpData, dwDataSize, 0, 0, nullptr, nullptr);
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(LPCGUID lpguidApplication,
                                              LPDPENUMCONNECTIONSCALLBACK callback,
                                              LPVOID lpContext, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE InitializeConnection(LPVOID lpConnection, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE SendEx(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                     DWORD dwDataSize, DWORD dwPriority, DWORD dwTimeout,
                                     LPVOID lpContext, LPDWORD_PTR lpdwMsgID) override;

    // Outside the subset
    HRESULT STDMETHODCALLTYPE AddPlayerToGroup(DPID, DPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE CreateGroup(LPDPID, LPDPNAME, LPVOID, DWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DestroyGroup(DPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumGroupPlayers(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID,
                                               DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumGroups(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumPlayers(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID,
                                          DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDPCAPS, DWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetGroupData(DPID, LPVOID, LPDWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetGroupName(DPID, LPVOID, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetMessageCount(DPID, LPDWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetPlayerCaps(DPID, LPDPCAPS, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetPlayerData(DPID, LPVOID, LPDWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetPlayerName(DPID, LPVOID, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetSessionDesc(LPVOID, LPDWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(LPGUID) override { return DPERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE SetGroupData(DPID, LPVOID, DWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetGroupName(DPID, LPDPNAME, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetPlayerData(DPID, LPVOID, DWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetPlayerName(DPID, LPDPNAME, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetSessionDesc(LPDPSESSIONDESC2, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE AddGroupToGroup(DPID, DPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE CreateGroupInGroup(DPID, LPDPID, LPDPNAME, LPVOID, DWORD,
                                                 DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DeleteGroupFromGroup(DPID, DPID) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumGroupsInGroup(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID,
                                                DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetGroupConnectionSettings(DWORD, DPID, LPVOID, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SecureOpen(LPCDPSESSIONDESC2, DWORD, LPCDPSECURITYDESC,
                                         LPCDPCREDENTIALS) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SendChatMessage(DPID, DPID, DWORD, LPDPCHAT) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetGroupConnectionSettings(DWORD, DPID, LPDPLCONNECTION) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE StartSession(DWORD, DPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetGroupFlags(DPID, LPDWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetGroupParent(DPID, LPDPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetPlayerAccount(DPID, DWORD, LPVOID, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetPlayerFlags(DPID, LPDWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetGroupOwner(DPID, LPDPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetGroupOwner(DPID, DPID) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetMessageQueue(DPID, DPID, DWORD, LPDWORD, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE CancelMessage(DWORD, DWORD) override { return DPERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE CancelPriority(DWORD, DWORD, DWORD) override {
        return DPERR_UNSUPPORTED;
    }

private:
    std::shared_ptr<Session> CurrentSession() {
        std::lock_guard guard(lock_);
        return session_;
    }
    HRESULT FinishJoin(DWORD dwFlags);

    std::mutex lock_;
    const Provider* provider_ = nullptr; // set by InitializeConnection
    std::string hostAddress_;            // DPAID_INet of the connection, if any
    std::map<GUID, FoundSession, GuidLess> enumerated_;
    std::shared_ptr<Session> session_;
    bool joining_ = false;
};

HRESULT DirectPlay::EnumConnections(LPCGUID, LPDPENUMCONNECTIONSCALLBACK callback, LPVOID lpContext,
                                    DWORD dwFlags) {
    if (callback == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    if (dwFlags != 0 && !(dwFlags & DPCONNECTION_DIRECTPLAY)) {
        return DP_OK; // no lobby providers
    }
    for (const Provider& provider : Providers()) {
        const AddressElement element = ProviderElement(*provider.guid);
        std::vector<BYTE> connection = BuildAddress({&element, 1});
        std::string name = provider.name;
        DPNAME dpName{};
        dpName.dwSize = sizeof dpName;
        dpName.lpszShortNameA = name.data();
        if (!callback(provider.guid, connection.data(), static_cast<DWORD>(connection.size()),
                      &dpName, DPCONNECTION_DIRECTPLAY, lpContext)) {
            break;
        }
    }
    return DP_OK;
}

HRESULT DirectPlay::InitializeConnection(LPVOID lpConnection, DWORD dwFlags) {
    if (dwFlags != 0) {
        return DPERR_INVALIDFLAGS;
    }
    const GUID* providerGuid = nullptr;
    GUID found{};
    std::string host;
    const HRESULT hr =
        ForEachAddressElement(lpConnection, AddressTotalSize(lpConnection),
                              [&](const GUID& type, DWORD size, const void* data) {
                                  if (type == DPAID_ServiceProvider && size == sizeof(GUID)) {
                                      std::memcpy(&found, data, sizeof found);
                                      providerGuid = &found;
                                  } else if (type == DPAID_INet && size > 0) {
                                      host.assign(static_cast<const char*>(data),
                                                  strnlen(static_cast<const char*>(data), size));
                                  }
                                  return true;
                              });
    if (FAILED(hr) || providerGuid == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    const Provider* provider = FindProvider(*providerGuid);
    if (provider == nullptr) {
        return DPERR_UNAVAILABLE;
    }
    std::lock_guard guard(lock_);
    if (provider_ != nullptr) {
        return DPERR_ALREADYINITIALIZED;
    }
    provider_ = provider;
    hostAddress_ = host;
    return DP_OK;
}

HRESULT DirectPlay::EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD dwTimeout,
                                 LPDPENUMSESSIONSCALLBACK2 callback, LPVOID lpContext,
                                 DWORD dwFlags) {
    if (lpsd == nullptr || callback == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    if (dwFlags & (DPENUMSESSIONS_ASYNC | DPENUMSESSIONS_STOPASYNC)) {
        return DPERR_UNSUPPORTED;
    }
    const Settings settings = ReadSettings();
    const Provider* provider;
    std::string target;
    {
        std::lock_guard guard(lock_);
        provider = provider_;
        target = hostAddress_.empty() ? settings.enumerationAddress : hostAddress_;
    }
    if (provider == nullptr) {
        return DPERR_UNINITIALIZED;
    }
    const auto address = ResolveIPv4(target);
    if (!address) {
        return DPERR_INVALIDPARAMS;
    }
    DWORD timeout = settings.enumerationTimeoutMs.value_or(
        dwTimeout != 0 ? dwTimeout : kDefaultEnumerationTimeoutMs);
    const bool availableOnly = !(dwFlags & DPENUMSESSIONS_ALL);
    auto found = [&](const FoundSession& session) {
        {
            std::lock_guard guard(lock_);
            enumerated_[session.summary.instance] = session;
        }
        if (availableOnly && !AcceptsNewPlayers(session.summary)) {
            return true;
        }
        std::string name = session.summary.name;
        DPSESSIONDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = session.summary.flags;
        desc.guidInstance = session.summary.instance;
        desc.guidApplication = session.summary.application;
        desc.dwMaxPlayers = session.summary.maxPlayers;
        desc.dwCurrentPlayers = session.summary.currentPlayers;
        desc.lpszSessionNameA = name.data();
        return callback(&desc, &timeout, 0, lpContext) != FALSE;
    };
    auto timedOut = [&](DWORD& nextTimeout) {
        const bool goOn = callback(nullptr, &timeout, DPESC_TIMEDOUT, lpContext) != FALSE;
        nextTimeout = timeout;
        return goOn;
    };
    return EnumerateSessions(settings, *provider, *address, lpsd->guidApplication, timeout, found,
                             timedOut);
}

HRESULT DirectPlay::Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) {
    if (lpsd == nullptr || (dwFlags & (DPOPEN_JOIN | DPOPEN_CREATE)) == 0 ||
        (dwFlags & DPOPEN_JOIN && dwFlags & DPOPEN_CREATE)) {
        return DPERR_INVALIDPARAMS;
    }
    SessionConfig config;
    {
        std::lock_guard guard(lock_);
        if (joining_) {
            return FinishJoin(dwFlags);
        }
        if (session_ != nullptr) {
            return DPERR_ALREADYINITIALIZED;
        }
        if (provider_ == nullptr) {
            return DPERR_UNINITIALIZED;
        }
        config.settings = ReadSettings();
        config.provider = provider_;
        if (dwFlags & DPOPEN_JOIN) {
            auto found = enumerated_.find(lpsd->guidInstance);
            if (found == enumerated_.end()) {
                return DPERR_NOSESSIONS;
            }
            config.summary = found->second.summary;
            config.host = found->second.host;
        }
    }
    std::unique_ptr<Session> session;
    if (dwFlags & DPOPEN_CREATE) {
        config.summary.instance = NewGuid();
        config.summary.application = lpsd->guidApplication;
        config.summary.flags = lpsd->dwFlags;
        config.summary.maxPlayers = lpsd->dwMaxPlayers;
        if (lpsd->lpszSessionNameA != nullptr) {
            config.summary.name = lpsd->lpszSessionNameA;
        }
        const HRESULT hr = Session::Create(config, session);
        if (SUCCEEDED(hr)) {
            std::lock_guard guard(lock_);
            session_ = std::move(session);
        }
        return hr;
    }
    const HRESULT hr = Session::BeginJoin(config, session);
    if (FAILED(hr)) {
        return hr;
    }
    std::lock_guard guard(lock_);
    session_ = std::move(session);
    joining_ = true;
    return FinishJoin(dwFlags);
}

// With the lock held: waits a little (DPOPEN_RETURNSTATUS) or until the join is decided.
HRESULT DirectPlay::FinishJoin(DWORD dwFlags) {
    HRESULT hr;
    do {
        hr = session_->JoinStatus(kJoinStatusWaitMs);
    } while (hr == DPERR_CONNECTING && !(dwFlags & DPOPEN_RETURNSTATUS));
    if (hr == DPERR_CONNECTING) {
        return hr;
    }
    joining_ = false;
    if (FAILED(hr)) {
        session_.reset();
    }
    return hr;
}

HRESULT DirectPlay::Close() {
    std::shared_ptr<Session> closing;
    {
        std::lock_guard guard(lock_);
        closing = std::move(session_);
        joining_ = false;
    }
    return DP_OK;
}

HRESULT DirectPlay::CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, HANDLE hEvent, LPVOID,
                                 DWORD, DWORD dwFlags) {
    if (lpidPlayer == nullptr) {
        return DPERR_INVALIDPARAMS;
    }
    auto session = CurrentSession();
    return session ? session->CreatePlayer(*lpidPlayer, lpPlayerName, hEvent, dwFlags)
                   : DPERR_INVALIDOBJECT;
}

HRESULT DirectPlay::DeletePlayerFromGroup(DPID, DPID) {
    // This stand-in has no groups, so no group id names one.
    return CurrentSession() ? DPERR_INVALIDGROUP : DPERR_INVALIDOBJECT;
}

HRESULT DirectPlay::DestroyPlayer(DPID idPlayer) {
    auto session = CurrentSession();
    return session ? session->DestroyPlayer(idPlayer) : DPERR_INVALIDOBJECT;
}

HRESULT DirectPlay::GetPlayerAddress(DPID idPlayer, LPVOID lpData, LPDWORD lpdwDataSize) {
    auto session = CurrentSession();
    if (!session) {
        return DPERR_INVALIDOBJECT;
    }
    std::vector<BYTE> address;
    const HRESULT hr = session->PlayerAddress(idPlayer, address);
    return FAILED(hr) ? hr : CopyToCaller(address, lpData, lpdwDataSize);
}

HRESULT DirectPlay::Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags, LPVOID lpData,
                            LPDWORD lpdwDataSize) {
    auto session = CurrentSession();
    return session ? session->Receive(lpidFrom, lpidTo, dwFlags, lpData, lpdwDataSize)
                   : DPERR_INVALIDOBJECT;
}

HRESULT DirectPlay::SendEx(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData, DWORD dwDataSize,
                           DWORD, DWORD, LPVOID, LPDWORD_PTR) {
    if (lpData == nullptr && dwDataSize != 0) {
        return DPERR_INVALIDPARAMS;
    }
    auto session = CurrentSession();
    if (!session) {
        return DPERR_INVALIDOBJECT;
    }
    return session->Send(idFrom, idTo, dwFlags,
                         {static_cast<const BYTE*>(lpData), static_cast<std::size_t>(dwDataSize)});
}

} // namespace

HRESULT CreateDirectPlay(REFIID riid, void** object) {
    return CreateObject<DirectPlay>(riid, object);
}

} // namespace directplay
