#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "colour/nearest.h"
#include "colour/octree.h"
#include "colour/quantize.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using colour_test::PictureOf;
using colour_test::TestFrames;

namespace {

// Colour number i of a set of distinct, scattered colours.
COLORREF Distinct(int i) { return RGB(i * 37 % 256, i * 11 % 256, i / 7 * 5 % 256); }

std::vector<DWORD> Entries(const BYTE* palette, int count) {
    std::vector<DWORD> out;
    for (int i = 0; i < count; ++i) out.push_back(RGB(palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]));
    return out;
}

// Frames holding colours [first, first + n) of Distinct, each once or more.
HGLOBAL FrameOfColours(int first, int n, LONG width = 16) {
    LONG height = (n + width - 1) / width;
    return PictureOf(width, height, [=](LONG x, LONG y) {
        LONG k = std::min<LONG>(y * width + x, n - 1);
        return Distinct(first + k);
    });
}

TEST(BuildFramePalette, FewColoursAreKeptInOrderOfFirstAppearance) {
    TestFrames frames;
    frames.Add(FrameOfColours(0, 120));
    frames.Add(FrameOfColours(60, 140));  // 60 seen already, 80 new
    frames.Add(FrameOfColours(0, 10));
    int count = 256;
    BYTE palette[768];
    std::memset(palette, 0x5A, sizeof palette);
    ASSERT_EQ(BuildFramePalette(&count, palette, frames.List()), 1);
    ASSERT_EQ(count, 200);
    // Frames list their pixels top row first, so colour k is at picture position k.
    for (int i = 0; i < 200; ++i) EXPECT_EQ(Entries(palette, 200)[i], Distinct(i)) << i;
    for (int i = 600; i < 768; ++i) EXPECT_EQ(palette[i], 0);
}

TEST(BuildFramePalette, ExactlyNColoursUseTheListAndOneMoreTheTree) {
    for (int n : {2, 16, 255, 256}) {
        // Width 20 leaves pixels after the last new colour.
        TestFrames exact;
        exact.Add(FrameOfColours(0, n, 20));
        int count = n;
        BYTE palette[768];
        ASSERT_EQ(BuildFramePalette(&count, palette, exact.List()), 1);
        ASSERT_EQ(count, n);
        std::vector<DWORD> expected;
        for (int i = 0; i < n; ++i) expected.push_back(Distinct(i));
        EXPECT_EQ(Entries(palette, count), expected) << n;

        TestFrames over;
        over.Add(FrameOfColours(0, n + 1));
        count = n;
        ASSERT_EQ(BuildFramePalette(&count, palette, over.List()), 1);
        EXPECT_LE(count, n);
        BYTE plain[768];
        EXPECT_EQ(count, reference::OctreePalette(over.List(), QuantizerDepth(n), Octree::kNodeLimit, n, plain).entries);
        EXPECT_EQ(std::memcmp(palette, plain, 768), 0) << n;
    }
}

TEST(BuildFramePalette, AllowsAtMostTheMaximum) {
    std::mt19937 random(12);
    TestFrames frames;
    frames.Add(testing_support::RandomPackedDib(random, 40, 30, 24));
    frames.Add(colour_test::ScenePicture(random, 40, 30));
    for (int n : {1, 2, 3, 7, 16, 64, 200, 255, 256}) {
        int count = n;
        BYTE palette[768];
        ASSERT_EQ(BuildFramePalette(&count, palette, frames.List()), 1);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, n);
    }
    for (int silly : {0, -5, 257, 100000}) {
        int count = silly;
        BYTE palette[768];
        ASSERT_EQ(BuildFramePalette(&count, palette, frames.List()), 1);
        EXPECT_LE(count, 256);
        int full = 256;
        BYTE same[768];
        BuildFramePalette(&full, same, frames.List());
        EXPECT_EQ(count, full);
        EXPECT_EQ(std::memcmp(palette, same, 768), 0);
    }
}

