// Checks VornNetwork.dll under the system's COM, as a game would reach it:
//   vornnetwork_smoke.exe registered     after regsvr32: the keys, the object by ProgID,
//                                        its interfaces, the type library, calls that need
//                                        no network
//   vornnetwork_smoke.exe unregistered   after regsvr32 /u: the keys are gone
//   vornnetwork_smoke.exe unload N       N rounds of LoadLibrary, an object, FreeLibrary
// The program sits beside the DLL.
#include "smoke_check.h"

#include <VornNetwork.h>
#include <oleauto.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// {0000033A-0000-0000-C000-000000000046}: the free-threaded marshaler's unmarshal class.
constexpr CLSID kFreeThreadedMarshaler{
    0x0000033a, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr const char* kClassKey = "CLSID\\{5B3F2C64-8E0A-4C7D-9A41-2F6D1B8E7C01}";
constexpr const char* kClassName = "VornLANNetwork Class";
constexpr const char* kProgId = "VornNetwork.VornLANNetwork.1";
constexpr const char* kIndependentProgId = "VornNetwork.VornLANNetwork";
constexpr const char* kClsid = "{5B3F2C64-8E0A-4C7D-9A41-2F6D1B8E7C01}";
constexpr const char* kLibid = "{5B3F2C60-8E0A-4C7D-9A41-2F6D1B8E7C01}";

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

// An entry point of the DLL; null when it does not export it.
template <typename Function> Function Export(HMODULE dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

std::string DllPath() {
    char path[MAX_PATH];
    std::string exe(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return exe.substr(0, exe.find_last_of('\\') + 1) + "VornNetwork.dll";
}

bool KeyExists(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// A string value under HKEY_CLASSES_ROOT; `name` null for the key's default value.
std::string Value(const std::string& key, const char* name = nullptr) {
    char text[1024];
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return "(missing)";
    return text;
}

void CheckKeys(Checks& check) {
    const std::string classKey = kClassKey;
    for (const char* progId : {kProgId, kIndependentProgId}) {
        check(Value(progId) == kClassName, "ProgID key's name");
        check(Value(std::string(progId) + "\\CLSID") == kClsid, "ProgID's CLSID");
    }
    check(Value(std::string(kIndependentProgId) + "\\CurVer") == kProgId, "CurVer");
    check(Value(classKey) == kClassName, "class key's name");
    check(Value(classKey + "\\ProgID") == kProgId, "class ProgID");
    check(Value(classKey + "\\VersionIndependentProgID") == kIndependentProgId,
          "class VersionIndependentProgID");
    check(_stricmp(Value(classKey + "\\InprocServer32").c_str(), DllPath().c_str()) == 0,
          "InprocServer32 is the DLL's full path");
    check(Value(classKey + "\\InprocServer32", "ThreadingModel") == "Apartment",
          "ThreadingModel Apartment");
    check(Value(classKey + "\\TypeLib") == kLibid, "class TypeLib");
    check(KeyExists(std::string("TypeLib\\") + kLibid + "\\1.0"), "the type library is registered");
}

std::wstring Name(ITypeInfo& info, MEMBERID member, std::wstring* help = nullptr) {
    BSTR name = nullptr, doc = nullptr;
    if (FAILED(info.GetDocumentation(member, &name, &doc, nullptr, nullptr)))
        return L"(none)";
    std::wstring result = name ? name : L"";
    if (help)
        *help = doc ? doc : L"";
    SysFreeString(name);
    SysFreeString(doc);
    return result;
}

void CheckInterfaceInfo(Checks& check, ITypeInfo& info) {
    TYPEATTR* attr = nullptr;
    if (!check(SUCCEEDED(info.GetTypeAttr(&attr)), "IVornLANNetwork's attributes"))
        return;
    check(attr->typekind == TKIND_INTERFACE && attr->cFuncs == 9 &&
              attr->cbSizeVft == 12 * sizeof(void*),
          "IVornLANNetwork: an interface of 9 methods and 12 vtable slots");
    check((attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) == 0,
          "IVornLANNetwork is neither dual nor oleautomation");
    const wchar_t* methods[] = {
        L"Send",  L"SendToGroup", L"SendToAll",           L"Receive",     L"Open",
        L"Close", L"SetAddress",  L"SetVoiceChatHandler", L"SendToServer"};
    for (UINT i = 0; i < attr->cFuncs && i < 9; ++i) {
        FUNCDESC* func = nullptr;
        if (!check(SUCCEEDED(info.GetFuncDesc(i, &func)), "a method's description"))
            continue;
        std::wstring help;
        const std::wstring name = Name(info, func->memid, &help);
        check(name == methods[i] && help == L"method " + name &&
                  func->memid == static_cast<MEMBERID>(0x60010000 + i) &&
                  func->oVft == static_cast<SHORT>((3 + i) * sizeof(void*)),
              "a method's name, help string, member id and slot in vtable order");
        info.ReleaseFuncDesc(func);
    }
    info.ReleaseTypeAttr(attr);
}

void CheckTypeLibrary(Checks& check) {
    ITypeLib* library = nullptr;
    if (!check(SUCCEEDED(LoadRegTypeLib(LIBID_VORNNETWORKLib, 1, 0, 0x409, &library)),
               "LoadRegTypeLib finds the registered type library"))
        return;
    TLIBATTR* libAttr = nullptr;
    if (check(SUCCEEDED(library->GetLibAttr(&libAttr)), "library attributes")) {
        // The locale 0x409 is the file's; the library itself carries no lcid attribute, and
        // the system reports that one.
        check(libAttr->guid == LIBID_VORNNETWORKLib && libAttr->wMajorVerNum == 1 &&
                  libAttr->wMinorVerNum == 0,
              "the library is VORNNETWORKLib 1.0");
        library->ReleaseTLibAttr(libAttr);
    }
    BSTR name = nullptr, help = nullptr;
    library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    check(name && help && std::wstring(name) == L"VORNNETWORKLib" &&
              std::wstring(help) == L"VornNetwork 1.0 Type Library",
          "the library's name and help string");
    SysFreeString(name);
    SysFreeString(help);

    // The designed five, then the record and union that MIDL's remotable HWND pulls in.
    const struct {
        const wchar_t* name;
        TYPEKIND kind;
    } infos[] = {{L"VornPoolNetwork", TKIND_COCLASS},
                 {L"IVornPoolNetwork", TKIND_INTERFACE},
                 {L"VornLANNetwork", TKIND_COCLASS},
                 {L"IVornLANNetwork", TKIND_INTERFACE},
                 {L"wireHWND", TKIND_ALIAS},
                 {L"_RemotableHandle", TKIND_RECORD},
                 {L"__MIDL_IWinTypes_0009", TKIND_UNION}};
    check(library->GetTypeInfoCount() == 7, "seven type infos");
    for (UINT i = 0; i < 7; ++i) {
        TYPEKIND kind{};
        BSTR infoName = nullptr;
        library->GetDocumentation(static_cast<INT>(i), &infoName, nullptr, nullptr, nullptr);
        check(SUCCEEDED(library->GetTypeInfoType(i, &kind)) && kind == infos[i].kind && infoName &&
                  std::wstring(infoName) == infos[i].name,
              "the type infos' names and kinds in order");
        SysFreeString(infoName);
    }

    ITypeInfo* info = nullptr;
    if (check(SUCCEEDED(library->GetTypeInfoOfGuid(IID_IVornLANNetwork, &info)),
              "the type info of IVornLANNetwork")) {
        CheckInterfaceInfo(check, *info);
        info->Release();
    }
    if (check(SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_VornLANNetwork, &info)),
              "the type info of VornLANNetwork")) {
        TYPEATTR* attr = nullptr;
        HREFTYPE ref = 0;
        ITypeInfo* defaultInfo = nullptr;
        INT flags = 0;
        info->GetTypeAttr(&attr);
        check(attr && (attr->wTypeFlags & TYPEFLAG_FCANCREATE), "VornLANNetwork is creatable");
        check(SUCCEEDED(info->GetImplTypeFlags(0, &flags)) && (flags & IMPLTYPEFLAG_FDEFAULT) &&
                  SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) &&
                  SUCCEEDED(info->GetRefTypeInfo(ref, &defaultInfo)) &&
                  Name(*defaultInfo, MEMBERID_NIL) == L"IVornLANNetwork",
              "VornLANNetwork's default interface is IVornLANNetwork");
        if (defaultInfo)
            defaultInfo->Release();
        if (attr)
            info->ReleaseTypeAttr(attr);
        info->Release();
    }
    library->Release();
}

void CheckCalls(Checks& check, IVornLANNetwork& network) {
    char address[] = "127.0.0.1";
    check(network.SetAddress(reinterpret_cast<LPWSTR>(address)) == S_OK, "SetAddress answers S_OK");
    check(network.SetAddress(nullptr) == S_OK, "SetAddress(NULL) answers S_OK");
    UINT cmd = 0x1234;
    INT size = 77;
    BYTE data[4] = {};
    check(network.Receive(1, 2, &cmd, data, &size) == S_OK && cmd == 0x1234 && size == 77,
          "Receive answers S_OK and writes nothing");
    check(network.SetVoiceChatHandler(0) == S_OK, "SetVoiceChatHandler(0) answers S_OK");
    check(network.Close(0, 0) == S_OK && network.Close(0, 0) == S_OK,
          "Close without a session answers S_OK, also twice");
}

void CheckObject(Checks& check, HMODULE dll) {
    CLSID clsid{};
    check(SUCCEEDED(CLSIDFromProgID(L"VornNetwork.VornLANNetwork", &clsid)) &&
              clsid == CLSID_VornLANNetwork,
          "the version-independent ProgID names the class");
    IUnknown* unknown = nullptr;
    if (!check(SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                          reinterpret_cast<void**>(&unknown))),
               "CoCreateInstance by ProgID"))
        return;
    IVornLANNetwork* network = nullptr;
    check(SUCCEEDED(
              unknown->QueryInterface(IID_IVornLANNetwork, reinterpret_cast<void**>(&network))) &&
              static_cast<IUnknown*>(network) == unknown,
          "IVornLANNetwork is the same pointer as IUnknown");
    ISupportErrorInfo* errorInfo = nullptr;
    if (check(SUCCEEDED(unknown->QueryInterface(IID_ISupportErrorInfo,
                                                reinterpret_cast<void**>(&errorInfo))),
              "ISupportErrorInfo is offered")) {
        check(errorInfo->InterfaceSupportsErrorInfo(IID_IVornLANNetwork) == S_OK &&
                  errorInfo->InterfaceSupportsErrorInfo(IID_IUnknown) == S_FALSE,
              "InterfaceSupportsErrorInfo: S_OK for IVornLANNetwork, S_FALSE for IUnknown");
        errorInfo->Release();
    }
    IMarshal* marshal = nullptr;
    CLSID unmarshal{};
    if (check(SUCCEEDED(unknown->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal))),
              "IMarshal is offered")) {
        check(SUCCEEDED(marshal->GetUnmarshalClass(IID_IVornLANNetwork, network, MSHCTX_INPROC,
                                                   nullptr, MSHLFLAGS_NORMAL, &unmarshal)) &&
                  unmarshal == kFreeThreadedMarshaler,
              "IMarshal is the free-threaded marshaler's");
        marshal->Release();
    }
    void* other = &unmarshal;
    check(unknown->QueryInterface(IID_IDispatch, &other) == E_NOINTERFACE && other == nullptr,
          "any other interface: E_NOINTERFACE");

    auto getClassObject = Export<GetClassObjectFn>(dll, "DllGetClassObject");
    auto canUnloadNow = Export<CanUnloadNowFn>(dll, "DllCanUnloadNow");
    IClassFactory* factory = nullptr;
    check(getClassObject(CLSID_VornPoolNetwork, IID_IClassFactory,
                         reinterpret_cast<void**>(&factory)) == CLASS_E_CLASSNOTAVAILABLE,
          "no class object for VornPoolNetwork");
    check(canUnloadNow() == S_FALSE, "DllCanUnloadNow is S_FALSE while an object lives");
    if (check(SUCCEEDED(getClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory))),
              "the class factory")) {
        void* made = &unmarshal;
        check(factory->CreateInstance(unknown, IID_IVornLANNetwork, &made) ==
                      CLASS_E_NOAGGREGATION &&
                  made == nullptr,
              "aggregation asking for another interface than IUnknown: CLASS_E_NOAGGREGATION");
        check(factory->CreateInstance(nullptr, IID_IUnknown, nullptr) == E_POINTER,
              "CreateInstance without an out pointer: E_POINTER");
        factory->Release();
    }
    if (network) {
        CheckCalls(check, *network);
        network->Release();
    }
    unknown->Release();
    check(canUnloadNow() == S_OK, "DllCanUnloadNow is S_OK once every object is released");
}

