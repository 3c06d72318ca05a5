// Fonts, text output and DrawText's layout.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/gdi/canvas.h"

namespace {

struct SelectedFont {
    HDC dc;
    HFONT font;
    HGDIOBJ previous;
    SelectedFont(HDC d, int height, const char* face, int weight = 0) : dc(d) {
        font = CreateFont(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
        previous = SelectObject(dc, font);
    }
    ~SelectedFont() {
        SelectObject(dc, previous);
        DeleteObject(font);
    }
};

int extent(HDC dc, const char* text) {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32(dc, text, static_cast<int>(std::strlen(text)), &size));
    return size.cx;
}

TEST(Fonts, PositiveHeightsAreCellHeightsAndNegativeOnesEmHeights) {
    Canvas c(10, 10);
    struct Case {
        int height;
        const char* face;
    };
    for (Case k : {Case{14, "Arial"}, Case{12, "Arial"}, Case{14, "MS Sans Serif"}, Case{-11, "MS Sans Serif"}}) {
        SelectedFont f(c.dc, k.height, k.face);
        TEXTMETRIC tm{};
        ASSERT_TRUE(GetTextMetrics(c.dc, &tm)) << k.face;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        if (k.height > 0)
            EXPECT_EQ(tm.tmHeight, k.height) << k.face;
        else
            EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, -k.height, 1) << k.face;
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_LT(tm.tmAveCharWidth, tm.tmHeight);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
        EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
        char face[LF_FACESIZE];
        EXPECT_GT(GetTextFace(c.dc, sizeof face, face), 0);
        EXPECT_STREQ(face, k.face);
    }
}

TEST(Fonts, ExtentsAddUpAndHaveTheCellHeight) {
    Canvas c(10, 10);
    SelectedFont f(c.dc, 14, "Arial");
    TEXTMETRIC tm{};
    GetTextMetrics(c.dc, &tm);
    SIZE empty{};
    EXPECT_TRUE(GetTextExtentPoint32(c.dc, "", 0, &empty));
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, tm.tmHeight);
    EXPECT_EQ(extent(c.dc, "Lumafex"), extent(c.dc, "Luma") + extent(c.dc, "fex"));
    EXPECT_GT(extent(c.dc, "W"), extent(c.dc, "i")) << "a proportional face";
    SelectedFont bold(c.dc, 14, "Arial", FW_BOLD);
    EXPECT_GE(extent(c.dc, "Lumafex"), extent(c.dc, "Luma") + extent(c.dc, "fex") - 1);
}

TEST(TextOutput, InkStaysInTheCellAndOpaqueModeFillsIt) {
    Canvas c(80, 30);
    c.Clear(RGB(255, 255, 255));
    SelectedFont f(c.dc, 14, "Arial");
    SetBkMode(c.dc, TRANSPARENT);
    SetTextColor(c.dc, RGB(0, 0, 0));
    ASSERT_TRUE(TextOut(c.dc, 10, 8, "Hello", 5));
    RECT ink = c.InkBox(RGB(255, 255, 255));
    SIZE size{};
    GetTextExtentPoint32(c.dc, "Hello", 5, &size);
    EXPECT_LT(ink.left, ink.right) << "something was drawn";
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + size.cx);
    EXPECT_GE(ink.top, 8);
    EXPECT_LE(ink.bottom, 8 + size.cy);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            COLORREF p = c.At(x, y);
            EXPECT_TRUE(p == RGB(255, 255, 255) || p == RGB(0, 0, 0)) << "aliased text has no grey";
        }

    c.Clear(RGB(255, 255, 255));
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(0, 0, 200));
    TextOut(c.dc, 10, 8, "Hello", 5);
    RECT box = c.InkBox(RGB(255, 255, 255));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 8);
    EXPECT_EQ(box.right, 10 + size.cx);
    EXPECT_EQ(box.bottom, 8 + size.cy);
}

TEST(TextOutput, AlignmentMovesTheReferencePoint) {
    Canvas a(100, 30), b(100, 30);
    for (Canvas* c : {&a, &b}) c->Clear(RGB(255, 255, 255));
    SelectedFont fa(a.dc, 12, "Arial"), fb(b.dc, 12, "Arial");
    SetBkMode(a.dc, TRANSPARENT);
    SetBkMode(b.dc, TRANSPARENT);
    TEXTMETRIC tm{};
    GetTextMetrics(a.dc, &tm);
    int w = extent(a.dc, "Centre");
    TextOut(a.dc, 50 - w / 2, 20 - tm.tmAscent, "Centre", 6);
    SetTextAlign(b.dc, TA_CENTER | TA_BASELINE);
    TextOut(b.dc, 50, 20, "Centre", 6);
    EXPECT_EQ(a.Bytes(), b.Bytes());
}

TEST(TextOutput, ClippingCutsTextWithoutMovingIt) {
    Canvas whole(90, 24), clipped(90, 24);
    for (Canvas* c : {&whole, &clipped}) {
        c->Clear(RGB(255, 255, 255));
        SetBkMode(c->dc, TRANSPARENT);
    }
    SelectedFont f1(whole.dc, 14, "Arial"), f2(clipped.dc, 14, "Arial");
    IntersectClipRect(clipped.dc, 20, 0, 45, 24);
    TextOut(whole.dc, 4, 4, "Clipping text", 13);
    TextOut(clipped.dc, 4, 4, "Clipping text", 13);
    SelectClipRgn(clipped.dc, nullptr);
    int inkInside = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 90; ++x) {
            bool inside = x >= 20 && x < 45;
            if (inside) {
                EXPECT_EQ(clipped.At(x, y), whole.At(x, y)) << x << "," << y;
                inkInside += whole.At(x, y) != RGB(255, 255, 255);
            } else {
                EXPECT_EQ(clipped.At(x, y), RGB(255, 255, 255)) << x << "," << y;
            }
        }
    EXPECT_GT(inkInside, 0);
}

