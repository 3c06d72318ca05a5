#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "image/packed_dib.h"
#include "image/resample.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "tests/effects/marker_effect_test.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using marker_tests::PictureSize;
using marker_tests::PixelAt;
using testing_support::EffectIndex;
using testing_support::SameBlock;

constexpr int kSizeList = 668;
constexpr int kGutterField = 670;
constexpr int kBackgroundButton = 672;
constexpr int kDelayField = 674;
constexpr int kPauseField = 676;
constexpr int kFadeFramesField = 678;
constexpr int kSeedField = 680;
constexpr int kRandomBox = 682;
constexpr int kDistressedBox = 683;
constexpr int kFrameWidthField = 684;

class Matrix : public marker_tests::MarkerEffectTest {
protected:
    const int effect = EffectIndex("Matrix");

    // Grid of n x n cells.
    void Grid(int n) { SelectItem(kSizeList, n - 2); }
    void Background(COLORREF colour) { SetText(kBackgroundButton, std::to_string(colour)); }

    // Whether the rectangle (x, y, w, h) of two pictures holds the same pixels.
    static bool SameArea(HGLOBAL a, LONG ax, LONG ay, HGLOBAL b, LONG bx, LONG by, LONG w, LONG h) {
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x)
                if (PixelAt(a, ax + x, ay + y) != PixelAt(b, bx + x, by + y)) return false;
        return true;
    }
    // Whether every pixel of the rectangle is colour.
    static bool Plain(HGLOBAL picture, RECT area, COLORREF colour) {
        for (LONG y = area.top; y < area.bottom; ++y)
            for (LONG x = area.left; x < area.right; ++x)
                if (PixelAt(picture, x, y) != colour) return false;
        return true;
    }
    // Cell i of an n x n grid of tiles w x h with gutter g, in reading order.
    static RECT Cell(int i, int n, LONG w, LONG h, LONG g) {
        const LONG x = (w + g) * (i % n) + g, y = (h + g) * (i / n) + g;
        return RECT{x, y, x + w, y + h};
    }
    // The cells, in the order the copy arrives in them, of a build whose
    // tiles all differ from the background (tile k arrives in frame (k+1) F,
    // resting fully where the preview shows it).
    std::vector<int> ArrivalOrder(const testing_support::BuiltFrames& frames, HGLOBAL preview, int n, int fades,
                                  LONG w, LONG h, LONG g) {
        std::vector<int> order;
        for (int k = 0; k < n * n; ++k) {
            HGLOBAL frame = frames[(k + 1) * fades].image;
            int found = -1;
            for (int c = 0; c < n * n; ++c) {
                RECT cell = Cell(c, n, w, h, g);
                if (SameArea(frame, cell.left, cell.top, preview, cell.left, cell.top, w, h) &&
                    !Plain(frame, cell, RGB(0, 0, 0))) {
                    EXPECT_EQ(found, -1) << "two cells full in frame " << (k + 1) * fades;
                    found = c;
                }
            }
            order.push_back(found);
        }
        return order;
    }
};

TEST(MatrixTexture, IsAGreyCloudOfItsStatedSizeAndRange) {
    HMODULE module = PluginModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCE(7151), RT_BITMAP);
    ASSERT_NE(resource, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, resource)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 256);
    EXPECT_EQ(header->biHeight, 256);
    EXPECT_EQ(header->biBitCount, 24);
    const BYTE* bits = reinterpret_cast<const BYTE*>(header) + header->biSize;
    int low = 255, high = 0;
    std::set<int> levels;
    for (int i = 0; i < 256 * 256; ++i) {
        const BYTE* p = bits + 3 * i;
        ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << i;
        low = std::min<int>(low, p[0]);
        high = std::max<int>(high, p[0]);
        levels.insert(p[0]);
    }
    EXPECT_GE(low, 20);
    EXPECT_LE(low, 30);
    EXPECT_GE(high, 185);
    EXPECT_LE(high, 200);
    EXPECT_GT(levels.size(), 100u);  // clouded, not a few flat patches
}

TEST_F(Matrix, FramesAreTheSizeOfTheGrid) {
    UsePicture(640, 480);
    Grid(4);
    SetField(kGutterField, 2);
    SetField(kFrameWidthField, 0);
    SetField(kFadeFramesField, 2);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_EQ(PictureSize(preview.get()).cx, 650);
    EXPECT_EQ(PictureSize(preview.get()).cy, 490);
    // Every cell holds the picture reduced to 160 x 120, with gutters between.
    GlobalBlock source = Source();
    GlobalBlock tile(ResizeDib(source.get(), 160, 120, 0, 1.0));
    ASSERT_TRUE(tile);
    for (int c = 0; c < 16; ++c) {
        RECT cell = Cell(c, 4, 160, 120, 2);
        EXPECT_TRUE(SameArea(preview.get(), cell.left, cell.top, tile.get(), 0, 0, 160, 120)) << c;
    }
    EXPECT_TRUE(Plain(preview.get(), RECT{0, 0, 650, 2}, RGB(0, 0, 0)));
    EXPECT_TRUE(Plain(preview.get(), RECT{162, 0, 164, 490}, RGB(0, 0, 0)));
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 16 * 2 + 1);
    for (int i = 0; i < frames.count(); ++i) {
        EXPECT_EQ(PictureSize(frames[i].image).cx, 650) << i;
        EXPECT_EQ(PictureSize(frames[i].image).cy, 490) << i;
    }
}

