// Waitable kernel objects behind HANDLE values. One dispatcher lock guards every
// object's signal state, so a wait on several objects sees them consistently. A blocked
// wait registers itself on the objects it waits for, and an object that becomes
// signalled wakes only the waits registered on it.
#pragma once

#include "windows.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace win32::detail {

struct DispatcherState {
    std::mutex lock;
};
DispatcherState& Dispatcher();

// A thread blocked in a wait, woken by the objects it is registered on.
struct Waiter {
    std::condition_variable wake;
};

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Both called with the dispatcher lock held.
    virtual bool IsSignalled() const = 0;
    // A wait was satisfied by this object: auto-reset objects reset themselves.
    virtual void Acquire() {}

    // With the dispatcher lock held.
    void AddWaiter(Waiter& waiter) { waiters_.push_back(&waiter); }
    void RemoveWaiter(const Waiter& waiter);

protected:
    // With the dispatcher lock held, once the object has become signalled. The woken
    // waits check again under the lock, so one that finds the object taken waits on.
    void WakeWaiters() const;

private:
    // Not owned: a waiter unregisters itself, under the lock, before its wait returns.
    std::vector<Waiter*> waiters_;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <typename T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

} // namespace win32::detail
