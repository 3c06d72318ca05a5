#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/nearest.h"
#include "colour/remap.h"
#include "image/packed_dib.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "settings/settings.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/colour/settings_guard.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using colour_test::ColourSettings;
using colour_test::PictureOf;
using testing_support::BlockBytes;

namespace {

DWORD Pixel(HGLOBAL dib, LONG x, LONG y) {
    GlobalLockGuard<BYTE> p(dib);
    return GetDibPixel(p.get(), x, y);
}

// Every source depth into every depth code, both searches, against the plain form.
TEST(RemapFrame, MatchesThePlainRemapOnRandomFramesAndPalettes) {
    std::mt19937 random(11);
    const LONG sizes[][2] = {{1, 1}, {1, 5}, {7, 3}, {33, 9}, {64, 17}};
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        for (int bits : {24, 32, 8, 4, 1}) {
            for (int depthCode = 1; depthCode <= 8; ++depthCode) {
                for (const auto& size : sizes) {
                    GlobalBlock source(testing_support::RandomPackedDib(random, size[0], size[1], bits));
                    BYTE palette[768];
                    int tableEntries = 1 << DibBitsForDepthCode(depthCode);
                    int count = 1 + static_cast<int>(random() % tableEntries);
                    colour_test::RandomPalette(random, palette, count);
                    GlobalBlock fastOut(RemapFrame(source.get(), palette, depthCode, count));
                    GlobalBlock plainOut(reference::RemapFrame(source.get(), palette, depthCode, count, fast));
                    ASSERT_TRUE(fastOut);
                    ASSERT_EQ(BlockBytes(fastOut.get()), BlockBytes(plainOut.get()))
                        << "fast " << fast << " bits " << bits << " depth code " << depthCode << " size "
                        << size[0] << "x" << size[1] << " count " << count;
                }
            }
        }
    }
}

// A picture resembling a rendered frame (long runs, many repeats) to the fixed palettes.
TEST(RemapFrame, MatchesThePlainRemapOnFixedPalettes) {
    std::mt19937 random(5);
    GlobalBlock scene(colour_test::ScenePicture(random, 90, 40));
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        for (int index = 0; index <= 9; ++index) {
            BYTE palette[768];
            int depth;
            BuildFixedPalette(palette, &depth, index);
            GlobalBlock out(RemapFrame(scene.get(), palette, depth, 256));
            GlobalBlock plain(reference::RemapFrame(scene.get(), palette, depth, 256, fast));
            ASSERT_EQ(BlockBytes(out.get()), BlockBytes(plain.get())) << "palette " << index << " fast " << fast;
        }
    }
}

TEST(RemapFrame, ResultCarriesThePaletteAsItsTable) {
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 1);
    GlobalBlock source(PictureOf(3, 2, [](LONG, LONG) { return RGB(250, 5, 5); }));
    GlobalBlock out(RemapFrame(source.get(), palette, 4, 16));
    ASSERT_TRUE(out);
    GlobalLockGuard<BYTE> p(out.get());
    auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p.get());
    EXPECT_EQ(h->biBitCount, 4);
    BYTE table[768];
    DibTableToTriplets(p.get(), table);
    EXPECT_EQ(std::memcmp(table, palette, 48), 0);
    EXPECT_EQ(GetDibPixel(p.get(), 2, 1), 9u);  // (255, 0, 0)
}

TEST(RemapFrame, OneBitResultsSplitAtLuminance129) {
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 0);
    GlobalBlock source(PictureOf(3, 1, [](LONG x, LONG) {
        const COLORREF c[] = {RGB(128, 128, 128), RGB(130, 130, 130), RGB(129, 129, 129)};
        return c[x];
    }));
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        GlobalBlock out(RemapFrame(source.get(), palette, 1, 2));
        EXPECT_EQ(Pixel(out.get(), 0, 0), 0u);  // luminance 127
        EXPECT_EQ(Pixel(out.get(), 1, 0), 1u);  // luminance 129
        EXPECT_EQ(Pixel(out.get(), 2, 0), 0u);  // luminance 127
    }
    // A paletted source splits on the luminance of its table colours.
    GlobalBlock indexed(CreatePackedDib(2, 1, nullptr, 8));
    {
        GlobalLockGuard<BYTE> p(indexed.get());
        RGBQUAD* table = reinterpret_cast<RGBQUAD*>(p.get() + 40);
        table[3] = {130, 130, 130, 0};
        table[4] = {128, 128, 128, 0};
        SetDibPixel(p.get(), 0, 0, 3);
        SetDibPixel(p.get(), 1, 0, 4);
    }
    GlobalBlock out(RemapFrame(indexed.get(), palette, 1, 2));
    EXPECT_EQ(Pixel(out.get(), 0, 0), 1u);
    EXPECT_EQ(Pixel(out.get(), 1, 0), 0u);
}

