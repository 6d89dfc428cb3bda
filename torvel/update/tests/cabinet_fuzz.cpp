// Fuzz target for the cabinet extractor: any bytes either extract inside the
// target folder or raise ECabReaderError; nothing is written outside it.

#include "cab_reader.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = [] {
        std::string pattern = (fs::temp_directory_path() / "torvel-cabfuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return fs::path(pattern);
    }();
    const fs::path archive = root / "torvel.cab";
    const fs::path folder = root / "dados";
    fs::remove_all(folder);
    fs::create_directory(folder);
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    STCabReader reader;
    reader.MaxExtractedSize = 1 << 20;
    try {
        reader.Extract(archive.string(), folder.string());
    } catch (const ECabReaderError&) {
    }
    // Only the archive and the folder may exist beside each other.
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.path() != archive && entry.path() != folder)
            std::abort();
    return 0;
}
