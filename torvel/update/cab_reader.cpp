#include "cab_reader.h"

#include <mspack.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

std::string SafeRelativeName(const std::string& storedName) {
    std::string name = storedName;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (name.empty() || name.front() == '/' || name.back() == '/' ||
        name.find(':') != std::string::npos)
        return "";
    std::istringstream parts(name);
    std::string part;
    bool hasFile = false;
    while (std::getline(parts, part, '/')) {
        if (part == "..")
            return "";
        hasFile = !part.empty() && part != ".";
    }
    return hasFile ? name : "";
}

namespace {

struct DecompressorDeleter {
    void operator()(mscab_decompressor* d) const { mspack_destroy_cab_decompressor(d); }
};

// An opened cabinet, closed with its decompressor.
class OpenCabinet {
public:
    OpenCabinet(mscab_decompressor* decompressor, const std::string& archive)
        : decompressor_(decompressor),
          cabinet_(decompressor->open(decompressor, const_cast<char*>(archive.c_str()))) {
        if (!cabinet_)
            throw ECabReaderError("Arquivo compactado ilegível: \"" + archive + "\" (erro " +
                                  std::to_string(decompressor->last_error(decompressor)) + ")");
    }
    ~OpenCabinet() { decompressor_->close(decompressor_, cabinet_); }
    OpenCabinet(const OpenCabinet&) = delete;
    OpenCabinet& operator=(const OpenCabinet&) = delete;
    mscabd_cabinet* get() const { return cabinet_; }

private:
    mscab_decompressor* decompressor_;
    mscabd_cabinet* cabinet_;
};

} // namespace

void STCabReader::Extract(const std::string& archive, const std::string& folder) const {
    std::unique_ptr<mscab_decompressor, DecompressorDeleter> decompressor(
        mspack_create_cab_decompressor(nullptr));
    if (!decompressor)
        throw ECabReaderError("Não foi possível iniciar a descompactação");
    OpenCabinet cabinet(decompressor.get(), archive);

    // Every name is checked before the first file is written.
    std::vector<std::pair<mscabd_file*, std::string>> entries;
    std::uint64_t total = 0;
    for (mscabd_file* file = cabinet.get()->files; file; file = file->next) {
        std::string name = SafeRelativeName(file->filename);
        if (name.empty())
            throw ECabReaderError("Arquivo compactado com nome inválido: \"" +
                                  std::string(file->filename) + "\"");
        total += file->length;
        entries.emplace_back(file, std::move(name));
    }
    if (total > MaxExtractedSize)
        throw ECabReaderError("Arquivo compactado grande demais: \"" + archive + "\"");

    for (const auto& [file, name] : entries) {
        const fs::path target = fs::path(folder) / name;
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        std::string temporary = target.string() + ".XXXXXX";
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0)
            throw ECabReaderError("Não foi possível gravar \"" + target.string() + "\"");
        ::close(fd);
        const int result = decompressor->extract(decompressor.get(), file, temporary.data());
        if (result != MSPACK_ERR_OK) {
            ::unlink(temporary.c_str());
            throw ECabReaderError("Erro ao extrair \"" + name + "\" (erro " +
                                  std::to_string(result) + ")");
        }
        // mkstemp made the file private; the data files are ordinary user files.
        fs::permissions(temporary,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read,
                        error);
        fs::rename(temporary, target, error);
        if (error) {
            ::unlink(temporary.c_str());
            throw ECabReaderError("Não foi possível gravar \"" + target.string() + "\"");
        }
    }
}