int Registered() {
    Checks check;
    CheckKeys(check);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CheckTypeLibrary(check);
    // The DLL as COM loaded it, for its exports.
    IClassFactory* factory = nullptr;
    if (check(SUCCEEDED(CoGetClassObject(CLSID_VornLANNetwork, CLSCTX_INPROC_SERVER, nullptr,
                                         IID_IClassFactory, reinterpret_cast<void**>(&factory))),
              "CoGetClassObject"))
        factory->Release();
    if (HMODULE dll = GetModuleHandleA("VornNetwork.dll");
        check(dll != nullptr, "COM loaded VornNetwork.dll"))
        CheckObject(check, dll);
    CoUninitialize();
    return check.Result("vornnetwork_smoke registered");
}

int Unregistered() {
    Checks check;
    check(!KeyExists(kProgId) && !KeyExists(kIndependentProgId), "both ProgID keys are gone");
    check(!KeyExists(kClassKey), "the class key is gone");
    check(KeyExists("CLSID"), "HKEY_CLASSES_ROOT\\CLSID remains");
    check(!KeyExists(std::string("TypeLib\\") + kLibid), "the type library is unregistered");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid{};
    check(FAILED(CLSIDFromProgID(L"VornNetwork.VornLANNetwork", &clsid)),
          "the ProgID no longer resolves");
    CoUninitialize();
    return check.Result("vornnetwork_smoke unregistered");
}

