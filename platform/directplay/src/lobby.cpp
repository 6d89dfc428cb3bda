// IDirectPlayLobby3A: building and reading DirectPlay addresses.
#include "address.h"
#include "objects.h"

namespace directplay {
namespace {

class DirectPlayLobby final : public ComObject<IDirectPlayLobby3A, IID_IDirectPlayLobby3A> {
public:
    HRESULT STDMETHODCALLTYPE CreateAddress(REFGUID guidSP, REFGUID guidDataType, LPCVOID lpData,
                                            DWORD dwDataSize, LPVOID lpAddress,
                                            LPDWORD lpdwAddressSize) override {
        DPCOMPOUNDADDRESSELEMENT elements[] = {
            {DPAID_ServiceProvider, sizeof(GUID), const_cast<GUID*>(&guidSP)},
            {guidDataType, dwDataSize, const_cast<void*>(lpData)}};
        return CreateCompoundAddress(elements, 2, lpAddress, lpdwAddressSize);
    }
    HRESULT STDMETHODCALLTYPE EnumAddress(LPDPENUMADDRESSCALLBACK callback, LPCVOID lpAddress,
                                          DWORD dwAddressSize, LPVOID lpContext) override {
        if (callback == nullptr) {
            return DPERR_INVALIDPARAMS;
        }
        return ForEachAddressElement(lpAddress, dwAddressSize,
                                     [&](const GUID& type, DWORD size, const void* data) {
                                         return callback(type, size, data, lpContext) != FALSE;
                                     });
    }
    HRESULT STDMETHODCALLTYPE CreateCompoundAddress(LPCDPCOMPOUNDADDRESSELEMENT lpElements,
                                                    DWORD dwElementCount, LPVOID lpAddress,
                                                    LPDWORD lpdwAddressSize) override {
        if (lpElements == nullptr || dwElementCount == 0 || lpdwAddressSize == nullptr) {
            return DPERR_INVALIDPARAMS;
        }
        std::vector<AddressElement> elements;
        for (DWORD i = 0; i < dwElementCount; ++i) {
            const DPCOMPOUNDADDRESSELEMENT& element = lpElements[i];
            if (element.lpData == nullptr && element.dwDataSize != 0) {
                return DPERR_INVALIDPARAMS;
            }
            const auto* data = static_cast<const BYTE*>(element.lpData);
            elements.push_back({element.guidDataType, {data, data + element.dwDataSize}});
        }
        return CopyToCaller(BuildAddress(elements), lpAddress, lpdwAddressSize);
    }

    // Outside the subset
    HRESULT STDMETHODCALLTYPE Connect(DWORD, LPDIRECTPLAY2*, IUnknown*) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumAddressTypes(LPDPLENUMADDRESSTYPESCALLBACK, REFGUID, LPVOID,
                                               DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumLocalApplications(LPDPLENUMLOCALAPPLICATIONSCALLBACK, LPVOID,
                                                    DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionSettings(DWORD, LPVOID, LPDWORD) override {
        return DPERR_NOTLOBBIED;
    }
    HRESULT STDMETHODCALLTYPE ReceiveLobbyMessage(DWORD, DWORD, LPDWORD, LPVOID, LPDWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE RunApplication(DWORD, LPDWORD, LPDPLCONNECTION, HANDLE) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SendLobbyMessage(DWORD, DWORD, LPVOID, DWORD) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetConnectionSettings(DWORD, DWORD, LPDPLCONNECTION) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetLobbyMessageEvent(DWORD, DWORD, HANDLE) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE ConnectEx(DWORD, REFIID, LPVOID*, IUnknown*) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE RegisterApplication(DWORD, LPVOID) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE UnregisterApplication(DWORD, REFGUID) override {
        return DPERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE WaitForConnectionSettings(DWORD) override {
        return DPERR_UNSUPPORTED;
    }
};

} // namespace

HRESULT CreateDirectPlayLobby(REFIID riid, void** object) {
    return CreateObject<DirectPlayLobby>(riid, object);
}

} // namespace directplay
