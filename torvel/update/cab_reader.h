#pragma once
// Extraction of Microsoft cabinet archives, on libmspack.

#include <cstdint>
#include <stdexcept>
#include <string>

class ECabReaderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class STCabReader {
public:
    // The files of one archive may not add up to more than this.
    std::uint64_t MaxExtractedSize = 64 * 1024 * 1024;

    // Writes every file of the archive into folder under its stored name
    // ('\' read as '/'), creating the folders the names need. Each file is
    // written to a temporary name and renamed when complete. An archive that
    // cannot be read, or that stores a name leaving the folder (absolute, a
    // drive, ".."), is refused before anything is written; a file that cannot
    // be written is an error. Errors raise ECabReaderError.
    void Extract(const std::string& archive, const std::string& folder) const;
};

// The stored name as a relative path with '/' separators, or "" when the name
// would leave the extraction folder.
std::string SafeRelativeName(const std::string& storedName);
