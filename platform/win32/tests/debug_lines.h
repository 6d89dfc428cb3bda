// Records the debug output lines written while an instance lives.
#pragma once

#include "win32/extensions.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

class DebugLines {
public:
    DebugLines()
        : previous_(win32::SetDebugOutputSink([this](const char* text) {
              std::lock_guard guard(lock_);
              lines_.emplace_back(text);
          })) {}
    ~DebugLines() { win32::SetDebugOutputSink(previous_); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    std::vector<std::string> Lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }

    // The lines so far, forgotten by the recorder.
    std::vector<std::string> Take() {
        std::lock_guard guard(lock_);
        return std::exchange(lines_, {});
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    win32::DebugOutputSink previous_;
};
