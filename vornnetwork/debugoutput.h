// Diagnostics: single formatted lines for the debugger output.
#pragma once

#include "windows.h"

#include <cstdarg>
#include <cstdio>

__attribute__((format(printf, 1, 2))) inline void DebugLine(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    OutputDebugStringA(line);
}
