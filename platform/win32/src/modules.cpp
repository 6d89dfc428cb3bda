#include "win32/extensions.h"
#include "windows.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <memory>
#include <strings.h>

namespace {

struct Module {
    std::vector<win32::ResourceEntry> resources;
    std::vector<win32::StringEntry> strings;
};

struct ModuleTable {
    std::mutex lock;
    std::map<HMODULE, Module> modules;
    std::multimap<HMODULE, void*> loadedHandles; // LoadLibraryA handles, released by FreeLibrary
};

ModuleTable& Modules() {
    // Never destroyed: libraries unregister their resources while the process exits,
    // after the destructors of function-local statics may have run.
    static ModuleTable* const table = new ModuleTable;
    return *table;
}

HMODULE MainProgram() {
    HMODULE base = nullptr;
    // The first object reported is the program itself; its handle is where its first
    // segment is mapped.
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* result) -> int {
            ElfW(Addr) lowest = ~ElfW(Addr){0};
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                    lowest = std::min(lowest, info->dlpi_phdr[i].p_vaddr);
                }
            }
            *static_cast<HMODULE*>(result) = reinterpret_cast<HMODULE>(info->dlpi_addr + lowest);
            return 1;
        },
        &base);
    return base;
}

HMODULE ResolveModule(HMODULE hModule) {
    return hModule != nullptr ? hModule : MainProgram();
}

bool Matches(const win32::ResourceId& id, LPCSTR wanted) {
    if (IS_INTRESOURCE(wanted)) {
        const auto number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
        return std::holds_alternative<WORD>(id) && std::get<WORD>(id) == number;
    }
    if (wanted[0] == '#') {
        char* end = nullptr;
        const unsigned long number = std::strtoul(wanted + 1, &end, 10);
        return *end == '\0' && std::holds_alternative<WORD>(id) && std::get<WORD>(id) == number;
    }
    return std::holds_alternative<std::string>(id) &&
           strcasecmp(std::get<std::string>(id).c_str(), wanted) == 0;
}

const win32::ResourceEntry* EntryOf(HRSRC hResInfo) {
    return reinterpret_cast<const win32::ResourceEntry*>(hResInfo);
}

} // namespace

namespace win32 {

HMODULE ModuleFromAddress(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0) {
        return nullptr;
    }
    return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE RegisterModuleResources(const void* addressInModule, std::vector<ResourceEntry> resources,
                                std::vector<StringEntry> strings) {
    const HMODULE module = ModuleFromAddress(addressInModule);
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    table.modules[module] = Module{std::move(resources), std::move(strings)};
    return module;
}

void UnregisterModuleResources(HMODULE module) {
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    table.modules.erase(module);
}

} // namespace win32

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::string path;
    if (hModule == nullptr) {
        char buffer[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
        if (length <= 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        path.assign(buffer, static_cast<size_t>(length));
    } else {
        Dl_info info{};
        if (dladdr(hModule, &info) == 0 || info.dli_fbase != hModule) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        std::unique_ptr<char, decltype(&std::free)> full(realpath(info.dli_fname, nullptr),
                                                         &std::free);
        path = full ? full.get() : info.dli_fname;
    }
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const DWORD copied = static_cast<DWORD>(std::min<size_t>(path.size(), nSize - 1));
    std::memcpy(lpFilename, path.data(), copied);
    lpFilename[copied] = '\0';
    if (copied < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    return copied;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) {
        return MainProgram();
    }
    void* handle = dlopen(lpModuleName, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    link_map* map = nullptr;
    HMODULE module = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0) {
        module = win32::ModuleFromAddress(map->l_ld);
    }
    dlclose(handle);
    return module;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) {
        dlclose(handle);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const HMODULE module = win32::ModuleFromAddress(map->l_ld);
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    table.loadedHandles.emplace(module, handle);
    return module;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    void* handle = nullptr;
    {
        ModuleTable& table = Modules();
        std::lock_guard guard(table.lock);
        auto found = table.loadedHandles.find(hLibModule);
        if (found == table.loadedHandles.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        handle = found->second;
        table.loadedHandles.erase(found);
    }
    return dlclose(handle) == 0 ? TRUE : FALSE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    Dl_info info{};
    if (hModule == nullptr || lpProcName == nullptr || dladdr(hModule, &info) == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(handle, lpProcName);
    dlclose(handle);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (lpName == nullptr || lpType == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    auto module = table.modules.find(ResolveModule(hModule));
    if (module == table.modules.end()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool typeFound = false;
    for (const win32::ResourceEntry& entry : module->second.resources) {
        if (Matches(entry.type, lpType)) {
            typeFound = true;
            if (Matches(entry.name, lpName)) {
                return reinterpret_cast<HRSRC>(const_cast<win32::ResourceEntry*>(&entry));
            }
        }
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    if (hResInfo == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Resource data is part of the module image: it needs no loading and no freeing.
    return const_cast<BYTE*>(EntryOf(hResInfo)->data.data());
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    if (hResInfo == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(EntryOf(hResInfo)->data.size());
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    auto module = table.modules.find(ResolveModule(hInstance));
    if (module != table.modules.end()) {
        for (const win32::StringEntry& entry : module->second.strings) {
            if (entry.id == uID) {
                const size_t length =
                    std::min(std::strlen(entry.text), static_cast<size_t>(cchBufferMax - 1));
                std::memcpy(lpBuffer, entry.text, length);
                lpBuffer[length] = '\0';
                return static_cast<int>(length);
            }
        }
    }
    lpBuffer[0] = '\0';
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
    // Libraries here never receive thread attach or detach notifications.
    return hLibModule != nullptr ? TRUE : FALSE;
}
