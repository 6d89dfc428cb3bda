// Waitable kernel objects behind HANDLE values. One dispatcher lock guards every
// object's signal state, so a wait on several objects sees them consistently. A blocked
// wait registers its thread's waiter on the objects it waits for; an object that becomes
// signalled wakes only the waiters registered on it, once the dispatcher lock is released,
// so that they do not wake into a lock still held.
#pragma once

#include "win32/extensions.h"
#include "windows.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace win32::detail {

struct DispatcherState {
    std::mutex lock;
};
DispatcherState& Dispatcher();

// One blocked wait. It sleeps on a futex of its own: a wake-up costs one system call, none
// when the waiter has not gone to sleep yet. A wait that pumps polls the pump's descriptor
// and an eventfd of its own instead, which a wake-up writes to. Shared, as an object that
// wakes it may still hold it for a moment after the wait has returned.
class Waiter {
public:
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    // With the dispatcher lock held, before the wait releases it: forgets earlier wake-ups,
    // which the caller's check of the objects has taken into account.
    void Arm() { state_.store(kArmed); }
    void Wake();
    // False when the deadline passed first.
    bool WaitUntil(const Deadline& deadline);
    // Does the pump's work whenever its descriptor becomes readable until woken; sleeps as
    // WaitUntil when the pump is taken by another thread or detached. False when the
    // deadline passed first.
    bool PumpUntil(const std::shared_ptr<win32::WaitPump>& pump, const Deadline& deadline);

private:
    enum : std::uint32_t { kArmed, kWoken, kSleeping, kPolling };
    bool PollPump(const Deadline& deadline);
    std::atomic<std::uint32_t> state_{kArmed};
    // While the wait polls: the pump, whose wake descriptor a wake-up writes to. Kept, as a
    // wake-up may still be writing after the wait has returned.
    std::shared_ptr<win32::WaitPump> pump_;
};

// Waiters to wake once the dispatcher lock is released.
using WakeList = std::vector<std::shared_ptr<Waiter>>;
void WakeAll(const WakeList& waiters);

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Both called with the dispatcher lock held.
    virtual bool IsSignalled() const = 0;
    // A wait was satisfied by this object: auto-reset objects reset themselves.
    virtual void Acquire() {}

    // With the dispatcher lock held.
    void AddWaiter(const std::shared_ptr<Waiter>& waiter) { waiters_.push_back(waiter); }
    void RemoveWaiter(const Waiter& waiter);
    // With the dispatcher lock held: the pump a wait on this object may do, if any.
    const std::shared_ptr<win32::WaitPump>& Pump() const { return pump_; }
    void SetPump(std::shared_ptr<win32::WaitPump> pump) { pump_ = std::move(pump); }

protected:
    // With the dispatcher lock held, once the object has become signalled. The woken
    // waits check again under the lock, so one that finds the object taken waits on.
    void CollectWaiters(WakeList& woken) const;

private:
    std::vector<std::shared_ptr<Waiter>> waiters_;
    std::shared_ptr<win32::WaitPump> pump_;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <typename T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

} // namespace win32::detail
