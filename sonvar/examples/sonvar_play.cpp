// sonvar_play: plays a music file in a loop through libSonvar.so, as an application
// would: it loads the library, names a window for the end-of-piece message and restarts
// the piece each time that message comes. Keys (each followed by Enter):
//   p pause   c continue   s stop   r restart   + louder   - softer   q quit
#include <directshow/renderer.h>
#include <sonvar.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

constexpr UINT WM_KEY = WM_USER + 1;
constexpr LONG kVolumeStep = 300; // hundredths of a decibel

// Hands every key typed on standard input to the window; the end of input quits.
void ReadKeys(HWND window) {
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) == 1)
        PostMessageA(window, WM_KEY, static_cast<unsigned char>(key), 0);
    PostMessageA(window, WM_KEY, 'q', 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    void* library = dlopen(SONVAR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    auto* sonvar = library ? static_cast<ISonvar*>(dlsym(library, "ISonvar_object")) : nullptr;
    if (!sonvar) {
        std::fprintf(stderr, "cannot load %s\n", SONVAR_LIBRARY);
        return 1;
    }
    HWND window = CreateWindowExA(0, "STATIC", "sonvar_play", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    RENDERER_PARAM device{RENDERER_OUTPUT_DEVICE, nullptr, nullptr};
    const int id = sonvar->PlayFile(argv[1], &device);
    if (!id) {
        std::fprintf(stderr, "cannot play %s\n", argv[1]);
        return 1;
    }
    sonvar->SetNotifyWindow(id, window);
    std::thread(ReadKeys, window).detach();
    std::printf("playing %s: p pause, c continue, s stop, r restart, +/- volume, q quit\n",
                argv[1]);

    LONG volume = RENDERER_VOLUME_FULL;
    MSG msg;
    bool running = true;
    while (running && GetMessageA(&msg, window, 0, 0) > 0) {
        if (msg.message == MM_MCINOTIFY && msg.wParam == MCI_NOTIFY_SUCCESSFUL &&
            msg.lParam == id) {
            std::printf("end of piece: playing it again\n");
            sonvar->Restart(id);
        } else if (msg.message == WM_KEY) {
            switch (msg.wParam) {
            case 'p':
                sonvar->Pause(id);
                break;
            case 'c':
                sonvar->Resume(id);
                break;
            case 's':
                sonvar->Stop(id);
                break;
            case 'r':
                sonvar->Restart(id);
                break;
            case '+':
            case '-':
                volume = std::clamp(volume + (msg.wParam == '+' ? kVolumeStep : -kVolumeStep),
                                    RENDERER_VOLUME_SILENT, RENDERER_VOLUME_FULL);
                sonvar->SetVolume(id, volume);
                std::printf("volume %.2f dB\n", volume / 100.0);
                break;
            case 'q':
                running = false;
                break;
            default: // the Enter after each key, and keys that mean nothing
                break;
            }
        }
        std::fflush(stdout);
    }
    sonvar->Close(id);
    dlclose(library);
    DestroyWindow(window);
    return 0;
}
