#include "com/builtin_classes.h"
#include "com/text.h"
#include "objbase.h"
#include "windows.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

thread_local int initCount = 0;

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

struct Runtime {
    std::mutex lock; // guards builtins
    std::map<CLSID, LPFNGETCLASSOBJECT, GuidLess> builtins;
    // Held while a server loads or unloads, whose start-up and clean-up may register
    // classes of the libraries it brings along: a lock of its own.
    std::mutex serversLock;
    std::map<std::string, HMODULE> servers; // loaded in-process servers by path
};

Runtime& State() {
    // Never destroyed: threads still running and libraries cleaning up use COM while the
    // process exits.
    static Runtime& runtime = *new Runtime;
    return runtime;
}

// The default value of HKEY_CLASSES_ROOT\<subKey>, or false.
bool ReadDefaultValue(const std::string& subKey, std::string& text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    const LONG result =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ || size == 0) {
        return false;
    }
    text.assign(buffer, size);
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return true;
}

HRESULT LoadServer(const std::string& path, LPFNGETCLASSOBJECT& getClassObject) {
    Runtime& runtime = State();
    std::lock_guard guard(runtime.serversLock);
    HMODULE& module = runtime.servers[path];
    if (module == nullptr) {
        module = LoadLibraryA(path.c_str());
        if (module == nullptr) {
            runtime.servers.erase(path);
            return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        }
    }
    getClassObject =
        reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
    return getClassObject != nullptr ? S_OK : CO_E_ERRORINDLL;
}

} // namespace

namespace com {

void RegisterBuiltinClass(const CLSID& clsid, LPFNGETCLASSOBJECT getClassObject) {
    Runtime& runtime = State();
    std::lock_guard guard(runtime.lock);
    runtime.builtins[clsid] = getClassObject;
}

void UnregisterBuiltinClass(const CLSID& clsid) {
    Runtime& runtime = State();
    std::lock_guard guard(runtime.lock);
    runtime.builtins.erase(clsid);
}

} // namespace com

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD) {
    return initCount++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize() {
    if (initCount > 0) {
        --initCount;
    }
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid,
                                LPVOID* ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (initCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if ((dwClsContext & CLSCTX_INPROC) == 0) {
        return REGDB_E_CLASSNOTREG; // no out-of-process servers here
    }
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    {
        Runtime& runtime = State();
        std::lock_guard guard(runtime.lock);
        auto builtin = runtime.builtins.find(rclsid);
        if (builtin != runtime.builtins.end()) {
            getClassObject = builtin->second;
        }
    }
    if (getClassObject == nullptr) {
        std::string path;
        if (!ReadDefaultValue("CLSID\\" + com::GuidToString(rclsid) + "\\InprocServer32", path)) {
            return REGDB_E_CLASSNOTREG;
        }
        const HRESULT hr = LoadServer(path, getClassObject);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return getClassObject(rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

void WINAPI CoFreeUnusedLibraries() {
    Runtime& runtime = State();
    std::lock_guard guard(runtime.serversLock);
    for (auto server = runtime.servers.begin(); server != runtime.servers.end();) {
        auto canUnload =
            reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(server->second, "DllCanUnloadNow"));
        if (canUnload != nullptr && canUnload() == S_OK) {
            FreeLibrary(server->second);
            server = runtime.servers.erase(server);
        } else {
            ++server;
        }
    }
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (lpsz == nullptr || pclsid == nullptr) {
        return E_INVALIDARG;
    }
    const auto guid = com::GuidFromString(com::Narrow(lpsz));
    if (!guid) {
        return CO_E_CLASSSTRING;
    }
    *pclsid = *guid;
    return S_OK;
}

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (lpszProgID == nullptr || lpclsid == nullptr) {
        return E_INVALIDARG;
    }
    std::string progId = com::Narrow(lpszProgID);
    std::string text;
    // A version-independent ProgID without its own CLSID key names the current version.
    if (!ReadDefaultValue(progId + "\\CLSID", text)) {
        std::string current;
        if (!ReadDefaultValue(progId + "\\CurVer", current) ||
            !ReadDefaultValue(current + "\\CLSID", text)) {
            return CO_E_CLASSSTRING;
        }
    }
    const auto guid = com::GuidFromString(text);
    if (!guid) {
        return CO_E_CLASSSTRING;
    }
    *lpclsid = *guid;
    return S_OK;
}

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    const std::u16string text = com::Widen(com::GuidToString(rguid));
    if (lpsz == nullptr || cchMax < static_cast<int>(text.size()) + 1) {
        return 0;
    }
    std::copy(text.begin(), text.end(), lpsz);
    lpsz[text.size()] = u'\0';
    return static_cast<int>(text.size()) + 1;
}
