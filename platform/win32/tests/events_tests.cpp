#include "win32/extensions.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Closes the handle when the test ends, whatever it asserted.
struct ScopedHandle {
    HANDLE handle;
    explicit ScopedHandle(HANDLE h) : handle(h) {}
    ~ScopedHandle() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
};

TEST(Events, AutoResetEventReleasesOneWaitThenResets) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_NE(event.handle, nullptr);
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event.handle));
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);
}

TEST(Events, ManualResetEventStaysSignalledUntilReset) {
    ScopedHandle event(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event.handle));
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);
}

TEST(Events, TimedWaitTimesOut) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const DWORD start = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(event.handle, 30), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount() - start, 25u);
}

TEST(Events, WaitForMultipleReturnsLowestSignalledIndex) {
    ScopedHandle first(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle second(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle third(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handles[] = {first.handle, second.handle, third.handle};

    SetEvent(third.handle);
    SetEvent(second.handle);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    // Only the satisfying auto-reset event was consumed.
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, INFINITE), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
}

TEST(Events, WaitAllNeedsEveryObject) {
    ScopedHandle first(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    ScopedHandle second(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handles[] = {first.handle, second.handle};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_TIMEOUT);
    SetEvent(second.handle);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first.handle, 0), WAIT_TIMEOUT);
}

TEST(Events, BadHandlesFail) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(CloseHandle(event));

    ScopedHandle good(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    HANDLE mixed[] = {good.handle, event};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, mixed, FALSE, 0), WAIT_FAILED);
}

// Waits from other threads: each blocked wait is woken by the objects it waits for.
TEST(EventsAcrossThreads, SetFromAnotherThreadReleasesABlockedWait) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle other(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::atomic<DWORD> result{WAIT_FAILED};
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        result = WaitForSingleObject(event.handle, 5000);
        returned = true;
    });
    // Setting another event leaves the wait where it is.
    SetEvent(other.handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    const auto set = std::chrono::steady_clock::now();
    ASSERT_TRUE(SetEvent(event.handle));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - set, std::chrono::seconds(2));
    // The wait consumed the auto-reset event; the other one is still set.
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(other.handle, 0), WAIT_OBJECT_0);
}

TEST(EventsAcrossThreads, AutoResetSetReleasesExactlyOneOfTwoBlockedWaits) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::atomic<int> released{0};
    std::atomic<int> timedOut{0};
    auto wait = [&] {
        const DWORD result = WaitForSingleObject(event.handle, 400);
        (result == WAIT_OBJECT_0 ? released : timedOut)++;
    };
    std::thread first(wait);
    std::thread second(wait);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SetEvent(event.handle);
    first.join();
    second.join();
    EXPECT_EQ(released, 1);
    EXPECT_EQ(timedOut, 1);
}

TEST(EventsAcrossThreads, ManualResetSetReleasesEveryBlockedWait) {
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event.handle, 5000) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto set = std::chrono::steady_clock::now();
    SetEvent(event.handle);
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released, 4);
    EXPECT_LT(std::chrono::steady_clock::now() - set, std::chrono::seconds(2));
}

TEST(EventsAcrossThreads, WaitAllReturnsOnlyOnceEveryObjectIsSet) {
    ScopedHandle first(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle second(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handles[] = {first.handle, second.handle};
    std::atomic<DWORD> result{WAIT_FAILED};
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        result = WaitForMultipleObjects(2, handles, TRUE, 5000);
        returned = true;
    });
    SetEvent(first.handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    const auto set = std::chrono::steady_clock::now();
    SetEvent(second.handle);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - set, std::chrono::seconds(2));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_TIMEOUT);
}

