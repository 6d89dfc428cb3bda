// The module's platform part on Windows: the resources are the DLL's own (VornNetwork.rc),
// the loader calls DllMain, and the type library is registered through OLE Automation.
#include "module.h"

#include "com/registrar.h"

#include <string>

namespace {

// This library's path, as the registry and LoadTypeLibEx need it.
template <typename Char, typename GetPath>
HRESULT ModulePath(GetPath getPath, HINSTANCE module, std::basic_string<Char>& path) {
    path.assign(MAX_PATH, Char{});
    for (;;) {
        const DWORD length = getPath(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            return S_OK;
        }
        path.resize(path.size() * 2);
    }
}

// Loads the type library held as resource TYPELIB 1 of this module.
HRESULT LoadModuleTypeLib(HINSTANCE module, REGKIND kind, ITypeLib** ppTypeLib) {
    std::wstring path;
    const HRESULT hr = ModulePath<wchar_t>(GetModuleFileNameW, module, path);
    return FAILED(hr) ? hr : LoadTypeLibEx(path.c_str(), kind, ppTypeLib);
}

} // namespace

HRESULT CVornNetworkModule::UpdateRegistryFromResource(UINT nResID, BOOL bRegister) {
    std::string modulePath;
    const HRESULT hr = ModulePath<char>(GetModuleFileNameA, m_hInst, modulePath);
    if (FAILED(hr)) {
        return hr;
    }
    com::CRegObject registrar;
    registrar.AddReplacement("MODULE", modulePath.c_str());
    return bRegister ? registrar.ResourceRegister(m_hInst, nResID, "REGISTRY")
                     : registrar.ResourceUnregister(m_hInst, nResID, "REGISTRY");
}

HRESULT CVornNetworkModule::RegisterTypeLib() {
    ITypeLib* typeLib = nullptr;
    const HRESULT hr = LoadModuleTypeLib(m_hInst, REGKIND_REGISTER, &typeLib);
    if (SUCCEEDED(hr)) {
        typeLib->Release();
    }
    return hr;
}

HRESULT CVornNetworkModule::UnRegisterTypeLib() {
    ITypeLib* typeLib = nullptr;
    HRESULT hr = LoadModuleTypeLib(m_hInst, REGKIND_NONE, &typeLib);
    if (FAILED(hr)) {
        return hr;
    }
    TLIBATTR* attr = nullptr;
    hr = typeLib->GetLibAttr(&attr);
    if (SUCCEEDED(hr)) {
        hr = ::UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                                 attr->syskind);
        typeLib->ReleaseTLibAttr(attr);
    }
    typeLib->Release();
    return hr;
}
