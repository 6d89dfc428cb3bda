#include "adaptive_mutex.h"
#include "kernel_objects.h"
#include "windows.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <strings.h>

namespace {

// RegisterWindowMessage: names compare without case, numbers come from 0xC000 to 0xFFFF.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

constexpr UINT firstRegisteredMessage = 0xC000;
constexpr UINT lastRegisteredMessage = 0xFFFF;

struct RegisteredMessages {
    win32::detail::AdaptiveMutex lock;
    std::map<std::string, UINT, CaseInsensitiveLess> numbers;
    UINT next = firstRegisteredMessage;
};

// The process-wide tables below are never destroyed: threads may still post, wait and
// register while the process exits and static objects are destroyed.
RegisteredMessages& Registered() {
    static RegisteredMessages& messages = *new RegisteredMessages;
    return messages;
}

struct QueuedMessage {
    MSG msg;
    ULONGLONG sequence;
};

struct Window {
    DWORD ownerThread;
    std::deque<QueuedMessage> queue;
};

// A GetMessageA that sleeps until a message for its window (or, without one, for its
// thread) is posted; a post wakes only the waits it concerns.
struct MessageWait {
    std::shared_ptr<win32::detail::Waiter> waiter;
    DWORD thread;
    HWND window;
};

struct WindowTable {
    win32::detail::AdaptiveMutex lock;
    std::vector<MessageWait> waits;
    std::map<HWND, Window> windows;
    std::map<DWORD, int> quitRequests; // thread id -> exit code of PostQuitMessage
    ULONG_PTR nextHandle = 0x20000;
    ULONGLONG nextSequence = 0;
};

WindowTable& Windows() {
    static WindowTable& table = *new WindowTable;
    return table;
}

// With the table locked: the waits that a change to `window`, owned by `thread`, may end.
win32::detail::WakeList WaitsFor(const WindowTable& table, HWND window, DWORD thread) {
    win32::detail::WakeList woken;
    for (const MessageWait& wait : table.waits) {
        if (wait.window != nullptr ? wait.window == window : wait.thread == thread) {
            woken.push_back(wait.waiter);
        }
    }
    return woken;
}

bool InFilter(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return message >= filterMin && message <= filterMax;
}

// Finds the oldest message for hWnd (or, with hWnd NULL, for any window of the calling
// thread) that passes the filter; removes it when asked. Called with the table locked.
std::optional<MSG> TakeMessage(WindowTable& table, HWND hWnd, UINT filterMin, UINT filterMax,
                               bool remove) {
    const DWORD thread = GetCurrentThreadId();
    std::deque<QueuedMessage>* bestQueue = nullptr;
    std::deque<QueuedMessage>::iterator best;
    for (auto& [handle, window] : table.windows) {
        if (hWnd != nullptr ? handle != hWnd : window.ownerThread != thread) {
            continue;
        }
        for (auto entry = window.queue.begin(); entry != window.queue.end(); ++entry) {
            if (InFilter(entry->msg.message, filterMin, filterMax)) {
                if (bestQueue == nullptr || entry->sequence < best->sequence) {
                    bestQueue = &window.queue;
                    best = entry;
                }
                break;
            }
        }
    }
    if (bestQueue != nullptr) {
        MSG msg = best->msg;
        if (remove) {
            bestQueue->erase(best);
        }
        return msg;
    }
    auto quit = table.quitRequests.find(thread);
    if (quit != table.quitRequests.end() && InFilter(WM_QUIT, filterMin, filterMax)) {
        MSG msg{nullptr, WM_QUIT, static_cast<WPARAM>(quit->second), 0, GetTickCount(), {0, 0}};
        if (remove) {
            table.quitRequests.erase(quit);
        }
        return msg;
    }
    return std::nullopt;
}

} // namespace

UINT WINAPI RegisterWindowMessageA(LPCSTR lpString) {
    if (lpString == nullptr || *lpString == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    RegisteredMessages& registered = Registered();
    std::lock_guard guard(registered.lock);
    auto found = registered.numbers.find(lpString);
    if (found != registered.numbers.end()) {
        return found->second;
    }
    if (registered.next > lastRegisteredMessage) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const UINT number = registered.next++;
    registered.numbers.emplace(lpString, number);
    return number;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, void*,
                            HINSTANCE, LPVOID) {
    WindowTable& table = Windows();
    std::lock_guard guard(table.lock);
    auto handle = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 2;
    table.windows.emplace(handle, Window{GetCurrentThreadId(), {}});
    return handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    WindowTable& table = Windows();
    win32::detail::WakeList woken;
    {
        std::lock_guard guard(table.lock);
        const auto window = table.windows.find(hWnd);
        if (window == table.windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        // A GetMessageA that waits on the destroyed window returns.
        woken = WaitsFor(table, hWnd, window->second.ownerThread);
        table.windows.erase(window);
    }
    win32::detail::WakeAll(woken);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    WindowTable& table = Windows();
    std::lock_guard guard(table.lock);
    return table.windows.contains(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WindowTable& table = Windows();
    win32::detail::WakeList woken;
    {
        std::lock_guard guard(table.lock);
        auto window = table.windows.find(hWnd);
        if (window == table.windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        MSG msg{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}};
        window->second.queue.push_back(QueuedMessage{msg, table.nextSequence++});
        woken = WaitsFor(table, hWnd, window->second.ownerThread);
    }
    win32::detail::WakeAll(woken);
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    WindowTable& table = Windows();
    const DWORD thread = GetCurrentThreadId();
    std::shared_ptr<win32::detail::Waiter> waiter;
    std::unique_lock guard(table.lock);
    for (;;) {
        if (hWnd != nullptr && !table.windows.contains(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        if (const auto msg = TakeMessage(table, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
            *lpMsg = *msg;
            break;
        }
        if (waiter == nullptr) {
            waiter = std::make_shared<win32::detail::Waiter>();
        }
        waiter->Arm();
        table.waits.push_back({waiter, thread, hWnd});
        guard.unlock();
        waiter->WaitUntil(std::nullopt);
        guard.lock();
        std::erase_if(table.waits, [&](const MessageWait& wait) { return wait.waiter == waiter; });
    }
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WindowTable& table = Windows();
    std::lock_guard guard(table.lock);
    std::optional<MSG> msg =
        TakeMessage(table, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
    if (!msg) {
        return FALSE;
    }
    *lpMsg = *msg;
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    WindowTable& table = Windows();
    win32::detail::WakeList woken;
    {
        std::lock_guard guard(table.lock);
        table.quitRequests[GetCurrentThreadId()] = nExitCode;
        woken = WaitsFor(table, nullptr, GetCurrentThreadId());
    }
    win32::detail::WakeAll(woken);
}
