// Snow: its flakes as the draws make them, the stated edge cases, loops that
// close, the preview as frame 0, failure roads and golden frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <filesystem>
#include <set>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "effects/snow.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "luma/testing.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

namespace {

using testing_support::BlockHash;
using testing_support::SameBlock;

enum Field {
    kOpacity = 100,
    kFrames = 102,
    kDrift = 104,
    kSize = 106,
    kDensity = 108,
    kSeed = 110,
    kColour1 = 112,
    kColour2 = 114,
    kDelay = 126,
    kShadowOpacity = 128,
    kShadowOffset = 130,
    kShadowSoft = 132,
};
constexpr int kEnableBoxes[] = {122, 123, 124, 125};

// A flake as the stated order of draws makes it, worked out here on its own.
struct ExpectedFlake {
    int x0, y0, size, speed, phase;
    int colourIndex;
};

std::vector<ExpectedFlake> ExpectedFlakes(int seed, int count, int width, int height, int size, int colours) {
    crt::srand(static_cast<unsigned>(seed));
    std::vector<ExpectedFlake> flakes;
    int previous = -1;
    const int speeds[3] = {1, 2, 4};
    for (int i = 0; i < count; ++i) {
        ExpectedFlake f{};
        f.x0 = crt::rand() % width;
        f.y0 = crt::rand() % height;
        crt::rand();
        f.size = size - crt::rand() % std::max(size / 9, 1);
        f.speed = speeds[i % 3];
        f.phase = crt::rand() % 360;
        int index = 0;
        if (colours > 1)
            for (int draw = 0; draw < 16; ++draw)
                if ((index = crt::rand() % colours) != previous) break;
        previous = index;
        f.colourIndex = index;
        // The crystal: style, a discarded draw, angle, split, stem and depth.
        for (int draw = 0; draw < 6; ++draw) crt::rand();
        flakes.push_back(f);
    }
    return flakes;
}

class Snow : public testing_support::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        snow = testing_support::EffectIndex("Snow");
        ASSERT_EQ(snow, 15);
    }

    // Initialises Snow's state for a picture of width x height as a build
    // would, for the test to look at; freed by the fixture's FreeState.
    SnowState* Initialise(LONG width, LONG height) {
        context = BuildContext{};
        context.page = dialog;
        std::memset(SnowBody.state, 0, SnowBody.stateSize);
        context.state = SnowBody.state;
        return SnowBody.Initialise(&context, width, height) ? static_cast<SnowState*>(SnowBody.state) : nullptr;
    }
    void FreeState() { SnowBody.FreeState(&context); }

    // A plain picture as the SourceImage, so every change is the flakes'.
    void PlainPicture(LONG width, LONG height, COLORREF colour) {
        HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
        GlobalLockGuard<BYTE> bytes(picture);
        FillDibRect(bytes.get(), 0, 0, width, height, colour);
        SetSourceImage(picture);
    }

    // The columns holding pixels that differ from colour.
    static std::set<LONG> ChangedColumns(HGLOBAL frame, COLORREF colour) {
        std::set<LONG> columns;
        GlobalLockGuard<BYTE> bytes(frame);
        DibLayout layout;
        DibLayout::From(bytes.get(), layout);
        for (LONG y = 0; y < layout.height; ++y)
            for (LONG x = 0; x < layout.width; ++x)
                if (GetDibPixel(bytes.get(), x, y) != colour) columns.insert(x);
        return columns;
    }

    int snow = -1;
    BuildContext context{};
};

