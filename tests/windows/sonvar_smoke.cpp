// Plays a short generated WAV through Sonvar.dll and the system's DirectShow, with the test
// renderer registered under the reference renderer's class, and checks the operations'
// answers and the end-of-piece message to a message-only window.
//   sonvar_smoke.exe                    the checks above
//   sonvar_smoke.exe exit playing|freed|closed
//       starts players (one playing, one paused, the others perhaps still being built) and
//       returns from main: at once (`playing`), after freeing Sonvar.dll (`freed`), or after
//       closing every player, freeing Sonvar.dll and seeing it unloaded (`closed`). The exit
//       status is 0 unless a step failed (2) or the process crashed.
#include "smoke_check.h"
#include "test_renderer.h"

#include <directshow/renderer.h>
#include <sonvar.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr DWORD kPieceMs = 400;
constexpr DWORD kTimeoutMs = 10000;

std::string ExeFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// A 16-bit mono sine of kPieceMs.
bool WriteWav(const std::string& file) {
    const std::uint32_t samples = kRate * kPieceMs / 1000;
    std::vector<std::int16_t> pcm(samples);
    for (std::uint32_t i = 0; i < samples; ++i)
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(2 * 3.14159265 * 440 * i / kRate));
    const std::uint32_t dataBytes = samples * 2;
    auto u32 = [](std::ofstream& out, std::uint32_t v) {
        out.write(reinterpret_cast<char*>(&v), 4);
    };
    auto u16 = [](std::ofstream& out, std::uint16_t v) {
        out.write(reinterpret_cast<char*>(&v), 2);
    };
    std::ofstream out(file, std::ios::binary);
    out.write("RIFF", 4);
    u32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(out, 16);
    u16(out, 1); // PCM
    u16(out, 1);
    u32(out, kRate);
    u32(out, kRate * 2);
    u16(out, 2);
    u16(out, 16);
    out.write("data", 4);
    u32(out, dataBytes);
    out.write(reinterpret_cast<const char*>(pcm.data()), dataBytes);
    return static_cast<bool>(out);
}

// The test renderer DLL beside this program, as the reference renderer's in-process server.
class RendererRegistration {
public:
    RendererRegistration() {
        const std::string server = ExeFolder() + "sonvar_test_renderer.dll";
        HKEY key = nullptr;
        ok_ = RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr) == ERROR_SUCCESS;
        if (!ok_)
            return;
        ok_ = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                             static_cast<DWORD>(server.size() + 1)) == ERROR_SUCCESS &&
              RegSetValueExA(key, "ThreadingModel", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("Both"), 5) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RendererRegistration() { RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey); }
    RendererRegistration(const RendererRegistration&) = delete;
    RendererRegistration& operator=(const RendererRegistration&) = delete;
    bool ok() const { return ok_; }

private:
    static constexpr const char* kClassKey = "CLSID\\{6C1E9A30-4B7D-4F2E-9A51-3D0C8E27B614}";
    static constexpr const char* kKey =
        "CLSID\\{6C1E9A30-4B7D-4F2E-9A51-3D0C8E27B614}\\InprocServer32";
    bool ok_ = false;
};

// A message-only window: no display needed.
class NotifyWindow {
public:
    NotifyWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SonvarSmokeNotify";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
    }
    ~NotifyWindow() {
        if (window_)
            DestroyWindow(window_);
    }
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;
    HWND get() const { return window_; }

    // The next message posted to the window within the time-out; false when none came.
    bool Next(MSG& message, DWORD timeoutMs) const {
        const DWORD start = GetTickCount();
        for (;;) {
            if (PeekMessageA(&message, window_, 0, 0, PM_REMOVE))
                return true;
            const DWORD waited = GetTickCount() - start;
            if (waited >= timeoutMs)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - waited, QS_ALLINPUT);
        }
    }

private:
    HWND window_ = nullptr;
};

// Waits until `condition` holds, checking every 10 ms; false on time-out.
template <typename Condition> bool WaitFor(Condition condition) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(10))
        if (condition())
            return true;
    return condition();
}

bool IsEndOfPiece(const MSG& message, int id) {
    return message.message == MM_MCINOTIFY && message.wParam == MCI_NOTIFY_SUCCESSFUL &&
           message.lParam == id;
}

