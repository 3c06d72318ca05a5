#include <gtest/gtest.h>

#include <random>

#include "colour/fixed_palette.h"
#include "colour/remap.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using colour_test::PictureOf;
using testing_support::BlockBytes;

namespace {

TEST(MaskBackgroundColour, BackgroundPixelsTakeTheIndexOthersKeepTheirs) {
    const COLORREF background = RGB(10, 20, 30);
    GlobalBlock frame(PictureOf(5, 3, [&](LONG x, LONG y) { return (x + y) % 2 ? background : RGB(200, 0, 0); }));
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    for (int depthCode : {1, 4, 8}) {
        GlobalBlock remapped(RemapFrame(frame.get(), palette, depthCode, 256));
        GlobalBlock masked(MaskBackgroundColour(remapped.get(), frame.get(), background, 1));
        ASSERT_TRUE(masked);
        GlobalLockGuard<BYTE> m(masked.get());
        GlobalLockGuard<BYTE> r(remapped.get());
        for (LONG y = 0; y < 3; ++y)
            for (LONG x = 0; x < 5; ++x)
                EXPECT_EQ(GetDibPixel(m.get(), x, y), (x + y) % 2 ? 1u : GetDibPixel(r.get(), x, y));
        BYTE before[768], after[768];
        DibTableToTriplets(r.get(), before);
        DibTableToTriplets(m.get(), after);
        EXPECT_EQ(std::vector<BYTE>(before, before + 768), std::vector<BYTE>(after, after + 768));
        // The remapped picture itself is left as it was.
        EXPECT_NE(BlockBytes(remapped.get()), BlockBytes(masked.get()));
    }
}

TEST(MaskBackgroundColour, OnlyTheLow24BitsCompare) {
    GlobalBlock frame(PictureOf(2, 1, [](LONG x, LONG) { return x ? 0x7F332211u : 0x00332211u; }, 32));
    BYTE palette[768] = {};
    GlobalBlock remapped(RemapFrame(frame.get(), palette, 8, 1));
    GlobalBlock masked(MaskBackgroundColour(remapped.get(), frame.get(), 0xFF332211u, 9));
    GlobalLockGuard<BYTE> m(masked.get());
    EXPECT_EQ(GetDibPixel(m.get(), 0, 0), 9u);
    EXPECT_EQ(GetDibPixel(m.get(), 1, 0), 9u);
}

TEST(MaskBackgroundColour, NegativeIndexGivesAPlainCopy) {
    GlobalBlock frame(PictureOf(3, 3, [](LONG, LONG) { return RGB(1, 1, 1); }));
    BYTE palette[768] = {1, 1, 1};
    GlobalBlock remapped(RemapFrame(frame.get(), palette, 8, 1));
    GlobalBlock copy(MaskBackgroundColour(remapped.get(), frame.get(), RGB(1, 1, 1), -1));
    EXPECT_EQ(BlockBytes(copy.get()), BlockBytes(remapped.get()));
}

TEST(MaskBackgroundColour, MatchesThePlainFormOnRandomPictures) {
    std::mt19937 random(17);
    for (int bits : {1, 4, 8}) {
        for (LONG width : {1, 3, 8, 13}) {
            GlobalBlock frame(testing_support::RandomPackedDib(random, width, 5, 24));
            GlobalBlock remapped(testing_support::RandomPackedDib(random, width, 5, bits));
            COLORREF background;
            {
                GlobalLockGuard<BYTE> f(frame.get());
                background = GetDibPixel(f.get(), 0, 2);
                for (LONG x = 0; x < width; x += 2) SetDibPixel(f.get(), x, 4, background);
            }
            for (int index : {0, 1, 7, 200}) {
                GlobalBlock fast(MaskBackgroundColour(remapped.get(), frame.get(), background, index));
                GlobalBlock plain(reference::MaskBackgroundColour(remapped.get(), frame.get(), background, index));
                ASSERT_EQ(BlockBytes(fast.get()), BlockBytes(plain.get())) << bits << " " << width << " " << index;
            }
        }
    }
}

TEST(MaskBackgroundColour, OutOfMemoryReturnsNoneAndLeaksNothing) {
    std::mt19937 random(2);
    GlobalBlock frame(testing_support::RandomPackedDib(random, 9, 9, 24));
    GlobalBlock remapped(testing_support::RandomPackedDib(random, 9, 9, 8));
    EXPECT_EQ(testing_support::WalkBlockFailures(
                  [&] { return MaskBackgroundColour(remapped.get(), frame.get(), RGB(0, 0, 0), 3); }),
              1);
}

}  // namespace
