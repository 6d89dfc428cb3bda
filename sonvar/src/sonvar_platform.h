// What differs by platform: sonvar_linux.cpp, sonvar_windows.cpp.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using WideString = std::basic_string<WCHAR>;

// A file name in the system's ANSI code page as the wide text the filter graph takes;
// nothing when it is not valid text in that code page.
std::optional<WideString> WideFromAnsi(const char* text);

// How unloading the library and its player threads meet. Where the loader's lock is held
// while the library's detach handler runs, that handler never waits for a thread: each
// player thread holds the library loaded instead, taken by its creator before the thread
// starts and given back as the thread's last act. Elsewhere unloading ends the players and
// waits for their threads.
bool HoldLibraryForThread();
// Gives back the hold of a thread that was never started.
void ReleaseLibraryForThread();
// A player thread's last act; returns `exitCode` where the thread returns itself.
DWORD LeavePlayerThread(DWORD exitCode);
// Called from the detach handler with the threads of the players just ended.
void WaitForPlayerThreads(const std::vector<std::shared_ptr<void>>& threads);
// Called by every start of a player with the function that ends them all. Where a
// process's exit destroys the host's static objects while the players still run (on Linux
// the library's own destructor comes after them), the players are ended as the exit
// begins: one still building its graph may be reading a renderer parameter kept in such an
// object.
void EndPlayersAsTheProcessExits(void (*endAllPlayers)());
