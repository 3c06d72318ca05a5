#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/falling.h"
#include "luma/crt.h"
#include "tests/effects/shape_effects.h"
#include "tests/support/effect_harness.h"

namespace {

constexpr int kSpeeds[] = {1, 2, 4};

using testing_support::BodyState;
using testing_support::Coverage;
using testing_support::DibSize;

constexpr int kOpacity = 408, kFrames = 410, kDrift = 412, kSize = 414, kDensity = 416, kSeed = 418;
constexpr int kEnables[] = {430, 431, 432, 433};

using Confetti = testing_support::EffectTest;

TEST_F(Confetti, DotsNeverVaryInSize) {
    SetField(kDensity, 60);
    for (int size : {1, 2, 9, 16}) {
        SCOPED_TRACE(size);
        SetField(kSize, size);
        BodyState state(ConfettiBody, dialog);
        ASSERT_TRUE(state);
        const FallingState& dots = state.as<FallingState>();
        ASSERT_EQ(dots.count, 60);
        for (int i = 0; i < dots.count; ++i) {
            ASSERT_EQ(dots.elements[i].size, size);
            ASSERT_EQ(DibSize(dots.elements[i].mask).cx, size);
            ASSERT_EQ(DibSize(dots.elements[i].mask).cy, size);
        }
    }
}

TEST_F(Confetti, TheLargestDensityGivesEveryDotItsOwnMaskAndNoShadow) {
    SetField(kDensity, 999);
    BodyState state(ConfettiBody, dialog);
    ASSERT_TRUE(state);
    const FallingState& dots = state.as<FallingState>();
    ASSERT_EQ(dots.count, 999);
    std::set<HGLOBAL> masks;
    for (int i = 0; i < dots.count; ++i) {
        EXPECT_EQ(dots.elements[i].shadow, nullptr);
        masks.insert(dots.elements[i].mask);
    }
    EXPECT_EQ(masks.size(), 999u);
    EXPECT_EQ(masks.count(nullptr), 0u);
}

TEST_F(Confetti, EachDotDrawsPlaceSpareSizePhaseAndColourInThatOrder) {
    SetField(kDensity, 50);
    SetField(kSeed, 4242);
    for (bool manyColours : {false, true}) {
        SCOPED_TRACE(manyColours);
        for (int id : kEnables) SetCheck(id, manyColours);
        crt::srand(4242);
        std::vector<int> raw(50 * 25);
        for (int& r : raw) r = crt::rand();
        BodyState state(ConfettiBody, dialog);
        ASSERT_TRUE(state);
        const FallingState& dots = state.as<FallingState>();
        const COLORREF palette[] = {16711680, 65280, 52479, 13260, 26367};
        std::size_t next = 0;
        int previous = -1;
        for (int i = 0; i < 50; ++i) {
            SCOPED_TRACE(i);
            const FallingElement& dot = dots.elements[i];
            EXPECT_EQ(dot.x0, raw[next] % 400);
            EXPECT_EQ(dot.y0, raw[next + 1] % 300);
            EXPECT_EQ(dot.phase, static_cast<float>(raw[next + 4] % 360));
            EXPECT_EQ(dot.speed, kSpeeds[i % 3]);
            EXPECT_EQ(dot.opacity, 160);
            next += 5;
            int colour = 0;
            for (int draw = 0; manyColours && draw < 16; ++draw) {
                colour = raw[next++] % 5;
                if (colour != previous) break;
            }
            previous = colour;
            EXPECT_EQ(dot.colour, palette[colour]);
        }
    }
}

TEST_F(Confetti, ADotIsRound) {
    SetField(kSize, 16);
    SetField(kDensity, 10);
    BodyState state(ConfettiBody, dialog);
    ASSERT_TRUE(state);
    HGLOBAL mask = state.as<FallingState>().elements[0].mask;
    EXPECT_EQ(Coverage(mask, 8, 8), 255);
    EXPECT_GT(Coverage(mask, 0, 8), 128);
    EXPECT_GT(Coverage(mask, 8, 15), 128);
    for (LONG x : {0, 15})
        for (LONG y : {0, 15}) EXPECT_LT(Coverage(mask, x, y), 64) << x << "," << y;
    // The same seen from every side, but for the reduction's rounding,
    // which runs across first and down second.
    for (LONG y = 0; y < 16; ++y)
        for (LONG x = 0; x < 16; ++x) {
            EXPECT_NEAR(Coverage(mask, x, y), Coverage(mask, 15 - x, y), 2);
            EXPECT_NEAR(Coverage(mask, x, y), Coverage(mask, y, x), 8);
        }
}

TEST_F(Confetti, EveryFrameHasEachDotWhereTheFallAndTheSwayPutIt) {
    testing_support::LoadPlainPicture(70, 90, RGB(200, 180, 40));
    SetField(kSize, 7);
    SetField(kDensity, 25);
    SetField(kDrift, 45);
    SetField(kFrames, 9);
    SetField(kOpacity, 255);
    BodyState state(ConfettiBody, dialog);
    ASSERT_TRUE(state);
    const FallingState& dots = state.as<FallingState>();
    const std::vector<FallingElement> start(dots.elements, dots.elements + dots.count);
    for (int f = 0; f <= 9; ++f) {
        SCOPED_TRACE(f);
        GlobalBlock frame = state.Render(f);
        GlobalBlock want = testing_support::ExpectedFallingFrame(start, 70, 90, RGB(200, 180, 40), f, 9, 45);
        EXPECT_TRUE(testing_support::SameBlock(frame.get(), want.get()));
    }
}

}  // namespace
