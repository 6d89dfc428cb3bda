#include "com/text.h"
#include "com/typelib_reader.h"
#include "objbase.h"
#include "windows.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* proxyStubOfAutomation = "{00020424-0000-0000-C000-000000000046}";

std::string VersionKey(const GUID& libid, WORD major, WORD minor) {
    char version[32];
    std::snprintf(version, sizeof version, "%x.%x", major, minor);
    return "TypeLib\\" + com::GuidToString(libid) + "\\" + version;
}

const char* SyskindName(SYSKIND syskind) {
    switch (syskind) {
    case SYS_WIN16:
        return "win16";
    case SYS_MAC:
        return "mac";
    case SYS_WIN64:
        return "win64";
    case SYS_WIN32:
        break;
    }
    return "win32";
}

HRESULT SetText(const std::string& keyName, const char* valueName, const std::string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return TYPE_E_REGISTRYACCESS;
    }
    const LONG result =
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

bool IsAutomationInterface(const com::TypeInfoDesc& info) {
    return (info.kind == com::TKIND_INTERFACE || info.kind == com::TKIND_DISPATCH) && info.guid &&
           (info.kind == com::TKIND_DISPATCH ||
            (info.flags & (com::TYPEFLAG_FDUAL | com::TYPEFLAG_FOLEAUTOMATION)) != 0);
}

// The type library of a module (resource TYPELIB `index`) or of an MSFT file.
std::optional<std::vector<BYTE>> TypeLibBytesOfModule(HMODULE module, UINT index) {
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(index), "TYPELIB");
    if (info == nullptr) {
        return std::nullopt;
    }
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    return std::vector<BYTE>(data, data + SizeofResource(module, info));
}

std::optional<std::vector<BYTE>> TypeLibBytesOfPath(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "MSFT", 4) == 0) {
        return bytes;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        return std::nullopt;
    }
    auto fromModule = TypeLibBytesOfModule(module, 1);
    FreeLibrary(module);
    return fromModule;
}

HRESULT RegisterTypeLibDesc(const com::TypeLibDesc& lib, const std::string& path,
                            const std::string& helpDir) {
    const std::string versionKey = VersionKey(lib.libid, lib.majorVersion, lib.minorVersion);
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", static_cast<unsigned>(lib.lcid));
    HRESULT hr = SetText(versionKey, nullptr, lib.helpString.empty() ? lib.name : lib.helpString);
    if (SUCCEEDED(hr)) {
        hr = SetText(versionKey + "\\" + lcid + "\\" + SyskindName(lib.syskind), nullptr, path);
    }
    if (SUCCEEDED(hr)) {
        hr = SetText(versionKey + "\\FLAGS", nullptr, std::to_string(lib.libFlags));
    }
    if (SUCCEEDED(hr)) {
        hr = SetText(versionKey + "\\HELPDIR", nullptr, helpDir);
    }
    char version[32];
    std::snprintf(version, sizeof version, "%x.%x", lib.majorVersion, lib.minorVersion);
    for (size_t i = 0; SUCCEEDED(hr) && i < lib.typeInfos.size(); ++i) {
        const com::TypeInfoDesc& info = lib.typeInfos[i];
        if (!IsAutomationInterface(info)) {
            continue;
        }
        const std::string interfaceKey = "Interface\\" + com::GuidToString(*info.guid);
        hr = SetText(interfaceKey, nullptr, info.name);
        if (SUCCEEDED(hr)) {
            hr = SetText(interfaceKey + "\\ProxyStubClsid32", nullptr, proxyStubOfAutomation);
        }
        if (SUCCEEDED(hr)) {
            hr = SetText(interfaceKey + "\\TypeLib", nullptr, com::GuidToString(lib.libid));
        }
        if (SUCCEEDED(hr)) {
            hr = SetText(interfaceKey + "\\TypeLib", "Version", version);
        }
    }
    return hr;
}

HRESULT ModuleTypeLib(HINSTANCE module, const WCHAR* index, com::TypeLibDesc& lib,
                      std::string& path) {
    char modulePath[4096];
    if (GetModuleFileNameA(module, modulePath, sizeof modulePath) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    path = modulePath;
    const UINT number =
        index != nullptr ? static_cast<UINT>(std::strtoul(com::Narrow(index).c_str(), nullptr, 10))
                         : 1;
    const auto bytes = TypeLibBytesOfModule(module, number);
    if (!bytes) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    const auto parsed = com::ReadTypeLib(*bytes);
    if (!parsed) {
        return TYPE_E_INVDATAREAD;
    }
    lib = *parsed;
    return S_OK;
}

} // namespace

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                 SYSKIND syskind) {
    const std::string versionKey = VersionKey(libID, wVerMajor, wVerMinor);
    char lcidText[16];
    std::snprintf(lcidText, sizeof lcidText, "%x", static_cast<unsigned>(lcid));
    const std::string pathKey = versionKey + "\\" + lcidText + "\\" + SyskindName(syskind);

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, pathKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return TYPE_E_REGISTRYACCESS;
    }
    char path[4096];
    DWORD size = sizeof path;
    const LONG read =
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    // The interfaces it registered go with it, as far as the library can still be read.
    if (read == ERROR_SUCCESS) {
        if (const auto bytes = TypeLibBytesOfPath(std::string(path, strnlen(path, size)))) {
            if (const auto lib = com::ReadTypeLib(*bytes)) {
                for (const com::TypeInfoDesc& info : lib->typeInfos) {
                    if (IsAutomationInterface(info)) {
                        RegDeleteTreeA(HKEY_CLASSES_ROOT,
                                       ("Interface\\" + com::GuidToString(*info.guid)).c_str());
                    }
                }
            }
        }
    }
    if (RegDeleteTreeA(HKEY_CLASSES_ROOT, versionKey.c_str()) != ERROR_SUCCESS) {
        return TYPE_E_REGISTRYACCESS;
    }
    // The library's key goes when no other version is left.
    const std::string libKey = "TypeLib\\" + com::GuidToString(libID);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, libKey.c_str());
    return S_OK;
}

HRESULT WINAPI AtlRegisterTypeLib(HINSTANCE hInstTypeLib, const WCHAR* lpszIndex) {
    com::TypeLibDesc lib;
    std::string path;
    const HRESULT hr = ModuleTypeLib(hInstTypeLib, lpszIndex, lib, path);
    if (FAILED(hr)) {
        return hr;
    }
    const std::string helpDir = path.substr(0, path.find_last_of('/') + 1);
    return RegisterTypeLibDesc(lib, path, helpDir);
}

HRESULT WINAPI AtlUnRegisterTypeLib(HINSTANCE hInstTypeLib, const WCHAR* lpszIndex) {
    com::TypeLibDesc lib;
    std::string path;
    const HRESULT hr = ModuleTypeLib(hInstTypeLib, lpszIndex, lib, path);
    if (FAILED(hr)) {
        return hr;
    }
    return UnRegisterTypeLib(lib.libid, lib.majorVersion, lib.minorVersion, lib.lcid, lib.syskind);
}
