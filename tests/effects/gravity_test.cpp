#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/gravity.h"
#include "effects/shaded_elements.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "tests/effects/scatter_effect_test.h"

namespace {

constexpr int kSize = 574, kDensity = 576, kSeed = 578, kSpeed = 602, kMode = 604;
constexpr testing_support::EffectControls kControls{"Gravity", 570, kSeed, kSize, kDensity, 572, 580,
                                                    {590, 591, 592, 593}};

class Gravity : public testing_support::ScatterEffectTest {
protected:
    Gravity() : ScatterEffectTest(kControls) {}
};

GravityBall Ball(float y, float vy) {
    GravityBall ball{};
    ball.x = 50;
    ball.y = y;
    ball.vx = 2;
    ball.vy = vy;
    ball.terminalSpeed = 20.0f;
    ball.gravity = 0.1f;
    ball.damping = 1.0f;
    ball.radius = 10;
    return ball;
}

TEST_F(Gravity, ThePreviewShowsTheBallsAQuarterOfTheWayIn) {
    UseRandomPicture(80, 60, 1);
    SetField(kSize, 10);
    ExpectPreviewIsFrame(9, 2);
}

TEST_F(Gravity, TheSeedDecidesTheFrames) {
    UseRandomPicture(60, 60, 3);
    SetField(kSize, 10);
    // Every ball starts outside the picture.
    ExpectSeedDecides(/*firstDiffering=*/1);
}

TEST_F(Gravity, TinyAndThinPicturesBuild) { ExpectOddSizesBuild(); }

TEST_F(Gravity, MemoryFailuresLeakNothing) {
    UseRandomPicture(40, 30, 4);
    ExpectFailuresLeakNothing(2);
}

// Under four frames there is no room to stagger the starts: every ball
// waits 0 frames, and its wait draw is still made so that the colour,
// height and kick draws keep their places.
TEST_F(Gravity, FewerThanFourFramesStillGiveEveryFrame) {
    UseRandomPicture(50, 40, 5);
    OneColour(RGB(0, 0, 255));
    SetField(kSeed, 902);
    SetField(kDensity, 8);
    for (int frames : {2, 3}) {
        SCOPED_TRACE(frames);
        BuildFrames(frames);
        EXPECT_EQ(NextDrawAfter(GravityBody, 50, 40), DrawNumber(902, 8 * 4));
        // Every ball is already on its way in the second frame.
        const std::vector<GlobalBlock> sequence = RenderSequence(GravityBody, 2);
        ASSERT_EQ(sequence.size(), 2u);
        EXPECT_FALSE(testing_support::SameBlock(sequence[0].get(), sequence[1].get()));
    }
}

TEST_F(Gravity, BothWaysSpendsOneMoreDrawABall) {
    OneColour(RGB(0, 0, 255));  // no colour draws
    SetField(kSeed, 901);
    SetField(kDensity, 8);
    SelectItem(kMode, 1);
    EXPECT_EQ(NextDrawAfter(GravityBody, 100, 80), DrawNumber(901, 8 * 4));
    SelectItem(kMode, 0);
    EXPECT_EQ(NextDrawAfter(GravityBody, 100, 80), DrawNumber(901, 8 * 4));
    SelectItem(kMode, 2);
    EXPECT_EQ(NextDrawAfter(GravityBody, 100, 80), DrawNumber(901, 8 * 5));
}

// A speed factor drawn as 0 would leave a ball outside for good; with Speed 1
// every ball crosses the picture.
TEST_F(Gravity, WithSpeedOneTheBallsCrossThePicture) {
    UsePlainPicture(100, 60, RGB(255, 255, 255));
    SetField(kSpeed, 1);
    SetField(kSize, 10);
    SetField(kDensity, 8);
    testing_support::BuiltFrames frames = BuildFrames(8);
    GlobalBlock picture(GetSourceFrame(100, 60));
    int changed = 0;
    for (int i = 0; i < frames.count(); ++i) changed += !testing_support::SameBlock(frames[i].image, picture.get());
    EXPECT_GE(changed, 5);
    testing_support::SavePng(frames[4].image, "gravity_speed_one");
}

TEST_F(Gravity, BallsComeInFromTheChosenSide) {
    UsePlainPicture(200, 80, RGB(255, 255, 255));
    SetField(kSize, 10);
    SetField(kSpeed, 2);
    for (int mode : {0, 1}) {
        SelectItem(kMode, mode);
        testing_support::BuiltFrames frames = BuildFrames(40);
        GlobalBlock picture(GetSourceFrame(200, 80));
        // The first frame in which a ball shows, and where it shows.
        for (int i = 0; i < frames.count(); ++i) {
            const testing_support::Box box = testing_support::ChangedBox(frames[i].image, picture.get(), 0);
            if (box.empty()) continue;
            if (mode == 0) EXPECT_EQ(box.right, 200) << "leftwards balls enter at the right";
            else EXPECT_EQ(box.left, 0) << "rightwards balls enter at the left";
            break;
        }
    }
}

TEST_F(Gravity, TheShadowOffsetIsFourTimesTheWholePixelsOfItsShare) {
    EXPECT_EQ(ShadowOffsetPixels(8, 20), 4);  // 4 x trunc(1.6)
    EXPECT_EQ(ShadowOffsetPixels(4, 20), 0);
    EXPECT_EQ(ShadowOffsetPixels(99, 36), 140);
}

TEST(GravityBall, AWaitingBallStaysAndAFallingOneReachesItsTerminalSpeed) {
    GravityBall ball = Ball(20, -3);
    ball.wait = 2;
    MoveBall(ball, 100);
    MoveBall(ball, 100);
    EXPECT_EQ(ball.wait, 0);
    EXPECT_EQ(ball.x, 50);
    EXPECT_EQ(ball.y, 20);
    MoveBall(ball, 100);
    EXPECT_EQ(ball.x, 52);
    EXPECT_FLOAT_EQ(ball.y, 20 - 2.9f);

    GravityBall falling = Ball(-100000, 19.95f);
    MoveBall(falling, 100);
    MoveBall(falling, 100);
    EXPECT_FLOAT_EQ(falling.vy, 20.05f);
}

// Nothing damps the bounce: a ball dropped from 70 pixels above the floor
// comes back up bounce after bounce, losing only the little height that the
// frame steps take at each bounce, and never rises higher than before.
TEST(GravityBall, ItKeepsBouncing) {
    GravityBall ball = Ball(20, 0);
    std::vector<float> tops;
    float previous = ball.y;
    bool rising = false;
    for (int frame = 0; frame < 400; ++frame) {
        MoveBall(ball, 100);
        ASSERT_LE(ball.y + ball.radius, 100 + 20.0f) << "it never sinks far into the floor";
        if (rising && ball.y >= previous) tops.push_back(previous);
        rising = ball.y < previous;
        previous = ball.y;
    }
    ASSERT_GE(tops.size(), 5u);
    float last = 20;
    for (float top : tops) {
        EXPECT_GE(top, last);
        EXPECT_LT(top - last, 8.0f);
        last = top;
    }
    EXPECT_LT(tops[4], 45.0f) << "after five bounces it still rises over half the way";
}

// The floor clamps only an overshoot of 0.15 or more, and friction acts
// only once the bounce has died down below 0.1.
TEST(GravityBall, TheFloorClampsARealOvershootAndBrakesABallThatRolls) {
    GravityBall shallow = Ball(90.1f, 3);
    MoveBall(shallow, 100);
    EXPECT_FLOAT_EQ(shallow.vy, -2.9f);
    EXPECT_FLOAT_EQ(shallow.y, 90.1f - 2.9f);

    GravityBall deep = Ball(90.5f, 3);
    MoveBall(deep, 100);
    EXPECT_FLOAT_EQ(deep.y, 90 - 2.9f);
    EXPECT_EQ(deep.vx, 2);

    GravityBall rolling = Ball(90.5f, 0.05f);
    MoveBall(rolling, 100);
    EXPECT_FLOAT_EQ(rolling.vx, static_cast<float>(2 * 0.96));
    EXPECT_FLOAT_EQ(rolling.x, 50 + static_cast<float>(2 * 0.96));
}

// The built-in settings on the sample picture, pinned once the frames had
// been looked at: any change to them shows here.
TEST_F(Gravity, GoldenFramesOfTheSamplePicture) {
    ExpectGoldenFrames(16, "gravity",
                       "e685b6580172c78b7e23f444f10cd4b9f5154070d2dd42758422f4c2a2323353");
}

}  // namespace
