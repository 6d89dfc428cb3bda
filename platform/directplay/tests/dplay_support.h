// Steps shared by the peer program and the in-process tests: creating the objects,
// choosing a provider, hosting and joining a client/server session.
#pragma once

#include "dplobby.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dptest {

constexpr DWORD kSessionFlags =
    DPSESSION_CLIENTSERVER | DPSESSION_DIRECTPLAYPROTOCOL | DPSESSION_KEEPALIVE;

// An application GUID that differs from the others by Data1.
GUID Application(std::uint32_t data1);

// Owns one reference to a COM interface.
template <typename T> class Ref {
public:
    Ref() = default;
    explicit Ref(T* pointer) : pointer_(pointer) {}
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = other.pointer_;
            other.pointer_ = nullptr;
        }
        return *this;
    }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    void Reset() {
        if (pointer_ != nullptr) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }

private:
    T* pointer_ = nullptr;
};

Ref<IDirectPlay4A> CreateDirectPlay();
Ref<IDirectPlayLobby3A> CreateLobby();

// Initialises the connection of the provider with that index (0 TCP/IP, 1 IPX) as found by
// EnumConnections.
HRESULT InitializeProvider(IDirectPlay4A* dp, int provider);
// Initialises TCP/IP with a host address built by the lobby.
HRESULT InitializeTcpIpHost(IDirectPlay4A* dp, const std::string& host);

HRESULT HostSession(IDirectPlay4A* dp, const GUID& application, DWORD maxPlayers, const char* name);

struct FoundSession {
    DPSESSIONDESC2 desc{};
    std::string name;
};
// EnumSessions until the time-out; every session reported.
HRESULT FindSessions(IDirectPlay4A* dp, const GUID& application, DWORD timeoutMs, DWORD flags,
                     std::vector<FoundSession>& sessions);
// Enumerates, stops at the first session of the application, joins it (DPOPEN_RETURNSTATUS,
// repeating while DPERR_CONNECTING, for at most `connectLimitMs`). Open's error when none is
// found.
HRESULT JoinSession(IDirectPlay4A* dp, const GUID& application, DWORD timeoutMs, DWORD enumFlags,
                    DWORD connectLimitMs = INFINITE);
// A game's client: initialises TCP/IP, joins the first available session of the application
// and creates an unnamed player whose messages signal `event`.
HRESULT JoinAsPlayer(IDirectPlay4A* dp, const GUID& application, HANDLE event, DPID& id,
                     DWORD connectLimitMs = INFINITE);

HRESULT CreateNamedPlayer(IDirectPlay4A* dp, DPID& id, const char* name, HANDLE event, DWORD flags);

// Receives the next message into `buffer`, growing it as DirectPlay asks.
HRESULT ReceiveAny(IDirectPlay4A* dp, DPID& from, DPID& to, std::vector<BYTE>& buffer);

} // namespace dptest
