#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/nearest.h"
#include "colour/remap.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/colour/settings_guard.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using colour_test::ColourSettings;
using colour_test::PictureOf;
using testing_support::BlockBytes;

namespace {

std::vector<DWORD> Column(HGLOBAL dib) {
    GlobalLockGuard<BYTE> p(dib);
    LONG height = reinterpret_cast<const BITMAPINFOHEADER*>(p.get())->biHeight;
    std::vector<DWORD> values;
    for (LONG y = 0; y < height; ++y) values.push_back(GetDibPixel(p.get(), 0, y));
    return values;
}

TEST(ToneTable, DefaultsStartLowAndReach254AtEntry215) {
    BYTE tone[256];
    BuildToneTable(20, 20, tone);
    const BYTE start[] = {1, 1, 2, 3, 4};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tone[i], start[i]) << i;
    EXPECT_EQ(tone[214], 253);
    EXPECT_EQ(tone[215], 254);
    EXPECT_EQ(tone[255], 254);
    for (int i = 1; i < 256; ++i) EXPECT_GE(tone[i], tone[i - 1]);
}

TEST(ToneTable, BrightnessShiftsAndExtremesClamp) {
    BYTE tone[256];
    BuildToneTable(0, 0, tone);  // step 1, from 0
    EXPECT_EQ(tone[0], 1);
    EXPECT_EQ(tone[100], 100);
    EXPECT_EQ(tone[255], 254);
    BuildToneTable(1000, 0, tone);
    for (BYTE v : tone) EXPECT_EQ(v, 254);
    // No contrast leaves a range to divide by once it reaches 128; it acts as 127.
    BYTE capped[256];
    BuildToneTable(200, 128, tone);
    BuildToneTable(200, 127, capped);
    EXPECT_EQ(std::vector<BYTE>(tone, tone + 256), std::vector<BYTE>(capped, capped + 256));
    BuildToneTable(200, 0xFFFFFFFF, tone);
    EXPECT_EQ(std::vector<BYTE>(tone, tone + 256), std::vector<BYTE>(capped, capped + 256));
}

TEST(DitherFrame, MatchesThePlainDitherOnRandomFramesAndPalettes) {
    std::mt19937 random(21);
    const LONG sizes[][2] = {{1, 1}, {1, 6}, {6, 1}, {9, 4}, {40, 13}};
    for (int fast = 0; fast <= 1; ++fast) {
        for (int bits : {24, 32, 8, 4}) {
            for (int depthCode = 1; depthCode <= 8; ++depthCode) {
                for (const auto& size : sizes) {
                    DWORD brightness = random() % 60, contrast = random() % 60;
                    ColourSettings settings(fast, brightness, contrast);
                    GlobalBlock source(testing_support::RandomPackedDib(random, size[0], size[1], bits));
                    BYTE palette[768];
                    int count = 1 + static_cast<int>(random() % (1 << DibBitsForDepthCode(depthCode)));
                    colour_test::RandomPalette(random, palette, count);
                    GlobalBlock out(DitherFrame(source.get(), palette, depthCode, count));
                    GlobalBlock plain(reference::DitherFrame(source.get(), palette, depthCode, count, fast,
                                                             brightness, contrast));
                    ASSERT_TRUE(out);
                    ASSERT_EQ(BlockBytes(out.get()), BlockBytes(plain.get()))
                        << "fast " << fast << " bits " << bits << " depth code " << depthCode << " size "
                        << size[0] << "x" << size[1];
                }
            }
        }
    }
}

TEST(DitherFrame, MatchesThePlainDitherOnFixedPalettes) {
    std::mt19937 random(8);
    GlobalBlock scene(colour_test::ScenePicture(random, 70, 30));
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        for (int index = 0; index <= 9; ++index) {
            BYTE palette[768];
            int depth;
            BuildFixedPalette(palette, &depth, index);
            GlobalBlock out(DitherFrame(scene.get(), palette, depth, 256));
            GlobalBlock plain(reference::DitherFrame(scene.get(), palette, depth, 256, fast, 20, 20));
            ASSERT_EQ(BlockBytes(out.get()), BlockBytes(plain.get())) << "palette " << index;
        }
    }
}

TEST(DitherFrame, OneBitSourcesAreRefused) {
    BYTE palette[768] = {};
    GlobalBlock source(CreatePackedDib(4, 4, nullptr, 1));
    EXPECT_EQ(DitherFrame(source.get(), palette, 8, 2), nullptr);
    EXPECT_EQ(DitherFrame(source.get(), palette, 1, 2), nullptr);
}

