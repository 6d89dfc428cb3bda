// regsvr32 [/u] [/s] library: loads an in-process server and calls its
// DllRegisterServer, or DllUnregisterServer with /u.
#include "objbase.h"
#include "win32/extensions.h"
#include "windows.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Exit codes of regsvr32.
constexpr int exitSuccess = 0;
constexpr int exitUsage = 1;
constexpr int exitLoadFailed = 3;
constexpr int exitNoEntryPoint = 4;
constexpr int exitCallFailed = 5;

using EntryPoint = HRESULT (*)();

// What a failure of the entry point means for the user, when it is one we can name.
const char* Meaning(HRESULT hr) {
    if (hr == HRESULT_FROM_WIN32(ERROR_CANTWRITE)) {
        return ": the registry file could not be written";
    }
    if (hr == HRESULT_FROM_WIN32(ERROR_BADDB)) {
        return ": the registry file could not be read";
    }
    if (hr == TYPE_E_REGISTRYACCESS || hr == SELFREG_E_TYPELIB) {
        return ": the type library's registry entries could not be written or removed";
    }
    if (hr == SELFREG_E_CLASS) {
        return ": the classes could not be registered";
    }
    return "";
}

// The registry's own lines (damaged lines it skipped, files it could not read or write) go
// to the error output; every other debug line goes where the environment sends it.
void ShowRegistryLines() {
    const bool showAll = [] {
        const char* target = std::getenv("WIN32_DEBUG_OUTPUT");
        return target != nullptr && std::strcmp(target, "stderr") == 0;
    }();
    win32::SetDebugOutputSink([showAll](const char* text) {
        constexpr char prefix[] = "registry: ";
        if (std::strncmp(text, prefix, sizeof prefix - 1) == 0) {
            std::fprintf(stderr, "regsvr32: %s", text);
        } else if (showAll) {
            std::fputs(text, stderr);
        }
    });
}

int Run(const std::string& library, bool unregister, bool silent) {
    char fullPath[PATH_MAX];
    if (realpath(library.c_str(), fullPath) == nullptr) {
        std::fprintf(stderr, "regsvr32: %s: %s\n", library.c_str(), std::strerror(errno));
        return exitLoadFailed;
    }
    HMODULE module = LoadLibraryA(fullPath);
    if (module == nullptr) {
        std::fprintf(stderr, "regsvr32: LoadLibrary(\"%s\") failed\n", fullPath);
        return exitLoadFailed;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<EntryPoint>(GetProcAddress(module, entryName));
    int code = exitSuccess;
    if (entry == nullptr) {
        std::fprintf(stderr, "regsvr32: %s was not found in %s\n", entryName, fullPath);
        code = exitNoEntryPoint;
    } else {
        CoInitialize(nullptr);
        const HRESULT hr = entry();
        CoUninitialize();
        if (FAILED(hr)) {
            std::fprintf(stderr, "regsvr32: %s in %s failed with 0x%08X%s\n", entryName, fullPath,
                         static_cast<unsigned>(hr), Meaning(hr));
            code = exitCallFailed;
        } else if (!silent) {
            std::printf("%s in %s succeeded.\n", entryName, fullPath);
        }
    }
    FreeLibrary(module);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "/u" || argument == "-u") {
            unregister = true;
        } else if (argument == "/s" || argument == "-s") {
            silent = true;
        } else if (library.empty()) {
            library = argument;
        } else {
            library.clear();
            break;
        }
    }
    if (library.empty()) {
        std::fprintf(stderr, "usage: regsvr32 [/u] [/s] library\n");
        return exitUsage;
    }
    ShowRegistryLines();
    return Run(library, unregister, silent);
}
