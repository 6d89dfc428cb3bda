// The player records, their list and its lock.
#pragma once

#include <control.h>
#include <strmif.h>
#include <windows.h>

#include <memory>
#include <string>

#include "com_ptr.h"

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
    std::u16string fileName;
    LONG volume = 0;
    void* rendererParam = nullptr;
    HWND notifyWindow = nullptr;
};

extern std::unique_ptr<SonvarData> playerList;
extern LONG lastId;
extern CRITICAL_SECTION listLock;

// Holds listLock for a scope.
class ListLock {
public:
    ListLock() { EnterCriticalSection(&listLock); }
    ~ListLock() { LeaveCriticalSection(&listLock); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
};

// With listLock held.
SonvarData* FindPlayer(LONG id);
void DestroyRecord(SonvarData* record);

DWORD WINAPI PlayerThread(LPVOID parameter);
