// Regions and clipping.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "tests/gdi/canvas.h"

namespace {

// Region operations against the obvious pixel-by-pixel answer, on random
// unions of rectangles.
TEST(Regions, CombiningAgreesWithPixelLogic) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> coord(-5, 25);
    auto randomRegion = [&] {
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        for (int i = 0; i < 4; ++i) {
            HRGN piece = CreateRectRgn(coord(random), coord(random), coord(random), coord(random));
            CombineRgn(r, r, piece, RGN_OR);
            DeleteObject(piece);
        }
        return r;
    };
    for (int round = 0; round < 40; ++round) {
        HRGN a = randomRegion(), b = randomRegion(), out = CreateRectRgn(0, 0, 0, 0);
        for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF}) {
            int type = CombineRgn(out, a, b, mode);
            EXPECT_NE(type, ERROR);
            bool any = false;
            for (int y = -6; y < 27; ++y)
                for (int x = -6; x < 27; ++x) {
                    bool inA = PtInRegion(a, x, y), inB = PtInRegion(b, x, y);
                    bool want = mode == RGN_AND ? inA && inB : mode == RGN_OR ? inA || inB : mode == RGN_XOR ? inA != inB : inA && !inB;
                    ASSERT_EQ(PtInRegion(out, x, y) != 0, want) << mode << " at " << x << "," << y;
                    any |= want;
                }
            EXPECT_EQ(type == NULLREGION, !any);
        }
        DeleteObject(a);
        DeleteObject(b);
        DeleteObject(out);
    }
}

TEST(Regions, BoxesOffsetsAndEquality) {
    HRGN r = CreateRectRgn(10, 8, 2, 3);  // given backwards
    RECT box;
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(box.bottom, 8);
    EXPECT_EQ(OffsetRgn(r, 5, -3), SIMPLEREGION);
    HRGN same = CreateRectRgn(7, 0, 15, 5);
    EXPECT_TRUE(EqualRgn(r, same));
    EXPECT_TRUE(PtInRegion(r, 7, 0));
    EXPECT_FALSE(PtInRegion(r, 15, 0)) << "right edge excluded";
    RECT probe{14, 4, 20, 9};
    EXPECT_TRUE(RectInRegion(r, &probe));
    SetRectRgn(r, 0, 0, 0, 5);
    EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
    DeleteObject(r);
    DeleteObject(same);
}

TEST(Clipping, AComplexClipRegionKeepsTheCornersOut) {
    Canvas c(12, 8);
    c.Clear(RGB(0, 0, 0));
    // A client area without its four corner pixels, as a rounded button clips.
    HRGN clip = CreateRectRgn(0, 0, 12, 8);
    for (POINT p : {POINT{0, 0}, POINT{11, 0}, POINT{0, 7}, POINT{11, 7}}) {
        HRGN corner = CreateRectRgn(p.x, p.y, p.x + 1, p.y + 1);
        CombineRgn(clip, clip, corner, RGN_DIFF);
        DeleteObject(corner);
    }
    EXPECT_EQ(SelectClipRgn(c.dc, clip), COMPLEXREGION);
    DeleteObject(clip);  // the DC keeps its own copy
    RECT all{0, 0, 12, 8};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(c.dc, &all, white);
    SelectClipRgn(c.dc, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            bool corner = (x == 0 || x == 11) && (y == 0 || y == 7);
            EXPECT_EQ(c.At(x, y), corner ? RGB(0, 0, 0) : RGB(255, 255, 255)) << x << "," << y;
        }
    DeleteObject(white);
}

TEST(Clipping, IntersectAndExcludeNarrowTheClipAndFillRgnPaintsRegions) {
    Canvas c(10, 10);
    c.Clear(RGB(0, 0, 0));
    EXPECT_EQ(IntersectClipRect(c.dc, 2, 2, 8, 8), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(c.dc, 4, 0, 6, 10), COMPLEXREGION);
    RECT box;
    EXPECT_EQ(GetClipBox(c.dc, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 8);
    HRGN everything = CreateRectRgn(-5, -5, 20, 20);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_TRUE(FillRgn(c.dc, everything, red));
    EXPECT_EQ(c.At(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(c.At(7, 7), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 4, 4), CLR_INVALID) << "excluded";
    SelectClipRgn(c.dc, nullptr);
    EXPECT_EQ(c.At(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(c.At(1, 1), RGB(0, 0, 0));
    DeleteObject(everything);
    DeleteObject(red);
}

TEST(Clipping, SaveAndRestoreBringBackTheClipAndObjects) {
    Canvas c(6, 6);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
    int level = SaveDC(c.dc);
    EXPECT_EQ(level, 1);
    SelectObject(c.dc, pen);
    IntersectClipRect(c.dc, 0, 0, 1, 1);
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_TRUE(RestoreDC(c.dc, -1));
    RECT box;
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(RestoreDC(c.dc, 1)) << "nothing left to restore";
}

}  // namespace
