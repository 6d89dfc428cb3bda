#include "win32/extensions.h"
#include "windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct DebugOutput {
    std::mutex lock;
    win32::DebugOutputSink sink;
};

DebugOutput& Debug() {
    // Never destroyed: threads may still write while the process exits.
    static DebugOutput& output = *new DebugOutput;
    return output;
}

} // namespace

DWORD WINAPI GetLastError() {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

DWORD WINAPI GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds =
        static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(milliseconds);
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString == nullptr) {
        return;
    }
    DebugOutput& debug = Debug();
    std::lock_guard guard(debug.lock);
    if (debug.sink) {
        debug.sink(lpOutputString);
        return;
    }
    const char* target = std::getenv("WIN32_DEBUG_OUTPUT");
    if (target != nullptr && std::strcmp(target, "stderr") == 0) {
        std::fputs(lpOutputString, stderr);
    }
}

namespace win32 {

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    DebugOutput& debug = Debug();
    std::lock_guard guard(debug.lock);
    std::swap(debug.sink, sink);
    return sink;
}

} // namespace win32
