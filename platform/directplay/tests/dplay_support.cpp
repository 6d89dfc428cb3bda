#include "dplay_support.h"

#include <chrono>
#include <cstring>

namespace dptest {

GUID Application(std::uint32_t data1) {
    return {data1, 0x1234, 0x5678, {0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78}};
}

Ref<IDirectPlay4A> CreateDirectPlay() {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay4A,
                                &object))) {
        return {};
    }
    return Ref<IDirectPlay4A>(static_cast<IDirectPlay4A*>(object));
}

Ref<IDirectPlayLobby3A> CreateLobby() {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectPlayLobby, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDirectPlayLobby3A, &object))) {
        return {};
    }
    return Ref<IDirectPlayLobby3A>(static_cast<IDirectPlayLobby3A*>(object));
}

namespace {

struct ConnectionChoice {
    int wanted;
    int index = 0;
    std::vector<BYTE> connection;
};

BOOL CALLBACK PickConnection(LPCGUID, LPVOID connection, DWORD size, LPCDPNAME, DWORD,
                             LPVOID context) {
    auto* choice = static_cast<ConnectionChoice*>(context);
    if (choice->index++ != choice->wanted) {
        return TRUE;
    }
    const auto* bytes = static_cast<const BYTE*>(connection);
    choice->connection.assign(bytes, bytes + size);
    return FALSE;
}

struct SessionSearch {
    GUID application;
    bool stopAtFirst;
    std::vector<FoundSession>* sessions;
};

BOOL CALLBACK CollectSession(LPCDPSESSIONDESC2 desc, LPDWORD, DWORD flags, LPVOID context) {
    auto* search = static_cast<SessionSearch*>(context);
    if (flags & DPESC_TIMEDOUT) {
        return FALSE;
    }
    search->sessions->push_back({*desc, desc->lpszSessionNameA ? desc->lpszSessionNameA : ""});
    return !(search->stopAtFirst && desc->guidApplication == search->application);
}

HRESULT Enumerate(IDirectPlay4A* dp, const GUID& application, DWORD timeoutMs, DWORD flags,
                  bool stopAtFirst, std::vector<FoundSession>& sessions) {
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = application;
    SessionSearch search{application, stopAtFirst, &sessions};
    return dp->EnumSessions(&desc, timeoutMs, CollectSession, &search, flags);
}

} // namespace

HRESULT InitializeProvider(IDirectPlay4A* dp, int provider) {
    ConnectionChoice choice{provider, 0, {}};
    const HRESULT hr =
        dp->EnumConnections(nullptr, PickConnection, &choice, DPCONNECTION_DIRECTPLAY);
    if (FAILED(hr)) {
        return hr;
    }
    return dp->InitializeConnection(choice.connection.empty() ? nullptr : choice.connection.data(),
                                    0);
}

HRESULT InitializeTcpIpHost(IDirectPlay4A* dp, const std::string& host) {
    auto lobby = CreateLobby();
    DPCOMPOUNDADDRESSELEMENT elements[] = {
        {DPAID_ServiceProvider, sizeof(GUID), const_cast<GUID*>(&DPSPGUID_TCPIP)},
        {DPAID_INet, static_cast<DWORD>(host.size() + 1), const_cast<char*>(host.c_str())}};
    DWORD size = 0;
    HRESULT hr = lobby->CreateCompoundAddress(elements, 2, nullptr, &size);
    if (hr != DPERR_BUFFERTOOSMALL) {
        return hr;
    }
    std::vector<BYTE> address(size);
    hr = lobby->CreateCompoundAddress(elements, 2, address.data(), &size);
    return FAILED(hr) ? hr : dp->InitializeConnection(address.data(), 0);
}

HRESULT HostSession(IDirectPlay4A* dp, const GUID& application, DWORD maxPlayers,
                    const char* name) {
    std::string sessionName = name;
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kSessionFlags;
    desc.guidApplication = application;
    desc.dwMaxPlayers = maxPlayers;
    desc.lpszSessionNameA = sessionName.data();
    HRESULT hr;
    do {
        hr = dp->Open(&desc, DPOPEN_CREATE | DPOPEN_RETURNSTATUS);
    } while (hr == DPERR_CONNECTING);
    return hr;
}

HRESULT FindSessions(IDirectPlay4A* dp, const GUID& application, DWORD timeoutMs, DWORD flags,
                     std::vector<FoundSession>& sessions) {
    return Enumerate(dp, application, timeoutMs, flags, false, sessions);
}

HRESULT JoinSession(IDirectPlay4A* dp, const GUID& application, DWORD timeoutMs, DWORD enumFlags,
                    DWORD connectLimitMs) {
    std::vector<FoundSession> sessions;
    const HRESULT hr = Enumerate(dp, application, timeoutMs, enumFlags, true, sessions);
    if (FAILED(hr)) {
        return hr;
    }
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    for (const FoundSession& session : sessions) {
        if (session.desc.guidApplication == application) {
            desc = session.desc;
            desc.lpszSessionNameA = nullptr;
        }
    }
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(connectLimitMs);
    HRESULT open;
    do {
        open = dp->Open(&desc, DPOPEN_JOIN | DPOPEN_RETURNSTATUS);
    } while (open == DPERR_CONNECTING && std::chrono::steady_clock::now() < giveUp);
    return open;
}

HRESULT JoinAsPlayer(IDirectPlay4A* dp, const GUID& application, HANDLE event, DPID& id,
                     DWORD connectLimitMs) {
    HRESULT hr = InitializeProvider(dp, 0);
    if (SUCCEEDED(hr)) {
        hr = JoinSession(dp, application, 5000, DPENUMSESSIONS_AVAILABLE, connectLimitMs);
    }
    if (SUCCEEDED(hr)) {
        hr = dp->CreatePlayer(&id, nullptr, event, nullptr, 0, 0);
    }
    return hr;
}

HRESULT CreateNamedPlayer(IDirectPlay4A* dp, DPID& id, const char* name, HANDLE event,
                          DWORD flags) {
    std::string text = name;
    DPNAME dpName{};
    dpName.dwSize = sizeof dpName;
    dpName.lpszShortNameA = text.data();
    dpName.lpszLongNameA = text.data();
    return dp->CreatePlayer(&id, &dpName, event, nullptr, 0, flags);
}

HRESULT ReceiveAny(IDirectPlay4A* dp, DPID& from, DPID& to, std::vector<BYTE>& buffer) {
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        from = to = 0;
        const HRESULT hr =
            dp->Receive(&from, &to, DPRECEIVE_ALL, buffer.empty() ? nullptr : buffer.data(), &size);
        if (hr != DPERR_BUFFERTOOSMALL) {
            if (SUCCEEDED(hr)) {
                buffer.resize(size);
            }
            return hr;
        }
        buffer.resize(size);
    }
}

} // namespace dptest
