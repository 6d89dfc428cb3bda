// The player records, their list and its lock.
#pragma once

#include <control.h>
#include <strmif.h>
#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "com_ptr.h"
#include "sonvar_platform.h"

// A kernel handle closed by its last owner. The record and its player thread each hold
// the handles the thread waits on, so destroying a record never closes a handle that a
// waiting thread still uses.
using SharedHandle = std::shared_ptr<void>;
SharedHandle MakeSharedHandle(HANDLE handle);

struct IRendererControl;

enum SonvarCommand : LONG {
    cmdNone = 0,
    cmdPause = 1,
    cmdResume = 2,
    cmdStop = 3,
    cmdRestart = 4,
};

struct SonvarData {
    LONG id = 0;
    std::unique_ptr<SonvarData> next;
    SharedHandle commandEvent;
    LONG command = cmdNone;
    SharedHandle thread;
    DWORD threadId = 0;
    ComPtr<IGraphBuilder> graphBuilder;
    ComPtr<IFilterGraph> filterGraph;
    ComPtr<IMediaControl> mediaControl;
    ComPtr<IMediaEvent> mediaEvent;
    HANDLE mediaEventHandle = nullptr; // owned by the graph
    ComPtr<IBaseFilter> renderer;
    ComPtr<IRendererControl> rendererControl;
    WideString fileName;
    LONG volume = 0;
    void* rendererParam = nullptr;
    HWND notifyWindow = nullptr;
};

// A global of the library that lives from its start-up to its clean-up in DllMain. It has
// no static destructor: at process exit those run before DLL_PROCESS_DETACH, while player
// threads still use the list and the clean-up still walks it.
template <typename T> class ModuleGlobal {
public:
    void Create() { new (storage_) T(); }
    void Destroy() { get().~T(); }
    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T& operator*() { return get(); }
    T* operator->() { return &get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

extern ModuleGlobal<std::unique_ptr<SonvarData>> playerList;
extern LONG lastId;
extern CRITICAL_SECTION listLock;
// Taken by a player thread while it starts or ends COM and builds its graph, before
// listLock when both are held. Those steps load and unload system DLLs, whose handlers
// run under the loader's lock and may take the window system's own lock, while another
// thread starting COM holds that one and waits for the loader's: one thread at a time
// keeps the two from crossing.
extern CRITICAL_SECTION startLock;

// Holds a critical section for a scope.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~SectionLock() { LeaveCriticalSection(&section_); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

class ListLock : public SectionLock {
public:
    ListLock() : SectionLock(listLock) {}
};

class StartLock : public SectionLock {
public:
    StartLock() : SectionLock(startLock) {}
};

// With listLock held.
SonvarData* FindPlayer(LONG id);
void DestroyRecord(SonvarData* record);

DWORD WINAPI PlayerThread(LPVOID parameter);
