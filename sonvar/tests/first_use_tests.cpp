// Runs alone in its process: what the library does the first time it is used.
#include "harness.h"

#include <gtest/gtest.h>
#include <link.h>

#include <set>
#include <string>

namespace {

using sonvartest::Capture;
using sonvartest::LoadedSonvar;
using sonvartest::Window;

std::set<std::string> LoadedObjects() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            static_cast<std::set<std::string>*>(data)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// Unloading runs under the dynamic loader's lock and waits for the player threads and
// their graphs. Were a player to load a plugin while that happens, both would wait for
// ever; so once the library has loaded, playing loads nothing more.
TEST(SonvarFirstUse, PlayingLoadsNoSharedObjectAfterTheLibraryHasLoaded) {
    testaudio::TempDir dir;
    const testaudio::Pcm tone = testaudio::Sine(0.2);
    testaudio::WriteWav(dir / "a.wav", tone);
    ASSERT_TRUE(testaudio::WriteOggVorbis(dir / "a.ogg", 0.2));
    LoadedSonvar sonvar;
    Window window;
    const std::set<std::string> before = LoadedObjects();
    for (const char* name : {"a.wav", "a.ogg"}) {
        Capture capture(dir, std::string(name) + "-out.wav");
        const int id = sonvar->PlayFile((dir / name).c_str(), &capture.param);
        sonvar->SetNotifyWindow(id, window.handle());
        const std::optional<MSG> msg = window.Next();
        ASSERT_TRUE(msg.has_value()) << name << " did not play to its end";
        EXPECT_EQ(msg->lParam, id);
        EXPECT_EQ(sonvar->Close(id), 1);
    }
    std::set<std::string> added;
    for (const std::string& name : LoadedObjects())
        if (!before.contains(name))
            added.insert(name);
    EXPECT_TRUE(added.empty()) << "loaded while playing: " << *added.begin();
}

// The first player of the process, unloaded while its thread builds the graph.
TEST(SonvarFirstUse, UnloadingWhileTheFirstGraphIsBuiltEnds) {
    testaudio::TempDir dir;
    testaudio::WriteWav(dir / "a.wav", testaudio::Sine(1.0));
    for (int i = 0; i < 10; ++i) {
        LoadedSonvar sonvar;
        Capture capture(dir, "out.wav");
        EXPECT_EQ(sonvar->PlayFile((dir / "a.wav").c_str(), &capture.param), 1);
        EXPECT_LT(sonvar.Unload(), 2500.0);
    }
}

} // namespace
