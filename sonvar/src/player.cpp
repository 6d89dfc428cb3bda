// The player thread: builds the graph, then waits for graph events and commands.
#include "sonvar_data.h"
#include "sonvar_platform.h"

#include <directshow/renderer.h>
#include <dshow.h>
#include <evcode.h>
#include <sonvar.h>

#include <array>

namespace {

constexpr LONG kStateTimeoutMs = 2000;
// ASCII text as the platform's wide characters.
template <std::size_t N> constexpr std::array<WCHAR, N> WidenAscii(const char (&text)[N]) {
    std::array<WCHAR, N> wide{};
    for (std::size_t i = 0; i < N; ++i)
        wide[i] = static_cast<WCHAR>(text[i]);
    return wide;
}

constexpr auto kRendererName = WidenAscii("DSound Secondary Buffer Renderer");

// COM stays initialised for the thread's whole life, since the thread keeps using the
// graph after building it; every way out of the thread uninitialises it.
class ComScope {
public:
    ComScope() : initialised_(Initialise()) {}
    ~ComScope() {
        if (initialised_) {
            StartLock start;
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    static bool Initialise() {
        StartLock start;
        return SUCCEEDED(CoInitialize(nullptr));
    }

    const bool initialised_;
};

// Any failure ends the build; the player then ends, as a graph it cannot wait on.
bool BuildGraph(SonvarData& d) {
    d.commandEvent = MakeSharedHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!d.commandEvent)
        return false;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                d.filterGraph.Out())) ||
        FAILED(CoCreateInstance(CLSID_ReferenceRenderer, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                                d.renderer.Out())))
        return false;
    if (FAILED(d.filterGraph->QueryInterface(IID_IGraphBuilder, d.graphBuilder.Out())) ||
        FAILED(d.renderer->QueryInterface(IID_IRendererControl, d.rendererControl.Out())))
        return false;
    if (FAILED(d.graphBuilder->AddFilter(d.renderer.get(), kRendererName.data())) ||
        FAILED(d.graphBuilder->RenderFile(d.fileName.c_str(), nullptr)))
        return false;
    if (FAILED(d.rendererControl->SetOutput(d.rendererParam)))
        return false;
    d.rendererControl->SetVolume(d.volume); // a volume the renderer refuses leaves it as is
    if (FAILED(d.filterGraph->QueryInterface(IID_IMediaControl, d.mediaControl.Out())))
        return false;
    // A player paused before its graph existed starts paused: not a sample is played.
    const HRESULT run = d.command == cmdPause ? d.mediaControl->Pause() : d.mediaControl->Run();
    if (run != S_OK && run != S_FALSE)
        return false;
    OAEVENT handle = 0;
    if (FAILED(d.filterGraph->QueryInterface(IID_IMediaEvent, d.mediaEvent.Out())) ||
        FAILED(d.mediaEvent->GetEventHandle(&handle)))
        return false;
    d.mediaEventHandle = reinterpret_cast<HANDLE>(handle);
    return true;
}

OAFilterState ReadState(IMediaControl& control) {
    OAFilterState state = State_Stopped;
    control.GetState(kStateTimeoutMs, &state);
    return state;
}

// Returns whether the player goes on.
bool HandleMediaEvent(SonvarData& d) {
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    const HRESULT hr = d.mediaEvent->GetEvent(&code, &param1, &param2, 0);
    if (hr == E_ABORT)
        return true;
    if (FAILED(hr))
        return false;
    bool goOn = true;
    if (code == EC_COMPLETE) {
        // The caller learns nothing when its window has gone; the player stays at the end.
        if (d.notifyWindow)
            PostMessageA(d.notifyWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, d.id);
        else
            goOn = false;
    } else if (code == EC_ERRORABORT) {
        goOn = false;
    }
    d.mediaEvent->FreeEventParams(code, param1, param2);
    return goOn;
}

void Restart(SonvarData& d) {
    IMediaControl& control = *d.mediaControl.get();
    control.Stop();
    ReadState(control);
    ComPtr<IMediaPosition> position;
    if (FAILED(d.filterGraph->QueryInterface(IID_IMediaPosition, position.Out())))
        return;
    position->put_CurrentPosition(0.0);
    position.Reset();
    control.Run();
}

void HandleCommand(SonvarData& d) {
    IMediaControl& control = *d.mediaControl.get();
    switch (d.command) {
    case cmdPause:
        if (ReadState(control) == State_Running)
            control.Pause();
        break;
    case cmdResume:
        if (ReadState(control) == State_Paused)
            control.Run();
        break;
    case cmdStop:
        control.Stop();
        break;
    case cmdRestart:
        Restart(d);
        break;
    default:
        break;
    }
    d.command = cmdNone;
}

// Plays the piece of player `id` until its record goes or the graph gives up.
void RunPlayer(LONG id) {
    ComScope com;
    // What the thread waits on, held by the thread itself: a record destroyed meanwhile
    // leaves these open until the thread has woken and found the record gone.
    SharedHandle commandEvent;
    ComPtr<IMediaEvent> graphEvents;
    HANDLE graphEvent = nullptr;
    {
        StartLock start;
        ListLock lock;
        SonvarData* d = FindPlayer(id);
        if (!d)
            return;
        if (!BuildGraph(*d)) {
            DestroyRecord(d);
            return;
        }
        // A command given while the graph was being built is carried out now it runs.
        if (d->command != cmdNone)
            HandleCommand(*d);
        commandEvent = d->commandEvent;
        graphEvents = d->mediaEvent;
        graphEvent = d->mediaEventHandle;
    }
    for (;;) {
        const HANDLE handles[] = {graphEvent, commandEvent.get()};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        ListLock lock;
        SonvarData* d = FindPlayer(id);
        if (!d)
            return;
        bool goOn = false;
        if (woken == WAIT_OBJECT_0) {
            goOn = HandleMediaEvent(*d);
        } else if (woken == WAIT_OBJECT_0 + 1) {
            HandleCommand(*d);
            goOn = true;
        }
        if (!goOn) {
            DestroyRecord(d);
            return;
        }
    }
}

} // namespace

DWORD WINAPI PlayerThread(LPVOID parameter) {
    RunPlayer(static_cast<LONG>(reinterpret_cast<INT_PTR>(parameter)));
    return LeavePlayerThread(0);
}
