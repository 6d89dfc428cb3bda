#include "audio_files.h"
#include "gst_object_watch.h"

#include <directshow/classes.h>
#include <directshow/renderer.h>
#include <dshow.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

using testaudio::Pcm;

// Holds a COM reference and releases it at scope end.
template <typename T> class Ref {
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p_)
            p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// A filter graph with the reference renderer added, and the interfaces the tests use.
struct Graph {
    Ref<IGraphBuilder> builder;
    Ref<IBaseFilter> renderer;
    Ref<IRendererControl> control;
    Ref<IMediaControl> media;
    Ref<IMediaEvent> events;

    void Assemble(const char16_t* rendererName) {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGraphBuilder, builder.out()),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_ReferenceRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IBaseFilter, renderer.out()),
                  S_OK);
        ASSERT_EQ(renderer->QueryInterface(IID_IRendererControl, control.out()), S_OK);
        ASSERT_EQ(builder->QueryInterface(IID_IMediaControl, media.out()), S_OK);
        ASSERT_EQ(builder->QueryInterface(IID_IMediaEvent, events.out()), S_OK);
        ASSERT_EQ(builder->AddFilter(renderer.get(), rendererName), S_OK);
    }
};

// A graph ending in the reference renderer, capturing to a WAV file.
class GraphTest : public testing::Test, protected Graph {
protected:
    void SetUp() override {
        directshow::RegisterBuiltinClasses();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        Assemble(u"DSound Secondary Buffer Renderer");
    }
    void TearDown() override { CoUninitialize(); }

    // Renders `file` into the capture file with the given volume and runs the graph.
    void Start(const std::filesystem::path& file, LONG volume = 0) {
        const std::u16string wide(file.u16string());
        ASSERT_EQ(builder->RenderFile(wide.c_str(), nullptr), S_OK);
        RENDERER_PARAM param{RENDERER_OUTPUT_CAPTURE, capturePath.c_str(), firstSample};
        ASSERT_EQ(control->SetOutput(&param), S_OK);
        ASSERT_EQ(control->SetVolume(volume), S_OK);
        const HRESULT hr = media->Run();
        ASSERT_TRUE(hr == S_OK || hr == S_FALSE) << hr;
    }

    // Waits on the graph's event handle and takes the next event; 0 on time-out.
    LONG NextEvent(DWORD ms = 5000) {
        OAEVENT handle = 0;
        EXPECT_EQ(events->GetEventHandle(&handle), S_OK);
        if (WaitForSingleObject(reinterpret_cast<HANDLE>(handle), ms) != WAIT_OBJECT_0)
            return 0;
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
        EXPECT_EQ(events->FreeEventParams(code, p1, p2), S_OK);
        return code;
    }

    Pcm Captured() const { return testaudio::ReadWav(capturePath); }

    testaudio::TempDir dir;
    std::string capturePath = (dir / "capture.wav").string();
    HANDLE firstSample = CreateEventA(nullptr, TRUE, FALSE, nullptr);

public:
    ~GraphTest() override { CloseHandle(firstSample); }
};

double AmplitudeRatio(const Pcm& captured, const Pcm& source) {
    return captured.Rms() / source.Rms();
}

