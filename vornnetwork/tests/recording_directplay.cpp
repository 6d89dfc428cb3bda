#include "recording_directplay.h"

#include "com/builtin_classes.h"
#include "dplobby.h"

#include <chrono>
#include <cstring>

namespace vorntest {
namespace {

// Connection data the recording session offers, by provider.
const std::string kIpxConnection = "ipx connection";
const std::string kTcpIpConnection = "tcp/ip connection";
constexpr GUID kOtherProvider{
    0x0f1d6860, 0x88d9, 0x11cf, {0x9c, 0x4e, 0x00, 0xa0, 0xc9, 0x05, 0x42, 0x5e}};

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace

RecordingDirectPlay::RecordingDirectPlay() = default;

void RecordingDirectPlay::Deliver(DPID idFrom, DPID idTo, std::vector<BYTE> bytes) {
    HANDLE event = nullptr;
    {
        std::lock_guard guard(lock_);
        inbound_.push_back(Queued{idFrom, idTo, std::move(bytes)});
        empty_ = false;
        event = playerEvent_;
    }
    SetEvent(event);
}

bool RecordingDirectPlay::WaitDrained(unsigned timeoutMs) {
    std::unique_lock guard(lock_);
    return drained_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                             [this] { return empty_ && inbound_.empty(); });
}

std::vector<std::string> RecordingDirectPlay::Calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

std::vector<RecordingDirectPlay::Sent> RecordingDirectPlay::SentMessages() const {
    std::lock_guard guard(lock_);
    return sent_;
}

std::vector<BYTE> RecordingDirectPlay::Connection() const {
    std::lock_guard guard(lock_);
    return connection_;
}

DWORD RecordingDirectPlay::OpenFlags() const {
    std::lock_guard guard(lock_);
    return openFlags_;
}

DPSESSIONDESC2 RecordingDirectPlay::OpenedDesc() const {
    std::lock_guard guard(lock_);
    return openedDesc_;
}

std::string RecordingDirectPlay::OpenedSessionName() const {
    std::lock_guard guard(lock_);
    return openedName_;
}

DWORD RecordingDirectPlay::PlayerFlags() const {
    std::lock_guard guard(lock_);
    return playerFlags_;
}

std::string RecordingDirectPlay::PlayerName() const {
    std::lock_guard guard(lock_);
    return playerName_;
}

LONG RecordingDirectPlay::References() const {
    return refs_;
}

void RecordingDirectPlay::Record(std::string call) {
    std::lock_guard guard(lock_);
    calls_.push_back(std::move(call));
}

HRESULT RecordingDirectPlay::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (riid != IID_IUnknown && riid != IID_IDirectPlay4A) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDirectPlay4A*>(this);
    AddRef();
    return S_OK;
}

ULONG RecordingDirectPlay::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG RecordingDirectPlay::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        delete this;
    }
    return static_cast<ULONG>(refs);
}

HRESULT RecordingDirectPlay::Close() {
    Record("Close");
    return DP_OK;
}

HRESULT RecordingDirectPlay::CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, HANDLE hEvent,
                                          LPVOID, DWORD, DWORD dwFlags) {
    Record("CreatePlayer");
    std::lock_guard guard(lock_);
    *lpidPlayer = nextPlayerId;
    playerFlags_ = dwFlags;
    playerName_ = lpPlayerName != nullptr ? Text(lpPlayerName->lpszShortNameA) : "";
    playerEvent_ = hEvent;
    return DP_OK;
}

HRESULT RecordingDirectPlay::DeletePlayerFromGroup(DPID idGroup, DPID idPlayer) {
    Record("DeletePlayerFromGroup " + std::to_string(idGroup) + " " + std::to_string(idPlayer));
    return DPERR_INVALIDGROUP;
}

HRESULT RecordingDirectPlay::DestroyPlayer(DPID idPlayer) {
    Record("DestroyPlayer " + std::to_string(idPlayer));
    return DP_OK;
}

