#include "module_symbols.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace testmodule {
namespace {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
        const auto& header = At<Elf64_Ehdr>(0);
        if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
            header.e_ident[EI_CLASS] != ELFCLASS64)
            throw std::runtime_error(path + " is not a 64-bit ELF object");
        for (int i = 0; i < header.e_shnum; ++i)
            sections_.push_back(At<Elf64_Shdr>(header.e_shoff + i * sizeof(Elf64_Shdr)));
    }

    // Calls `visit` for each entry of every section of type `type` (SHT_DYNSYM, SHT_SYMTAB).
    void ForEachSymbol(Elf64_Word type,
                       const std::function<void(const Elf64_Sym&, const char*)>& visit) const {
        for (const Elf64_Shdr& section : sections_) {
            if (section.sh_type != type || section.sh_link >= sections_.size())
                continue;
            const Elf64_Shdr& strings = sections_[section.sh_link];
            for (size_t at = sizeof(Elf64_Sym); at + sizeof(Elf64_Sym) <= section.sh_size;
                 at += sizeof(Elf64_Sym)) {
                const auto& symbol = At<Elf64_Sym>(section.sh_offset + at);
                if (symbol.st_name >= strings.sh_size)
                    throw std::runtime_error("symbol name outside its string table");
                visit(symbol, &At<char>(strings.sh_offset + symbol.st_name));
            }
        }
    }

private:
    template <typename T> const T& At(size_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T))
            throw std::runtime_error("truncated ELF object");
        return *reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    std::vector<char> bytes_;
    std::vector<Elf64_Shdr> sections_;
};

} // namespace

std::set<std::string> ExportedSymbols(const std::string& path) {
    std::set<std::string> names;
    ElfFile(path).ForEachSymbol(SHT_DYNSYM, [&](const Elf64_Sym& symbol, const char* name) {
        if (symbol.st_shndx != SHN_UNDEF && ELF64_ST_BIND(symbol.st_info) != STB_LOCAL)
            names.insert(name);
    });
    return names;
}

void* FindSymbol(void* handle, const std::string& name) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0)
        throw std::runtime_error(dlerror());
    void* address = nullptr;
    ElfFile(map->l_name).ForEachSymbol(SHT_SYMTAB, [&](const Elf64_Sym& symbol, const char* found) {
        if (symbol.st_shndx != SHN_UNDEF && name == found)
            address = reinterpret_cast<void*>(map->l_addr + symbol.st_value);
    });
    return address;
}

} // namespace testmodule