TEST(BuildFramePalette, MatchesThePlainQuantizerOnRandomFrames) {
    std::mt19937 random(31);
    for (int round = 0; round < 6; ++round) {
        TestFrames frames;
        for (int f = 0; f < 3; ++f) {
            if (round % 2)
                frames.Add(colour_test::ScenePicture(random, 37 + f, 21));
            else
                frames.Add(testing_support::RandomPackedDib(random, 23, 11 + f, 24));
        }
        frames.Add(testing_support::RandomPackedDib(random, 5, 5, 8));  // not read
        for (int n : {2, 5, 16, 100, 255, 256}) {
            int count = n;
            BYTE palette[768], plain[768];
            ASSERT_EQ(BuildFramePalette(&count, palette, frames.List()), 1);
            ASSERT_EQ(count, reference::BuildFramePalette(n, plain, frames.List())) << round << " " << n;
            ASSERT_EQ(std::memcmp(palette, plain, 768), 0) << round << " " << n;
        }
    }
}

TEST(BuildFramePalette, EmptyListsGiveNoEntries) {
    TestFrames none;
    int count = 256;
    BYTE palette[768];
    std::memset(palette, 1, sizeof palette);
    ASSERT_EQ(BuildFramePalette(&count, palette, none.List()), 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(palette[0], 0);
}

// Without memory for its sorted node list the reduction walks the tree pass
// by pass instead: the palette must come out the same.
TEST(BuildFramePalette, OutOfMemoryFailsAndLeaksNothing) {
    std::mt19937 random(6);
    TestFrames frames;
    frames.Add(testing_support::RandomPackedDib(random, 64, 48, 24));
    frames.Add(testing_support::RandomPackedDib(random, 64, 48, 24));
    BYTE plain[768];
    const int entries = reference::BuildFramePalette(255, plain, frames.List());
    int failed = 0, succeeded = 0;
    int walked = testing_support::WalkAllocationFailures(
        [&] {
            int count = 255;
            BYTE palette[768];
            int result = BuildFramePalette(&count, palette, frames.List());
            if (!result) {
                EXPECT_EQ(count, 255);
                ++failed;
            } else {
                EXPECT_EQ(count, entries);
                EXPECT_EQ(std::memcmp(palette, plain, 768), 0);
                ++succeeded;
            }
            return result == 1;
        },
        false);
    EXPECT_GE(failed, 3);  // pool blocks, the colour list, and more pool blocks
    EXPECT_EQ(succeeded, walked + 1 - failed);
    EXPECT_GE(succeeded, 2);  // the reduction's list, and no fault at all
}

TEST(Octree, DepthFollowsTheMaximum) {
    EXPECT_EQ(QuantizerDepth(256), 5);
    EXPECT_EQ(QuantizerDepth(255), 4);
    EXPECT_EQ(QuantizerDepth(16), 3);
    EXPECT_EQ(QuantizerDepth(2), 2);
    EXPECT_EQ(QuantizerDepth(1), 2);
}

// Rows are classified in storage order, bottom row first, and the node count
// is checked before each row: many colours in the bottom row prune the tree,
// the same colours in the top row come after the last check.
TEST(Octree, PrunesALevelWhenTheNodesOutgrowTheLimit) {
    std::mt19937 random(9);
    std::vector<DWORD> noise(64);
    for (DWORD& c : noise) c = random() & 0xFFFFFF;
    const std::size_t limit = 100;
    for (LONG noisyRow : {39, 0}) {
        TestFrames frames;
        frames.Add(PictureOf(64, 40, [&](LONG x, LONG y) { return y == noisyRow ? noise[x] : RGB(90, 90, 90); }));
        Octree tree;
        ASSERT_TRUE(tree.Start(6, limit));
        {
            GlobalLockGuard<BYTE> dib(frames.Image(0));
            DibLayout layout;
            DibLayout::From(dib.get(), layout);
            ASSERT_TRUE(tree.AddPicture(dib.get(), layout));
        }
        BYTE plain[768];
        reference::OctreeOutcome outcome = reference::OctreePalette(frames.List(), 6, limit, 20, plain);
        if (noisyRow == 39)
            EXPECT_LT(tree.depth(), 6);
        else
            EXPECT_EQ(tree.depth(), 6);
        EXPECT_EQ(tree.depth(), outcome.depth);
        EXPECT_EQ(outcome.pixels, 64.0 * 40);  // pruning merges pixels, never drops them
        tree.Reduce(20);
        BYTE palette[768] = {};
        EXPECT_EQ(tree.WritePalette(palette), outcome.entries);
        EXPECT_EQ(std::memcmp(palette, plain, 768), 0);
    }
}

// Grows a tree over the frames and reduces it as a build would, for a chosen
// depth; the palette and its entry count go to palette and the result.
int TreePalette(TestFrames& frames, int depth, int maxColours, BYTE* palette) {
    Octree tree;
    if (!tree.Start(depth)) return -1;
    for (int i = 0; i < frames.List().count; ++i) {
        GlobalLockGuard<BYTE> dib(frames.Image(i));
        DibLayout layout;
        DibLayout::From(dib.get(), layout);
        if (!tree.AddPicture(dib.get(), layout)) return -1;
    }
    tree.Reduce(maxColours);
    std::memset(palette, 0, 768);
    return tree.WritePalette(palette);
}

// Channels next to 64 and 192 lie close to the centre of their level-1 cube
// and far from the centre of their level-2 one: parents with less error than
// their children, several nodes merged in one pass (one inside another),
// nodes counted by a pass that an ancestor's merge then takes, and many
// equal errors.
TEST(Octree, ReducesAsThePlainPassesWhereParentsErrLessThanTheirChildren) {
    std::mt19937 random(77);
    const int near[] = {0, 1, 62, 63, 64, 65, 66, 127, 128, 190, 191, 192, 193, 255};
    auto channel = [&] { return near[random() % std::size(near)]; };
    for (int round = 0; round < 100; ++round) {
        TestFrames frames;
        const LONG width = 3 + static_cast<LONG>(random() % 20), height = 1 + static_cast<LONG>(random() % 6);
        for (int f = 0; f < 2; ++f) {
            std::vector<DWORD> colours(static_cast<std::size_t>(width * height));
            for (DWORD& c : colours) c = RGB(channel(), channel(), channel());
            // Runs of one colour weigh some nodes more than others.
            for (std::size_t i = 1; i < colours.size(); ++i)
                if (random() % 3 == 0) colours[i] = colours[i - 1];
            frames.Add(PictureOf(width, height, [&](LONG x, LONG y) { return colours[y * width + x]; }));
        }
        for (int depth : {2, 3, 5}) {
            for (int n : {1, 2, 3, 5, 9, 16}) {
                BYTE palette[768], plain[768];
                const int entries = TreePalette(frames, depth, n, palette);
                ASSERT_EQ(entries, reference::OctreePalette(frames.List(), depth, Octree::kNodeLimit, n, plain).entries)
                    << round << " " << depth << " " << n;
                ASSERT_EQ(std::memcmp(palette, plain, 768), 0) << round << " " << depth << " " << n;
            }
        }
    }
}

// (64, 79, 111) and (64, 79, 80) share a level-2 cube whose error equals its
// parent's (3009.5 each), so one pass merges the child into the parent and
// the parent into the root. The lone (191, 64, 63) has gone into the root
// before (its level-1 error is 0.75), so that pass leaves one entry fewer;
// counting the child as a node the pass kept would leave one too many when
// the maximum is just reached.
TEST(Octree, MergesAChildBeforeItsParentWhenBothReachTheThreshold) {
    TestFrames frames;
    const DWORD colours[] = {RGB(64, 79, 111), RGB(64, 79, 80),  RGB(191, 64, 63),  RGB(0, 0, 255),
                             RGB(255, 255, 255), RGB(200, 10, 255), RGB(10, 200, 30), RGB(100, 130, 10),
                             RGB(250, 250, 0)};
    frames.Add(PictureOf(7, 12, [&](LONG x, LONG y) {
        if (y == 0 && x < 3) return colours[x];
        return colours[3 + (x + y) % 6];
    }));
    for (int n = 1; n <= 9; ++n) {
        BYTE palette[768], plain[768];
        const int entries = TreePalette(frames, 2, n, palette);
        ASSERT_EQ(entries, reference::OctreePalette(frames.List(), 2, Octree::kNodeLimit, n, plain).entries) << n;
        ASSERT_EQ(std::memcmp(palette, plain, 768), 0) << n;
    }
}

// The bottom row's many colours prune the tree before the top row, which
// goes on in the bottom row's last colour: that colour's deepest node has
// gone, so its pixels go to the node above, which (94, 94, 94) shares.
TEST(Octree, ColoursGoOnIntoTheNodesAPruningLeaves) {
    std::mt19937 random(4);
    std::vector<DWORD> noise(64);
    for (DWORD& c : noise) c = random() & 0xFFFFFF;
    noise[10] = RGB(94, 94, 94);
    noise.back() = RGB(90, 90, 90);
    TestFrames frames;
    frames.Add(PictureOf(64, 2, [&](LONG x, LONG y) { return y == 1 ? noise[x] : RGB(90, 90, 90); }));
    Octree tree;
    ASSERT_TRUE(tree.Start(6, 100));
    {
        GlobalLockGuard<BYTE> dib(frames.Image(0));
        DibLayout layout;
        DibLayout::From(dib.get(), layout);
        ASSERT_TRUE(tree.AddPicture(dib.get(), layout));
    }
    EXPECT_EQ(tree.depth(), 5);
    tree.Reduce(20);
    BYTE palette[768] = {}, plain[768];
    EXPECT_EQ(tree.WritePalette(palette), reference::OctreePalette(frames.List(), 6, 100, 20, plain).entries);
    EXPECT_EQ(std::memcmp(palette, plain, 768), 0);
}

TEST(PutBackgroundColour, AppendsBelow254AndOverwritesTheNearestFrom254) {
    BYTE palette[768] = {};
    for (int i = 0; i < 254; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<BYTE>(i);
    int count = 253;
    PutBackgroundColour(palette, &count, RGB(100, 150, 200));
    EXPECT_EQ(count, 254);
    EXPECT_EQ(Entries(palette, 254)[253], RGB(100, 150, 200));
    EXPECT_EQ(Entries(palette, 254)[140], RGB(140, 140, 140));

    for (int i = 0; i < 254; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<BYTE>(i);
    count = 254;
    int nearest = FindNearestColour(100, 150, 200, palette, 254);
    PutBackgroundColour(palette, &count, RGB(100, 150, 200));
    EXPECT_EQ(count, 254);
    EXPECT_EQ(Entries(palette, 254)[nearest], RGB(100, 150, 200));
    EXPECT_EQ(palette[253 * 3], 253);

    // "None" (-1) goes in as white.
    count = 0;
    PutBackgroundColour(palette, &count, 0xFFFFFFFF);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Entries(palette, 1)[0], RGB(255, 255, 255));
}

TEST(SortPaletteByLuminance, OrdersByLuminanceKeepingEqualsInPlace) {
    BYTE palette[] = {255, 255, 255, 0, 0, 0, 255, 0, 0};
    SortPaletteByLuminance(palette, 3);
    EXPECT_EQ(Entries(palette, 3), (std::vector<DWORD>{RGB(0, 0, 0), RGB(255, 0, 0), RGB(255, 255, 255)}));

    // (3, 0, 0) and (0, 1, 0) both have luminance 0 next to black; their order stands.
    BYTE ties[] = {9, 9, 9, 3, 0, 0, 0, 0, 0, 0, 1, 0};
    SortPaletteByLuminance(ties, 4);
    EXPECT_EQ(Entries(ties, 4), (std::vector<DWORD>{RGB(3, 0, 0), RGB(0, 0, 0), RGB(0, 1, 0), RGB(9, 9, 9)}));

    std::mt19937 random(1);
    BYTE big[768];
    colour_test::RandomPalette(random, big, 256);
    std::vector<DWORD> before = Entries(big, 256);
    SortPaletteByLuminance(big, 256);
    std::vector<DWORD> after = Entries(big, 256);
    EXPECT_EQ(std::multiset<DWORD>(before.begin(), before.end()), std::multiset<DWORD>(after.begin(), after.end()));
    for (int i = 1; i < 256; ++i)
        EXPECT_LE(Luminance(big[i * 3 - 3], big[i * 3 - 2], big[i * 3 - 1]), Luminance(big[i * 3], big[i * 3 + 1], big[i * 3 + 2]));
}

TEST(DepthForColourCount, SmallestDepthThatHoldsTheEntries) {
    const int counts[] = {0, 1, 2, 3, 4, 5, 8, 9, 16, 17, 32, 33, 64, 65, 128, 129, 256, 257};
    const int depths[] = {1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 24};
    for (std::size_t i = 0; i < std::size(counts); ++i) EXPECT_EQ(DepthForColourCount(counts[i]), depths[i]) << counts[i];
}

}  // namespace