HRESULT RecordingDirectPlay::EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD,
                                          LPDPENUMSESSIONSCALLBACK2 callback, LPVOID lpContext,
                                          DWORD) {
    Record("EnumSessions");
    DPSESSIONDESC2 found = *lpsd;
    found.guidApplication = sessionApplication;
    found.guidInstance = GUID{0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    found.dwCurrentPlayers = 1;
    char name[] = "found session";
    found.lpszSessionNameA = name;
    DWORD timeout = 0;
    if (callback(&found, &timeout, 0, lpContext)) {
        callback(nullptr, &timeout, DPESC_TIMEDOUT, lpContext);
    }
    return DP_OK;
}

HRESULT RecordingDirectPlay::GetPlayerAddress(DPID idPlayer, LPVOID lpData, LPDWORD lpdwDataSize) {
    Record("GetPlayerAddress " + std::to_string(idPlayer));
    IDirectPlayLobby3A* lobby = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectPlayLobby, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDirectPlayLobby3A, reinterpret_cast<void**>(&lobby));
    if (FAILED(hr)) {
        return hr;
    }
    GUID provider = DPSPGUID_TCPIP;
    std::vector<DPCOMPOUNDADDRESSELEMENT> elements{
        {DPAID_ServiceProvider, sizeof provider, &provider}};
    for (std::string& address : internetAddresses) {
        elements.push_back({DPAID_INet, static_cast<DWORD>(address.size() + 1), address.data()});
    }
    hr = lobby->CreateCompoundAddress(elements.data(), static_cast<DWORD>(elements.size()), lpData,
                                      lpdwDataSize);
    lobby->Release();
    return hr;
}

HRESULT RecordingDirectPlay::Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) {
    Record("Open");
    std::lock_guard guard(lock_);
    openFlags_ = dwFlags;
    openedDesc_ = *lpsd;
    openedName_ = Text(lpsd->lpszSessionNameA);
    if (openResults.empty()) {
        return DP_OK;
    }
    const HRESULT hr = openResults.front();
    openResults.erase(openResults.begin());
    return hr;
}

HRESULT RecordingDirectPlay::Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD, LPVOID lpData,
                                     LPDWORD lpdwDataSize) {
    std::lock_guard guard(lock_);
    if (inbound_.empty()) {
        empty_ = true;
        drained_.notify_all();
        return DPERR_NOMESSAGES;
    }
    const Queued& next = inbound_.front();
    const DWORD capacity = *lpdwDataSize;
    *lpdwDataSize = static_cast<DWORD>(next.bytes.size());
    if (lpData == nullptr || capacity < next.bytes.size()) {
        return DPERR_BUFFERTOOSMALL;
    }
    std::memcpy(lpData, next.bytes.data(), next.bytes.size());
    *lpidFrom = next.idFrom;
    *lpidTo = next.idTo;
    inbound_.pop_front();
    return DP_OK;
}

HRESULT RecordingDirectPlay::EnumConnections(LPCGUID, LPDPENUMCONNECTIONSCALLBACK callback,
                                             LPVOID lpContext, DWORD) {
    Record("EnumConnections");
    const struct {
        GUID provider;
        const std::string& data;
    } connections[] = {{kOtherProvider, kIpxConnection},
                       {DPSPGUID_IPX, kIpxConnection},
                       {DPSPGUID_TCPIP, kTcpIpConnection}};
    for (const auto& connection : connections) {
        std::vector<char> data(connection.data.c_str(),
                               connection.data.c_str() + connection.data.size() + 1);
        DPNAME name{};
        if (!callback(&connection.provider, data.data(), static_cast<DWORD>(data.size()), &name, 0,
                      lpContext)) {
            break;
        }
    }
    return DP_OK;
}

