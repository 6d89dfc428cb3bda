#include "windows.h"

#include <gtest/gtest.h>

namespace {

struct Counter {
    LONG volatile value = 0;
    HANDLE go = nullptr;
};

DWORD WINAPI CountAndExit(LPVOID parameter) {
    auto* counter = static_cast<Counter*>(parameter);
    if (counter->go != nullptr) {
        WaitForSingleObject(counter->go, INFINITE);
    }
    return static_cast<DWORD>(InterlockedIncrement(&counter->value)) + 40;
}

TEST(Threads, ThreadHandleSignalsAtExitWithExitCode) {
    Counter counter;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, CountAndExit, &counter, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 41u);
    // A finished thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
    Counter counter;
    HANDLE thread = CreateThread(nullptr, 0, CountAndExit, &counter, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(counter.value, 0);
    DWORD exitCode = 0;
    GetExitCodeThread(thread, &exitCode);
    EXPECT_EQ(exitCode, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(counter.value, 1);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(Threads, EventAndThreadInOneWait) {
    Counter counter;
    counter.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, CountAndExit, &counter, 0, nullptr);
    HANDLE handles[] = {stop, thread};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 20), WAIT_TIMEOUT);
    SetEvent(counter.go);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    for (HANDLE h : {counter.go, stop, thread}) {
        CloseHandle(h);
    }
}

TEST(Threads, ResumeOfBadHandleFails) {
    EXPECT_EQ(ResumeThread(reinterpret_cast<HANDLE>(0x7)), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
