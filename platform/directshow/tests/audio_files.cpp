#include "audio_files.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace testaudio {
namespace {

void PutLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>(value >> (8 * i)));
}

std::uint32_t GetLe(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

double Pcm::Rms() const {
    double sum = 0;
    for (std::int16_t s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

Pcm Sine(double seconds, double amplitude) {
    Pcm pcm{44100, 2, {}};
    const auto frames = static_cast<size_t>(seconds * pcm.rate);
    pcm.samples.reserve(frames * 2);
    double phase = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double hz = 440.0 + 400.0 * i / frames;
        phase += 2 * std::numbers::pi * hz / pcm.rate;
        const auto s = static_cast<std::int16_t>(std::lround(amplitude * 32767 * std::sin(phase)));
        pcm.samples.push_back(s);
        pcm.samples.push_back(static_cast<std::int16_t>(-s));
    }
    return pcm;
}

void WriteWav(const std::filesystem::path& path, const Pcm& pcm) {
    std::ofstream out(path, std::ios::binary);
    const auto bytes = static_cast<std::uint32_t>(pcm.samples.size() * 2);
    out.write("RIFF", 4);
    PutLe(out, 36 + bytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, pcm.channels, 2);
    PutLe(out, pcm.rate, 4);
    PutLe(out, pcm.rate * pcm.channels * 2, 4);
    PutLe(out, pcm.channels * 2, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, bytes, 4);
    for (std::int16_t s : pcm.samples)
        PutLe(out, static_cast<std::uint16_t>(s), 2);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

Pcm ReadWav(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), {});
    if (data.size() < 44 || std::memcmp(data.data(), "RIFF", 4) != 0 ||
        std::memcmp(&data[8], "WAVE", 4) != 0 || GetLe(&data[34], 2) != 16)
        return {};
    Pcm pcm{static_cast<int>(GetLe(&data[24], 4)), static_cast<int>(GetLe(&data[22], 2)), {}};
    const size_t bytes = std::min<size_t>(GetLe(&data[40], 4), data.size() - 44);
    pcm.samples.resize(bytes / 2);
    for (size_t i = 0; i < pcm.samples.size(); ++i)
        pcm.samples[i] = static_cast<std::int16_t>(GetLe(&data[44 + 2 * i], 2));
    return pcm;
}

bool WriteOggVorbis(const std::filesystem::path& path, double seconds) {
    const int buffers = static_cast<int>(seconds * 100);
    const std::string command =
        "gst-launch-1.0 -q audiotestsrc samplesperbuffer=441 num-buffers=" +
        std::to_string(buffers) +
        " ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! oggmux ! filesink "
        "location='" +
        path.string() + "' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::file_size(path) > 0;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "audioXXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored; // a test must not fail over its clean-up
    std::filesystem::remove_all(path_, ignored);
}

} // namespace testaudio
