#include "window_recorder.h"

#include "netmessage.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vorntest {

namespace {

NetMessageHeader HeaderOf(const std::vector<BYTE>& block) {
    NetMessageHeader header{};
    std::memcpy(&header, block.data(), std::min(block.size(), sizeof header));
    return header;
}

} // namespace

UINT WindowMessage::Cmd() const {
    return HeaderOf(block).cmd;
}
BYTE WindowMessage::Type() const {
    return HeaderOf(block).type;
}
DWORD WindowMessage::IdFrom() const {
    return HeaderOf(block).idFrom;
}
DWORD WindowMessage::IdTo() const {
    return HeaderOf(block).idTo;
}
DWORD WindowMessage::DataSize() const {
    return HeaderOf(block).nDataSize;
}

std::string WindowMessage::Text() const {
    if (block.size() <= NetMessage::headerSize) {
        return {};
    }
    const char* text = reinterpret_cast<const char*>(block.data() + NetMessage::headerSize);
    return std::string(text, strnlen(text, block.size() - NetMessage::headerSize));
}

WindowRecorder::WindowRecorder() : thread_([this] { Run(); }) {
    std::unique_lock guard(lock_);
    arrived_.wait(guard, [this] { return ready_; });
}

WindowRecorder::~WindowRecorder() {
    DestroyWindow(window_);
    thread_.join();
}

void WindowRecorder::Run() {
    const UINT networkMessage = RegisterWindowMessageA("Ballix network message");
    {
        std::lock_guard guard(lock_);
        window_ = CreateWindowExA(0, "VornTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                  nullptr);
        ready_ = true;
    }
    arrived_.notify_all();
    MSG msg{};
    while (GetMessageA(&msg, window_, 0, 0) > 0) {
        if (msg.message != networkMessage) {
            continue;
        }
        auto hMem = reinterpret_cast<HGLOBAL>(msg.lParam);
        const auto* data = static_cast<const BYTE*>(GlobalLock(hMem));
        WindowMessage received{msg.wParam, {}};
        if (data != nullptr) {
            received.block.assign(data, data + GlobalSize(hMem));
            GlobalUnlock(hMem);
        }
        GlobalFree(hMem);
        {
            std::lock_guard guard(lock_);
            received_.push_back(std::move(received));
        }
        arrived_.notify_all();
    }
}

std::optional<WindowMessage>
WindowRecorder::Take(const std::function<bool(const WindowMessage&)>& matches, unsigned timeoutMs) {
    std::unique_lock guard(lock_);
    std::optional<WindowMessage> taken;
    arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        const auto found = std::find_if(received_.begin(), received_.end(), matches);
        if (found == received_.end()) {
            return false;
        }
        taken = *found;
        received_.erase(found);
        return true;
    });
    return taken;
}

std::optional<WindowMessage> WindowRecorder::TakeCmd(UINT cmd, unsigned timeoutMs) {
    return Take([cmd](const WindowMessage& message) { return message.Cmd() == cmd; }, timeoutMs);
}

std::optional<WindowMessage> WindowRecorder::TakeText(const std::string& text, unsigned timeoutMs) {
    return Take(
        [&text](const WindowMessage& message) {
            return message.Cmd() == cmdText && message.Text() == text;
        },
        timeoutMs);
}

std::vector<WindowMessage> WindowRecorder::Pending() {
    std::lock_guard guard(lock_);
    return {received_.begin(), received_.end()};
}

} // namespace vorntest
