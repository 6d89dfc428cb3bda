// VornNetwork.cpp : the library's entry point, exports and object map.
#include "module.h"
#include "resource.h"
#include "vornlannetwork.h"

#ifdef _WIN32
// Exported through VornNetwork.def.
#define VORN_EXPORT extern "C"
#else
#define VORN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

const UINT g_nNetworkMessage = RegisterWindowMessageA("Ballix network message");

namespace {

HRESULT UpdateRegistryVornLANNetwork(BOOL bRegister) {
    return _Module.UpdateRegistryFromResource(IDR_VORNLANNETWORK, bRegister);
}

ObjectMapEntry ObjectMap[] = {
    {&CLSID_VornLANNetwork, UpdateRegistryVornLANNetwork, CVornLANNetwork::CreateInstance, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        _Module.Init(ObjectMap, hInstance, &LIBID_VORNNETWORKLib);
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        _Module.Term();
    }
    return TRUE;
}

// Used to determine whether the library can be unloaded.
VORN_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return _Module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

// Returns a class factory to create an object of the requested type.
VORN_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return _Module.GetClassObject(rclsid, riid, ppv);
}

// Adds entries to the system registry.
VORN_EXPORT HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    return _Module.RegisterServer();
}

// Removes entries from the system registry.
VORN_EXPORT HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
    return _Module.UnregisterServer();
}
