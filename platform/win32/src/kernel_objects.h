// Waitable kernel objects behind HANDLE values. One dispatcher lock guards every
// object's signal state, so a wait on several objects sees them consistently.
#pragma once

#include "windows.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace win32::detail {

struct DispatcherState {
    std::mutex lock;
    std::condition_variable changed;
};
DispatcherState& Dispatcher();

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Both called with the dispatcher lock held.
    virtual bool IsSignalled() const = 0;
    // A wait was satisfied by this object: auto-reset objects reset themselves.
    virtual void Acquire() {}
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <typename T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

} // namespace win32::detail
