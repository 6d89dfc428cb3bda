// The library's platform part on Windows: the loader calls DllMain itself, under its lock;
// file names are converted from the ANSI code page by the system.
#include "sonvar_platform.h"

namespace {

// This library's handle; with `hold`, a new reference on it.
HMODULE ThisLibrary(bool hold) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                        (hold ? 0 : GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    return GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&ThisLibrary), &module) ? module
                                                                                       : nullptr;
}

} // namespace

bool HoldLibraryForThread() {
    return ThisLibrary(true) != nullptr;
}

void ReleaseLibraryForThread() {
    FreeLibrary(ThisLibrary(false));
}

// The thread leaves outside the library: the loader may unload it on this reference.
DWORD LeavePlayerThread(DWORD exitCode) {
    FreeLibraryAndExitThread(ThisLibrary(false), exitCode);
}

// The players' threads hold the library: none of them runs its code any more once the
// loader detaches it, and the one that gave back the last reference may be this thread.
void WaitForPlayerThreads(const std::vector<std::shared_ptr<void>>&) {}

// The system ends the players' threads when the process exits, before the detach handler.
void EndPlayersAsTheProcessExits(void (*)()) {}

std::optional<WideString> WideFromAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    WideString out(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out.data(), length) != length)
        return std::nullopt;
    out.pop_back(); // the terminating null
    return out;
}
