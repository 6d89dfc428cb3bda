#include "harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

using sonvartest::LoadedSonvar;

double StressSeconds() {
    const char* text = std::getenv("SONVAR_STRESS_SECONDS");
    return text ? std::atof(text) : 2.0;
}

// Eight threads give random commands to sixteen player slots, replacing closed and ended
// players, until the time is up; then the library is unloaded with players running.
TEST(SonvarStress, RandomCommandsFromManyThreads) {
    testaudio::TempDir dir;
    testaudio::WriteWav(dir / "a.wav", testaudio::Sine(0.4));
    const std::string file = (dir / "a.wav").string();
    RENDERER_PARAM discard{RENDERER_OUTPUT_DISCARD, nullptr, nullptr};
    LoadedSonvar sonvar;
    constexpr int kPlayers = 16;
    std::vector<std::atomic<int>> ids(kPlayers);
    for (auto& id : ids)
        id = sonvar->PlayFile(file.c_str(), &discard);

    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(StressSeconds());
    std::atomic<long> commands{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            while (std::chrono::steady_clock::now() < end) {
                auto& slot = ids[random() % kPlayers];
                const int id = slot;
                switch (random() % 9) {
                case 0:
                    sonvar->Pause(id);
                    break;
                case 1:
                    sonvar->Resume(id);
                    break;
                case 2:
                    sonvar->Stop(id);
                    break;
                case 3:
                    sonvar->Restart(id);
                    break;
                case 4:
                    sonvar->SetVolume(id, -static_cast<LONG>(random() % 10001));
                    break;
                case 5:
                    sonvar->SetNotifyWindow(id, nullptr);
                    break;
                case 6:
                    sonvar->Close(id);
                    slot = sonvar->PlayFile(file.c_str(), &discard);
                    break;
                default:
                    if (sonvar->Pause(id) == 0) // ended by itself: replace it
                        slot = sonvar->PlayFile(file.c_str(), &discard);
                    break;
                }
                ++commands;
                std::this_thread::sleep_for(std::chrono::milliseconds(random() % 5));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_GT(commands.load(), 100);
    int alive = 0;
    for (auto& id : ids)
        alive += sonvar->Restart(id);
    EXPECT_GT(alive, 0);
    EXPECT_LT(sonvar.Unload(), 5000.0);
}

} // namespace
