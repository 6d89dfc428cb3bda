// Sonvar: plays music files, each on a player thread of its own, through a filter graph.
// The library exports one object, ISonvar_object; players are named by integer ids.
#pragma once

#include <windows.h>

// Posted to the notify window when a piece has played to its end: wParam
// MCI_NOTIFY_SUCCESSFUL, lParam the player's id. The system's multimedia header defines
// the same values where it exists.
#ifndef MM_MCINOTIFY
#define MM_MCINOTIFY 0x3B9
#endif
#ifndef MCI_NOTIFY_SUCCESSFUL
#define MCI_NOTIFY_SUCCESSFUL 0x0001
#endif

// The exported object: on Windows the library exports it through sonvar.def and its
// users import it; elsewhere it is the one symbol the library shows.
#if !defined(_WIN32)
#define SONVAR_OBJECT extern "C" __attribute__((visibility("default")))
#elif defined(SONVAR_BUILDING)
#define SONVAR_OBJECT extern "C"
#else
#define SONVAR_OBJECT extern "C" __declspec(dllimport)
#endif

class ISonvar {
public:
    virtual int PlayFile(const char* fileName, void* rendererParam);
    virtual int Pause(int id);
    virtual int Resume(int id);
    virtual int Stop(int id);
    virtual int Restart(int id);
    virtual int Close(int id);
    virtual int SetVolume(int id, LONG volume);
    virtual void SetNotifyWindow(int id, HWND window);
};

SONVAR_OBJECT ISonvar ISonvar_object;
