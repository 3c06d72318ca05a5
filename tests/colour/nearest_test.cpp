#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "colour/colour_chooser.h"
#include "colour/fixed_palette.h"
#include "colour/nearest.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/support/fault_walk.h"

namespace {

TEST(Luminance, WeightsAreTruncatedOneByOne) {
    EXPECT_EQ(Luminance(128, 128, 128), 38 + 75 + 14);
    EXPECT_EQ(Luminance(130, 130, 130), 39 + 76 + 14);
    EXPECT_EQ(Luminance(255, 255, 255), 255);
    EXPECT_EQ(Luminance(0, 0, 0), 0);
    // Summed before dividing, the three terms would give 128 here.
    EXPECT_EQ(Luminance(128, 128, 128), 127);
}

TEST(FindNearestColour, FirstOfIdenticalEntries) {
    const BYTE palette[] = {9, 9, 9, 40, 50, 60, 40, 50, 60, 1, 2, 3};
    EXPECT_EQ(FindNearestColour(40, 50, 60, palette, 4), 1);
    EXPECT_EQ(FindNearestColour(41, 50, 60, palette, 4), 1);
}

TEST(FindNearestColour, WeightsDecideTheDistance) {
    // Blue differs from black by 2 x 255² and from red by 3 x 255² + 2 x 255².
    const BYTE palette[] = {255, 0, 0, 0, 0, 0};
    EXPECT_EQ(FindNearestColour(0, 0, 255, palette, 2), 1);
    // Green weighs 4, red 3: a green step of 10 costs more than a red step of 11.
    const BYTE steps[] = {0, 10, 0, 11, 0, 0};
    EXPECT_EQ(FindNearestColour(0, 0, 0, steps, 2), 1);
}

TEST(FindNearestColour, TiesGoToTheLowestIndex) {
    const BYTE palette[] = {20, 0, 0, 0, 0, 0};
    EXPECT_EQ(FindNearestColour(10, 0, 0, palette, 2), 0);
    const BYTE swapped[] = {0, 0, 0, 20, 0, 0};
    EXPECT_EQ(FindNearestColour(10, 0, 0, swapped, 2), 0);
}

TEST(FindNearestColour, EmptyOrOversizedCounts) {
    const BYTE palette[768] = {1, 1, 1};
    EXPECT_EQ(FindNearestColour(200, 200, 200, palette, 0), 0);
    EXPECT_EQ(FindNearestColour(200, 200, 200, palette, -4), 0);
    EXPECT_EQ(FindNearestColour(0, 0, 0, palette, 100000), 1);  // the 256 entries only
}

// The grid search must agree with the plain search on every colour it may
// meet; random palettes of every size, with repeated entries, and the fixed ones.
TEST(NearestColourSearch, AgreesWithThePlainSearch) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int round = 0; round < 24; ++round) {
        BYTE palette[768];
        int count;
        if (round < 10) {
            count = BuildFixedPalette(palette, nullptr, round);
        } else {
            count = 1 + static_cast<int>(random() % 256);
            colour_test::RandomPalette(random, palette, count);
        }
        NearestColourSearch search;
        ASSERT_TRUE(search.Prepare(palette, count));
        for (int k = 0; k < 20000; ++k) {
            int r = channel(random), g = channel(random), b = channel(random);
            if (k < 3 * count) {  // palette colours and their neighbours
                const BYTE* p = palette + (k / 3) * 3;
                r = std::clamp(p[0] + k % 3 - 1, 0, 255), g = p[1], b = p[2];
            }
            ASSERT_EQ(search.Find(r, g, b), reference::FindNearestColour(r, g, b, palette, count))
                << "round " << round << " colour " << r << "," << g << "," << b;
        }
    }
}

TEST(ColourChooser, OutOfMemoryIsReportedWithoutLeaks) {
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    for (bool fast : {false, true}) {
        testing_support::WalkAllocationFailures([&] {
            ColourChooser chooser;
            return chooser.Prepare(palette, 256, fast);
        });
    }
}

}  // namespace
