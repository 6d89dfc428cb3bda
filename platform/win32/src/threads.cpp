#include "kernel_objects.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <system_error>
#include <thread>

using namespace win32::detail;

namespace {

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;

// A thread object is signalled once its routine has returned. A suspended thread
// waits until its suspend count falls to zero.
class Thread final : public KernelObject {
public:
    Thread(DWORD id, DWORD suspendCount) : id_(id), suspendCount_(suspendCount) {}

    bool IsSignalled() const override { return finished_; }

    DWORD id() const { return id_; }
    DWORD exitCode() const { return finished_ ? exitCode_ : STILL_ACTIVE; }

    // All with the dispatcher lock held.
    DWORD Resume() {
        DWORD previous = suspendCount_;
        if (suspendCount_ > 0) {
            --suspendCount_;
            if (suspendCount_ == 0) {
                resumed_.notify_one();
            }
        }
        return previous;
    }
    void WaitUntilResumed(std::unique_lock<std::mutex>& guard) {
        resumed_.wait(guard, [this] { return suspendCount_ == 0; });
    }

    void Finish(DWORD exitCode, WakeList& woken) {
        exitCode_ = exitCode;
        finished_ = true;
        CollectWaiters(woken);
    }

private:
    const DWORD id_;
    DWORD suspendCount_;
    DWORD exitCode_ = 0;
    bool finished_ = false;
    std::condition_variable resumed_;
};

} // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (lpStartAddress == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DWORD id = nextThreadId++;
    auto thread = std::make_shared<Thread>(id, (dwCreationFlags & CREATE_SUSPENDED) ? 1 : 0);
    try {
        std::thread([thread, lpStartAddress, lpParameter] {
            currentThreadId = thread->id();
            {
                std::unique_lock guard(Dispatcher().lock);
                thread->WaitUntilResumed(guard);
            }
            const DWORD exitCode = lpStartAddress(lpParameter);
            WakeList woken;
            {
                std::lock_guard guard(Dispatcher().lock);
                thread->Finish(exitCode, woken);
            }
            WakeAll(woken);
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId != nullptr) {
        *lpThreadId = id;
    }
    return InsertHandle(std::move(thread));
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
    auto thread = LookupHandleAs<Thread>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard guard(Dispatcher().lock);
    return thread->Resume();
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = LookupHandleAs<Thread>(hThread);
    if (!thread || lpExitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard guard(Dispatcher().lock);
    *lpExitCode = thread->exitCode();
    return TRUE;
}

DWORD WINAPI GetCurrentThreadId() {
    // Threads not made by CreateThread (the main thread, library threads) get an id on
    // first use.
    if (currentThreadId == 0) {
        currentThreadId = nextThreadId++;
    }
    return currentThreadId;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
