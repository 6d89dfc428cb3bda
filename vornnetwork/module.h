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

    // Runs the registry script held as resource `nResID` of type "REGISTRY", with %MODULE%
    // standing for this library's path.
    HRESULT UpdateRegistryFromResource(UINT nResID, BOOL bRegister);

private:
    HINSTANCE m_hInst = nullptr;
    LONG volatile m_nLockCnt = 0;
    CRITICAL_SECTION m_csObjMap{};
    ObjectMapEntry* m_pObjMap = nullptr;
    const GUID* m_pLibID = nullptr;

    // Registers or removes the type library held as resource TYPELIB 1.
    HRESULT RegisterTypeLib();
    HRESULT UnRegisterTypeLib();
};

extern CVornNetworkModule _Module;

// The library's entry point: DLL_PROCESS_ATTACH initialises the module, DLL_PROCESS_DETACH
// releases it. How the loader reaches it differs by platform (module_linux.cpp,
// module_windows.cpp).
extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved);
