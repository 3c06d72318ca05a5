#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "luma/memory.h"
#include "luma/testing.h"

namespace {

TEST(GlobalMemory, MoveableBlockHasHandleDistinctFromAddressAndCountsLocks) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 64u);
    auto* p = static_cast<BYTE*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), h);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_TRUE(GlobalUnlock(h));  // still locked once
    SetLastError(1234);
    EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, FixedBlockIsItsOwnAddressAndIsNeverLocked) {
    HGLOBAL h = GlobalAlloc(GPTR, 16);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, ZeroSizeMoveableBlockIsBornDiscarded) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_TRUE(GlobalFlags(h) & GMEM_DISCARDED);
    ASSERT_EQ(GlobalReAlloc(h, 8, GMEM_ZEROINIT), h);
    EXPECT_EQ(GlobalSize(h), 8u);
    auto* p = static_cast<BYTE*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0\0\0\0\0", 8), 0);
    GlobalUnlock(h);
    GlobalFree(h);
}

TEST(GlobalMemory, ReAllocKeepsContentAndZeroesOnlyTheGrowth) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(h), "abcd", 4);
    GlobalUnlock(h);
    ASSERT_EQ(GlobalReAlloc(h, 4096, GMEM_ZEROINIT), h);  // unlocked moveable blocks may move
    auto* p = static_cast<char*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    for (int i = 4; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
    GlobalUnlock(h);
    ASSERT_EQ(GlobalReAlloc(h, 2, 0), h);
    EXPECT_EQ(GlobalSize(h), 2u);
    GlobalFree(h);
}

TEST(GlobalMemory, LockedMoveableBlockGrowsOnlyWhenAllowedToMove) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
    std::memcpy(GlobalLock(h), "12345678", 8);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 16, 0), nullptr);
    EXPECT_EQ(GlobalSize(h), 8u);  // untouched after the refusal
    ASSERT_EQ(GlobalReAlloc(h, 1 << 16, GMEM_MOVEABLE), h);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u);  // the lock survives the move
    EXPECT_EQ(std::memcmp(GlobalLock(h), "12345678", 8), 0);
    GlobalUnlock(h);
    GlobalUnlock(h);
    // Discarding needs an unlocked block.
    GlobalLock(h);
    EXPECT_EQ(GlobalReAlloc(h, 0, GMEM_MOVEABLE), nullptr);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalReAlloc(h, 0, GMEM_MOVEABLE), h);
    EXPECT_TRUE(GlobalFlags(h) & GMEM_DISCARDED);
    GlobalFree(h);
}

TEST(GlobalMemory, FixedBlockMovesOnlyWithMoveableFlagAndChangesHandle) {
    const std::size_t live = luma::LiveGlobalBlocks();
    HGLOBAL h = GlobalAlloc(GMEM_FIXED, 8);
    std::memcpy(h, "fixedblk", 8);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 16, 0), nullptr);
    HGLOBAL moved = GlobalReAlloc(h, 1 << 16, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(GlobalLock(moved), moved);
    EXPECT_EQ(std::memcmp(moved, "fixedblk", 8), 0);
    EXPECT_EQ(GlobalSize(moved), static_cast<SIZE_T>(1 << 16));
    if (moved != h) {
        EXPECT_EQ(GlobalSize(h), 0u);  // the old address is no block any more
    }
    EXPECT_EQ(luma::LiveGlobalBlocks(), live + 1);
    GlobalFree(moved);
    EXPECT_EQ(luma::LiveGlobalBlocks(), live);
}

TEST(GlobalMemory, ForeignAndStaleHandlesAreRefused) {
    int local = 0;
    SetLastError(0);
    EXPECT_EQ(GlobalFree(&local), &local);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalLock(&local), nullptr);
    EXPECT_EQ(GlobalSize(&local), 0u);
    EXPECT_EQ(GlobalFlags(&local), static_cast<UINT>(GMEM_INVALID_HANDLE));
    HGLOBAL h = GlobalAlloc(GHND, 4);
    const std::size_t live = luma::LiveGlobalBlocks();
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);  // freeing twice is caught, not a double free
    EXPECT_EQ(luma::LiveGlobalBlocks(), live - 1);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalMemory, FaultInjectorFailsExactlyTheNthAllocationOnce) {
    const std::size_t live = luma::LiveGlobalBlocks();
    luma::FailAllocationAfter(3);
    EXPECT_TRUE(luma::FaultPending());
    HGLOBAL a = GlobalAlloc(GHND, 4);
    HGLOBAL b = GlobalAlloc(GPTR, 4);
    HGLOBAL c = GlobalAlloc(GHND, 4);
    HGLOBAL d = GlobalAlloc(GHND, 4);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(d, nullptr);
    EXPECT_FALSE(luma::FaultPending());
    EXPECT_EQ(luma::LiveGlobalBlocks(), live + 3);
    // A growing reallocation counts as an allocation and leaves the block as it was.
    luma::FailAllocationAfter(1);
    EXPECT_EQ(GlobalReAlloc(a, 1 << 20, 0), nullptr);
    EXPECT_EQ(GlobalSize(a), 4u);
    for (HGLOBAL h : {a, b, d}) GlobalFree(h);
    EXPECT_EQ(luma::LiveGlobalBlocks(), live);
    luma::FailAllocationAfter(2);
    luma::FailAllocationAfter(0);
    EXPECT_FALSE(luma::FaultPending());
    HGLOBAL e = GlobalAlloc(GHND, 1);
    HGLOBAL f = GlobalAlloc(GHND, 1);
    EXPECT_TRUE(e && f);
    GlobalFree(e);
    GlobalFree(f);
}

