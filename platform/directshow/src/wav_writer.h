// Writes 16-bit PCM to a WAV file whose header is kept valid after every block, so the
// file can be read at any moment while it grows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace directshow {

class WavWriter {
public:
    // Creates (or empties) the file; false when it cannot be created.
    bool Open(const std::string& path);
    // Appends interleaved 16-bit samples; the format is fixed by the first block.
    bool Write(std::span<const std::uint8_t> pcm, int rate, int channels);

private:
    bool WriteHeader();

    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    int rate_ = 0;
    int channels_ = 0;
    std::uint32_t dataBytes_ = 0;
};

} // namespace directshow