TEST(RemapFrame, FastRemapKeepsExactEntriesOverTheCacheCell) {
    BYTE palette[768] = {};
    palette[3] = palette[4] = palette[5] = 7;  // entry 1; cell 0 answers entry 0 (black)
    GlobalBlock source(PictureOf(2, 1, [](LONG x, LONG) { return x ? RGB(6, 6, 6) : RGB(7, 7, 7); }));
    ColourSettings fast(1);
    GlobalBlock out(RemapFrame(source.get(), palette, 8, 2));
    EXPECT_EQ(Pixel(out.get(), 0, 0), 1u);
    EXPECT_EQ(Pixel(out.get(), 1, 0), 0u);
    FastRemap = 0;
    GlobalBlock exact(RemapFrame(source.get(), palette, 8, 2));
    EXPECT_EQ(Pixel(exact.get(), 1, 0), 1u);
}

TEST(RemapFrame, OneBitSourcesTakeTheWhiteAndBlackEntries) {
    BYTE palette[768] = {};
    const BYTE colours[] = {250, 250, 250, 10, 10, 10, 255, 255, 255, 0, 0, 0};
    std::memcpy(palette, colours, sizeof colours);
    GlobalBlock source(CreatePackedDib(9, 2, nullptr, 1));
    {
        GlobalLockGuard<BYTE> p(source.get());
        SetDibPixel(p.get(), 8, 1, 1);
        SetDibPixel(p.get(), 0, 0, 1);
    }
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        GlobalBlock out(RemapFrame(source.get(), palette, 8, 4));
        EXPECT_EQ(Pixel(out.get(), 8, 1), 2u);
        EXPECT_EQ(Pixel(out.get(), 0, 0), 2u);
        EXPECT_EQ(Pixel(out.get(), 1, 0), 3u);
        // Without an exact white the cache cell 32767 answers, here entry 0.
        GlobalBlock near(RemapFrame(source.get(), palette, 8, 2));
        EXPECT_EQ(Pixel(near.get(), 0, 0), 0u);
        EXPECT_EQ(Pixel(near.get(), 1, 0), 1u);
        // Into one bit the source bit passes through.
        GlobalBlock bits(RemapFrame(source.get(), palette, 1, 4));
        EXPECT_EQ(Pixel(bits.get(), 8, 1), 1u);
        EXPECT_EQ(Pixel(bits.get(), 1, 0), 0u);
    }
}

TEST(RemapFrame, PalettedSourcesSearchEveryEntryTheDepthHolds) {
    // Three grey entries; the fourth, beyond the count, is black and still a candidate.
    BYTE palette[768] = {100, 100, 100, 150, 150, 150, 200, 200, 200};
    GlobalBlock source(CreatePackedDib(2, 1, nullptr, 8));
    {
        GlobalLockGuard<BYTE> p(source.get());
        RGBQUAD* table = reinterpret_cast<RGBQUAD*>(p.get() + 40);
        table[1] = {5, 5, 5, 0};
        table[2] = {190, 190, 190, 0};
        SetDibPixel(p.get(), 0, 0, 1);
        SetDibPixel(p.get(), 1, 0, 2);
    }
    GlobalBlock out(RemapFrame(source.get(), palette, 2, 3));
    EXPECT_EQ(Pixel(out.get(), 0, 0), 3u);
    EXPECT_EQ(Pixel(out.get(), 1, 0), 2u);
}

TEST(RemapFrame, NeverChoosesAnEntryTheResultTableLacks) {
    // Entry 20 matches exactly, but a 4-bit result has sixteen entries.
    BYTE palette[768] = {};
    for (int i = 0; i < 32; ++i) palette[i * 3] = static_cast<BYTE>(i * 8);
    GlobalBlock source(PictureOf(1, 1, [](LONG, LONG) { return RGB(160, 0, 0); }));
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        GlobalBlock out(RemapFrame(source.get(), palette, 4, 32));
        EXPECT_EQ(Pixel(out.get(), 0, 0), 15u);
        GlobalBlock dithered(DitherFrame(source.get(), palette, 4, 32));
        EXPECT_EQ(Pixel(dithered.get(), 0, 0), 15u);
    }
}

TEST(RemapFrame, RefusesWhatItCannotUse) {
    BYTE palette[768] = {};
    GlobalBlock source(PictureOf(2, 2, [](LONG, LONG) { return RGB(1, 2, 3); }));
    EXPECT_EQ(RemapFrame(source.get(), palette, 0, 2), nullptr);
    EXPECT_EQ(RemapFrame(source.get(), palette, 9, 2), nullptr);
    EXPECT_EQ(RemapFrame(source.get(), palette, 24, 2), nullptr);
    EXPECT_EQ(RemapFrame(source.get(), nullptr, 8, 2), nullptr);
    EXPECT_EQ(RemapFrame(nullptr, palette, 8, 2), nullptr);
    {
        GlobalLockGuard<BYTE> p(source.get());
        reinterpret_cast<BITMAPINFOHEADER*>(p.get())->biWidth = 5000;  // more rows than the block holds
    }
    EXPECT_EQ(RemapFrame(source.get(), palette, 8, 2), nullptr);
    EXPECT_EQ(DitherFrame(source.get(), palette, 8, 2), nullptr);
}

