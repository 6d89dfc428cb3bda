// Hooks of the Win32 stand-in that Windows itself does not have: where debugger output
// goes, and how a library makes its compiled-in resources known to the resource
// functions.
#pragma once

#include "../windef.h"

#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace win32 {

// Receives every OutputDebugStringA line. Without a sink the text goes to standard
// error when the environment variable WIN32_DEBUG_OUTPUT is "stderr", else nowhere,
// like a process without a debugger. Returns the previous sink.
using DebugOutputSink = std::function<void(const char* text)>;
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

// A resource name or type: a number (MAKEINTRESOURCE) or a case-insensitive string.
using ResourceId = std::variant<WORD, std::string>;

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    std::span<const BYTE> data;
};

struct StringEntry {
    UINT id;
    const char* text;
};

// Registers the resources of the module that contains `addressInModule` and returns
// its module handle (the load address of the library or program).
HMODULE RegisterModuleResources(const void* addressInModule, std::vector<ResourceEntry> resources,
                                std::vector<StringEntry> strings);
void UnregisterModuleResources(HMODULE module);

// The module handle of the library or program that contains `address`.
HMODULE ModuleFromAddress(const void* address);

// Builds a VS_VERSIONINFO block: the fixed file information with the given version
// numbers and one string table (language 0409, code page 04B0) holding `strings`.
struct VersionString {
    std::string key;
    std::string value;
};
std::vector<BYTE> BuildVersionResource(DWORD fileVersionMS, DWORD fileVersionLS,
                                       const std::vector<VersionString>& strings);

} // namespace win32
