#include "sonvar_data.h"
#include "sonvar_platform.h"

#include <directshow/renderer.h>
#include <sonvar.h>

#include <optional>
#include <vector>

ModuleGlobal<std::unique_ptr<SonvarData>> playerList;
LONG lastId = 0;
CRITICAL_SECTION listLock;
CRITICAL_SECTION startLock;

namespace {
// Every player thread that may still run, also after its record has gone: unloading
// waits for them all. Guarded by listLock.
ModuleGlobal<std::vector<SharedHandle>> playerThreads;
} // namespace

ISonvar ISonvar_object;

SharedHandle MakeSharedHandle(HANDLE handle) {
    return handle ? SharedHandle(handle, CloseHandle) : nullptr;
}

SonvarData* FindPlayer(LONG id) {
    for (SonvarData* d = playerList->get(); d; d = d->next.get())
        if (d->id == id)
            return d;
    return nullptr;
}

void DestroyRecord(SonvarData* record) {
    ListLock lock;
    std::unique_ptr<SonvarData>* link = &*playerList;
    while (*link && link->get() != record)
        link = &(*link)->next;
    if (!*link)
        return;
    std::unique_ptr<SonvarData> d = std::move(*link);
    *link = std::move(d->next);
    if (d->mediaControl) {
        d->mediaControl->Stop();
        OAFilterState state;
        d->mediaControl->GetState(2000, &state);
        d->mediaControl.Reset();
    }
    d->thread.reset();
    d->renderer.Reset();
    d->rendererControl.Reset();
    d->mediaEvent.Reset();
    d->filterGraph.Reset();
    d->graphBuilder.Reset();
    // Wakes the player thread if it waits: it finds its record gone and ends.
    if (d->commandEvent)
        SetEvent(d->commandEvent.get());
    d->commandEvent.reset();
}

namespace {

// Unloading (and on Linux the start of the process's exit) destroys the remaining players
// and then waits for every player thread: those still waiting wake to find their records
// gone, those ending by themselves finish. No player code runs once the library has gone.
void EndAllPlayers() {
    std::vector<SharedHandle> threads;
    {
        ListLock lock;
        while (*playerList)
            DestroyRecord(playerList->get());
        threads.swap(*playerThreads);
    }
    WaitForPlayerThreads(threads);
}

int GiveCommand(int id, SonvarCommand command) {
    ListLock lock;
    SonvarData* d = FindPlayer(id);
    if (!d)
        return 0;
    d->command = command;
    if (!d->commandEvent)
        return 1; // carried out as soon as the graph runs
    return SetEvent(d->commandEvent.get());
}

} // namespace

int ISonvar::PlayFile(const char* fileName, void* rendererParam) {
    if (!rendererParam || !fileName)
        return 0;
    ListLock lock;
    EndPlayersAsTheProcessExits(&EndAllPlayers);
    auto record = std::make_unique<SonvarData>();
    std::optional<WideString> wide = WideFromAnsi(fileName);
    if (!wide)
        return 0;
    record->id = ++lastId;
    record->rendererParam = rendererParam;
    record->fileName = std::move(*wide);
    record->next = std::move(*playerList);
    *playerList = std::move(record);
    SonvarData& d = **playerList;

    if (!HoldLibraryForThread()) {
        DestroyRecord(&d);
        return 0;
    }
    d.thread = MakeSharedHandle(CreateThread(nullptr, 0, &PlayerThread,
                                             reinterpret_cast<LPVOID>(static_cast<INT_PTR>(d.id)),
                                             CREATE_SUSPENDED, &d.threadId));
    if (!d.thread) {
        ReleaseLibraryForThread();
        DestroyRecord(&d);
        return 0;
    }
    std::erase_if(*playerThreads, [](const SharedHandle& thread) {
        return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
    });
    playerThreads->push_back(d.thread);
    ResumeThread(d.thread.get());
    return d.id;
}

int ISonvar::Pause(int id) {
    return GiveCommand(id, cmdPause);
}
int ISonvar::Resume(int id) {
    return GiveCommand(id, cmdResume);
}
int ISonvar::Stop(int id) {
    return GiveCommand(id, cmdStop);
}
int ISonvar::Restart(int id) {
    return GiveCommand(id, cmdRestart);
}

int ISonvar::Close(int id) {
    ListLock lock;
    if (SonvarData* d = FindPlayer(id))
        DestroyRecord(d);
    return 1;
}

int ISonvar::SetVolume(int id, LONG volume) {
    ListLock lock;
    SonvarData* d = FindPlayer(id);
    if (!d)
        return 0;
    d->volume = volume;
    if (!d->rendererControl)
        return 0; // applied when the graph is built
    d->rendererControl->SetVolume(volume);
    return 1;
}

void ISonvar::SetNotifyWindow(int id, HWND window) {
    ListLock lock;
    if (SonvarData* d = FindPlayer(id))
        d->notifyWindow = window;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        playerList.Create();
        playerThreads.Create();
        lastId = 0;
        InitializeCriticalSection(&listLock);
        InitializeCriticalSection(&startLock);
        break;
    case DLL_PROCESS_DETACH:
        // The process is ending: its other threads were ended wherever they were, maybe
        // holding a lock of ours or in the middle of a graph. Nothing is cleaned up then;
        // the system reclaims it all.
        if (reserved)
            break;
        EndAllPlayers();
        DeleteCriticalSection(&startLock);
        DeleteCriticalSection(&listLock);
        playerThreads.Destroy();
        playerList.Destroy();
        break;
    default:
        break;
    }
    return TRUE;
}
