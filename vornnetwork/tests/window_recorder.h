// The game's window for tests: a window on a thread of its own that takes every posted
// "Ballix network message", reads its block and frees it, as the game does.
#pragma once

#include "windows.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vorntest {

struct WindowMessage {
    WPARAM wParam;
    std::vector<BYTE> block;

    // The NetMessage header in the block.
    UINT Cmd() const;
    BYTE Type() const;
    DWORD IdFrom() const;
    DWORD IdTo() const;
    DWORD DataSize() const;
    // The payload as text, without its NUL.
    std::string Text() const;
};

class WindowRecorder {
public:
    WindowRecorder();
    ~WindowRecorder();
    WindowRecorder(const WindowRecorder&) = delete;
    WindowRecorder& operator=(const WindowRecorder&) = delete;

    HWND Handle() const { return window_; }
    // Takes the first message received that matches, waiting up to timeoutMs for it.
    std::optional<WindowMessage> Take(const std::function<bool(const WindowMessage&)>& matches,
                                      unsigned timeoutMs);
    std::optional<WindowMessage> TakeCmd(UINT cmd, unsigned timeoutMs);
    std::optional<WindowMessage> TakeText(const std::string& text, unsigned timeoutMs);
    // Every message received and not taken yet.
    std::vector<WindowMessage> Pending();

private:
    void Run();

    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<WindowMessage> received_;
    HWND window_ = nullptr;
    bool ready_ = false;
    std::thread thread_;
};

} // namespace vorntest
