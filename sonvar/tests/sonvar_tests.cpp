#include "gst_object_watch.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using sonvartest::Capture;
using sonvartest::LoadedSonvar;
using sonvartest::Window;
using testaudio::Pcm;

class SonvarTest : public testing::Test {
protected:
    // Writes a test tone of `seconds` and returns its path.
    std::string Tone(const std::string& name, double seconds) {
        source = testaudio::Sine(seconds);
        testaudio::WriteWav(dir / name, source);
        return (dir / name).string();
    }

    static void ExpectEndOfPiece(const std::optional<MSG>& msg, int id) {
        ASSERT_TRUE(msg.has_value()) << "no end-of-piece message";
        EXPECT_EQ(msg->message, MM_MCINOTIFY);
        EXPECT_EQ(msg->wParam, MCI_NOTIFY_SUCCESSFUL);
        EXPECT_EQ(msg->lParam, id);
    }

    // The last source.samples of the capture: the piece played from its start.
    void ExpectEndsWithWholePiece(const Pcm& captured) const {
        ASSERT_GE(captured.samples.size(), source.samples.size());
        const std::vector<std::int16_t> tail(captured.samples.end() - source.samples.size(),
                                             captured.samples.end());
        EXPECT_EQ(tail, source.samples);
    }

    testaudio::TempDir dir;
    Pcm source;
    LoadedSonvar sonvar;
    Window window;
};

TEST_F(SonvarTest, NullRendererParameterGivesNoPlayer) {
    const std::string file = Tone("a.wav", 0.1);
    EXPECT_EQ(sonvar->PlayFile(file.c_str(), nullptr), 0);
    Capture capture(dir, "a-out.wav");
    // No id was used up and no player made: the first real player is number 1.
    EXPECT_EQ(sonvar->PlayFile(file.c_str(), &capture.param), 1);
    EXPECT_EQ(sonvar->Pause(2), 0);
    sonvar.Unload(); // the renderer parameter must outlive the player
}

TEST_F(SonvarTest, IdsCountFromOneAndClosingOneLeavesTheOtherPlaying) {
    const std::string file = Tone("a.wav", 0.5);
    Capture first(dir, "1.wav"), second(dir, "2.wav");
    ASSERT_EQ(sonvar->PlayFile(file.c_str(), &first.param), 1);
    ASSERT_EQ(sonvar->PlayFile(file.c_str(), &second.param), 2);
    sonvar->SetNotifyWindow(2, window.handle());
    ASSERT_TRUE(first.WaitFirstSample());
    ASSERT_TRUE(second.WaitFirstSample());

    EXPECT_EQ(sonvar->Close(1), 1);
    EXPECT_EQ(sonvar->Pause(1), 0);
    ExpectEndOfPiece(window.Next(), 2);
    EXPECT_NEAR(second.Read().Seconds(), source.Seconds(), 0.050);
    EXPECT_EQ(second.Read().samples, source.samples);
    EXPECT_LT(first.Read().Seconds(), source.Seconds() - 0.1);
}

TEST_F(SonvarTest, EndOfPieceIsPostedAndRestartPlaysFromTheStart) {
    const std::string file = Tone("a.wav", 0.3);
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    sonvar->SetNotifyWindow(id, window.handle());
    ExpectEndOfPiece(window.Next(), id);
    EXPECT_EQ(capture.Read().samples, source.samples);

    EXPECT_EQ(sonvar->Restart(id), 1);
    ExpectEndOfPiece(window.Next(), id);
    const Pcm captured = capture.Read();
    EXPECT_NEAR(captured.Seconds(), 2 * source.Seconds(), 0.050);
    ExpectEndsWithWholePiece(captured);
}

TEST_F(SonvarTest, WithoutWindowThePlayerRemovesItselfAtTheEnd) {
    const std::string file = Tone("a.wav", 0.2);
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    ASSERT_TRUE(capture.WaitFirstSample());
    EXPECT_EQ(sonvar->Pause(id), 1); // still there while it plays...
    EXPECT_EQ(sonvar->Resume(id), 1);
    Sleep(700);
    EXPECT_EQ(sonvar->Pause(id), 0); // ...gone after the end
    EXPECT_EQ(sonvar->SetVolume(id, -100), 0);
    EXPECT_NEAR(capture.Read().Seconds(), source.Seconds(), 0.050);
}

