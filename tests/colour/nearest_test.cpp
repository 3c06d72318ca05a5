#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "colour/colour_chooser.h"
#include "colour/fixed_palette.h"
#include "colour/nearest.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/support/fault_walk.h"
#include "luma/testing.h"

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

// Cell lists grow as colours meet new cells; a list that finds no room falls
// back on the plain search for that colour, and later ones may still grow.
TEST(NearestColourSearch, CellsWithoutRoomStillGiveTheNearest) {
    // Greys leave the cells away from them long lists of near candidates.
    BYTE palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<BYTE>(i / 3);
    // A colour in every cell, then colours anywhere.
    std::vector<std::array<int, 3>> colours;
    for (int cell = 0; cell < 4096; ++cell)
        colours.push_back({(cell >> 8) * 16 + 5, ((cell >> 4) & 15) * 16 + 9, (cell & 15) * 16 + 2});
    std::mt19937 random(21);
    for (int k = 0; k < 4000; ++k)
        colours.push_back({static_cast<int>(random() % 256), static_cast<int>(random() % 256), static_cast<int>(random() % 256)});
    {
        NearestColourSearch search;
        ASSERT_TRUE(search.Prepare(palette, 256));
        const unsigned long long before = luma::AllocationsSoFar();
        for (const auto& [r, g, b] : colours) search.Find(r, g, b);
        ASSERT_GT(luma::AllocationsSoFar(), before) << "the lists never outgrew their first room";
    }
    for (unsigned failing : {1u, 2u, 3u}) {
        SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
        const std::size_t live = luma::LiveGlobalBlocks();
        {
            NearestColourSearch search;
            ASSERT_TRUE(search.Prepare(palette, 256));
            luma::FailAllocationAfter(failing);
            for (const auto& [r, g, b] : colours)
                ASSERT_EQ(search.Find(r, g, b), reference::FindNearestColour(r, g, b, palette, 256))
                    << "colour " << r << "," << g << "," << b;
            EXPECT_FALSE(luma::FaultPending());
            luma::FailAllocationAfter(0);
        }
        EXPECT_EQ(luma::LiveGlobalBlocks(), live);
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
