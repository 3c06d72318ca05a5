#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/falling.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/frame_png.h"
#include "tests/effects/shape_effects.h"
#include "tests/support/effect_harness.h"

namespace {

constexpr int kSpeeds[] = {1, 2, 4};

using testing_support::BodyState;
using testing_support::Coverage;
using testing_support::DibSize;

constexpr int kOpacity = 339, kFrames = 341, kDrift = 343, kSize = 345, kDensity = 347, kSeed = 349;
constexpr int kVariable = 367, kShadowOpacity = 368, kShadowOffset = 370, kShadowSoft = 372;
constexpr int kColour1 = 351;
constexpr int kEnables[] = {361, 362, 363, 364};

class Stars : public testing_support::EffectTest {
protected:
    void OnlyColourOne(COLORREF colour) {
        SetField(kColour1, static_cast<int>(colour));
        for (int id : kEnables) SetCheck(id, false);
    }
};

TEST_F(Stars, VariableSizesCycleThroughFivePercentagesOfSize) {
    SetField(kDensity, 12);
    SetCheck(kVariable, true);
    struct Case {
        int size;
        LONG want[5];
    };
    for (const Case& c : {Case{40, {40, 36, 30, 24, 20}}, Case{10, {10, 9, 7, 6, 5}}}) {
        SCOPED_TRACE(c.size);
        SetField(kSize, c.size);
        BodyState state(StarsBody, dialog);
        ASSERT_TRUE(state);
        const FallingState& stars = state.as<FallingState>();
        ASSERT_EQ(stars.count, 12);
        for (int i = 0; i < 12; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(DibSize(stars.elements[i].mask).cx, c.want[i % 5]);
            EXPECT_EQ(DibSize(stars.elements[i].mask).cy, c.want[i % 5]);
            EXPECT_EQ(stars.elements[i].size, c.size) << "the corner is placed by the full Size";
            EXPECT_EQ(stars.elements[i].speed, kSpeeds[i % 3]);
        }
    }
    SetCheck(kVariable, false);
    BodyState state(StarsBody, dialog);
    ASSERT_TRUE(state);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(DibSize(state.as<FallingState>().elements[i].mask).cx, 10);
}

TEST_F(Stars, DensityOneGivesASingleStar) {
    SetField(kDensity, 1);
    BodyState state(StarsBody, dialog);
    ASSERT_TRUE(state);
    EXPECT_EQ(state.as<FallingState>().count, 1);
}

TEST_F(Stars, EachStarDrawsItsPlacePhaseAndColourInThatOrder) {
    SetField(kDensity, 40);
    SetField(kSeed, 777);
    for (bool manyColours : {false, true}) {
        SCOPED_TRACE(manyColours);
        for (int id : kEnables) SetCheck(id, manyColours);
        crt::srand(777);
        std::vector<int> raw(40 * 20);
        for (int& r : raw) r = crt::rand();
        BodyState state(StarsBody, dialog);
        ASSERT_TRUE(state);
        const FallingState& stars = state.as<FallingState>();
        const COLORREF palette[] = {16711680, 65280, 52479, 13260, 26367};  // the built-in colours
        std::size_t next = 0;
        int previous = -1;
        for (int i = 0; i < 40; ++i) {
            SCOPED_TRACE(i);
            const FallingElement& star = stars.elements[i];
            EXPECT_EQ(star.x0, raw[next++] % 400);
            EXPECT_EQ(star.y0, raw[next++] % 300);
            EXPECT_EQ(star.phase, static_cast<float>(raw[next++] % 360));
            int colour = 0;
            for (int draw = 0; manyColours && draw < 16; ++draw) {
                colour = raw[next++] % 5;
                if (colour != previous) break;
            }
            previous = colour;
            EXPECT_EQ(star.colour, palette[colour]);
        }
    }
}

TEST_F(Stars, TheStarIsAPentagramWithItsUpperAndSideTipsCutOff) {
    SetField(kSize, 40);
    SetField(kDensity, 1);
    BodyState state(StarsBody, dialog);
    ASSERT_TRUE(state);
    HGLOBAL mask = state.as<FallingState>().elements[0].mask;
    ASSERT_EQ(DibSize(mask).cx, 40);
    EXPECT_TRUE(testing_support::WriteFramePng(mask, "star_mask_40.png"));
    // The pentagon in the middle is filled, and so is the upper tip where
    // the edge cuts it; the notch between the lower legs is empty.
    EXPECT_EQ(Coverage(mask, 20, 20), 255);
    EXPECT_GT(Coverage(mask, 20, 0), 128);
    EXPECT_EQ(Coverage(mask, 20, 38), 0);
    // The side arms run off the left and right edges.
    EXPECT_EQ(Coverage(mask, 0, 13), 255);
    EXPECT_GT(Coverage(mask, 39, 14), 240);
    // Between the upper tip and the arms, and below the arms at the sides,
    // lies nothing.
    EXPECT_EQ(Coverage(mask, 4, 2), 0);
    EXPECT_EQ(Coverage(mask, 35, 2), 0);
    EXPECT_EQ(Coverage(mask, 0, 30), 0);
    // The lower tips end just inside the picture.
    EXPECT_GT(Coverage(mask, 8, 37), 128);
    EXPECT_GT(Coverage(mask, 33, 37), 128);
    // Left and right mirror each other but for the truncation of the points.
    int differing = 0;
    for (LONG y = 0; y < 40; ++y)
        for (LONG x = 0; x < 20; ++x) differing += std::abs(Coverage(mask, x, y) - Coverage(mask, 39 - x, y)) > 64;
    EXPECT_LT(differing, 20);
}

TEST_F(Stars, TheShadowIsAGreyStarMovedByTheOffset) {
    SetField(kSize, 40);
    SetField(kDensity, 1);
    SetField(kShadowOpacity, 100);
    SetField(kShadowOffset, 6);
    SetField(kShadowSoft, 0);
    {
        BodyState state(StarsBody, dialog);
        ASSERT_TRUE(state);
        const FallingElement& star = state.as<FallingState>().elements[0];
        ASSERT_EQ(DibSize(star.shadow).cx, 46);
        ASSERT_EQ(DibSize(star.shadow).cy, 46);
        // Hard: the star's own coverage in the shadow's grey, nothing blurred
        // into the margin. (The reduction overshoots at edges, which a white
        // star loses to clamping and a grey one keeps.)
        for (LONG y = 0; y < 46; ++y)
            for (LONG x = 0; x < 46; ++x) {
                const int want = x < 6 || y < 6 ? 0 : Coverage(star.mask, x - 6, y - 6) * 100 / 255;
                ASSERT_NEAR(Coverage(star.shadow, x, y), want, 12) << x << "," << y;
            }
    }
    SetField(kShadowSoft, 25);
    BodyState soft(StarsBody, dialog);
    ASSERT_TRUE(soft);
    const FallingElement& star = soft.as<FallingState>().elements[0];
    EXPECT_EQ(DibSize(star.shadow).cx, 40 + 6 + 1 + 2);
    EXPECT_GT(Coverage(star.shadow, 5, 26), 0) << "the blur spreads into the margin";
}

TEST_F(Stars, EveryFrameHasEachStarWhereTheFallAndTheSwayPutIt) {
    testing_support::LoadPlainPicture(80, 60, RGB(90, 120, 150));
    SetField(kSize, 16);
    SetField(kDensity, 6);
    SetField(kDrift, 30);
    SetField(kFrames, 7);
    SetField(kOpacity, 200);
    SetField(kShadowSoft, 4);
    BodyState state(StarsBody, dialog);
    ASSERT_TRUE(state);
    const FallingState& stars = state.as<FallingState>();
    const std::vector<FallingElement> start(stars.elements, stars.elements + stars.count);
    for (int f = 0; f <= 7; ++f) {
        SCOPED_TRACE(f);
        GlobalBlock frame = state.Render(f);
        GlobalBlock want = testing_support::ExpectedFallingFrame(start, 80, 60, RGB(90, 120, 150), f, 7, 30);
        EXPECT_TRUE(testing_support::SameBlock(frame.get(), want.get()));
    }
}

TEST_F(Stars, ALargeStarLeavingAnEdgeComesBackAtTheOtherOne) {
    testing_support::LoadPlainPicture(50, 40, RGB(0, 0, 0));
    OnlyColourOne(RGB(255, 255, 255));
    SetField(kSize, 64);
    SetField(kDensity, 1);
    SetField(kOpacity, 255);
    BodyState state(StarsBody, dialog);
    ASSERT_TRUE(state);
    GlobalBlock frame = state.Render(0);
    // A 64-pixel star on a 50 x 40 picture covers every column and row at
    // least once, wrapped.
    GlobalLockGuard<BYTE> pixels(frame.get());
    for (LONG x = 0; x < 50; ++x) {
        bool lit = false;
        for (LONG y = 0; y < 40 && !lit; ++y) lit = GetDibPixel(pixels.get(), x, y) != 0;
        EXPECT_TRUE(lit) << x;
    }
    EXPECT_TRUE(testing_support::WriteFramePng(frame.get(), "stars_wrapped.png"));
}

}  // namespace
