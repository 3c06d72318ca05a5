#include "image/drawing_surface.h"

#include <gtest/gtest.h>

#include "image/packed_dib.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"

namespace {

struct Counts {
    std::size_t blocks = luma::LiveGlobalBlocks();
    std::size_t objects = luma::LiveGdiObjects();
    std::size_t dcs = luma::LiveDeviceContexts();
    bool operator==(const Counts&) const = default;
};

void expectEmpty(const DrawingSurface& s) {
    EXPECT_EQ(s.header, nullptr);
    EXPECT_EQ(s.section, nullptr);
    EXPECT_EQ(s.previousBitmap, nullptr);
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.memoryContext, nullptr);
    EXPECT_EQ(s.screenContext, nullptr);
    EXPECT_EQ(s.bounds.right, 0);
    EXPECT_EQ(s.bounds.bottom, 0);
}

TEST(DrawingSurface, DrawingReachesTheKeptPackedDib) {
    Counts before;
    DrawingSurface s;
    ASSERT_EQ(OpenDrawingSurface(10, 7, &s), 1);
    EXPECT_EQ(s.bounds.left, 0);
    EXPECT_EQ(s.bounds.top, 0);
    EXPECT_EQ(s.bounds.right, 10);
    EXPECT_EQ(s.bounds.bottom, 7);
    EXPECT_NE(s.bits, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{2, 1, 5, 3};
    FillRect(s.memoryContext, &r, red);
    DeleteObject(red);
    ASSERT_EQ(CloseDrawingSurface(&s, 1), 1);
    expectEmpty(s);
    ASSERT_NE(s.image, nullptr);
    EXPECT_EQ(GlobalFlags(s.image) & GMEM_LOCKCOUNT, 0u) << "the kept image is unlocked";
    {
        GlobalLockGuard<BYTE> dib(s.image);
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(dib.get());
        EXPECT_EQ(h->biWidth, 10);
        EXPECT_EQ(h->biHeight, 7);
        EXPECT_EQ(h->biBitCount, 24);
        EXPECT_EQ(GetDibPixel(dib.get(), 2, 1), 0x0000FFu);
        EXPECT_EQ(GetDibPixel(dib.get(), 4, 2), 0x0000FFu);
        EXPECT_EQ(GetDibPixel(dib.get(), 5, 2), 0u);
        EXPECT_EQ(GetDibPixel(dib.get(), 2, 3), 0u);
    }
    GlobalFree(s.image);
    EXPECT_TRUE(Counts{} == before);
}

TEST(DrawingSurface, LogicalUnitsArePixelsWithYDownAndBitsAreBottomUp) {
    DrawingSurface s;
    ASSERT_EQ(OpenDrawingSurface(6, 5, &s), 1);
    EXPECT_EQ(GetMapMode(s.memoryContext), MM_ISOTROPIC);
    SetPixel(s.memoryContext, 3, 1, RGB(1, 2, 3));
    // Bytes written straight into the section count too; its first row is
    // the bottom one.
    static_cast<BYTE*>(s.bits)[0] = 0x44;
    ASSERT_EQ(CloseDrawingSurface(&s, 1), 1);
    GlobalLockGuard<BYTE> dib(s.image);
    EXPECT_EQ(GetDibPixel(dib.get(), 3, 1), static_cast<DWORD>(RGB(1, 2, 3)));
    EXPECT_EQ(GetDibPixel(dib.get(), 0, 4), 0x440000u);
    GlobalUnlock(s.image);
    GlobalFree(s.image);
}

TEST(DrawingSurface, ClosingWithoutTheKeepFlagFreesEverything) {
    Counts before;
    DrawingSurface s;
    ASSERT_EQ(OpenDrawingSurface(4, 4, &s), 1);
    EXPECT_FALSE(Counts{} == before);
    EXPECT_EQ(CloseDrawingSurface(&s, 2), 1) << "only bit 0 keeps";
    EXPECT_EQ(s.image, nullptr);
    expectEmpty(s);
    EXPECT_TRUE(Counts{} == before);
}

TEST(DrawingSurface, HalfOpenedSurfacesCloseSafely) {
    Counts before;
    DrawingSurface empty;
    EXPECT_EQ(CloseDrawingSurface(&empty, 0), 1);
    EXPECT_EQ(CloseDrawingSurface(nullptr, 0), 1);

    DrawingSurface partial;
    partial.screenContext = GetDC(nullptr);
    partial.memoryContext = CreateCompatibleDC(partial.screenContext);
    partial.image = CreatePackedDib(3, 3, nullptr, 24);
    EXPECT_EQ(CloseDrawingSurface(&partial, 0), 1);
    expectEmpty(partial);
    EXPECT_EQ(partial.image, nullptr);

    DrawingSurface locked;
    locked.image = CreatePackedDib(3, 3, nullptr, 24);
    locked.header = static_cast<BITMAPINFOHEADER*>(GlobalLock(locked.image));
    EXPECT_EQ(CloseDrawingSurface(&locked, 1), 1);
    EXPECT_EQ(GlobalFlags(locked.image) & GMEM_LOCKCOUNT, 0u);
    GlobalFree(locked.image);
    EXPECT_TRUE(Counts{} == before);
}

TEST(DrawingSurface, ImpossibleSizesFailWithoutLeaks) {
    Counts before;
    DrawingSurface s;
    EXPECT_EQ(OpenDrawingSurface(0, 5, &s), 0);
    EXPECT_EQ(OpenDrawingSurface(5, -1, &s), 0);
    EXPECT_EQ(s.image, nullptr);
    expectEmpty(s);
    EXPECT_TRUE(Counts{} == before);
}

TEST(DrawingSurface, EveryAllocationFailureUndoesTheOpening) {
    int points = testing_support::WalkAllocationFailures([] {
        DrawingSurface s;
        if (!OpenDrawingSurface(9, 4, &s)) {
            EXPECT_EQ(s.image, nullptr);
            return false;
        }
        CloseDrawingSurface(&s, 0);
        return true;
    });
    EXPECT_GE(points, 4) << "screen DC, memory DC, image block, section";
}

}  // namespace
