// The library as a module: what it exports, that unloading really unloads it, and that a
// game's process ends cleanly however it leaves its players.
#include "harness.h"
#include "module_symbols.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <set>
#include <string>

namespace {

using sonvartest::Capture;
using sonvartest::LoadedSonvar;

bool Loaded() {
    void* handle = dlopen(SONVAR_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

TEST(SonvarModule, ExportsTheObjectAlone) {
    EXPECT_EQ(testmodule::ExportedSymbols(SONVAR_LIBRARY), std::set<std::string>{"ISonvar_object"});
}

// Rounds of load, play, close and unload, closing at every moment of a player's start and
// also not at all: each unload takes the library away and the next load starts afresh.
TEST(SonvarModule, LoadPlayCloseUnloadHundredTimes) {
    testaudio::TempDir dir;
    const std::string file = (dir / "a.wav").string();
    testaudio::WriteWav(file, testaudio::Sine(0.3));
    ASSERT_FALSE(Loaded());
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        Capture capture(dir, "first.wav"), other(dir, "second.wav");
        {
            LoadedSonvar sonvar;
            ASSERT_TRUE(Loaded());
            const int id = sonvar->PlayFile(file.c_str(), &capture.param);
            ASSERT_EQ(id, 1) << "ids did not start again from 1";
            ASSERT_EQ(sonvar->PlayFile(file.c_str(), &other.param), 2);
            switch (round % 4) {
            case 0:
                break; // unloaded while starting
            case 1:
                sonvar->Close(id);
                break;
            default:
                ASSERT_TRUE(capture.WaitFirstSample());
                if (round % 4 == 2)
                    sonvar->Close(id);
                break;
            }
        }
        ASSERT_FALSE(Loaded()) << "dlclose left the library loaded";
    }
}

// Runs the game process of sonvar_exit and returns its wait status.
int RunGame(const std::string& mode, const std::string& file, const std::string& dir) {
    const char* argv[] = {SONVAR_EXIT_PROGRAM, mode.c_str(), file.c_str(), dir.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, SONVAR_EXIT_PROGRAM, nullptr, nullptr, const_cast<char**>(argv),
                    environ) != 0)
        return -1;
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

TEST(SonvarExit, AProcessEndsCleanlyHoweverItLeavesItsPlayers) {
    testaudio::TempDir dir;
    const std::string file = (dir / "a.wav").string();
    testaudio::WriteWav(file, testaudio::Sine(3.0));
    for (const char* mode : {"playing", "unloaded", "closed"}) {
        for (int run = 0; run < 3; ++run) {
            const int status = RunGame(mode, file, (dir / "").string());
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << mode << " run " << run << ": wait status " << status
                << (WIFSIGNALED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")"
                                        : std::string());
        }
    }
}

} // namespace