HRESULT RecordingDirectPlay::InitializeConnection(LPVOID lpConnection, DWORD) {
    Record("InitializeConnection");
    std::lock_guard guard(lock_);
    // The tests' connections are texts; a host address built by the lobby is kept whole.
    const auto* bytes = static_cast<const BYTE*>(lpConnection);
    connection_.clear();
    if (bytes != nullptr) {
        const auto* header = reinterpret_cast<const DPADDRESS*>(bytes);
        const bool isAddress = header->guidDataType == DPAID_TotalSize;
        const std::size_t size = isAddress
                                     ? *reinterpret_cast<const DWORD*>(bytes + sizeof(DPADDRESS))
                                     : std::strlen(reinterpret_cast<const char*>(bytes));
        connection_.assign(bytes, bytes + size);
    }
    return DP_OK;
}

HRESULT RecordingDirectPlay::SendEx(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                    DWORD dwDataSize, DWORD, DWORD, LPVOID, LPDWORD_PTR) {
    Record("SendEx");
    const auto* bytes = static_cast<const BYTE*>(lpData);
    std::lock_guard guard(lock_);
    sent_.push_back(Sent{idFrom, idTo, dwFlags, std::vector<BYTE>(bytes, bytes + dwDataSize)});
    return DP_OK;
}

HRESULT RecordingDirectPlay::Unsupported(const char* name) {
    Record(name);
    return DPERR_UNSUPPORTED;
}

