// VornNetwork.cpp : the library's entry point, exports, object map and resources.
#include "module.h"
#include "resource.h"
#include "vornlannetwork.h"

#include "com/registrar.h"
#include "win32/extensions.h"

#define VORN_EXPORT extern "C" __attribute__((visibility("default")))

extern const unsigned char VornNetwork_tlb[];
extern const std::size_t VornNetwork_tlb_size;
extern const unsigned char VornLANNetwork_rgs[];
extern const std::size_t VornLANNetwork_rgs_size;

const UINT g_nNetworkMessage = RegisterWindowMessageA("Ballix network message");

namespace {

// Runs the class's registry script, resource IDR_VORNLANNETWORK.
HRESULT UpdateRegistryVornLANNetwork(BOOL bRegister) {
    char modulePath[4096];
    if (GetModuleFileNameA(_Module.GetModuleInstance(), modulePath, sizeof modulePath) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    com::CRegObject registrar;
    registrar.AddReplacement("MODULE", modulePath);
    return bRegister ? registrar.ResourceRegister(_Module.GetModuleInstance(), IDR_VORNLANNETWORK,
                                                  "REGISTRY")
                     : registrar.ResourceUnregister(_Module.GetModuleInstance(), IDR_VORNLANNETWORK,
                                                    "REGISTRY");
}

ObjectMapEntry ObjectMap[] = {
    {&CLSID_VornLANNetwork, UpdateRegistryVornLANNetwork, CVornLANNetwork::CreateInstance, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

const std::vector<BYTE>& VersionResource() {
    static const std::vector<BYTE> version =
        win32::BuildVersionResource(0x00010000, 0x00000001,
                                    {{"CompanyName", ""},
                                     {"FileDescription", "VornNetwork Module"},
                                     {"FileVersion", "1, 0, 0, 1"},
                                     {"InternalName", "VornNetwork"},
                                     {"OriginalFilename", "VornNetwork.DLL"},
                                     {"ProductName", "VornNetwork Module"},
                                     {"ProductVersion", "1, 0, 0, 1"},
                                     {"OLESelfRegister", ""}});
    return version;
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        _Module.Init(ObjectMap, hInstance, &LIBID_VORNNETWORKLib);
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        _Module.Term();
    }
    return TRUE;
}

// The loader's notifications: the resources become known, then DllMain runs.
__attribute__((constructor)) void ProcessAttach() {
    const HMODULE module = win32::RegisterModuleResources(
        reinterpret_cast<const void*>(&ProcessAttach),
        {{std::string("TYPELIB"), WORD{1}, {VornNetwork_tlb, VornNetwork_tlb_size}},
         {std::string("REGISTRY"),
          WORD{IDR_VORNLANNETWORK},
          {VornLANNetwork_rgs, VornLANNetwork_rgs_size}},
         {WORD{16} /* RT_VERSION */, WORD{1}, VersionResource()}},
        {{IDS_PROJNAME, "VornNetwork"}});
    DllMain(module, DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void ProcessDetach() {
    DllMain(_Module.GetModuleInstance(), DLL_PROCESS_DETACH, nullptr);
    win32::UnregisterModuleResources(_Module.GetModuleInstance());
}

} // namespace

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
