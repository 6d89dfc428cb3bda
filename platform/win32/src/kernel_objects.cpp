#include "kernel_objects.h"

#include <linux/futex.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <unordered_map>

namespace win32::detail {

DispatcherState& Dispatcher() {
    // Never destroyed: a detached thread that has just finished still signals
    // through it while static objects are destroyed at process exit.
    static DispatcherState& state = *new DispatcherState;
    return state;
}

static_assert(std::atomic<std::uint32_t>::is_always_lock_free &&
              sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

void Waiter::Wake() {
    switch (state_.exchange(kWoken)) {
    case kSleeping:
        syscall(SYS_futex, &state_, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        break;
    case kPolling: {
        const std::uint64_t one = 1;
        if (write(pump_->WakeDescriptor(), &one, sizeof one) < 0) {
            // The counter is saturated: the poll is already due to return.
        }
        break;
    }
    default:
        break;
    }
}

bool Waiter::WaitUntil(const Deadline& deadline) {
    timespec until{};
    if (deadline) {
        const auto sinceEpoch = deadline->time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
        until.tv_sec = seconds.count();
        until.tv_nsec = std::chrono::nanoseconds(sinceEpoch - seconds).count();
    }
    for (;;) {
        std::uint32_t armed = kArmed;
        if (!state_.compare_exchange_strong(armed, kSleeping) && armed == kWoken) {
            return true;
        }
        // An absolute time on the monotonic clock, which steady_clock reads.
        const long slept = syscall(SYS_futex, &state_, FUTEX_WAIT_BITSET_PRIVATE, kSleeping,
                                   deadline ? &until : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
        if (state_.load() == kWoken) {
            return true;
        }
        if (slept != 0 && errno == ETIMEDOUT) {
            return false;
        }
        // Interrupted, or woken spuriously: sleep on.
    }
}

bool Waiter::PumpUntil(const std::shared_ptr<win32::WaitPump>& pump, const Deadline& deadline) {
    if (!pump->Claim()) {
        return WaitUntil(deadline);
    }
    // Set once: a late wake-up from an earlier round of the same wait may still read it.
    if (pump_ == nullptr) {
        pump_ = pump;
    }
    const bool woken = PollPump(deadline);
    pump->Release();
    return woken;
}

bool Waiter::PollPump(const Deadline& deadline) {
    for (;;) {
        const int source = pump_->Descriptor();
        if (source < 0) {
            return WaitUntil(deadline);
        }
        std::uint32_t armed = kArmed;
        if (!state_.compare_exchange_strong(armed, kPolling)) {
            return true;
        }
        timespec left{};
        if (deadline) {
            const auto remaining = std::max(*deadline - std::chrono::steady_clock::now(),
                                            std::chrono::steady_clock::duration::zero());
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(remaining);
            left.tv_sec = seconds.count();
            left.tv_nsec = std::chrono::nanoseconds(remaining - seconds).count();
        }
        const int wakeFd = pump_->WakeDescriptor();
        pollfd descriptors[2] = {{source, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ppoll(descriptors, 2, deadline ? &left : nullptr, nullptr);
        const int failure = errno;
        if (descriptors[1].revents & POLLIN) {
            std::uint64_t value;
            if (read(wakeFd, &value, sizeof value) < 0) {
                // Already reset by an earlier read.
            }
        }
        std::uint32_t polling = kPolling;
        const bool woken = !state_.compare_exchange_strong(polling, kArmed);
        // What arrived is taken in even by a wait that another thread has woken meanwhile.
        // The work may wake this wait, which the next turn finds.
        if (descriptors[0].revents != 0) {
            pump_->Work();
        }
        if (woken) {
            return true;
        }
        if (ready == 0 || (deadline && std::chrono::steady_clock::now() >= *deadline)) {
            return false;
        }
        if (ready < 0 && failure != EINTR) {
            return WaitUntil(deadline);
        }
    }
}

void WakeAll(const WakeList& waiters) {
    for (const auto& waiter : waiters) {
        waiter->Wake();
    }
}

void KernelObject::RemoveWaiter(const Waiter& waiter) {
    // One entry per registration: a wait may name the same object twice.
    auto found = std::ranges::find_if(
        waiters_, [&waiter](const auto& registered) { return registered.get() == &waiter; });
    if (found != waiters_.end()) {
        waiters_.erase(found);
    }
}

void KernelObject::CollectWaiters(WakeList& woken) const {
    woken.insert(woken.end(), waiters_.begin(), waiters_.end());
}

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
    ULONG_PTR nextValue = 0x100;
};

HandleTable& Handles() {
    // Never destroyed, as the dispatcher: handles are used and closed while the process
    // exits, by threads still running and by libraries cleaning up after the statics.
    static HandleTable& table = *new HandleTable;
    return table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    // Handle values are multiples of 4, as on Windows, and never reused.
    auto handle = reinterpret_cast<HANDLE>(table.nextValue);
    table.nextValue += 4;
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(handle);
    return found == table.objects.end() ? nullptr : found->second;
}

} // namespace win32::detail

using namespace win32::detail;

namespace {

// A blocked wait's place on the objects it waits for, held with the dispatcher lock.
class Registration {
public:
    Registration(const std::vector<std::shared_ptr<KernelObject>>& objects,
                 const std::shared_ptr<Waiter>& waiter)
        : objects_(objects), waiter_(waiter) {
        for (const auto& object : objects_) {
            object->AddWaiter(waiter_);
        }
    }
    ~Registration() {
        for (const auto& object : objects_) {
            object->RemoveWaiter(*waiter_);
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    const std::vector<std::shared_ptr<KernelObject>>& objects_;
    const std::shared_ptr<Waiter>& waiter_;
};

} // namespace

BOOL WINAPI CloseHandle(HANDLE hObject) {
    std::shared_ptr<KernelObject> closed;
    {
        auto& table = win32::detail::Handles();
        std::lock_guard guard(table.lock);
        auto found = table.objects.find(hObject);
        if (found == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        // The object itself lives on while a wait or a running thread still holds it.
        closed = std::move(found->second);
        table.objects.erase(found);
    }
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KernelObject>> objects;
    objects.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = LookupHandle(lpHandles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }

    // Returns the result when the wait is satisfied now, else WAIT_TIMEOUT.
    auto trySatisfy = [&]() -> DWORD {
        if (bWaitAll) {
            for (const auto& object : objects) {
                if (!object->IsSignalled()) {
                    return WAIT_TIMEOUT;
                }
            }
            for (const auto& object : objects) {
                object->Acquire();
            }
            return WAIT_OBJECT_0;
        }
        for (DWORD i = 0; i < nCount; ++i) {
            if (objects[i]->IsSignalled()) {
                objects[i]->Acquire();
                return WAIT_OBJECT_0 + i;
            }
        }
        return WAIT_TIMEOUT;
    };

    std::unique_lock guard(Dispatcher().lock);
    DWORD result = trySatisfy();
    if (result != WAIT_TIMEOUT || dwMilliseconds == 0) {
        return result;
    }
    Waiter::Deadline deadline;
    if (dwMilliseconds != INFINITE) {
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    }
    // A wait on an object with a pump does the pump's work while it waits.
    std::shared_ptr<win32::WaitPump> pump;
    for (const auto& object : objects) {
        if (object->Pump() != nullptr) {
            pump = object->Pump();
            break;
        }
    }
    const auto waiter = std::make_shared<Waiter>();
    Registration registration(objects, waiter);
    for (;;) {
        waiter->Arm();
        guard.unlock();
        const bool woken =
            pump != nullptr ? waiter->PumpUntil(pump, deadline) : waiter->WaitUntil(deadline);
        guard.lock();
        result = trySatisfy();
        if (result != WAIT_TIMEOUT || !woken) {
            return result;
        }
    }
}
