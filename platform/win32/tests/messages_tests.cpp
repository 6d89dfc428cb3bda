#include "windows.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

HWND NewWindow() {
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

TEST(RegisteredMessages, SameNameSameNumberInRegisteredRange) {
    const UINT first = RegisterWindowMessageA("Test message one");
    const UINT second = RegisterWindowMessageA("Test message two");
    EXPECT_GE(first, 0xC000u);
    EXPECT_LE(first, 0xFFFFu);
    EXPECT_GE(second, 0xC000u);
    EXPECT_NE(first, second);
    EXPECT_EQ(RegisterWindowMessageA("Test message one"), first);
    EXPECT_EQ(RegisterWindowMessageA("TEST MESSAGE ONE"), first);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST(RegisteredMessages, ConcurrentRegistrationAgrees) {
    std::vector<UINT> numbers(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < numbers.size(); ++i) {
        threads.emplace_back([&numbers, i] { numbers[i] = RegisterWindowMessageA("Shared name"); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (UINT n : numbers) {
        EXPECT_EQ(n, numbers[0]);
    }
}

TEST(MessageQueue, PostedMessagesArriveInOrderWithTheirParameters) {
    HWND window = NewWindow();
    ASSERT_TRUE(IsWindow(window));
    for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_TRUE(PostMessageA(window, WM_USER + 1, i, static_cast<LPARAM>(100 + i)));
    }
    MSG msg{};
    for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
        EXPECT_EQ(msg.hwnd, window);
        EXPECT_EQ(msg.message, WM_USER + 1);
        EXPECT_EQ(msg.wParam, i);
        EXPECT_EQ(msg.lParam, static_cast<LPARAM>(100 + i));
    }
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST(MessageQueue, PeekCanLeaveTheMessageAndFilterByNumber) {
    HWND window = NewWindow();
    PostMessageA(window, WM_USER + 5, 1, 0);
    PostMessageA(window, WM_USER + 9, 2, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST(MessageQueue, EachWindowHasItsOwnQueue) {
    HWND a = NewWindow();
    HWND b = NewWindow();
    PostMessageA(a, WM_USER, 1, 0);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, a, 0, 0, PM_REMOVE));
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(MessageQueue, SeveralPostingThreadsKeepEachThreadsOrder) {
    HWND window = NewWindow();
    constexpr int threadCount = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < threadCount; ++t) {
        posters.emplace_back([window, t] {
            for (int i = 0; i < perThread; ++i) {
                PostMessageA(window, WM_USER, static_cast<WPARAM>(t), i);
            }
        });
    }
    std::vector<LPARAM> last(threadCount, -1);
    MSG msg{};
    for (int received = 0; received < threadCount * perThread; ++received) {
        ASSERT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
        ASSERT_LT(msg.wParam, static_cast<WPARAM>(threadCount));
        EXPECT_EQ(msg.lParam, last[msg.wParam] + 1) << "thread " << msg.wParam;
        last[msg.wParam] = msg.lParam;
    }
    for (auto& p : posters) {
        p.join();
    }
    for (LPARAM l : last) {
        EXPECT_EQ(l, perThread - 1);
    }
    DestroyWindow(window);
}

TEST(MessageQueue, GetMessageWaitsForAPostFromAnotherThread) {
    HWND window = NewWindow();
    std::thread poster([window] {
        Sleep(20);
        PostMessageA(window, WM_USER + 2, 7, 0);
    });
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 7u);
    poster.join();
    DestroyWindow(window);
}

// Each blocked GetMessageA is woken by what concerns it: a post to its window, a post to any
// window of its thread when it names none, and the destruction of its window.
TEST(MessageQueue, BlockedWaitsAreWokenByThePostsAndDestructionsThatConcernThem) {
    HWND windowOfA = nullptr;
    HWND windowOfB = nullptr;
    BOOL gotA = -2;
    BOOL gotB = -2;
    BOOL afterDestruction = -2;
    DWORD destructionError = 0;
    MSG msgA{};
    MSG msgB{};
    HANDLE created[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE waitingAgain = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread a([&] {
        windowOfA = NewWindow();
        SetEvent(created[0]);
        gotA = GetMessageA(&msgA, windowOfA, 0, 0);
        SetEvent(waitingAgain);
        MSG ignored{};
        afterDestruction = GetMessageA(&ignored, windowOfA, 0, 0);
        destructionError = GetLastError();
    });
    std::thread b([&] {
        windowOfB = NewWindow();
        SetEvent(created[1]);
        gotB = GetMessageA(&msgB, nullptr, 0, 0);
        DestroyWindow(windowOfB);
    });
    ASSERT_EQ(WaitForMultipleObjects(2, created, TRUE, 5000), WAIT_OBJECT_0);
    // Both threads block (or are about to): the post to B must not be taken for A's.
    Sleep(20);
    ASSERT_TRUE(PostMessageA(windowOfB, WM_USER + 2, 2, 0));
    b.join();
    EXPECT_EQ(gotB, TRUE);
    EXPECT_EQ(msgB.wParam, 2u);
    ASSERT_TRUE(PostMessageA(windowOfA, WM_USER + 1, 1, 0));
    ASSERT_EQ(WaitForSingleObject(waitingAgain, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(gotA, TRUE);
    EXPECT_EQ(msgA.wParam, 1u);
    Sleep(20);
    ASSERT_TRUE(DestroyWindow(windowOfA));
    a.join();
    EXPECT_EQ(afterDestruction, -1);
    EXPECT_EQ(destructionError, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    for (HANDLE event : {created[0], created[1], waitingAgain}) {
        CloseHandle(event);
    }
}

TEST(MessageQueue, QuitAndInvalidWindows) {
    HWND window = NewWindow();
    PostMessageA(window, WM_USER, 1, 0);
    PostQuitMessage(3);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
}

} // namespace
