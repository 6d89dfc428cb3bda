#include "windows.h"

namespace {

std::recursive_mutex& MutexOf(LPCRITICAL_SECTION section) {
    return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}

} // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    new (lpCriticalSection->storage) std::recursive_mutex();
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    MutexOf(lpCriticalSection).lock();
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    return MutexOf(lpCriticalSection).try_lock() ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    MutexOf(lpCriticalSection).unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    MutexOf(lpCriticalSection).~recursive_mutex();
}