TEST(TextLayout, CentresASingleLineInTheRectangle) {
    Canvas drawn(120, 40), manual(120, 40);
    for (Canvas* c : {&drawn, &manual}) {
        c->Clear(RGB(255, 255, 255));
        SetBkMode(c->dc, TRANSPARENT);
    }
    SelectedFont f1(drawn.dc, 14, "MS Sans Serif"), f2(manual.dc, 14, "MS Sans Serif");
    RECT r{10, 5, 110, 35};
    int returned = DrawText(drawn.dc, "Select...", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SIZE size{};
    GetTextExtentPoint32(manual.dc, "Select...", 9, &size);
    int x = 10 + (100 - size.cx) / 2, y = 5 + (30 - size.cy) / 2;
    TextOut(manual.dc, x, y, "Select...", 9);
    EXPECT_EQ(drawn.Bytes(), manual.Bytes());
    EXPECT_EQ(returned, y + size.cy - 5) << "offset from the top to the bottom of the text";
}

TEST(TextLayout, CalcRectMeasuresWithoutDrawing) {
    Canvas c(60, 60);
    c.Clear(RGB(255, 255, 255));
    SelectedFont f(c.dc, 12, "Arial");
    RECT r{3, 4, 200, 200};
    std::vector<BYTE> before = c.Bytes();
    int height = DrawText(c.dc, "two\nlines", -1, &r, DT_CALCRECT);
    TEXTMETRIC tm{};
    GetTextMetrics(c.dc, &tm);
    EXPECT_EQ(height, 2 * tm.tmHeight);
    EXPECT_EQ(r.bottom, 4 + 2 * tm.tmHeight);
    EXPECT_EQ(r.right, 3 + std::max(extent(c.dc, "two"), extent(c.dc, "lines")));
    EXPECT_EQ(c.Bytes(), before);
}

TEST(TextLayout, PathEllipsisShortensThePathInTheMiddle) {
    Canvas c(300, 30);
    SelectedFont f(c.dc, 14, "MS Sans Serif");
    char path[] = "/home/someone/Pictures/holidays/2026/summer/by the sea/picture.png";
    const std::string original = path;
    RECT r{0, 0, 170, 20};
    DrawText(c.dc, path, -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING);
    std::string shortened = path;
    ASSERT_NE(shortened, original);
    std::size_t dots = shortened.find("...");
    ASSERT_NE(dots, std::string::npos);
    EXPECT_EQ(shortened.substr(dots + 3), "/picture.png") << "the file name stays whole";
    EXPECT_EQ(original.compare(0, dots, shortened, 0, dots), 0) << "the start of the path stays";
    EXPECT_GT(dots, 5u);
    EXPECT_LE(extent(c.dc, path), 170);

    char fits[] = "/short/path.png";
    RECT wide{0, 0, 300, 20};
    DrawText(c.dc, fits, -1, &wide, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING);
    EXPECT_STREQ(fits, "/short/path.png");
}

TEST(TextLayout, EndEllipsisKeepsTheStart) {
    Canvas c(200, 30);
    SelectedFont f(c.dc, 14, "Arial");
    char text[] = "A rather long caption for a small button";
    RECT r{0, 0, 80, 20};
    DrawText(c.dc, text, -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING);
    std::string out = text;
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.substr(out.size() - 3), "...");
    EXPECT_EQ(std::string("A rather long caption").compare(0, out.size() - 3, out, 0, out.size() - 3), 0);
    EXPECT_LE(extent(c.dc, text), 80);
}

TEST(TextLayout, PrefixesUnderlineTheirLetterUnlessTurnedOff) {
    Canvas plain(80, 24), prefixed(80, 24);
    for (Canvas* c : {&plain, &prefixed}) {
        c->Clear(RGB(255, 255, 255));
        SetBkMode(c->dc, TRANSPARENT);
    }
    SelectedFont f1(plain.dc, 14, "Arial"), f2(prefixed.dc, 14, "Arial");
    RECT r{2, 2, 78, 22};
    DrawText(plain.dc, "Test", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    DrawText(prefixed.dc, "&Test", -1, &r, DT_SINGLELINE);
    int differing = 0, firstRow = -1;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 80; ++x)
            if (plain.At(x, y) != prefixed.At(x, y)) {
                ++differing;
                EXPECT_EQ(prefixed.At(x, y), RGB(0, 0, 0));
                if (firstRow < 0) firstRow = y;
                EXPECT_EQ(y, firstRow) << "only the underline row differs";
                EXPECT_LT(x, 2 + extent(plain.dc, "T"));
            }
    EXPECT_GT(differing, 0);

    Canvas literal(80, 24);
    literal.Clear(RGB(255, 255, 255));
    SetBkMode(literal.dc, TRANSPARENT);
    SelectedFont f3(literal.dc, 14, "Arial");
    DrawText(literal.dc, "&Test", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_NE(literal.Bytes(), plain.Bytes()) << "with no prefix processing the '&' is drawn";
}

}  // namespace
