// DIB sections of every depth, raster operations, blits and packed DIBs.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/gdi/canvas.h"
#include "tests/support/pictures.h"

namespace {

const std::vector<RGBQUAD> kFour = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 255, 255, 0}};

TEST(DibSections, PalettedDepthsStoreTheNearestTableIndex) {
    for (int bits : {8, 4}) {
        Canvas c(6, 2, bits, true, kFour);
        ASSERT_NE(c.bits, nullptr) << bits;
        HBRUSH greenish = CreateSolidBrush(RGB(10, 240, 20));
        RECT r{1, 0, 3, 1};
        FillRect(c.dc, &r, greenish);
        DeleteObject(greenish);
        EXPECT_EQ(c.At(1, 0), RGB(0, 255, 0)) << bits;
        EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0)) << bits;
        EXPECT_EQ(SetPixel(c.dc, 4, 1, RGB(250, 5, 5)), RGB(255, 0, 0)) << "SetPixel reports the colour it set";
        if (bits == 8) {
            EXPECT_EQ(c.bits[1], 2);
            EXPECT_EQ(c.bits[2], 2);
            EXPECT_EQ(c.bits[c.Stride() + 4], 1);
        } else {
            EXPECT_EQ(c.bits[0], 0x02) << "left pixel in the high nibble";
            EXPECT_EQ(c.bits[1], 0x20);
            EXPECT_EQ(c.bits[c.Stride() + 2], 0x10);
        }
    }
}

TEST(DibSections, MonochromeSectionsTakeExactTableColoursAndTheBackgroundRule) {
    std::vector<RGBQUAD> mono = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    Canvas c(16, 2, 1, true, mono);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(c.dc, white);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 3, 0);
    EXPECT_EQ(c.bits[0], 0xE0) << "three set bits from the left";
    // A colour in neither entry: the background colour (white) takes its
    // nearest entry and the pen the other one.
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
    SelectObject(c.dc, grey);
    MoveToEx(c.dc, 0, 1, nullptr);
    LineTo(c.dc, 8, 1);
    EXPECT_EQ(c.bits[c.Stride()], 0x00);
    SelectObject(c.dc, old);
    DeleteObject(white);
    DeleteObject(grey);
}

TEST(DibSections, BottomUpSectionsStoreTheTopRowLast) {
    Canvas up(3, 4, 24, false);
    Canvas down(3, 4, 24, true);
    for (Canvas* c : {&up, &down}) SetPixel(c->dc, 1, 0, RGB(10, 20, 30));
    EXPECT_EQ(down.bits[3], 30);
    EXPECT_EQ(down.bits[4], 20);
    EXPECT_EQ(down.bits[5], 10);
    std::size_t last = up.Stride() * 3;
    EXPECT_EQ(up.bits[last + 3], 30);
    EXPECT_EQ(up.bits[last + 5], 10);
    EXPECT_EQ(up.At(1, 0), RGB(10, 20, 30));
}

