#include "server_library.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

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

namespace {

// The registry files of this process's tests, with their lock and backup files, removed when
// the process ends.
class RegistryFiles {
public:
    RegistryFiles() = default;
    RegistryFiles(const RegistryFiles&) = delete;
    RegistryFiles& operator=(const RegistryFiles&) = delete;
    ~RegistryFiles() {
        for (const auto& file : files_) {
            std::error_code ignored;
            for (const char* suffix : {"", ".lock", ".damaged", ".new"}) {
                std::filesystem::remove(file.string() + suffix, ignored);
            }
        }
    }
    void Add(const std::filesystem::path& file) { files_.push_back(file); }

private:
    std::vector<std::filesystem::path> files_;
};

} // namespace

std::string UseFreshRegistry() {
    static RegistryFiles used;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("vornnetwork-" + std::to_string(getpid()) + "-" + test->name() + ".reg");
    std::filesystem::remove(file);
    used.Add(file);
    setenv("VORN_REGISTRY_FILE", file.c_str(), 1);
    return file.string();
}
