#include "wav_writer.h"

#include <array>
#include <cstring>

namespace directshow {
namespace {

constexpr long kHeaderBytes = 44;

void PutLe(std::uint8_t* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

bool WavWriter::Open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "wb"));
    rate_ = channels_ = 0;
    dataBytes_ = 0;
    return file_ != nullptr;
}

bool WavWriter::WriteHeader() {
    std::array<std::uint8_t, kHeaderBytes> h{};
    std::memcpy(&h[0], "RIFF", 4);
    PutLe(&h[4], 36 + dataBytes_, 4);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    PutLe(&h[16], 16, 4);
    PutLe(&h[20], 1, 2); // PCM
    PutLe(&h[22], channels_, 2);
    PutLe(&h[24], rate_, 4);
    PutLe(&h[28], rate_ * channels_ * 2, 4);
    PutLe(&h[32], channels_ * 2, 2);
    PutLe(&h[34], 16, 2);
    std::memcpy(&h[36], "data", 4);
    PutLe(&h[40], dataBytes_, 4);
    return std::fseek(file_.get(), 0, SEEK_SET) == 0 &&
           std::fwrite(h.data(), 1, h.size(), file_.get()) == h.size();
}

bool WavWriter::Write(std::span<const std::uint8_t> pcm, int rate, int channels) {
    if (!file_)
        return false;
    if (rate_ == 0) {
        rate_ = rate;
        channels_ = channels;
    } else if (rate != rate_ || channels != channels_) {
        return false;
    }
    const bool ok = std::fseek(file_.get(), kHeaderBytes + dataBytes_, SEEK_SET) == 0 &&
                    std::fwrite(pcm.data(), 1, pcm.size(), file_.get()) == pcm.size();
    if (!ok)
        return false;
    dataBytes_ += static_cast<std::uint32_t>(pcm.size());
    return WriteHeader() && std::fflush(file_.get()) == 0;
}

} // namespace directshow