TEST_F(Snow, FlakesFollowTheStatedDraws) {
    SetField(kSeed, 4321);
    SetField(kDensity, 7);
    SetField(kSize, 40);
    SnowState* state = Initialise(400, 300);
    ASSERT_NE(state, nullptr);
    auto expected = ExpectedFlakes(4321, 7, 400, 300, 40, 5);
    ASSERT_EQ(state->flakeCount, 7);
    const COLORREF colours[5] = {Style000FillColor1, Style000FillColor2, Style000FillColor3, Style000FillColor4,
                                 Style000FillColor5};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const SnowFlake& flake = state->flakes[i];
        EXPECT_EQ(flake.x0, expected[i].x0);
        EXPECT_EQ(flake.y0, expected[i].y0);
        EXPECT_EQ(flake.size, expected[i].size);
        EXPECT_EQ(flake.speed, expected[i].speed);
        EXPECT_EQ(flake.phase, static_cast<float>(expected[i].phase));
        EXPECT_EQ(flake.opacity, 160);
        EXPECT_EQ(flake.color, colours[expected[i].colourIndex]);
        if (i > 0 && expected[i - 1].colourIndex == expected[i].colourIndex) ADD_FAILURE() << "a colour repeated";
        // The mask is the crystal at its size; the shadow is larger by the offset and blur.
        GlobalLockGuard<BITMAPINFOHEADER> mask(flake.mask);
        EXPECT_EQ(mask->biWidth, flake.size);
        EXPECT_EQ(mask->biHeight, flake.size);
        GlobalLockGuard<BITMAPINFOHEADER> shadow(flake.shadow);
        ASSERT_TRUE(shadow);
        EXPECT_GT(shadow->biWidth, flake.size);
    }
    FreeState();
    EXPECT_EQ(state->flakes, nullptr);
}

TEST_F(Snow, OnlyColour1MeansEveryFlakeHasItAndNoDrawIsSpentOnColour) {
    SetField(kDensity, 1);
    for (int box : kEnableBoxes) SetCheck(box, false);
    SnowState* state = Initialise(400, 300);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->flakeCount, 1);
    EXPECT_EQ(state->colors.count, 1);
    FreeState();

    SetField(kDensity, 9);
    state = Initialise(123, 45);
    ASSERT_NE(state, nullptr);
    auto expected = ExpectedFlakes(static_cast<int>(Style000Seed), 9, 123, 45, 48, 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(state->flakes[i].color, Style000FillColor1);
        EXPECT_EQ(state->flakes[i].x0, expected[i].x0) << i;
        EXPECT_EQ(state->flakes[i].y0, expected[i].y0) << i;
    }
    FreeState();
}

TEST_F(Snow, SmallSizesAreWholeAndSize64VariesFrom58) {
    SetField(kDensity, 32);
    for (int size : {10, 13, 17}) {
        SetField(kSize, size);
        SnowState* state = Initialise(200, 100);
        ASSERT_NE(state, nullptr);
        for (int i = 0; i < state->flakeCount; ++i) EXPECT_EQ(state->flakes[i].size, size) << size;
        FreeState();
    }
    SetField(kSize, 64);
    SnowState* state = Initialise(200, 100);
    ASSERT_NE(state, nullptr);
    std::set<int> sizes;
    for (int i = 0; i < state->flakeCount; ++i) sizes.insert(state->flakes[i].size);
    EXPECT_GE(*sizes.begin(), 58);
    EXPECT_LE(*sizes.rbegin(), 64);
    EXPECT_GT(sizes.size(), 2u);
    FreeState();
}

TEST_F(Snow, AStoredDensityOf36GivesThePageMaximum) {
    EXPECT_EQ(Style000Density, 36u);
    SnowState* state = Initialise(400, 300);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->flakeCount, 32);
    FreeState();
}

TEST_F(Snow, WithoutDriftAFlakeKeepsItsColumns) {
    const COLORREF grey = RGB(90, 90, 90);
    PlainPicture(120, 90, grey);
    SetField(kDensity, 1);
    SetField(kFrames, 8);
    SetField(kSize, 20);
    SetField(kShadowOpacity, 1);
    SetField(kDrift, 0);
    auto still = RenderSequence(SnowBody, 8);
    ASSERT_EQ(still.size(), 8u);
    const auto columns = ChangedColumns(still[0].get(), grey);
    EXPECT_FALSE(columns.empty());
    for (int i = 1; i < 8; ++i) EXPECT_EQ(ChangedColumns(still[i].get(), grey), columns) << i;

    SetField(kDrift, 40);
    auto swaying = RenderSequence(SnowBody, 8);
    bool moved = false;
    for (int i = 1; i < 8; ++i) moved |= ChangedColumns(swaying[i].get(), grey) != ChangedColumns(swaying[0].get(), grey);
    EXPECT_TRUE(moved);
}

