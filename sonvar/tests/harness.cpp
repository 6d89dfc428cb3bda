#include "harness.h"
#include "module_symbols.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sonvartest {

LoadedSonvar::LoadedSonvar() {
    library_ = dlopen(SONVAR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library_)
        throw std::runtime_error(dlerror());
    sonvar_ = static_cast<ISonvar*>(dlsym(library_, "ISonvar_object"));
    // The list lock is hidden; tests find it in the library's full symbol table.
    lock_ = static_cast<CRITICAL_SECTION*>(testmodule::FindSymbol(library_, "listLock"));
    if (!sonvar_ || !lock_)
        throw std::runtime_error("libSonvar.so lacks ISonvar_object or listLock");
}

LoadedSonvar::~LoadedSonvar() {
    Unload();
}

void LoadedSonvar::Lock() const {
    EnterCriticalSection(lock_);
}
void LoadedSonvar::Unlock() const {
    LeaveCriticalSection(lock_);
}

double LoadedSonvar::Unload() {
    if (!library_)
        return 0;
    const auto start = std::chrono::steady_clock::now();
    dlclose(library_);
    library_ = nullptr;
    sonvar_ = nullptr;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

Capture::Capture(const testaudio::TempDir& dir, const std::string& name)
    : path((dir / name).string()) {
    param = {RENDERER_OUTPUT_CAPTURE, path.c_str(), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
}

Capture::~Capture() {
    CloseHandle(param.firstSample);
}

bool Capture::WaitFirstSample(DWORD ms) const {
    return WaitForSingleObject(param.firstSample, ms) == WAIT_OBJECT_0;
}

CaptureCloseWatch::CaptureCloseWatch(const testaudio::TempDir& dir)
    : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    if (fd_ < 0 || inotify_add_watch(fd_, (dir / "").c_str(), IN_CREATE | IN_CLOSE_WRITE) < 0)
        throw std::runtime_error("inotify is not available");
}

CaptureCloseWatch::~CaptureCloseWatch() {
    close(fd_);
}

bool CaptureCloseWatch::ReadEvents(int ms) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, ms) <= 0)
        return false;
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = read(fd_, buffer, sizeof buffer);
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const std::string name = event->len ? event->name : "";
        if (event->mask & IN_CREATE) {
            created_.insert(name);
            open_.insert(name);
        }
        if (event->mask & IN_CLOSE_WRITE)
            open_.erase(name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return true;
}

bool CaptureCloseWatch::WaitAllClosed(DWORD ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    ReadEvents(0);
    while (!open_.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadEvents(static_cast<int>(left.count())))
            return false;
    }
    return true;
}

namespace {
constexpr UINT kTimedOut = WM_USER + 77;
}

Window::Window()
    : hwnd_(CreateWindowExA(0, "STATIC", "test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                            nullptr)) {
    if (!hwnd_)
        throw std::runtime_error("CreateWindowExA failed");
}

Window::~Window() {
    DestroyWindow(hwnd_);
}

std::optional<MSG> Window::Next(DWORD ms) const {
    // A watchdog posts a time-out marker, so the test blocks in GetMessageA, not in a loop.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done; }))
            PostMessageA(hwnd_, kTimedOut, 0, 0);
    });
    MSG msg{};
    const BOOL got = GetMessageA(&msg, hwnd_, 0, 0);
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    watchdog.join();
    if (got <= 0 || msg.message == kTimedOut)
        return std::nullopt;
    // A marker posted just as the real message came is dropped with it.
    MSG stale;
    PeekMessageA(&stale, hwnd_, kTimedOut, kTimedOut, PM_REMOVE);
    return msg;
}

bool Window::Empty() const {
    MSG msg;
    return !PeekMessageA(&msg, hwnd_, 0, 0, PM_NOREMOVE);
}

} // namespace sonvartest
