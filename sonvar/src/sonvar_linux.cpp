// The library's platform part on Linux: constructors stand in for the loader's DllMain
// notifications, the filter graph classes are built in, and the ANSI code page is UTF-8.
#include "sonvar_platform.h"

#include <directshow/classes.h>

#include <atomic>

// Composed characters stay composed.
std::optional<WideString> WideFromAnsi(const char* text) {
    WideString out;
    for (auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        char32_t c = *p;
        int extra = c < 0x80           ? 0
                    : (c >> 5) == 0x6  ? 1
                    : (c >> 4) == 0xE  ? 2
                    : (c >> 3) == 0x1E ? 3
                                       : -1;
        if (extra < 0)
            return std::nullopt;
        c &= extra == 0 ? 0x7F : (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (p[i] & 0x3F);
        }
        p += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (c >> 10));
            out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<WCHAR>(c);
        }
    }
    return out;
}

// The library is unloaded by dlclose, whose destructors may wait for the player threads:
// the threads hold no reference on it.
bool HoldLibraryForThread() {
    return true;
}

void ReleaseLibraryForThread() {}

DWORD LeavePlayerThread(DWORD exitCode) {
    return exitCode;
}

void WaitForPlayerThreads(const std::vector<std::shared_ptr<void>>& threads) {
    for (const std::shared_ptr<void>& thread : threads)
        WaitForSingleObject(thread.get(), INFINITE);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID);

namespace {

// Set while the library is loaded and a player was started; cleared by the library's
// destructor, which at dlclose may come before the exit guard's.
std::atomic<void (*)()> endAtExit{nullptr};

// Made at the first start of a player, so that the process's exit destroys it before the
// host's static objects made earlier; registered with this copy of the library, so that
// dlclose destroys it too, and never after the library has gone.
struct ExitGuard {
    ~ExitGuard() {
        if (void (*const end)() = endAtExit.exchange(nullptr))
            end();
    }
};

} // namespace

void EndPlayersAsTheProcessExits(void (*endAllPlayers)()) {
    static ExitGuard guard;
    endAtExit = endAllPlayers;
}

namespace {

__attribute__((constructor)) void LibraryLoaded() {
    directshow::RegisterBuiltinClasses();
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
}
__attribute__((destructor)) void LibraryUnloaded() {
    endAtExit = nullptr;
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
}

} // namespace