// A budget set for one test and the previous one put back.
class Budget : public ::testing::Test {
protected:
    void SetUp() override { saved_ = luma::MemoryBudget(); }
    void TearDown() override { luma::SetMemoryBudget(saved_); }
    std::size_t saved_ = 0;
};

TEST_F(Budget, EveryWayABlockChangesSizeIsCharged) {
    const std::size_t base = luma::BytesInUse();
    HGLOBAL moveable = GlobalAlloc(GMEM_MOVEABLE, 1000);
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 24);
    ASSERT_TRUE(moveable && fixed);
    EXPECT_EQ(luma::BytesInUse(), base + 1024);
    ASSERT_EQ(GlobalReAlloc(moveable, 3000, GMEM_MOVEABLE), moveable);
    EXPECT_EQ(luma::BytesInUse(), base + 3024);
    ASSERT_EQ(GlobalReAlloc(moveable, 100, 0), moveable);
    EXPECT_EQ(luma::BytesInUse(), base + 124);
    ASSERT_EQ(GlobalReAlloc(moveable, 0, GMEM_MOVEABLE), moveable);  // discarded
    EXPECT_EQ(luma::BytesInUse(), base + 24);
    ASSERT_EQ(GlobalReAlloc(moveable, 50, GMEM_MOVEABLE), moveable);
    fixed = GlobalReAlloc(fixed, 4000, GMEM_MOVEABLE);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(luma::BytesInUse(), base + 4050);
    GlobalFree(moveable);
    GlobalFree(fixed);
    EXPECT_EQ(luma::BytesInUse(), base);
}

TEST_F(Budget, AllocationsPastTheBudgetFailAndTakeNothing) {
    const std::size_t base = luma::BytesInUse();
    luma::SetMemoryBudget(base + 10000);
    const std::size_t blocks = luma::LiveGlobalBlocks();
    HGLOBAL first = GlobalAlloc(GMEM_MOVEABLE, 6000);
    ASSERT_NE(first, nullptr);
    SetLastError(0);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 6000), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, SIZE_MAX), nullptr) << "no overflow past the limit";
    EXPECT_EQ(GlobalReAlloc(first, 12000, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(first), 6000u) << "a refused growth keeps the block";
    EXPECT_EQ(luma::LiveGlobalBlocks(), blocks + 1);
    EXPECT_EQ(luma::BytesInUse(), base + 6000);

    // Bitmaps draw on the same budget and give it back when deleted.
    EXPECT_EQ(CreateBitmap(100, 100, 1, 32, nullptr), nullptr);
    HBITMAP small = CreateBitmap(10, 10, 1, 32, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(luma::BytesInUse(), base + 6400);
    DeleteObject(small);
    GlobalFree(first);
    EXPECT_EQ(luma::BytesInUse(), base);
    luma::SetMemoryBudget(0);
    HGLOBAL unlimited = GlobalAlloc(GMEM_MOVEABLE, 1 << 20);
    EXPECT_NE(unlimited, nullptr) << "0 is no limit";
    GlobalFree(unlimited);
}

TEST(ByteSize, ReadsPlainAndBinaryMultipleSizes) {
    const struct {
        const char* text;
        std::size_t bytes;
    } good[] = {{"0", 0},           {"4096", 4096},        {"64K", 64u << 10}, {"64k", 64u << 10},
                {"64M", 64u << 20}, {"2G", std::size_t{2} << 30}, {"2GB", std::size_t{2} << 30},
                {"2GiB", std::size_t{2} << 30}, {"1T", std::size_t{1} << 40}, {"512B", 512}};
    for (const auto& c : good) {
        std::size_t bytes = 1;
        EXPECT_TRUE(luma::ParseByteSize(c.text, &bytes)) << c.text;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
    for (const char* bad : {"", "M", "-1", "1.5G", "64 M", "64X", "64MM", "64Mi", "99999999999999999999",
                            "17179869184G"}) {
        std::size_t bytes = 7;
        EXPECT_FALSE(luma::ParseByteSize(bad, &bytes)) << bad;
        EXPECT_EQ(bytes, 7u) << bad;
    }
    EXPECT_FALSE(luma::ParseByteSize(nullptr, nullptr));
}

}  // namespace