TEST_F(Snow, AFlakeOverTheEdgeReappearsOpposite) {
    const COLORREF grey = RGB(90, 90, 90);
    PlainPicture(120, 90, grey);
    SetField(kDensity, 1);
    SetField(kDrift, 0);
    SetField(kSize, 30);
    SnowState* state = Initialise(120, 90);
    ASSERT_NE(state, nullptr);
    state->flakes[0].x0 = 2;  // the corner lies 13 pixels left of the picture
    GlobalBlock frame(SnowBody.RenderFrame(&context, 0));
    FreeState();
    ASSERT_TRUE(frame);
    const auto columns = ChangedColumns(frame.get(), grey);
    EXPECT_TRUE(columns.count(0) || columns.count(1));
    EXPECT_GT(*columns.rbegin(), 100) << "the part beyond the left edge shows at the right";
}

TEST_F(Snow, ThePreviewIsFrameZeroOfTheBuild) {
    SetField(kFrames, 3);
    GlobalBlock preview = Preview(snow);
    ASSERT_TRUE(preview);
    auto frames = Build(snow);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 3);
    EXPECT_TRUE(SameBlock(preview.get(), frames[0].image));
    EXPECT_FALSE(SameBlock(frames[0].image, frames[1].image));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i].delay, 6u);
        EXPECT_EQ(frames[i].transparentIndex, -1);
        EXPECT_EQ(frames[i].mask, nullptr);
    }
}

TEST_F(Snow, FrameNLeadsBackToFrameZero) {
    for (int n : {5, 12}) {
        SetField(kFrames, n);
        auto frames = RenderSequence(SnowBody, n + 1);
        ASSERT_EQ(frames.size(), static_cast<std::size_t>(n + 1));
        EXPECT_TRUE(SameBlock(frames[0].get(), frames[n].get())) << n;
        EXPECT_FALSE(SameBlock(frames[0].get(), frames[1].get()));
    }
}

TEST_F(Snow, TheSeedDecides) {
    SetField(kFrames, 2);
    auto first = RenderSequence(SnowBody, 2);
    auto again = RenderSequence(SnowBody, 2);
    SetField(kSeed, 999);
    auto other = RenderSequence(SnowBody, 2);
    ASSERT_EQ(first.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(SameBlock(first[i].get(), again[i].get()));
        EXPECT_FALSE(SameBlock(first[i].get(), other[i].get()));
    }
}

TEST_F(Snow, EveryFailureReturnsNothingAndLeavesNothing) {
    std::mt19937 random(5);
    SetSourceImage(testing_support::RandomPackedDib(random, 48, 36, 24));
    SetField(kFrames, 2);
    SetField(kDensity, 2);
    SetField(kSize, 12);
    // A crystal that cannot be reduced is kept at its drawn size, so some faults
    // still give a build.
    testing_support::WalkAllocationFailures(
        [&] {
            // Frames appended before a failure stay in the list for its owner to free.
            auto frames = Build(snow);
            if (frames.result) {
                EXPECT_EQ(frames.count(), 2);
            }
            return frames.result == 1;
        },
        false);
    testing_support::WalkAllocationFailures(
        [&] {
            GlobalBlock preview = Preview(snow);
            return static_cast<bool>(preview);
        },
        false);
}

TEST_F(Snow, GoldenFramesOfASmallDefaultBuild) {
    SetField(kFrames, 4);
    auto frames = Build(snow);
    ASSERT_EQ(frames.count(), 4);
    const std::filesystem::path out = LUMAFEX_BINARY_DIR "/effects_test_output";
    std::filesystem::create_directories(out);
    std::vector<std::uint64_t> hashes;
    for (int i = 0; i < 4; ++i) {
        testing_support::WriteBmpFile(frames[i].image, (out / ("snow" + std::to_string(i) + ".bmp")).string());
        hashes.push_back(BlockHash(frames[i].image));
    }
    const std::vector<std::uint64_t> golden = {7115470537413521111ull, 16007783626556919793ull,
                                               16327807455376897878ull, 3156238769641404190ull};
    EXPECT_EQ(hashes, golden);
}

}  // namespace
