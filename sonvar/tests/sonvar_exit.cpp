// A game's process that loads libSonvar.so, starts players and leaves in one of three ways:
//   sonvar_exit playing   FILE DIR   returns from main while the players play
//   sonvar_exit unloaded  FILE DIR   unloads the library while they play, then returns
//   sonvar_exit closed    FILE DIR   closes every player and unloads first
// Players capture to DIR. Exit status 0 unless a step failed (2) or the process crashed.
#include <directshow/renderer.h>
#include <sonvar.h>

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s playing|unloaded|closed FILE DIR\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    void* library = dlopen(SONVAR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    auto* sonvar = library ? static_cast<ISonvar*>(dlsym(library, "ISonvar_object")) : nullptr;
    if (!sonvar)
        return 2;
    HWND window = CreateWindowExA(0, "STATIC", "sonvar_exit", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    // Static, as a game's own would be: the renderer parameters outlive the players.
    static std::vector<std::string> paths;
    static RENDERER_PARAM params[4];
    std::vector<int> ids;
    for (int i = 0; i < 4; ++i) {
        paths.push_back(std::string(argv[3]) + "/" + std::to_string(i) + ".wav");
        params[i] = {RENDERER_OUTPUT_CAPTURE, paths.back().c_str(),
                     CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        const int id = sonvar->PlayFile(argv[2], &params[i]);
        if (!id)
            return 2;
        sonvar->SetNotifyWindow(id, window);
        ids.push_back(id);
    }
    // One playing, one paused, the others left as they are: perhaps still being built.
    if (WaitForSingleObject(params[0].firstSample, 5000) != WAIT_OBJECT_0)
        return 2;
    sonvar->Pause(ids[1]);
    if (mode == "closed") {
        for (const int id : ids)
            sonvar->Close(id);
    }
    if (mode != "playing" && dlclose(library) != 0)
        return 2;
    return 0;
}