void CheckPlayback(Checks& check, ISonvar& sonvar, const std::string& wav) {
    NotifyWindow window;
    if (!check(window.get() != nullptr, "a message-only window is created"))
        return;
    TestRendererParam param;
    check(sonvar.PlayFile(wav.c_str(), nullptr) == 0, "PlayFile without a renderer parameter is 0");
    const int id = sonvar.PlayFile(wav.c_str(), &param);
    check(id == 1, "the first player of a freshly loaded library is 1");
    sonvar.SetNotifyWindow(id, window.get());
    sonvar.SetVolume(id, -500);

    MSG message{};
    const DWORD started = GetTickCount();
    check(window.Next(message, kTimeoutMs) && IsEndOfPiece(message, id),
          "the end of the piece is posted to the window: MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, id");
    check(GetTickCount() - started >= kPieceMs, "the piece plays in real time");
    check(param.outputCalls == 1 && param.lastOutput == &param,
          "the renderer gets the caller's parameter once, unchanged");
    check(param.volume == -500, "a volume set while the graph was built reaches the renderer");
    check(sonvar.SetVolume(id, -1000) == 1 && param.volume == -1000,
          "SetVolume on a built player goes to the renderer at once and answers 1");

    // At its end the player stays until restarted: a restart plays the piece again.
    const DWORD restarted = GetTickCount();
    check(sonvar.Restart(id) != 0, "Restart at the end of the piece is handed to the player");
    check(window.Next(message, kTimeoutMs) && IsEndOfPiece(message, id),
          "a restarted piece ends again with the message");
    check(GetTickCount() - restarted >= kPieceMs, "a restart plays the whole piece again");

    check(sonvar.Pause(id) != 0, "Pause of a live player is handed to it");
    check(sonvar.Resume(id) != 0, "Resume of a live player is handed to it");
    check(sonvar.Stop(id) != 0, "Stop of a live player is handed to it");
    check(sonvar.Close(id) == 1, "Close answers 1");
    check(sonvar.Pause(id) == 0 && sonvar.Resume(id) == 0 && sonvar.Stop(id) == 0 &&
              sonvar.Restart(id) == 0 && sonvar.SetVolume(id, 0) == 0,
          "commands and SetVolume on a closed player answer 0");
    check(sonvar.Close(id) == 1, "Close of a closed player still answers 1");
    check(!window.Next(message, kPieceMs * 2), "a closed player posts nothing more");
}

void CheckPlayerEndsAlone(Checks& check, ISonvar& sonvar, const std::string& wav) {
    TestRendererParam param;
    const int id = sonvar.PlayFile(wav.c_str(), &param);
    check(id == 2, "ids go on from the last one given");
    check(WaitFor([&] { return param.outputCalls == 1; }), "the window-less player starts");
    // Without a window the player removes itself at the end of the piece.
    check(WaitFor([&] { return sonvar.SetVolume(id, -100) == 0; }),
          "a player without a window removes itself at the end of the piece");

    TestRendererParam refusing;
    refusing.refuseOutput = 1;
    const int refused = sonvar.PlayFile(wav.c_str(), &refusing);
    check(refused == 3, "a player is started for a renderer that will refuse");
    check(WaitFor([&] { return refusing.outputCalls == 1 && sonvar.SetVolume(refused, 0) == 0; }),
          "a renderer refusing the parameter ends the player silently");

    TestRendererParam missing;
    const int absent = sonvar.PlayFile("C:\\no such folder\\missing.wav", &missing);
    check(absent == 4, "PlayFile of a missing file still starts a player");
    check(WaitFor([&] { return sonvar.Pause(absent) == 0; }) && missing.outputCalls == 0,
          "a file that cannot be rendered ends the player before the renderer is used");
}

// A game leaving with players started: the process must end cleanly.
int LeaveWithPlayers(const std::string& mode, ISonvar& sonvar, HMODULE library,
                     const std::string& wav) {
    // Static, as a game's own would be: the parameters outlive the players.
    static TestRendererParam params[4];
    std::vector<int> ids;
    for (auto& param : params) {
        const int id = sonvar.PlayFile(wav.c_str(), &param);
        if (id <= 0)
            return 2;
        ids.push_back(id);
    }
    if (!WaitFor([] { return params[0].outputCalls == 1; }))
        return 2;
    sonvar.Pause(ids[1]);
    if (mode == "closed") {
        for (const int id : ids)
            sonvar.Close(id);
    }
    if (mode != "playing" && !FreeLibrary(library))
        return 2;
    // Closed players stop their graphs and end their threads, the last one unloading the
    // library: nothing of theirs runs any more as the process exits.
    if (mode == "closed" && !WaitFor([] { return GetModuleHandleA("Sonvar.dll") == nullptr; }))
        return 2;
    std::printf("sonvar_smoke: leaving with %zu players (%s)\n", ids.size(), mode.c_str());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string exitMode = argc == 3 && std::string(argv[1]) == "exit" ? argv[2] : "";
    if (argc != 1 && exitMode != "playing" && exitMode != "freed" && exitMode != "closed") {
        std::printf("usage: sonvar_smoke.exe [exit playing|freed|closed]\n");
        return 2;
    }
    Checks check;
    const std::string wav = ExeFolder() + "sonvar_smoke.wav";
    RendererRegistration registration;
    if (!check(registration.ok(), "the test renderer is registered") ||
        !check(WriteWav(wav), "the WAV is written"))
        return check.Result("sonvar_smoke");

    const HMODULE library = LoadLibraryA("Sonvar.dll");
    auto* sonvar =
        library ? reinterpret_cast<ISonvar*>(GetProcAddress(library, "ISonvar_object")) : nullptr;
    if (!check(sonvar != nullptr, "Sonvar.dll loads and exports ISonvar_object"))
        return check.Result("sonvar_smoke");
    if (!exitMode.empty())
        return LeaveWithPlayers(exitMode, *sonvar, library, wav);

    CheckPlayback(check, *sonvar, wav);
    CheckPlayerEndsAlone(check, *sonvar, wav);
    check(FreeLibrary(library) != FALSE, "FreeLibrary succeeds");
    check(WaitFor([] { return GetModuleHandleA("Sonvar.dll") == nullptr; }),
          "Sonvar.dll is unloaded once its players have ended");
    DeleteFileA(wav.c_str());
    return check.Result("sonvar_smoke");
}