TEST(RemapFrame, OutOfMemoryReturnsNoneAndLeaksNothing) {
    std::mt19937 random(3);
    GlobalBlock source(testing_support::RandomPackedDib(random, 21, 6, 24));
    GlobalBlock indexed(testing_support::RandomPackedDib(random, 21, 6, 8));
    GlobalBlock bits(testing_support::RandomPackedDib(random, 21, 6, 1));
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast);
        for (HGLOBAL s : {source.get(), indexed.get(), bits.get()})
            for (int depthCode : {1, 4, 8})
                EXPECT_GE(testing_support::WalkBlockFailures([&] { return RemapFrame(s, palette, depthCode, 256); }),
                          1);
    }
}

}  // namespace

namespace {

// Frames of one animation: a shared scene whose colours recur from frame to
// frame, with some colours of their own, and a frame of another depth.
std::vector<GlobalBlock> Sequence(std::mt19937& random, int frames) {
    std::vector<COLORREF> scene(300);
    for (COLORREF& c : scene) c = random() & 0xFFFFFF;
    std::vector<GlobalBlock> sequence;
    for (int i = 0; i < frames; ++i) {
        const LONG width = 19 + i % 3, height = 11;
        GlobalBlock frame(CreatePackedDib(width, height, nullptr, 24));
        GlobalLockGuard<BYTE> p(frame.get());
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x)
                SetDibPixel(p.get(), x, y, random() % 4 ? scene[random() % scene.size()] : random() & 0xFFFFFF);
        sequence.push_back(std::move(frame));
    }
    sequence.emplace_back(testing_support::RandomPackedDib(random, 13, 5, 8));
    return sequence;
}

// Colour choices kept from one frame to the next must change no frame.
TEST(FrameReducer, EveryFrameMatchesThePlainFormAlone) {
    std::mt19937 random(29);
    for (int fast = 0; fast <= 1; ++fast) {
        ColourSettings settings(fast, 30, 10);
        for (int depthCode : {1, 3, 8}) {
            BYTE palette[768];
            const int count = depthCode == 8 ? 256 - static_cast<int>(random() % 40) : 1 << depthCode;
            colour_test::RandomPalette(random, palette, count);
            std::vector<GlobalBlock> frames = Sequence(random, 6);
            FrameReducer remapper(palette, depthCode, count);
            FrameReducer ditherer(palette, depthCode, count);
            for (std::size_t i = 0; i < frames.size(); ++i) {
                GlobalBlock remapped(remapper.Remap(frames[i].get()));
                GlobalBlock plain(reference::RemapFrame(frames[i].get(), palette, depthCode, count, fast));
                ASSERT_TRUE(remapped);
                EXPECT_EQ(BlockBytes(remapped.get()), BlockBytes(plain.get()))
                    << "remap, fast " << fast << " depth code " << depthCode << " frame " << i;
                GlobalBlock dithered(ditherer.Dither(frames[i].get()));
                GlobalBlock plainDither(
                    reference::DitherFrame(frames[i].get(), palette, depthCode, count, fast, 30, 10));
                ASSERT_TRUE(dithered);
                EXPECT_EQ(BlockBytes(dithered.get()), BlockBytes(plainDither.get()))
                    << "dither, fast " << fast << " depth code " << depthCode << " frame " << i;
            }
        }
    }
}

// A reducer that could not prepare its choices for one frame gives none,
// leaks nothing and serves the next frame whole.
TEST(FrameReducer, RecoversFromAFailedFrame) {
    std::mt19937 random(31);
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    std::vector<GlobalBlock> frames = Sequence(random, 2);
    const std::size_t live = luma::LiveGlobalBlocks();
    for (bool dither : {false, true}) {
        int failed = 0;
        for (unsigned n = 1; n < 40; ++n) {
            {
                FrameReducer reducer(palette, 8, 256);
                luma::FailAllocationAfter(n);
                GlobalBlock first(dither ? reducer.Dither(frames[0].get()) : reducer.Remap(frames[0].get()));
                const bool fired = !luma::FaultPending();
                luma::FailAllocationAfter(0);
                if (!fired) break;
                ++failed;
                EXPECT_FALSE(first);
                GlobalBlock second(dither ? reducer.Dither(frames[1].get()) : reducer.Remap(frames[1].get()));
                GlobalBlock plain(dither ? DitherFrame(frames[1].get(), palette, 8, 256)
                                         : RemapFrame(frames[1].get(), palette, 8, 256));
                ASSERT_TRUE(second);
                EXPECT_EQ(BlockBytes(second.get()), BlockBytes(plain.get()));
            }
            EXPECT_EQ(luma::LiveGlobalBlocks(), live) << "failure " << n;
        }
        EXPECT_GT(failed, 2);
    }
}

}  // namespace