TEST(DibSections, ThirtyTwoBitSectionsWriteAllFourBytes) {
    Canvas c(2, 1, 32, true);
    std::fill(c.bits, c.bits + 8, 0x55);
    SetPixel(c.dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(c.bits[0], 3);
    EXPECT_EQ(c.bits[1], 2);
    EXPECT_EQ(c.bits[2], 1);
    EXPECT_EQ(c.bits[3], 0) << "a solid colour clears the fourth byte";
    EXPECT_EQ(c.bits[4], 0x55);
}

TEST(RasterOps, XorAndNotUndoThemselves) {
    Canvas c(20, 20);
    c.Clear(RGB(30, 60, 90));
    std::vector<BYTE> before = c.Bytes();
    HPEN pen = CreatePen(PS_SOLID, 5, RGB(200, 100, 50));
    HGDIOBJ old = SelectObject(c.dc, pen);
    SetROP2(c.dc, R2_XORPEN);
    POINT zigzag[] = {{1, 1}, {18, 5}, {2, 17}, {17, 18}};
    Polyline(c.dc, zigzag, 4);
    EXPECT_NE(c.Bytes(), before);
    Polyline(c.dc, zigzag, 4);
    EXPECT_EQ(c.Bytes(), before);
    SetROP2(c.dc, R2_NOT);
    Rectangle(c.dc, 2, 2, 15, 12);
    EXPECT_EQ(c.At(2, 2), RGB(255 - 30, 255 - 60, 255 - 90));
    Rectangle(c.dc, 2, 2, 15, 12);
    EXPECT_EQ(c.Bytes(), before);
    SelectObject(c.dc, old);
    DeleteObject(pen);
}

TEST(Blits, StretchDibitsOfAPackedDibCopiesItUprightAndClipped) {
    std::mt19937 random(7);
    GlobalBlock dib(testing_support::RandomPackedDib(random, 9, 6, 24));
    GlobalLockGuard<BYTE> bytes(dib.get());
    ASSERT_TRUE(bytes);
    auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.get());
    const BYTE* pixels = bytes.get() + sizeof(BITMAPINFOHEADER);

    Canvas c(12, 8);
    c.Clear(RGB(1, 1, 1));
    EXPECT_EQ(StretchDIBits(c.dc, 5, 4, 9, 6, 0, 0, 9, 6, pixels, info, DIB_RGB_COLORS, SRCCOPY), 6);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            bool inside = x >= 5 && y >= 4;
            DWORD expected = inside ? GetDibPixel(bytes.get(), x - 5, y - 4) : RGB(1, 1, 1);
            EXPECT_EQ(c.At(x, y), expected) << x << "," << y;
        }

    // Twice the size repeats each pixel; a negative width mirrors.
    Canvas big(18, 12);
    StretchDIBits(big.dc, 0, 0, 18, 12, 0, 0, 9, 6, pixels, info, DIB_RGB_COLORS, SRCCOPY);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 18; ++x) EXPECT_EQ(big.At(x, y), GetDibPixel(bytes.get(), x / 2, y / 2));
    Canvas mirror(9, 6);
    StretchDIBits(mirror.dc, 8, 0, -9, 6, 0, 0, 9, 6, pixels, info, DIB_RGB_COLORS, SRCCOPY);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(mirror.At(8 - x, 2), GetDibPixel(bytes.get(), x, 2));
}

TEST(Blits, PalettedPackedDibsArriveInTheirTableColours) {
    std::mt19937 random(11);
    GlobalBlock dib(testing_support::RandomPackedDib(random, 5, 4, 8));
    GlobalLockGuard<BYTE> bytes(dib.get());
    auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.get());
    const BYTE* pixels = bytes.get() + sizeof(BITMAPINFOHEADER) + DibTableBytes(8);
    DibLayout layout;
    ASSERT_TRUE(DibLayout::From(bytes.get(), layout));
    Canvas c(5, 4);
    EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, 5, 4, 0, 0, 0, 4, pixels, info, DIB_RGB_COLORS), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            RGBQUAD q = layout.Table(bytes.get())[GetDibPixel(bytes.get(), x, y)];
            EXPECT_EQ(c.At(x, y), RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
        }
}

TEST(Blits, BitBltCopiesThroughTheClipAndGetDibitsReadsBack) {
    Canvas source(6, 6), target(6, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) SetPixel(source.dc, x, y, RGB(x * 40, y * 40, 7));
    IntersectClipRect(target.dc, 2, 0, 6, 3);
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 6, 6, source.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            bool inside = x >= 2 && y < 3;
            COLORREF seen = GetPixel(target.dc, x, y);
            if (inside) EXPECT_EQ(seen, RGB(x * 40, y * 40, 7));
            else EXPECT_EQ(seen, CLR_INVALID) << "GetPixel outside the clip";
        }
    SelectClipRgn(target.dc, nullptr);
    EXPECT_EQ(target.At(0, 0), RGB(0, 0, 0));

    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 6, 6, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<BYTE> rows(24 * 6);
    SelectObject(source.dc, source.previous);
    EXPECT_EQ(GetDIBits(source.dc, source.bitmap, 0, 6, rows.data(), &bi, DIB_RGB_COLORS), 6);
    SelectObject(source.dc, source.bitmap);
    // Bottom-up rows: the first one is the picture's last.
    EXPECT_EQ(rows[0], 7);
    EXPECT_EQ(rows[1], 5 * 40);
    EXPECT_EQ(rows[2], 0);
    EXPECT_EQ(rows[3 * 3 + 2], 3 * 40);
}

TEST(Blits, PatBltAppliesTernaryOperationsWithNegativeExtents) {
    Canvas c(8, 8);
    c.Clear(RGB(10, 20, 30));
    PatBlt(c.dc, 5, 5, -3, -2, DSTINVERT);
    EXPECT_EQ(c.At(5, 5), RGB(245, 235, 225)) << "the start pixel is included";
    EXPECT_EQ(c.At(3, 4), RGB(245, 235, 225));
    EXPECT_EQ(c.At(2, 4), RGB(10, 20, 30));
    EXPECT_EQ(c.At(5, 3), RGB(10, 20, 30));
    PatBlt(c.dc, 0, 0, 2, 2, WHITENESS);
    EXPECT_EQ(c.At(1, 1), RGB(255, 255, 255));
    HBRUSH b = CreateSolidBrush(RGB(0xF0, 0x0F, 0x00));
    HGDIOBJ old = SelectObject(c.dc, b);
    PatBlt(c.dc, 0, 6, 8, 2, PATINVERT);
    EXPECT_EQ(c.At(0, 7), RGB(10 ^ 0xF0, 20 ^ 0x0F, 30));
    SelectObject(c.dc, old);
    DeleteObject(b);
}

