#include "windows.h"

#include <gtest/gtest.h>

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
