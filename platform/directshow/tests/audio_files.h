// Audio files made by the tests themselves, and a reader for the WAV files the
// reference renderer captures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testaudio {

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved

    double Seconds() const { return channels ? double(samples.size()) / channels / rate : 0; }
    double Rms() const;
};

// A stereo 440 Hz sine at 44.1 kHz, `amplitude` of full scale, with a rising tone so that
// no two stretches of the piece are alike.
Pcm Sine(double seconds, double amplitude = 0.5);

void WriteWav(const std::filesystem::path& path, const Pcm& pcm);
// Reads a 16-bit PCM WAV file; an empty Pcm when it is missing or not one.
Pcm ReadWav(const std::filesystem::path& path);
// Encodes `seconds` of a test tone as Ogg Vorbis with gst-launch-1.0; false on failure.
bool WriteOggVorbis(const std::filesystem::path& path, double seconds);

// A fresh folder removed with its contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace testaudio
