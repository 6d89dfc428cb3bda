// The module object of VornNetwork: instance handle, lock count, object map.
#pragma once

#include "VornNetwork.h"

// The number of the registered window message "Ballix network message", obtained
// while the library loads.
extern const UINT g_nNetworkMessage;

struct ObjectMapEntry {
    const CLSID* pclsid;
    HRESULT (*pfnUpdateRegistry)(BOOL bRegister);
    HRESULT (*pfnCreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppv);
    IClassFactory* pCF; // the class object, created at the first request
};

class CVornNetworkModule {
public:
    void Init(ObjectMapEntry* pObjMap, HINSTANCE hInstance, const GUID* plibid);
    void Term();

    LONG Lock() { return InterlockedIncrement(&m_nLockCnt); }
    LONG Unlock() { return InterlockedDecrement(&m_nLockCnt); }
    LONG GetLockCount() const { return m_nLockCnt; }
    HINSTANCE GetModuleInstance() const { return m_hInst; }

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

private:
    HINSTANCE m_hInst = nullptr;
    LONG volatile m_nLockCnt = 0;
    CRITICAL_SECTION m_csObjMap{};
    ObjectMapEntry* m_pObjMap = nullptr;
    const GUID* m_pLibID = nullptr;
};

extern CVornNetworkModule _Module;