TEST_F(Matrix, TwoByTwoWithSixteenFadeFramesGivesSixtyFiveFrames) {
    UsePicture(64, 48);
    Grid(2);
    SetField(kFadeFramesField, 16);
    SetField(kDelayField, 3);
    SetField(kPauseField, 50);
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 65);
    // A tile arrives fully every 16 frames and holds that frame for the Pause.
    for (int i = 0; i < 65; ++i) EXPECT_EQ(frames[i].delay, i > 0 && i % 16 == 0 ? 50u : 3u) << i;
    // With a Pause shorter than the Delay, an arrival frame in which other
    // tiles still fade after it takes the longer of the two; the last tile
    // arrives after every other was drawn, and its frame keeps the Pause.
    SetField(kPauseField, 1);
    auto quick = Build(effect);
    ASSERT_EQ(quick.count(), 65);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(quick[i].delay, 3u) << i;
    EXPECT_EQ(quick[64].delay, 1u);
}

TEST_F(Matrix, TheCopyTravelsInReadingOrderOrAtRandomFromTheFirstCell) {
    UsePicture(90, 90);
    Grid(3);
    SetField(kGutterField, 3);
    SetField(kFadeFramesField, 2);
    SetCheck(kRandomBox, false);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    auto reading = Build(effect);
    ASSERT_EQ(reading.count(), 9 * 2 + 1);
    EXPECT_EQ(ArrivalOrder(reading, preview.get(), 3, 2, 30, 30, 3), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));

    SetCheck(kRandomBox, true);
    std::set<std::vector<int>> orders;
    for (int seed : {1, 2, 3, 500}) {
        SetField(kSeedField, seed);
        GlobalBlock shown = Preview(effect);
        auto frames = Build(effect);
        std::vector<int> order = ArrivalOrder(frames, shown.get(), 3, 2, 30, 30, 3);
        EXPECT_EQ(order[0], 0) << seed;
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8})) << seed;  // every cell once
        orders.insert(order);
    }
    EXPECT_GT(orders.size(), 2u);
}

TEST_F(Matrix, TheFirstAndLastFramesBothShowTheLastCellFully) {
    UsePicture(60, 60);
    Grid(2);
    SetField(kGutterField, 2);
    SetField(kFadeFramesField, 4);
    SetCheck(kRandomBox, false);
    Background(RGB(10, 20, 30));
    GlobalBlock preview = Preview(effect);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 17);
    const RECT last = Cell(3, 2, 30, 30, 2);
    for (int i : {0, 16})
        EXPECT_TRUE(SameArea(frames[i].image, last.left, last.top, preview.get(), last.left, last.top, 30, 30)) << i;
    // Frame 0 shows nothing else: tile 0 starts its fade at opacity 0.
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(Plain(frames[0].image, Cell(c, 2, 30, 30, 2), RGB(10, 20, 30))) << c;
    // The last frame still shows the tile before the last at 1 / F, as the
    // frame before frame 0 would.
    EXPECT_FALSE(Plain(frames[16].image, Cell(2, 2, 30, 30, 2), RGB(10, 20, 30)));
    for (int i = 0; i < 17; i += 4) marker_tests::WritePng(frames[i].image, "matrix_" + std::to_string(i) + ".png");
}

TEST_F(Matrix, FadesBlendTheTileOverTheBackgroundStepByStep) {
    UsePlainPicture(40, 40, RGB(200, 100, 0));
    Grid(2);
    SetField(kGutterField, 0);
    SetField(kFrameWidthField, 0);
    SetField(kFadeFramesField, 4);
    SetCheck(kRandomBox, false);
    Background(RGB(0, 0, 100));
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    const COLORREF tile = PixelAt(preview.get(), 5, 5);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 17);
    // Tile 0 (cell 0) fades in over frames 0..3 at 0, 1/4, 2/4, 3/4 and
    // arrives in frame 4; then fades out at 1, 3/4, 2/4, 1/4.
    auto blend = [&](double opacity) {
        const int a = static_cast<int>(static_cast<float>(opacity) * 255.0);
        return RGB(GetRValue(tile) * a / 255, GetGValue(tile) * a / 255, 100 * (255 - a) / 255 + GetBValue(tile) * a / 255);
    };
    const double expected[] = {0, 0.25, 0.5, 0.75, 1, 1, 0.75, 0.5, 0.25, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(PixelAt(frames[i].image, 5, 5), blend(expected[i])) << i;
}