// Two threads hand a turn to each other through two auto-reset events, with time-outs in
// between that leave earlier wake-ups behind: a lost wake-up shows as a turn not taken.
TEST(EventsAcrossThreads, PingPongLosesNoWakeUp) {
    constexpr int kTurns = 5000;
    ScopedHandle ping(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle pong(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ScopedHandle idle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::atomic<int> missed{0};
    std::thread partner([&] {
        for (int i = 0; i < kTurns; ++i) {
            if (i % 1000 == 0) {
                WaitForSingleObject(idle.handle, 1);
            }
            if (WaitForSingleObject(ping.handle, 10000) != WAIT_OBJECT_0) {
                ++missed;
                return;
            }
            SetEvent(pong.handle);
        }
    });
    // A wait re-checks its objects when it times out, so a lost wake-up would show as a
    // turn that lasts the whole time-out.
    int taken = 0;
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (; taken < kTurns; ++taken) {
        const auto started = std::chrono::steady_clock::now();
        SetEvent(ping.handle);
        if (WaitForSingleObject(pong.handle, 5000) != WAIT_OBJECT_0) {
            break;
        }
        slowest = std::max(slowest, std::chrono::steady_clock::now() - started);
    }
    partner.join();
    EXPECT_EQ(taken, kTurns);
    EXPECT_EQ(missed, 0);
    EXPECT_LT(slowest, std::chrono::seconds(2));
}

// A pump whose work is a byte written to a pipe: the work reads it and sets the event. It
// notes on which threads the work ran and how many threads held it at once.
class PipePump final : public win32::WaitPump {
public:
    explicit PipePump(HANDLE event) : event_(event) {
        if (pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
            pipe_[0] = pipe_[1] = -1;
        }
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~PipePump() override {
        for (int fd : {pipe_[0], pipe_[1], wake_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    PipePump(const PipePump&) = delete;
    PipePump& operator=(const PipePump&) = delete;

    bool Claim() override {
        std::lock_guard guard(mutex_);
        if (claimed_ > 0) {
            return false;
        }
        ++claimed_;
        ++claims;
        return true;
    }
    int Descriptor() override { return detached ? -1 : pipe_[0]; }
    void Work() override {
        char byte;
        while (read(pipe_[0], &byte, 1) == 1) {
            std::lock_guard guard(mutex_);
            workers_.push_back(std::this_thread::get_id());
            SetEvent(event_);
        }
    }
    int WakeDescriptor() override { return wake_; }
    void Release() override {
        std::lock_guard guard(mutex_);
        --claimed_;
        ++releases;
    }

    bool Arrive() { return write(pipe_[1], "x", 1) == 1; }
    std::vector<std::thread::id> Workers() {
        std::lock_guard guard(mutex_);
        return workers_;
    }

    std::atomic<bool> detached{false};
    std::atomic<int> claims{0};
    std::atomic<int> releases{0};

private:
    HANDLE event_;
    int pipe_[2] = {-1, -1};
    int wake_ = -1;
    std::mutex mutex_;
    int claimed_ = 0;
    std::vector<std::thread::id> workers_;
};

TEST(EventPump, TheWaitingThreadDoesTheWorkThatSetsItsEvent) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    auto pump = std::make_shared<PipePump>(event.handle);
    ASSERT_TRUE(win32::SetEventPump(event.handle, pump));
    std::thread::id waiterId;
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] {
        waiterId = std::this_thread::get_id();
        result = WaitForSingleObject(event.handle, 5000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto arrived = std::chrono::steady_clock::now();
    ASSERT_TRUE(pump->Arrive());
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - arrived, std::chrono::seconds(2));
    ASSERT_EQ(pump->Workers().size(), 1u);
    EXPECT_EQ(pump->Workers().front(), waiterId);
    EXPECT_EQ(pump->claims.load(), 1);
    EXPECT_EQ(pump->releases.load(), 1);
    // Auto-reset: the wait took the signal.
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);
    win32::ClearEventPump(event.handle, *pump);
}

TEST(EventPump, SetFromAnotherThreadOrTimeoutEndsAPumpingWait) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    auto pump = std::make_shared<PipePump>(event.handle);
    ASSERT_TRUE(win32::SetEventPump(event.handle, pump));
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = WaitForSingleObject(event.handle, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto set = std::chrono::steady_clock::now();
    ASSERT_TRUE(SetEvent(event.handle));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - set, std::chrono::seconds(2));
    EXPECT_TRUE(pump->Workers().empty());

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event.handle, 100), WAIT_TIMEOUT);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_EQ(pump->claims.load(), 2);
    EXPECT_EQ(pump->releases.load(), 2);
    win32::ClearEventPump(event.handle, *pump);
}

TEST(EventPump, OneThreadPumpsWhileTheOthersSleepAndAllAreWoken) {
    // Manual reset: the work's one SetEvent releases every wait.
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto pump = std::make_shared<PipePump>(event.handle);
    ASSERT_TRUE(win32::SetEventPump(event.handle, pump));
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event.handle, 5000) == WAIT_OBJECT_0) {
                ++woken;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(pump->claims.load(), 1);
    ASSERT_TRUE(pump->Arrive());
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(pump->Workers().size(), 1u);
    EXPECT_EQ(pump->releases.load(), pump->claims.load());
    win32::ClearEventPump(event.handle, *pump);
}

TEST(EventPump, ADetachedOrClearedPumpLeavesTheWaitToSleepAsUsual) {
    ScopedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    auto pump = std::make_shared<PipePump>(event.handle);
    ASSERT_TRUE(win32::SetEventPump(event.handle, pump));
    pump->detached = true;
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = WaitForSingleObject(event.handle, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(SetEvent(event.handle));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);

    // Another pump's clearing leaves this one; its own removes it.
    PipePump other(event.handle);
    win32::ClearEventPump(event.handle, other);
    EXPECT_EQ(WaitForSingleObject(event.handle, 10), WAIT_TIMEOUT);
    EXPECT_EQ(pump->claims.load(), 2);
    win32::ClearEventPump(event.handle, *pump);
    EXPECT_EQ(WaitForSingleObject(event.handle, 10), WAIT_TIMEOUT);
    EXPECT_EQ(pump->claims.load(), 2);

    EXPECT_FALSE(win32::SetEventPump(reinterpret_cast<HANDLE>(0x7fff0000), pump));
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);

    struct Probe {
        CRITICAL_SECTION* section;
        BOOL entered = TRUE;
    } probe{&section};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* p = static_cast<Probe*>(parameter);
            p->entered = TryEnterCriticalSection(p->section);
            return 0;
        },
        &probe, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_FALSE(probe.entered);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, ReturnValuesFollowWindows) {
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 3), 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 0), 12);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 12), 12);
    EXPECT_EQ(value, 1);
}

} // namespace
