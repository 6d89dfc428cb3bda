#pragma once
// A temporary program folder holding a copy of the shipped data files, so
// that benchmarks may save without touching the source tree.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

class ShippedDataCopy {
public:
    ShippedDataCopy() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "torvel-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        std::filesystem::create_directory(dir_ / "dados");
        for (const char* name : {"selecoes.xml", "jogos.xml"})
            std::filesystem::copy_file(std::filesystem::path(TORVEL_DADOS_DIR) / name,
                                       dir_ / "dados" / name);
    }
    ~ShippedDataCopy() { std::filesystem::remove_all(dir_); }
    ShippedDataCopy(const ShippedDataCopy&) = delete;
    ShippedDataCopy& operator=(const ShippedDataCopy&) = delete;

    std::string ProgramDir() const { return dir_.string() + "/"; }
    std::string File(const char* name) const { return (dir_ / "dados" / name).string(); }

private:
    std::filesystem::path dir_;
};