TEST_F(SonvarTest, ResumeAfterStopDoesNothingAndRestartPlaysFromTheStart) {
    const std::string file = Tone("a.wav", 0.6);
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    sonvar->SetNotifyWindow(id, window.handle());
    ASSERT_TRUE(capture.WaitFirstSample());
    Sleep(150);
    EXPECT_EQ(sonvar->Stop(id), 1);
    Sleep(100);
    EXPECT_EQ(sonvar->Resume(id), 1);
    EXPECT_FALSE(window.Next(800).has_value()) << "a stopped player went on after Resume";
    const double playedBeforeStop = capture.Read().Seconds();
    EXPECT_LT(playedBeforeStop, source.Seconds() - 0.2);

    EXPECT_EQ(sonvar->Restart(id), 1);
    ExpectEndOfPiece(window.Next(), id);
    const Pcm captured = capture.Read();
    EXPECT_NEAR(captured.Seconds(), playedBeforeStop + source.Seconds(), 0.050);
    ExpectEndsWithWholePiece(captured);
}

TEST_F(SonvarTest, VolumeSetBeforeTheGraphExistsIsAppliedWhenItStarts) {
    const std::string file = Tone("a.wav", 0.3);
    Capture capture(dir, "out.wav");
    sonvar.Lock(); // the player thread cannot build its graph meanwhile
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    const int applied = sonvar->SetVolume(id, -600);
    sonvar.Unlock();
    EXPECT_EQ(applied, 0);
    sonvar->SetNotifyWindow(id, window.handle());
    ExpectEndOfPiece(window.Next(), id);
    EXPECT_NEAR(capture.Read().Rms() / source.Rms(), 0.5, 0.01);
    EXPECT_EQ(sonvar->SetVolume(id, 0), 1); // the renderer exists now
}

// A game that starts its music paused: Pause given before the player's graph exists (held
// back by the lock) holds the whole piece until Resume. Given straight after PlayFile it
// races the player thread, which on a loaded machine may have started the graph already:
// then a few samples go out first, and the piece must still hold from there on.
TEST_F(SonvarTest, PauseBeforeTheGraphExistsHoldsThePieceUntilResume) {
    const std::string file = Tone("a.wav", 0.5);
    for (const bool heldBack : {true, false}) {
        SCOPED_TRACE(heldBack ? "graph held back" : "straight after PlayFile");
        Capture capture(dir, heldBack ? "held.wav" : "straight.wav");
        if (heldBack)
            sonvar.Lock();
        const int id = sonvar->PlayFile(file.c_str(), &capture.param);
        const int paused = sonvar->Pause(id);
        if (heldBack)
            sonvar.Unlock();
        EXPECT_EQ(paused, 1);
        sonvar->SetNotifyWindow(id, window.handle());
        EXPECT_FALSE(window.Next(800).has_value()) << "the paused piece played to its end";
        const double played = capture.Read().Seconds();
        if (heldBack) {
            EXPECT_LT(played, 0.010) << "the paused piece played";
        } else {
            EXPECT_LT(played, source.Seconds() / 2) << "the piece was not paused";
            Sleep(300);
            EXPECT_EQ(capture.Read().Seconds(), played) << "the paused piece went on";
        }
        EXPECT_EQ(sonvar->Resume(id), 1);
        ExpectEndOfPiece(window.Next(), id);
        EXPECT_EQ(capture.Read().samples, source.samples);
        EXPECT_EQ(sonvar->Close(id), 1);
    }
}

TEST_F(SonvarTest, OfTwoQuickCommandsOnlyTheSecondIsCarriedOut) {
    const std::string file = Tone("a.wav", 0.6);
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    sonvar->SetNotifyWindow(id, window.handle());
    ASSERT_TRUE(capture.WaitFirstSample());
    sonvar.Lock(); // both commands arrive before the thread can wake
    EXPECT_EQ(sonvar->Stop(id), 1);
    EXPECT_EQ(sonvar->Pause(id), 1);
    sonvar.Unlock();
    // Had Stop been carried out, Pause would find the graph stopped and the Resume below
    // would leave it so; only the Pause was, so Resume plays the piece to its end.
    Sleep(100);
    EXPECT_EQ(sonvar->Resume(id), 1);
    ExpectEndOfPiece(window.Next(), id);
    EXPECT_EQ(capture.Read().samples, source.samples);
}