TEST_F(GraphTest, WavPlaysToTheEndWithTheSameSamplesAtFullVolume) {
    const Pcm source = testaudio::Sine(0.4);
    testaudio::WriteWav(dir / "tone.wav", source);
    Start(dir / "tone.wav");
    EXPECT_EQ(WaitForSingleObject(firstSample, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(NextEvent(), EC_COMPLETE);
    const Pcm captured = Captured();
    EXPECT_EQ(captured.rate, source.rate);
    EXPECT_EQ(captured.channels, source.channels);
    EXPECT_NEAR(captured.Seconds(), source.Seconds(), 0.050);
    EXPECT_EQ(captured.samples, source.samples);
}

TEST_F(GraphTest, VolumeMinus600HalvesTheAmplitude) {
    const Pcm source = testaudio::Sine(0.3);
    testaudio::WriteWav(dir / "tone.wav", source);
    Start(dir / "tone.wav", -600);
    EXPECT_EQ(NextEvent(), EC_COMPLETE);
    EXPECT_NEAR(AmplitudeRatio(Captured(), source), 0.5, 0.5 * 0.02);
}

TEST_F(GraphTest, SilentVolumeRendersZeros) {
    testaudio::WriteWav(dir / "tone.wav", testaudio::Sine(0.2));
    Start(dir / "tone.wav", RENDERER_VOLUME_SILENT);
    EXPECT_EQ(NextEvent(), EC_COMPLETE);
    const Pcm captured = Captured();
    ASSERT_FALSE(captured.samples.empty());
    EXPECT_EQ(captured.Rms(), 0.0);
}

TEST_F(GraphTest, OggVorbisPlaysForItsDuration) {
    ASSERT_TRUE(testaudio::WriteOggVorbis(dir / "tone.ogg", 0.5));
    Start(dir / "tone.ogg");
    EXPECT_EQ(NextEvent(), EC_COMPLETE);
    EXPECT_NEAR(Captured().Seconds(), 0.5, 0.050);
    EXPECT_GT(Captured().Rms(), 1000.0);
}

TEST_F(GraphTest, UndecodableFileEndsWithErrorAbort) {
    std::ofstream(dir / "noise.wav") << std::string(4096, 'x');
    Start(dir / "noise.wav");
    EXPECT_EQ(NextEvent(), EC_ERRORABORT);
}

TEST_F(GraphTest, RestartAfterTheEndPlaysFromTheStart) {
    const Pcm source = testaudio::Sine(0.25);
    testaudio::WriteWav(dir / "tone.wav", source);
    Start(dir / "tone.wav");
    ASSERT_EQ(NextEvent(), EC_COMPLETE);

    OAFilterState state = -1;
    ASSERT_EQ(media->Stop(), S_OK);
    EXPECT_EQ(media->GetState(2000, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    Ref<IMediaPosition> position;
    ASSERT_EQ(builder->QueryInterface(IID_IMediaPosition, position.out()), S_OK);
    EXPECT_EQ(position->put_CurrentPosition(0.0), S_OK);
    const HRESULT run = media->Run();
    EXPECT_TRUE(run == S_OK || run == S_FALSE);
    EXPECT_EQ(NextEvent(), EC_COMPLETE);

    // The capture holds the piece twice, the second time complete from its first sample.
    const Pcm captured = Captured();
    ASSERT_GE(captured.samples.size(), source.samples.size());
    EXPECT_NEAR(captured.Seconds(), 2 * source.Seconds(), 0.050);
    const std::vector<std::int16_t> tail(captured.samples.end() - source.samples.size(),
                                         captured.samples.end());
    EXPECT_EQ(tail, source.samples);
}

TEST_F(GraphTest, StatesFollowRunPauseAndStop) {
    testaudio::WriteWav(dir / "tone.wav", testaudio::Sine(2.0));
    OAFilterState state = -1;
    EXPECT_EQ(media->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    Start(dir / "tone.wav");
    EXPECT_EQ(media->GetState(2000, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_TRUE(SUCCEEDED(media->Pause()));
    EXPECT_EQ(media->GetState(2000, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_TRUE(SUCCEEDED(media->Stop()));
    EXPECT_EQ(media->GetState(2000, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(GraphTest, NoWaitingEventAnswersAbort) {
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 20), E_ABORT);
}

TEST_F(GraphTest, MissingFileAndUnrenderedGraphAreRefused) {
    EXPECT_EQ(builder->RenderFile(u"/no/such/file.wav", nullptr),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(media->Run(), VFW_E_WRONG_STATE);
}

TEST_F(GraphTest, CaptureFileThatCannotBeCreatedIsRefused) {
    RENDERER_PARAM param{RENDERER_OUTPUT_CAPTURE, "/no/such/folder/capture.wav", nullptr};
    EXPECT_FALSE(SUCCEEDED(control->SetOutput(&param)));
    EXPECT_EQ(control->SetOutput(nullptr), E_POINTER);
}

TEST_F(GraphTest, VolumeOutsideTheRendererRangeIsRefused) {
    EXPECT_EQ(control->SetVolume(1), E_INVALIDARG);
    EXPECT_EQ(control->SetVolume(-10001), E_INVALIDARG);
}

TEST_F(GraphTest, FiltersReportTheirIdentityAndUnusedSlotsAreNotImplemented) {
    CLSID clsid{};
    EXPECT_EQ(renderer->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ReferenceRenderer);
    FILTER_INFO info{};
    ASSERT_EQ(renderer->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"DSound Secondary Buffer Renderer");
    Ref<IFilterGraph> asGraph;
    ASSERT_EQ(builder->QueryInterface(IID_IFilterGraph, asGraph.out()), S_OK);
    EXPECT_EQ(info.pGraph, asGraph.get());
    info.pGraph->Release();

    Ref<IUnknown> unknown;
    EXPECT_EQ(builder->QueryInterface(IID_IBaseFilter, unknown.out()), E_NOINTERFACE);
    EXPECT_EQ(builder->Render(nullptr), E_NOTIMPL);
    EXPECT_EQ(media->StopWhenReady(), E_NOTIMPL);
    EXPECT_EQ(renderer->EnumPins(nullptr), E_NOTIMPL);
}

// Stopping a graph whose start is still completing: every stop must settle. A change
// begun during the previous asynchronous one used to be lost now and then, leaving the
// state read waiting for its whole time-out.
TEST(GraphStates, StopSoonAfterRunAlwaysSettles) {
    directshow::RegisterBuiltinClasses();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    testaudio::TempDir dir;
    testaudio::WriteWav(dir / "tone.wav", testaudio::Sine(2.0));
    const std::u16string file((dir / "tone.wav").u16string());
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        Graph graph;
        graph.Assemble(u"renderer");
        ASSERT_FALSE(HasFatalFailure());
        auto& [builder, renderer, control, media, events] = graph;
        ASSERT_EQ(builder->RenderFile(file.c_str(), nullptr), S_OK);
        RENDERER_PARAM param{RENDERER_OUTPUT_DISCARD, nullptr, nullptr};
        ASSERT_EQ(control->SetOutput(&param), S_OK);
        ASSERT_TRUE(SUCCEEDED(media->Run()));
        Sleep(i % 3); // the stop lands at different moments of the start
        ASSERT_TRUE(SUCCEEDED(media->Stop()));
        OAFilterState state = -1;
        EXPECT_EQ(media->GetState(2000, &state), S_OK);
        EXPECT_EQ(state, State_Stopped);
    }
    CoUninitialize();
}

TEST_F(GraphTest, AFailedGraphAnswersStateReadsAtOnce) {
    std::ofstream(dir / "noise.wav") << std::string(4096, 'x');
    Start(dir / "noise.wav");
    ASSERT_EQ(NextEvent(), EC_ERRORABORT);
    const DWORD start = GetTickCount();
    EXPECT_EQ(media->Stop(), E_FAIL);
    OAFilterState state = -1;
    EXPECT_EQ(media->GetState(2000, &state), E_FAIL);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_LT(GetTickCount() - start, 1000u) << "a state read waited on a failed graph";
}

// How a graph's life ends in ReleasedGraphsLeaveNoGStreamerObjectBehind.
enum class Ending { PlayedToTheEnd, StoppedWhilePlaying, ReleasedWhilePlaying, Failed, NeverRun };

// A graph with its renderer playing `file` to a discarding output, ended as told.
void PlayAndRelease(const std::filesystem::path& file, Ending ending) {
    Graph graph;
    graph.Assemble(u"renderer");
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    auto& [builder, renderer, control, media, events] = graph;
    ASSERT_EQ(builder->RenderFile(file.u16string().c_str(), nullptr), S_OK);
    RENDERER_PARAM param{RENDERER_OUTPUT_DISCARD, nullptr, nullptr};
    ASSERT_EQ(control->SetOutput(&param), S_OK);
    if (ending == Ending::NeverRun)
        return;
    ASSERT_TRUE(SUCCEEDED(media->Run()));
    OAFilterState state = -1;
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    switch (ending) {
    case Ending::PlayedToTheEnd:
        EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
        break;
    case Ending::StoppedWhilePlaying:
        EXPECT_EQ(media->GetState(2000, &state), S_OK);
        EXPECT_TRUE(SUCCEEDED(media->Stop()));
        EXPECT_EQ(media->GetState(2000, &state), S_OK);
        break;
    case Ending::ReleasedWhilePlaying:
        EXPECT_EQ(media->GetState(2000, &state), S_OK);
        break;
    case Ending::Failed:
        EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
        EXPECT_EQ(code, EC_ERRORABORT);
        break;
    case Ending::NeverRun:
        break;
    }
}

// Every pipeline, bus and element a graph makes goes with the graph and its renderer,
// however the graph ended: messages the pipeline posted hold their sources, so one left
// on a bus keeps the whole pipeline alive.
TEST(GraphLifetime, ReleasedGraphsLeaveNoGStreamerObjectBehind) {
    directshow::RegisterBuiltinClasses();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    testaudio::TempDir dir;
    testaudio::WriteWav(dir / "short.wav", testaudio::Sine(0.1));
    testaudio::WriteWav(dir / "long.wav", testaudio::Sine(3.0));
    std::ofstream(dir / "noise.wav") << std::string(4096, 'x');
    testgst::ObjectWatch watch;
    int graphs = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        PlayAndRelease(dir / "short.wav", Ending::PlayedToTheEnd);
        PlayAndRelease(dir / "long.wav", Ending::StoppedWhilePlaying);
        PlayAndRelease(dir / "long.wav", Ending::ReleasedWhilePlaying);
        PlayAndRelease(dir / "noise.wav", Ending::Failed);
        PlayAndRelease(dir / "long.wav", Ending::NeverRun);
        graphs += 5;
    }
    EXPECT_EQ(watch.pipelinesCreated(), graphs);
    const std::vector<std::string> alive = watch.WaitAllFinalised(std::chrono::seconds(3));
    EXPECT_TRUE(alive.empty()) << alive.size() << " of " << watch.created()
                               << " objects still alive, the first " << alive.front();
    CoUninitialize();
}

} // namespace
