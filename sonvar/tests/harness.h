// Loads libSonvar.so as an application does and gives tests what they wait on.
#pragma once

#include "audio_files.h"

#include <directshow/renderer.h>
#include <sonvar.h>

#include <optional>
#include <set>
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

// Tells when the renderer has closed its capture files: a capture file is closed when
// its graph is destroyed, which the player thread does as it ends.
class CaptureCloseWatch {
public:
    explicit CaptureCloseWatch(const testaudio::TempDir& dir);
    ~CaptureCloseWatch();
    CaptureCloseWatch(const CaptureCloseWatch&) = delete;
    CaptureCloseWatch& operator=(const CaptureCloseWatch&) = delete;

    // Waits until every capture file created so far has been closed after writing;
    // false when one is still open after `ms`.
    bool WaitAllClosed(DWORD ms = 3000);
    int created() const { return static_cast<int>(created_.size()); }

private:
    // Reads the events waiting; false when none came within `ms`.
    bool ReadEvents(int ms);

    int fd_;
    std::set<std::string> created_;
    std::set<std::string> open_;
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
