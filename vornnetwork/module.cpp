#include "module.h"

#include "classfactory.h"

CVornNetworkModule _Module;

void CVornNetworkModule::Init(ObjectMapEntry* pObjMap, HINSTANCE hInstance, const GUID* plibid) {
    m_pObjMap = pObjMap;
    m_hInst = hInstance;
    m_pLibID = plibid;
    InitializeCriticalSection(&m_csObjMap);
}

void CVornNetworkModule::Term() {
    for (ObjectMapEntry* entry = m_pObjMap; entry->pclsid != nullptr; ++entry) {
        if (entry->pCF != nullptr) {
            entry->pCF->Release();
            entry->pCF = nullptr;
        }
    }
    DeleteCriticalSection(&m_csObjMap);
}

HRESULT CVornNetworkModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    for (ObjectMapEntry* entry = m_pObjMap; entry->pclsid != nullptr; ++entry) {
        if (*entry->pclsid != rclsid) {
            continue;
        }
        EnterCriticalSection(&m_csObjMap);
        HRESULT hr = S_OK;
        if (entry->pCF == nullptr) {
            hr = CVornClassFactory::Create(entry->pfnCreateInstance, IID_IClassFactory,
                                           reinterpret_cast<void**>(&entry->pCF));
        }
        LeaveCriticalSection(&m_csObjMap);
        return SUCCEEDED(hr) ? entry->pCF->QueryInterface(riid, ppv) : hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CVornNetworkModule::RegisterServer() {
    for (ObjectMapEntry* entry = m_pObjMap; entry->pclsid != nullptr; ++entry) {
        const HRESULT hr = entry->pfnUpdateRegistry(TRUE);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return RegisterTypeLib();
}

HRESULT CVornNetworkModule::UnregisterServer() {
    for (ObjectMapEntry* entry = m_pObjMap; entry->pclsid != nullptr; ++entry) {
        const HRESULT hr = entry->pfnUpdateRegistry(FALSE);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return UnRegisterTypeLib();
}