TEST_F(Matrix, FramesFadeFromTheBackgroundColourInwards) {
    UsePlainPicture(80, 80, RGB(255, 255, 255));
    Grid(2);
    SetField(kGutterField, 0);
    SetField(kFrameWidthField, 20);
    Background(RGB(0, 0, 0));
    SetCheck(kDistressedBox, false);
    GlobalBlock plain = Preview(effect);
    ASSERT_TRUE(plain);
    // Along the middle of a tile: dark at its edge, brightening inwards,
    // the picture itself in its middle.
    std::vector<int> row;
    for (LONG x = 0; x < 40; ++x) row.push_back(static_cast<int>(PixelAt(plain.get(), x, 20) & 0xFF));
    EXPECT_LT(row[0], 60);
    for (int x = 1; x < 10; ++x) EXPECT_GE(row[x], row[x - 1]) << x;
    EXPECT_EQ(row[20], 255);
    // Without distress all four tiles are framed alike; with it, each has its
    // own texture offset.
    EXPECT_TRUE(SameArea(plain.get(), 0, 0, plain.get(), 40, 40, 40, 40));
    SetCheck(kDistressedBox, true);
    GlobalBlock distressed = Preview(effect);
    ASSERT_TRUE(distressed);
    EXPECT_FALSE(SameBlock(plain.get(), distressed.get()));
    EXPECT_FALSE(SameArea(distressed.get(), 0, 0, distressed.get(), 40, 40, 40, 40));
    marker_tests::WritePng(plain.get(), "matrix_framed.png");
    marker_tests::WritePng(distressed.get(), "matrix_distressed.png");
}

TEST_F(Matrix, WithoutAFrameTheTilesArePlainReducedPictures) {
    UsePicture(100, 80);
    Grid(2);
    SetField(kGutterField, 4);
    SetField(kFrameWidthField, 0);
    GlobalBlock preview = Preview(effect);
    GlobalBlock source = Source();
    GlobalBlock tile(ResizeDib(source.get(), 50, 40, 0, 1.0));
    ASSERT_TRUE(preview && tile);
    for (int c = 0; c < 4; ++c) {
        RECT cell = Cell(c, 2, 50, 40, 4);
        EXPECT_TRUE(SameArea(preview.get(), cell.left, cell.top, tile.get(), 0, 0, 50, 40)) << c;
    }
}

TEST_F(Matrix, TheBackgroundColourIsAskedWithZeroOnly) {
    Background(RGB(1, 2, 3));
    EXPECT_EQ(EffectTable[effect].BackgroundColour(dialog, 0), RGB(1, 2, 3));
    EXPECT_EQ(EffectTable[effect].BackgroundColour(dialog, 1), kNoBackground);
}

TEST_F(Matrix, EqualSettingsGiveEqualFramesAndTheSeedTheOrder) {
    UsePicture(48, 48);
    Grid(3);
    SetField(kFadeFramesField, 2);
    SetField(kSeedField, 77);
    auto a = Build(effect);
    auto b = Build(effect);
    ASSERT_EQ(a.count(), 19);
    ASSERT_EQ(b.count(), 19);
    for (int i = 0; i < 19; ++i) EXPECT_TRUE(SameBlock(a[i].image, b[i].image)) << i;
    SetField(kSeedField, 78);
    auto c = Build(effect);
    bool differs = false;
    for (int i = 0; i < 19; ++i) differs = differs || !SameBlock(a[i].image, c[i].image);
    EXPECT_TRUE(differs);
}

TEST_F(Matrix, PicturesTooSmallForTheGridFailCleanly) {
    Grid(8);
    for (SIZE size : {SIZE{7, 20}, SIZE{1, 1}}) {  // cells 0 pixels wide
        UsePicture(size.cx, size.cy);
        const std::size_t blocks = luma::LiveGlobalBlocks();
        EXPECT_EQ(Build(effect).result, 0) << size.cx;
        EXPECT_FALSE(Preview(effect)) << size.cx;
        EXPECT_EQ(luma::LiveGlobalBlocks(), blocks) << size.cx;
    }
    UsePicture(8, 8);  // cells of one pixel, framed
    auto tiny = Build(effect);
    ASSERT_EQ(tiny.result, 1);
    EXPECT_EQ(PictureSize(tiny[0].image).cx, 8 + 9 * 2);
}

TEST_F(Matrix, FailuresFreeEverything) {
    // The sample picture: a loaded one would fall back on it when its copy fails.
    Grid(2);
    SetField(kFadeFramesField, 2);
    SetCheck(kDistressedBox, true);
    EXPECT_GT(testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; }), 10);
    EXPECT_GT(testing_support::WalkBlockFailures([&] { return Preview(effect).release(); }), 5);
}

TEST_F(Matrix, GoldenDigestOfASmallBuild) {
    UsePicture(64, 48);
    Grid(2);
    SetField(kFadeFramesField, 4);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 17);
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "29da08aa7b5d17ad5bbaa832f5aedd3b102fde4dae65ee652459ee37067040a9");
}

}  // namespace