TEST_F(SonvarTest, OggVorbisPlaysForItsDuration) {
    ASSERT_TRUE(testaudio::WriteOggVorbis(dir / "a.ogg", 0.4));
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile((dir / "a.ogg").c_str(), &capture.param);
    sonvar->SetNotifyWindow(id, window.handle());
    ExpectEndOfPiece(window.Next(), id);
    EXPECT_NEAR(capture.Read().Seconds(), 0.4, 0.050);
}

TEST_F(SonvarTest, AFileThatCannotBePlayedEndsItsPlayerSilently) {
    std::ofstream(dir / "noise.wav") << std::string(4096, 'x');
    Capture capture(dir, "out.wav");
    const int bad = sonvar->PlayFile((dir / "noise.wav").c_str(), &capture.param);
    const int missing = sonvar->PlayFile((dir / "missing.wav").c_str(), &capture.param);
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(missing, 2);
    sonvar->SetNotifyWindow(bad, window.handle());
    Sleep(300);
    EXPECT_EQ(sonvar->Pause(bad), 0);
    EXPECT_EQ(sonvar->Pause(missing), 0);
    EXPECT_TRUE(window.Empty());
}

TEST_F(SonvarTest, UnknownIdsFailAsDesigned) {
    EXPECT_EQ(sonvar->Pause(7), 0);
    EXPECT_EQ(sonvar->Resume(7), 0);
    EXPECT_EQ(sonvar->Stop(7), 0);
    EXPECT_EQ(sonvar->Restart(7), 0);
    EXPECT_EQ(sonvar->SetVolume(7, 0), 0);
    EXPECT_EQ(sonvar->Close(7), 1);
    sonvar->SetNotifyWindow(7, window.handle());
    EXPECT_EQ(sonvar->PlayFile("bad\xff name.wav", &window), 0); // not in the code page
}

TEST_F(SonvarTest, UnloadingEndsRunningPlayers) {
    const std::string file = Tone("a.wav", 3.0);
    Capture first(dir, "1.wav"), second(dir, "2.wav"), third(dir, "3.wav");
    ASSERT_EQ(sonvar->PlayFile(file.c_str(), &first.param), 1);
    ASSERT_EQ(sonvar->PlayFile(file.c_str(), &second.param), 2);
    sonvar->Pause(2);
    ASSERT_TRUE(first.WaitFirstSample());
    sonvar.Lock();
    ASSERT_EQ(sonvar->PlayFile(file.c_str(), &third.param), 3); // not yet built
    sonvar.Unlock();
    EXPECT_LT(sonvar.Unload(), 1000.0);
    const double played = first.Read().Seconds();
    Sleep(200);
    EXPECT_EQ(first.Read().Seconds(), played) << "a player went on after unloading";
    EXPECT_LT(played, 1.0);
}

// The thread of a closed player wakes from its wait, finds its record gone and ends,
// destroying its graph: the renderer then closes its capture.
TEST_F(SonvarTest, CloseWhileThePlayerWaitsEndsItsThread) {
    const std::string file = Tone("a.wav", 3.0);
    sonvartest::CaptureCloseWatch watch(dir);
    Capture capture(dir, "out.wav");
    const int id = sonvar->PlayFile(file.c_str(), &capture.param);
    ASSERT_TRUE(capture.WaitFirstSample());
    EXPECT_EQ(sonvar->Close(id), 1);
    EXPECT_TRUE(watch.WaitAllClosed()) << "the player thread did not end after Close";
    EXPECT_EQ(watch.created(), 1);
    EXPECT_LT(capture.Read().Seconds(), 1.0);
}

