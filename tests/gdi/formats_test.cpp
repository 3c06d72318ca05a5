// One drawing script replayed into every DIB format gives the same picture:
// the shape layer is shared, only the pixel kernels differ.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/gdi/canvas.h"

namespace {

void drawScript(HDC dc, bool twoColours) {
    COLORREF ink = twoColours ? RGB(255, 255, 255) : RGB(255, 0, 0);
    COLORREF fill = twoColours ? RGB(255, 255, 255) : RGB(0, 0, 255);
    HPEN wide = CreatePen(PS_SOLID, 5, ink);
    HPEN frame = CreatePen(PS_INSIDEFRAME, 3, ink);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ oldPen = SelectObject(dc, wide);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Ellipse(dc, 3, 4, 40, 29);
    POINT star[] = {{50, 2}, {58, 30}, {36, 12}, {64, 12}, {42, 30}};
    SetPolyFillMode(dc, WINDING);
    SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, star, 5);
    SelectObject(dc, frame);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, 2, 32, 60, 47, 12, 9);
    SelectObject(dc, wide);
    POINT zig[] = {{5, 45}, {20, 35}, {33, 46}, {61, 38}};
    Polyline(dc, zig, 4);
    SelectObject(dc, GetStockObject(twoColours ? WHITE_PEN : BLACK_PEN));
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 63, 47);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(wide);
    DeleteObject(frame);
    DeleteObject(brush);
}

TEST(DibFormats, EveryDepthDrawsTheSamePicture) {
    const std::vector<RGBQUAD> four = {{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
    const std::vector<RGBQUAD> mono = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    for (bool twoColours : {false, true}) {
        Canvas reference(64, 48, 24);
        drawScript(reference.dc, twoColours);
        struct Format {
            int bits;
            bool topDown;
        };
        for (Format f : {Format{32, true}, Format{24, false}, Format{8, true}, Format{4, false}, Format{1, true}}) {
            if (f.bits == 1 && !twoColours) continue;
            Canvas c(64, 48, f.bits, f.topDown, f.bits == 1 ? mono : f.bits <= 8 ? four : std::vector<RGBQUAD>{});
            drawScript(c.dc, twoColours);
            int differing = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x) differing += c.At(x, y) != reference.At(x, y);
            EXPECT_EQ(differing, 0) << f.bits << " bits, " << (f.topDown ? "top-down" : "bottom-up");
        }
    }
}

TEST(DibFormats, FloodFillWorksOnPalettedSurfaces) {
    const std::vector<RGBQUAD> four = {{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
    Canvas c(20, 20, 4, true, four);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(c.dc, white);
    HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.dc, 2, 2, 12, 12);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SelectObject(c.dc, red);
    EXPECT_TRUE(ExtFloodFill(c.dc, 5, 5, RGB(255, 255, 255), FLOODFILLBORDER));
    EXPECT_EQ(c.At(3, 3), RGB(255, 0, 0));
    EXPECT_EQ(c.At(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 2), RGB(255, 255, 255));
    EXPECT_EQ(c.At(14, 14), RGB(0, 0, 0)) << "the border holds";
    EXPECT_FALSE(ExtFloodFill(c.dc, 2, 2, RGB(255, 255, 255), FLOODFILLBORDER)) << "seed on the border";
    EXPECT_FALSE(ExtFloodFill(c.dc, 30, 5, RGB(255, 255, 255), FLOODFILLBORDER)) << "seed outside";
    SelectObject(c.dc, oldPen);
    SelectObject(c.dc, oldBrush);
    DeleteObject(white);
    DeleteObject(red);
}

TEST(DibFormats, StretchBltShrinksMirrorsAndAveragesInHalftone) {
    Canvas source(8, 2), target(4, 1);
    for (int x = 0; x < 8; ++x) {
        SetPixel(source.dc, x, 0, RGB(x * 30, 0, 0));
        SetPixel(source.dc, x, 1, RGB(x * 30, 100, 0));
    }
    EXPECT_TRUE(StretchBlt(target.dc, 0, 0, 4, 1, source.dc, 0, 0, 8, 2, SRCCOPY));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.At(x, 0), RGB(2 * x * 30, 0, 0));
    EXPECT_TRUE(StretchBlt(target.dc, 3, 0, -4, 1, source.dc, 0, 0, 8, 2, SRCCOPY));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.At(3 - x, 0), RGB(2 * x * 30, 0, 0));
    SetStretchBltMode(target.dc, HALFTONE);
    StretchBlt(target.dc, 0, 0, 4, 1, source.dc, 0, 0, 8, 2, SRCCOPY);
    EXPECT_EQ(target.At(0, 0), RGB(15, 50, 0)) << "the mean of the 2 x 2 block";
}

}  // namespace

namespace {

// Monochrome bitmaps that are not DIBs follow the DCs' colours: from colour,
// the source background becomes 1 and all else 0; to colour, 0 takes the
// text colour and 1 the background colour.
TEST(DibFormats, MonochromeBitmapsMapThroughTheDcColours) {
    Canvas colour(3, 1);
    SetPixel(colour.dc, 0, 0, RGB(10, 20, 30));
    SetPixel(colour.dc, 1, 0, RGB(200, 200, 200));
    SetBkColor(colour.dc, RGB(200, 200, 200));
    HDC maskDc = CreateCompatibleDC(nullptr);
    HBITMAP mask = CreateBitmap(3, 1, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(maskDc, mask);
    BitBlt(maskDc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(maskDc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(maskDc, 1, 0), RGB(255, 255, 255));

    Canvas back(3, 1);
    SetTextColor(back.dc, RGB(1, 2, 3));
    SetBkColor(back.dc, RGB(4, 5, 6));
    BitBlt(back.dc, 0, 0, 3, 1, maskDc, 0, 0, SRCCOPY);
    EXPECT_EQ(back.At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(back.At(1, 0), RGB(4, 5, 6));
    SelectObject(maskDc, old);
    DeleteObject(mask);
    DeleteDC(maskDc);
}

}  // namespace

// Rings of a fill can reach any size a stored record asks for: an outline
// beyond GDI's 27-bit coordinates is refused without touching the surface,
// while one far larger than the surface but within them is still clipped
// onto it.
TEST(DibFormats, EllipsesBeyondTheCoordinateRangeAreRefused) {
    Canvas canvas(16, 12);
    canvas.Clear(RGB(255, 255, 255));
    const std::vector<BYTE> blank = canvas.Bytes();
    HGDIOBJ brush = SelectObject(canvas.dc, GetStockObject(BLACK_BRUSH));
    EXPECT_FALSE(Ellipse(canvas.dc, -1078528182, -1078528176, 1078528182, 1078528176));
    EXPECT_FALSE(RoundRect(canvas.dc, 0, 0, 1 << 28, 10, 4, 4));
    EXPECT_EQ(canvas.Bytes(), blank);

    EXPECT_TRUE(Ellipse(canvas.dc, -100000, -100000, 100000, 100000));
    EXPECT_EQ(canvas.At(8, 6), RGB(0, 0, 0));  // the inside of the huge ellipse covers the surface
    SelectObject(canvas.dc, brush);
}
