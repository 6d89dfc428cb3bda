// A game built outside the project against the installed kit alone. It plays a WAV file it
// writes itself through Sonvar to the capture renderer and takes the end-of-piece message
// from its window's queue, creates VornNetwork by its ProgID, then returns from main with a
// second piece still playing and nothing closed or released. Exit status 0 when every step
// worked; the run script checks that the process also ended cleanly.
#include <VornNetwork.h>
#include <directshow/renderer.h>
#include <sonvar.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrames = kRate * 3 / 10; // 0.3 s
constexpr UINT kTimedOut = WM_USER + 1;

// The game's objects live as long as the process, in globals of its own.
IVornLANNetwork* network = nullptr;
RENDERER_PARAM first{};
RENDERER_PARAM second{};
std::string capturePath;
std::string loopPath;

void PutLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void WriteTone(const std::string& path) {
    std::vector<std::int16_t> samples;
    for (int frame = 0; frame < kFrames; ++frame)
        for (int channel = 0; channel < kChannels; ++channel)
            samples.push_back(static_cast<std::int16_t>(
                8000 * std::sin(2 * 3.14159265358979 * 440 * frame / kRate)));
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, kChannels, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * kChannels * 2, 4);
    PutLe(out, kChannels * 2, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (const std::int16_t sample : samples)
        PutLe(out, static_cast<std::uint16_t>(sample), 2);
}

// The data size a WAV file's header gives.
std::uint32_t DataBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[44] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return 0;
    return header[40] | header[41] << 8 | header[42] << 16 | std::uint32_t{header[43]} << 24;
}

bool Fail(const char* step) {
    std::fprintf(stderr, "outside_game: %s failed\n", step);
    return false;
}

bool PlayToTheEnd(ISonvar& sonvar, const std::string& dir) {
    const std::string tone = dir + "/tone.wav";
    WriteTone(tone);
    HWND window = CreateWindowExA(0, "STATIC", "outside game", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    if (!window)
        return Fail("CreateWindowExA");
    capturePath = dir + "/captured.wav";
    first = {RENDERER_OUTPUT_CAPTURE, capturePath.c_str(), nullptr};
    const int id = sonvar.PlayFile(tone.c_str(), &first);
    if (id != 1)
        return Fail("PlayFile");
    sonvar.SetNotifyWindow(id, window);
    // The queue gets a marker after 10 s, so a lost message ends the wait.
    std::thread([window] {
        Sleep(10000);
        PostMessageA(window, kTimedOut, 0, 0);
    }).detach();
    MSG msg{};
    if (GetMessageA(&msg, window, 0, 0) <= 0 || msg.message != MM_MCINOTIFY ||
        msg.wParam != MCI_NOTIFY_SUCCESSFUL || msg.lParam != id)
        return Fail("the end-of-piece message");
    if (DataBytes(capturePath) != kFrames * kChannels * 2)
        return Fail("the captured piece");
    // A second piece, left playing when the game returns from main.
    loopPath = dir + "/still-playing.wav";
    second = {RENDERER_OUTPUT_CAPTURE, loopPath.c_str(), nullptr};
    if (sonvar.PlayFile(tone.c_str(), &second) != 2 || sonvar.Restart(id) != 1)
        return Fail("playing on");
    return true;
}

bool CreateNetwork() {
    if (FAILED(CoInitialize(nullptr)))
        return Fail("CoInitialize");
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(u"VornNetwork.VornLANNetwork", &clsid)))
        return Fail("CLSIDFromProgID");
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVornLANNetwork,
                                reinterpret_cast<void**>(&network))))
        return Fail("CoCreateInstance");
    char address[] = "127.0.0.1";
    if (FAILED(network->SetAddress(reinterpret_cast<LPWSTR>(address))))
        return Fail("SetAddress");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SONVAR_LIBRARY DIR\n", argv[0]);
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    auto* sonvar =
        library ? reinterpret_cast<ISonvar*>(GetProcAddress(library, "ISonvar_object")) : nullptr;
    if (!sonvar) {
        Fail("loading Sonvar");
        return 1;
    }
    if (!PlayToTheEnd(*sonvar, argv[2]) || !CreateNetwork())
        return 1;
    std::printf("outside_game: played to the end, created VornNetwork; leaving\n");
    return 0;
}
