// Sonvar: plays music files, each on a player thread of its own, through a filter graph.
// The library exports one object, ISonvar_object; players are named by integer ids.
#pragma once

#include <windows.h>

// Posted to the notify window when a piece has played to its end: wParam
// MCI_NOTIFY_SUCCESSFUL, lParam the player's id.
constexpr UINT MM_MCINOTIFY = 0x3B9;
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 1;

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

extern "C" __attribute__((visibility("default"))) ISonvar ISonvar_object;