// Players closed at every moment of their start, also while their thread builds the
// graph or before it has begun: each thread ends and leaves no graph behind.
TEST_F(SonvarTest, CloseWhileTheGraphIsBuiltEndsThePlayer) {
    const std::string file = Tone("a.wav", 3.0);
    sonvartest::CaptureCloseWatch watch(dir);
    std::vector<std::unique_ptr<Capture>> captures;
    for (int i = 0; i < 20; ++i) {
        captures.push_back(std::make_unique<Capture>(dir, "out" + std::to_string(i) + ".wav"));
        const int id = sonvar->PlayFile(file.c_str(), &captures.back()->param);
        ASSERT_NE(id, 0);
        Sleep(i % 4);
        EXPECT_EQ(sonvar->Close(id), 1);
        EXPECT_EQ(sonvar->Pause(id), 0);
    }
    // Closed before its thread took the lock: the thread ends without building anything.
    Capture never(dir, "never.wav");
    sonvar.Lock();
    const int id = sonvar->PlayFile(file.c_str(), &never.param);
    EXPECT_EQ(sonvar->Close(id), 1);
    sonvar.Unlock();
    EXPECT_TRUE(watch.WaitAllClosed()) << "a player closed while starting kept its graph";
    EXPECT_LT(sonvar.Unload(), 1000.0);
    EXPECT_FALSE(std::filesystem::exists(never.path));
}

// Players ended in every way, by themselves, by Stop and Close, by Close alone, by a file
// that cannot be played or by a missing one: once they have gone, so has every pipeline,
// bus and element their graphs made.
TEST_F(SonvarTest, EndedAndClosedPlayersLeaveNoGStreamerObjectBehind) {
    const std::string shortFile = Tone("short.wav", 0.1);
    const std::string longFile = Tone("long.wav", 3.0);
    std::ofstream(dir / "noise.wav") << std::string(4096, 'x');
    const std::string noise = (dir / "noise.wav").string();
    const std::string missing = (dir / "missing.wav").string();
    RENDERER_PARAM discard{RENDERER_OUTPUT_DISCARD, nullptr, nullptr};
    std::vector<std::unique_ptr<Capture>> captures;
    const auto capture = [&] {
        captures.push_back(
            std::make_unique<Capture>(dir, "out" + std::to_string(captures.size()) + ".wav"));
        return &captures.back()->param;
    };
    testgst::ObjectWatch watch;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NE(sonvar->PlayFile(shortFile.c_str(), &discard), 0); // no window: ends itself
        ASSERT_NE(sonvar->PlayFile(noise.c_str(), &discard), 0);
        ASSERT_NE(sonvar->PlayFile(missing.c_str(), &discard), 0);
        const int stopped = sonvar->PlayFile(longFile.c_str(), capture());
        ASSERT_TRUE(captures.back()->WaitFirstSample());
        const int closed = sonvar->PlayFile(longFile.c_str(), capture());
        ASSERT_TRUE(captures.back()->WaitFirstSample());
        EXPECT_EQ(sonvar->Stop(stopped), 1);
        EXPECT_EQ(sonvar->Close(closed), 1);
        EXPECT_EQ(sonvar->Close(stopped), 1);
    }
    const std::vector<std::string> alive = watch.WaitAllFinalised(std::chrono::seconds(5));
    EXPECT_TRUE(alive.empty()) << alive.size() << " of " << watch.created()
                               << " objects still alive, the first " << alive.front();
    EXPECT_EQ(watch.pipelinesCreated(), 5 * kRounds);
}

// Unloading ends the players still running and what their graphs made goes with them.
TEST_F(SonvarTest, UnloadingLeavesNoGStreamerObjectBehind) {
    const std::string file = Tone("a.wav", 3.0);
    Capture first(dir, "1.wav"), second(dir, "2.wav");
    testgst::ObjectWatch watch;
    ASSERT_NE(sonvar->PlayFile(file.c_str(), &first.param), 0);
    const int paused = sonvar->PlayFile(file.c_str(), &second.param);
    ASSERT_TRUE(first.WaitFirstSample());
    ASSERT_TRUE(second.WaitFirstSample());
    EXPECT_EQ(sonvar->Pause(paused), 1);
    sonvar.Unload();
    const std::vector<std::string> alive = watch.WaitAllFinalised(std::chrono::seconds(5));
    EXPECT_TRUE(alive.empty()) << alive.size() << " of " << watch.created()
                               << " objects still alive, the first " << alive.front();
    EXPECT_EQ(watch.pipelinesCreated(), 2);
}

TEST_F(SonvarTest, ReloadingStartsIdsAgain) {
    sonvar.Unload();
    Capture capture(dir, "out.wav"); // outlives the player, which ends with `again`
    LoadedSonvar again;
    const std::string file = Tone("a.wav", 0.1);
    EXPECT_EQ(again->PlayFile(file.c_str(), &capture.param), 1);
}

} // namespace
