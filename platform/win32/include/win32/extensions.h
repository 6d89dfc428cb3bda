// Hooks of the Win32 stand-in that Windows itself does not have: where debugger output
// goes, and how a library makes its compiled-in resources known to the resource
// functions.
#pragma once

#include "../windef.h"

#include <functional>
#include <memory>
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

// Work that a thread blocked on an event can do itself while it waits: a library that
// would otherwise wake a thread of its own to take in what arrives, only for that thread to
// set the event, lets the waiting thread take it in directly. One thread at a time pumps;
// other waits on the same event sleep as usual.
class WaitPump {
public:
    virtual ~WaitPump() = default;
    // Makes the calling thread the one that pumps; false when another thread does, or the
    // pump has been detached.
    virtual bool Claim() = 0;
    // By the claiming thread: the descriptor that becomes readable when there is work, or
    // -1 once the pump has been detached (the wait then sleeps as usual).
    virtual int Descriptor() = 0;
    // By the claiming thread: does the work that is waiting, which may set the event.
    virtual void Work() = 0;
    // An eventfd of the pump's own, open as long as the pump: a wake-up of the claiming
    // thread's wait writes to it, the wait reads it back.
    virtual int WakeDescriptor() = 0;
    // By the claiming thread, when its wait ends.
    virtual void Release() = 0;
};

// Attaches `pump` to an event, or detaches what is attached with nullptr. False when the
// handle is not an event.
bool SetEventPump(HANDLE event, std::shared_ptr<WaitPump> pump);
// Detaches `pump` from an event if it is the one attached.
void ClearEventPump(HANDLE event, const WaitPump& pump);

} // namespace win32