// clang-format off
HRESULT RecordingDirectPlay::AddPlayerToGroup(DPID, DPID) { return Unsupported("AddPlayerToGroup"); }
HRESULT RecordingDirectPlay::CreateGroup(LPDPID, LPDPNAME, LPVOID, DWORD, DWORD) { return Unsupported("CreateGroup"); }
HRESULT RecordingDirectPlay::DestroyGroup(DPID) { return Unsupported("DestroyGroup"); }
HRESULT RecordingDirectPlay::EnumGroupPlayers(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) { return Unsupported("EnumGroupPlayers"); }
HRESULT RecordingDirectPlay::EnumGroups(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) { return Unsupported("EnumGroups"); }
HRESULT RecordingDirectPlay::EnumPlayers(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) { return Unsupported("EnumPlayers"); }
HRESULT RecordingDirectPlay::GetCaps(LPDPCAPS, DWORD) { return Unsupported("GetCaps"); }
HRESULT RecordingDirectPlay::GetGroupData(DPID, LPVOID, LPDWORD, DWORD) { return Unsupported("GetGroupData"); }
HRESULT RecordingDirectPlay::GetGroupName(DPID, LPVOID, LPDWORD) { return Unsupported("GetGroupName"); }
HRESULT RecordingDirectPlay::GetMessageCount(DPID, LPDWORD) { return Unsupported("GetMessageCount"); }
HRESULT RecordingDirectPlay::GetPlayerCaps(DPID, LPDPCAPS, DWORD) { return Unsupported("GetPlayerCaps"); }
HRESULT RecordingDirectPlay::GetPlayerData(DPID, LPVOID, LPDWORD, DWORD) { return Unsupported("GetPlayerData"); }
HRESULT RecordingDirectPlay::GetPlayerName(DPID, LPVOID, LPDWORD) { return Unsupported("GetPlayerName"); }
HRESULT RecordingDirectPlay::GetSessionDesc(LPVOID, LPDWORD) { return Unsupported("GetSessionDesc"); }
HRESULT RecordingDirectPlay::Initialize(LPGUID) { return Unsupported("Initialize"); }
HRESULT RecordingDirectPlay::Send(DPID, DPID, DWORD, LPVOID, DWORD) { return Unsupported("Send"); }
HRESULT RecordingDirectPlay::SetGroupData(DPID, LPVOID, DWORD, DWORD) { return Unsupported("SetGroupData"); }
HRESULT RecordingDirectPlay::SetGroupName(DPID, LPDPNAME, DWORD) { return Unsupported("SetGroupName"); }
HRESULT RecordingDirectPlay::SetPlayerData(DPID, LPVOID, DWORD, DWORD) { return Unsupported("SetPlayerData"); }
HRESULT RecordingDirectPlay::SetPlayerName(DPID, LPDPNAME, DWORD) { return Unsupported("SetPlayerName"); }
HRESULT RecordingDirectPlay::SetSessionDesc(LPDPSESSIONDESC2, DWORD) { return Unsupported("SetSessionDesc"); }
HRESULT RecordingDirectPlay::AddGroupToGroup(DPID, DPID) { return Unsupported("AddGroupToGroup"); }
HRESULT RecordingDirectPlay::CreateGroupInGroup(DPID, LPDPID, LPDPNAME, LPVOID, DWORD, DWORD) { return Unsupported("CreateGroupInGroup"); }
HRESULT RecordingDirectPlay::DeleteGroupFromGroup(DPID, DPID) { return Unsupported("DeleteGroupFromGroup"); }
HRESULT RecordingDirectPlay::EnumGroupsInGroup(DPID, LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) { return Unsupported("EnumGroupsInGroup"); }
HRESULT RecordingDirectPlay::GetGroupConnectionSettings(DWORD, DPID, LPVOID, LPDWORD) { return Unsupported("GetGroupConnectionSettings"); }
HRESULT RecordingDirectPlay::SecureOpen(LPCDPSESSIONDESC2, DWORD, LPCDPSECURITYDESC, LPCDPCREDENTIALS) { return Unsupported("SecureOpen"); }
HRESULT RecordingDirectPlay::SendChatMessage(DPID, DPID, DWORD, LPDPCHAT) { return Unsupported("SendChatMessage"); }
HRESULT RecordingDirectPlay::SetGroupConnectionSettings(DWORD, DPID, LPDPLCONNECTION) { return Unsupported("SetGroupConnectionSettings"); }
HRESULT RecordingDirectPlay::StartSession(DWORD, DPID) { return Unsupported("StartSession"); }
HRESULT RecordingDirectPlay::GetGroupFlags(DPID, LPDWORD) { return Unsupported("GetGroupFlags"); }
HRESULT RecordingDirectPlay::GetGroupParent(DPID, LPDPID) { return Unsupported("GetGroupParent"); }
HRESULT RecordingDirectPlay::GetPlayerAccount(DPID, DWORD, LPVOID, LPDWORD) { return Unsupported("GetPlayerAccount"); }
HRESULT RecordingDirectPlay::GetPlayerFlags(DPID, LPDWORD) { return Unsupported("GetPlayerFlags"); }
HRESULT RecordingDirectPlay::GetGroupOwner(DPID, LPDPID) { return Unsupported("GetGroupOwner"); }
HRESULT RecordingDirectPlay::SetGroupOwner(DPID, DPID) { return Unsupported("SetGroupOwner"); }
HRESULT RecordingDirectPlay::GetMessageQueue(DPID, DPID, DWORD, LPDWORD, LPDWORD) { return Unsupported("GetMessageQueue"); }
HRESULT RecordingDirectPlay::CancelMessage(DWORD, DWORD) { return Unsupported("CancelMessage"); }
HRESULT RecordingDirectPlay::CancelPriority(DWORD, DWORD, DWORD) { return Unsupported("CancelPriority"); }
// clang-format on

namespace {

RecordingDirectPlay* overriding = nullptr;
IClassFactory* standIn = nullptr;

class OverrideFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        return overriding->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} overrideFactory;

HRESULT STDMETHODCALLTYPE OverrideClassObject(REFCLSID, REFIID riid, LPVOID* ppv) {
    return overrideFactory.QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE StandInClassObject(REFCLSID, REFIID riid, LPVOID* ppv) {
    return standIn->QueryInterface(riid, ppv);
}

} // namespace

DirectPlayClassOverride::DirectPlayClassOverride(RecordingDirectPlay* directPlay) {
    if (standIn == nullptr) {
        CoGetClassObject(CLSID_DirectPlay, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void**>(&standIn));
    }
    overriding = directPlay;
    com::RegisterBuiltinClass(CLSID_DirectPlay, OverrideClassObject);
}

DirectPlayClassOverride::~DirectPlayClassOverride() {
    com::RegisterBuiltinClass(CLSID_DirectPlay, StandInClassObject);
    overriding = nullptr;
}

} // namespace vorntest
