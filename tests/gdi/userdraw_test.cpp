// user32's drawing helpers and system colours.
#include <gtest/gtest.h>
#include <windows.h>

#include "luma/testing.h"
#include "tests/gdi/canvas.h"

namespace {

TEST(SysColors, BrushesFollowTheColoursAndBelongToTheSystem) {
    const std::size_t before = luma::LiveGdiObjects();
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(luma::LiveGdiObjects(), before) << "system brushes are not the caller's objects";
    const COLORREF old = GetSysColor(COLOR_BTNFACE);
    const INT index = COLOR_BTNFACE;
    const COLORREF teal = RGB(0, 128, 128);
    ASSERT_TRUE(SetSysColors(1, &index, &teal));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), teal);
    LOGBRUSH log{};
    GetObject(face, sizeof log, &log);
    EXPECT_EQ(log.lbColor, teal);
    EXPECT_TRUE(DeleteObject(face));
    EXPECT_EQ(GetObject(face, sizeof log, &log), static_cast<int>(sizeof log)) << "still there";

    Canvas c(4, 4);
    RECT r{0, 0, 4, 4};
    FillRect(c.dc, &r, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    EXPECT_EQ(c.At(2, 2), teal) << "a colour index plus one stands for its brush";
    SetSysColors(1, &index, &old);
    EXPECT_EQ(GetSysColor(99), 0u);
}

TEST(UserDraw, FrameInvertAndFocusRectangles) {
    Canvas c(10, 10);
    c.Clear(RGB(0, 0, 0));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT empty{5, 5, 5, 9};
    EXPECT_FALSE(FrameRect(c.dc, &empty, red));
    RECT frame{1, 1, 6, 5};
    EXPECT_TRUE(FrameRect(c.dc, &frame, red));
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(5, 4), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 2), RGB(0, 0, 0));
    EXPECT_EQ(c.At(6, 4), RGB(0, 0, 0));
    DeleteObject(red);

    std::vector<BYTE> before = c.Bytes();
    RECT r{0, 0, 7, 6};
    InvertRect(c.dc, &r);
    EXPECT_EQ(c.At(2, 2), RGB(255, 255, 255));
    InvertRect(c.dc, &r);
    EXPECT_EQ(c.Bytes(), before);
    DrawFocusRect(c.dc, &r);
    EXPECT_NE(c.Bytes(), before);
    DrawFocusRect(c.dc, &r);
    EXPECT_EQ(c.Bytes(), before) << "a focus rectangle drawn twice erases itself";
}

TEST(UserDraw, EdgesAdjustAndFillTheMiddle) {
    Canvas c(12, 12);
    c.Clear(RGB(0, 0, 0));
    RECT r{1, 1, 11, 11};
    ASSERT_TRUE(DrawEdge(c.dc, &r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_ADJUST));
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.right, 9);
    EXPECT_EQ(r.bottom, 9);
    EXPECT_EQ(c.At(1, 1), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(10, 10), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(c.At(2, 2), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(c.At(9, 9), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(c.At(5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
    // Only the sides asked for.
    Canvas d(8, 8);
    d.Clear(RGB(0, 0, 0));
    RECT s{0, 0, 8, 8};
    DrawEdge(d.dc, &s, BDR_RAISEDOUTER, BF_BOTTOM);
    EXPECT_EQ(d.At(3, 7), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(d.At(3, 0), RGB(0, 0, 0));
    EXPECT_EQ(d.At(0, 3), RGB(0, 0, 0));
}

}  // namespace
