// The module's platform part on Linux: the resources are embedded as symbols and made
// known to the platform when the library loads; constructors stand in for the loader's
// DllMain notifications; the registrar and type library registration are the platform's.
#include "module.h"
#include "resource.h"

#include "com/registrar.h"
#include "win32/extensions.h"

extern const unsigned char VornNetwork_tlb[];
extern const std::size_t VornNetwork_tlb_size;
extern const unsigned char VornLANNetwork_rgs[];
extern const std::size_t VornLANNetwork_rgs_size;

HRESULT CVornNetworkModule::UpdateRegistryFromResource(UINT nResID, BOOL bRegister) {
    char modulePath[4096];
    if (GetModuleFileNameA(m_hInst, modulePath, sizeof modulePath) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    com::CRegObject registrar;
    registrar.AddReplacement("MODULE", modulePath);
    return bRegister ? registrar.ResourceRegister(m_hInst, nResID, "REGISTRY")
                     : registrar.ResourceUnregister(m_hInst, nResID, "REGISTRY");
}

HRESULT CVornNetworkModule::RegisterTypeLib() {
    return AtlRegisterTypeLib(m_hInst, nullptr);
}

HRESULT CVornNetworkModule::UnRegisterTypeLib() {
    return AtlUnRegisterTypeLib(m_hInst, nullptr);
}

namespace {

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
    const HINSTANCE module = _Module.GetModuleInstance();
    DllMain(module, DLL_PROCESS_DETACH, nullptr);
    win32::UnregisterModuleResources(module);
}

} // namespace