TEST(Brushes, HatchAndPatternBrushesRepeatFromTheBrushOrigin) {
    Canvas c(16, 16);
    c.Clear(RGB(0, 0, 0));
    HBRUSH hatch = CreateHatchBrush(HS_VERTICAL, RGB(255, 0, 0));
    SetBkMode(c.dc, TRANSPARENT);
    RECT all{0, 0, 16, 16};
    FillRect(c.dc, &all, hatch);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(c.At(x, 5), x % 8 == 4 ? RGB(255, 0, 0) : RGB(0, 0, 0)) << x;
    DeleteObject(hatch);

    Canvas tile(2, 2);
    SetPixel(tile.dc, 0, 0, RGB(9, 9, 9));
    SelectObject(tile.dc, tile.previous);
    HBRUSH pattern = CreatePatternBrush(tile.bitmap);
    SelectObject(tile.dc, tile.bitmap);
    SetBrushOrgEx(c.dc, 1, 0, nullptr);
    FillRect(c.dc, &all, pattern);
    EXPECT_EQ(c.At(1, 0), RGB(9, 9, 9));
    EXPECT_EQ(c.At(3, 2), RGB(9, 9, 9));
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
    DeleteObject(pattern);
}

TEST(Mapping, IdentityIsotropicMappingIsOneUnitPerPixel) {
    Canvas c(10, 10);
    SetMapMode(c.dc, MM_ISOTROPIC);
    SetWindowExtEx(c.dc, 10, 10, nullptr);
    SetViewportExtEx(c.dc, 10, 10, nullptr);
    SetPixel(c.dc, 3, 7, RGB(5, 6, 7));
    EXPECT_EQ(c.bits[7 * c.Stride() + 9], 7);
    SetViewportOrgEx(c.dc, 2, 1, nullptr);
    POINT p{3, 3};
    LPtoDP(c.dc, &p, 1);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 4);
    // Unequal extents keep units square by shrinking the viewport.
    SetWindowExtEx(c.dc, 10, 20, nullptr);
    SIZE vp;
    GetViewportExtEx(c.dc, &vp);
    EXPECT_EQ(vp.cx, 5);
    EXPECT_EQ(vp.cy, 10);
}

}  // namespace

namespace {

// Thin patterned pens dash along the figure, gaps in the background colour
// when the DC is opaque; wide ones draw solid, as Windows draws them.
TEST(Pens, ThinPatternedPensDashAndWideOnesDoNot) {
    Canvas c(30, 3);
    c.Clear(RGB(0, 0, 0));
    HPEN dot = CreatePen(PS_DOT, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(c.dc, dot);
    SetBkColor(c.dc, RGB(0, 0, 255));
    SetBkMode(c.dc, OPAQUE);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 12, 0);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(c.At(x, 0), (x / 3) % 2 ? RGB(0, 0, 255) : RGB(255, 0, 0)) << x;
    EXPECT_EQ(c.At(12, 0), RGB(0, 0, 0));
    SetBkMode(c.dc, TRANSPARENT);
    POINT corner[] = {{0, 1}, {4, 1}, {4, 2}, {10, 2}};
    Polyline(c.dc, corner, 4);
    EXPECT_EQ(c.At(3, 1), RGB(0, 0, 0)) << "a transparent gap";
    EXPECT_EQ(c.At(4, 1), RGB(0, 0, 0)) << "the count goes on round the corner";
    EXPECT_EQ(c.At(5, 2), RGB(255, 0, 0));
    HPEN wide = CreatePen(PS_DASH, 3, RGB(0, 255, 0));
    SelectObject(c.dc, wide);
    MoveToEx(c.dc, 14, 1, nullptr);
    LineTo(c.dc, 29, 1);
    for (int x = 14; x < 29; ++x) EXPECT_EQ(c.At(x, 1), RGB(0, 255, 0)) << x;
    SelectObject(c.dc, old);
    DeleteObject(dot);
    DeleteObject(wide);
}

}  // namespace