int Unload(int rounds) {
    Checks check;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string path = DllPath();
    for (int round = 0; round < rounds; ++round) {
        const HMODULE dll = LoadLibraryA(path.c_str());
        if (!check(dll != nullptr, "LoadLibrary"))
            break;
        auto getClassObject = Export<GetClassObjectFn>(dll, "DllGetClassObject");
        auto canUnloadNow = Export<CanUnloadNowFn>(dll, "DllCanUnloadNow");
        IClassFactory* factory = nullptr;
        IUnknown* object = nullptr;
        if (check(getClassObject && canUnloadNow &&
                      SUCCEEDED(getClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory))),
                  "the class factory of a loaded DLL")) {
            check(SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown,
                                                    reinterpret_cast<void**>(&object))),
                  "an object");
            factory->Release();
            if (object)
                object->Release();
            check(canUnloadNow() == S_OK, "the DLL may unload once its object is released");
        }
        check(FreeLibrary(dll) != FALSE && GetModuleHandleA("VornNetwork.dll") == nullptr,
              "FreeLibrary unloads the DLL");
    }
    CoUninitialize();
    std::printf("%d rounds\n", rounds);
    return check.Result("vornnetwork_smoke unload");
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "registered") == 0)
        return Registered();
    if (std::strcmp(mode, "unregistered") == 0)
        return Unregistered();
    if (std::strcmp(mode, "unload") == 0 && argc > 2)
        return Unload(std::atoi(argv[2]));
    std::printf("usage: vornnetwork_smoke registered | unregistered | unload ROUNDS\n");
    return 2;
}
