#include "windows.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(GlobalMemory, FixedZeroInitBlockIsItsOwnAddress) {
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, 32);
    ASSERT_NE(block, nullptr);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    EXPECT_EQ(static_cast<void*>(bytes), block);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(bytes[i], 0) << i;
    }
    std::memcpy(bytes, "payload", 8);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalSize(block), 32u);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(block)), "payload");
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemory, MoveableBlockCountsLocks) {
    HGLOBAL block = GlobalAlloc(GHND, 8);
    ASSERT_NE(block, nullptr);
    void* first = GlobalLock(block);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, block);
    EXPECT_EQ(GlobalLock(block), first);
    EXPECT_TRUE(GlobalUnlock(block));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), NO_ERROR);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemory, FreedOrUnknownHandlesFail) {
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 4);
    ASSERT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(TickCount, AdvancesWithTime) {
    const DWORD start = GetTickCount();
    Sleep(20);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
}

} // namespace
