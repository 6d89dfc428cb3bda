// Loads Sonvar.dll, starts a player (on a file that does not exist, so that the player
// thread ends by itself) and frees the library at once, `rounds` times (default 20); an
// optional pause in milliseconds before each start. Exits 0 when every round returned and
// the library has gone once its player threads have ended.
//   sonvar_unload.exe [rounds [pause-ms]]
#include <sonvar.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const DWORD pauseMs = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 0;
    for (int round = 0; round < rounds; ++round) {
        const HMODULE library = LoadLibraryA("Sonvar.dll");
        if (!library) {
            std::printf("LoadLibrary failed: %lu\n", GetLastError());
            return 1;
        }
        auto* sonvar = reinterpret_cast<ISonvar*>(GetProcAddress(library, "ISonvar_object"));
        if (!sonvar) {
            std::printf("Sonvar.dll does not export ISonvar_object\n");
            return 1;
        }
        Sleep(pauseMs);
        DWORD discard[4] = {2 /* discard the output */, 0, 0, 0};
        const int id = sonvar->PlayFile("C:\\missing.wav", discard);
        if (id <= 0) {
            std::printf("PlayFile answered %d\n", id);
            return 1;
        }
        std::printf("round %d: player %d\n", round, id);
        std::fflush(stdout);
        if (!FreeLibrary(library)) {
            std::printf("FreeLibrary failed: %lu\n", GetLastError());
            return 1;
        }
    }
    // Each player thread gives back its hold on the library as its last act: once they have
    // all ended the library is gone.
    for (DWORD waited = 0; GetModuleHandleA("Sonvar.dll") && waited < 10000; waited += 10)
        Sleep(10);
    if (GetModuleHandleA("Sonvar.dll")) {
        std::printf("Sonvar.dll is still loaded after its players have ended\n");
        return 1;
    }
    std::printf("%d rounds unloaded\n", rounds);
    return 0;
}
