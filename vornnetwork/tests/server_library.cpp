#include "server_library.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

const ServerLibrary& Server() {
    static const ServerLibrary library = [] {
        ServerLibrary loaded;
        loaded.module = LoadLibraryA(VORNNETWORK_LIBRARY);
        if (loaded.module == nullptr) {
            ADD_FAILURE() << "cannot load " << VORNNETWORK_LIBRARY;
            return loaded;
        }
        auto find = [&](const char* name) { return GetProcAddress(loaded.module, name); };
        loaded.DllCanUnloadNow = reinterpret_cast<HRESULT (*)()>(find("DllCanUnloadNow"));
        loaded.DllGetClassObject =
            reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, LPVOID*)>(find("DllGetClassObject"));
        loaded.DllRegisterServer = reinterpret_cast<HRESULT (*)()>(find("DllRegisterServer"));
        loaded.DllUnregisterServer = reinterpret_cast<HRESULT (*)()>(find("DllUnregisterServer"));
        return loaded;
    }();
    return library;
}

std::string UseFreshRegistry() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("vornnetwork-" + std::to_string(getpid()) + "-" + test->name() + ".reg");
    std::filesystem::remove(file);
    setenv("VORN_REGISTRY_FILE", file.c_str(), 1);
    return file.string();
}
