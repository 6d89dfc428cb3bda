// What differs by platform: sonvar_linux.cpp, sonvar_windows.cpp.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

using WideString = std::basic_string<WCHAR>;

// A file name in the system's ANSI code page as the wide text the filter graph takes;
// nothing when it is not valid text in that code page.
std::optional<WideString> WideFromAnsi(const char* text);