TEST(DitherFrame, AnEvenGreyPictureStaysOneToneBelowTheThreshold) {
    GlobalBlock grey(PictureOf(5, 4, [](LONG, LONG) { return RGB(100, 100, 100); }));  // grey 98
    BYTE palette[768] = {0, 0, 0, 255, 255, 255};
    {
        // Brightness 0 maps 98 to tone 96, not above the threshold 98: all 0.
        ColourSettings settings(0, 0, 20);
        GlobalBlock out(DitherFrame(grey.get(), palette, 1, 2));
        GlobalLockGuard<BYTE> p(out.get());
        for (LONG y = 0; y < 4; ++y)
            for (LONG x = 0; x < 5; ++x) EXPECT_EQ(GetDibPixel(p.get(), x, y), 0u);
    }
    {
        // The default tone of 98 is 116: all 1.
        ColourSettings settings(0);
        GlobalBlock out(DitherFrame(grey.get(), palette, 1, 2));
        GlobalLockGuard<BYTE> p(out.get());
        for (LONG y = 0; y < 4; ++y)
            for (LONG x = 0; x < 5; ++x) EXPECT_EQ(GetDibPixel(p.get(), x, y), 1u);
    }
}

// A one-pixel-wide picture passes each error only to the pixel above it in
// storage order (the next stored row), by 5/16.
TEST(DitherFrame, OnePixelWideColumnsCarryOnlyTheLowerError) {
    const int height = 12;
    GlobalBlock column(PictureOf(1, height, [](LONG, LONG) { return RGB(100, 100, 100); }));
    BYTE palette[768] = {0, 0, 0, 255, 255, 255};
    ColourSettings settings(0, 20, 20);

    GlobalBlock out(DitherFrame(column.get(), palette, 8, 2));
    std::vector<DWORD> expected(height);
    int carried = 0;
    for (int y = height - 1; y >= 0; --y) {
        int v = std::clamp(100 + carried, 0, 255);
        int index = 3 * v * v * 3 <= 3 * (255 - v) * (255 - v) * 3 ? 0 : 1;
        expected[y] = index;
        carried = (5 * (v - (index ? 255 : 0))) >> 4;
    }
    EXPECT_EQ(Column(out.get()), expected);

    // Two colours: the grey is 98 everywhere, so the threshold is 98 and the
    // errors are taken against 98 too.
    GlobalBlock bits(DitherFrame(column.get(), palette, 1, 2));
    BYTE tone[256];
    BuildToneTable(20, 20, tone);
    int grey = 98;
    for (int y = height - 1; y >= 0; --y) {
        int v = tone[grey];
        expected[y] = v > 98;
        int q = (v - 98) >> 4;
        grey = std::clamp(98 + 5 * q, 0, 255);
    }
    EXPECT_EQ(Column(bits.get()), expected);
}

TEST(DitherFrame, ErrorsTravelUpwardFromTheBottomRow) {
    // Bottom row mid grey, top row black: the bottom row's rounding error
    // lands in the top row; never the other way round.
    GlobalBlock source(PictureOf(2, 2, [](LONG, LONG y) { return y ? RGB(100, 100, 100) : RGB(0, 0, 0); }));
    BYTE palette[768] = {0, 0, 0, 255, 255, 255, 50, 50, 50};
    ColourSettings settings(0);
    GlobalBlock out(DitherFrame(source.get(), palette, 8, 3));
    GlobalBlock plain(reference::DitherFrame(source.get(), palette, 8, 3, false, 20, 20));
    EXPECT_EQ(BlockBytes(out.get()), BlockBytes(plain.get()));
    GlobalLockGuard<BYTE> p(out.get());
    EXPECT_EQ(GetDibPixel(p.get(), 0, 1), 2u);  // 100: nearer 50 than 255, error +50
    EXPECT_EQ(GetDibPixel(p.get(), 1, 1), 2u);  // 100 + 21 = 121
    // Black plus 5/16 of 50 and 3/16 of 71 is 28, nearer 50 than black;
    // run top row first it would have stayed black.
    EXPECT_EQ(GetDibPixel(p.get(), 0, 0), 2u);
}

TEST(DitherFrame, OutOfMemoryReturnsNoneAndLeaksNothing) {
    std::mt19937 random(4);
    GlobalBlock source(testing_support::RandomPackedDib(random, 19, 7, 24));
    GlobalBlock indexed(testing_support::RandomPackedDib(random, 19, 7, 4));
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 7);
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        for (HGLOBAL s : {source.get(), indexed.get()})
            for (int depthCode : {1, 3, 8})
                EXPECT_GE(testing_support::WalkBlockFailures([&] { return DitherFrame(s, palette, depthCode, 256); }),
                          2);
    }
}

}  // namespace
