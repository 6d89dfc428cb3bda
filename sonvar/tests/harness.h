// Loads libSonvar.so as an application does and gives tests what they wait on.
#pragma once

#include "audio_files.h"

#include <directshow/renderer.h>
#include <sonvar.h>

#include <optional>
#include <string>

namespace sonvartest {

class LoadedSonvar {
public:
    LoadedSonvar();
    ~LoadedSonvar();
    LoadedSonvar(const LoadedSonvar&) = delete;
    LoadedSonvar& operator=(const LoadedSonvar&) = delete;

    ISonvar* operator->() const { return sonvar_; }
    // Holds the library's lock, so that no player thread acts meanwhile.
    void Lock() const;
    void Unlock() const;
    // Unloads now; returns how long dlclose took, in milliseconds.
    double Unload();

private:
    void* library_ = nullptr;
    ISonvar* sonvar_ = nullptr;
    CRITICAL_SECTION* lock_ = nullptr;
};

// A capture target for one player, with its first-sample event.
struct Capture {
    explicit Capture(const testaudio::TempDir& dir, const std::string& name);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    bool WaitFirstSample(DWORD ms = 5000) const;
    testaudio::Pcm Read() const { return testaudio::ReadWav(path); }

    std::string path;
    RENDERER_PARAM param{};
};

// A window of the win32 stand-in owned by the test thread.
class Window {
public:
    Window();
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND handle() const { return hwnd_; }
    // The next message, or nothing when none comes within `ms`.
    std::optional<MSG> Next(DWORD ms = 5000) const;
    bool Empty() const;

private:
    HWND hwnd_;
};

} // namespace sonvartest
