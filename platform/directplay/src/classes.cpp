// Class objects of the stand-in, registered as built-in classes of the COM runtime.
#include "directplay/classes.h"
#include "com/builtin_classes.h"
#include "objects.h"

#include <mutex>

namespace directplay {
namespace {

using Creator = HRESULT (*)(REFIID riid, void** object);

// A class object with static lifetime: reference counting does not free it.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(Creator create) : create_(create) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (outer != nullptr) {
            if (object != nullptr) {
                *object = nullptr;
            }
            return CLASS_E_NOAGGREGATION;
        }
        return create_(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Creator create_;
};

ClassFactory directPlayFactory(CreateDirectPlay);
ClassFactory lobbyFactory(CreateDirectPlayLobby);

HRESULT STDMETHODCALLTYPE GetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (clsid == CLSID_DirectPlay) {
        return directPlayFactory.QueryInterface(riid, object);
    }
    if (clsid == CLSID_DirectPlayLobby) {
        return lobbyFactory.QueryInterface(riid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace

void RegisterClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        com::RegisterBuiltinClass(CLSID_DirectPlay, GetClassObject);
        com::RegisterBuiltinClass(CLSID_DirectPlayLobby, GetClassObject);
    });
}

} // namespace directplay
