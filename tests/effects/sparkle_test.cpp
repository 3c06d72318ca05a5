#include <gtest/gtest.h>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/marker_effects.h"
#include "settings/settings.h"
#include "tests/effects/marker_effect_test.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using marker_tests::ChangedArea;
using testing_support::EffectIndex;
using testing_support::SameBlock;

constexpr int kSizeField = 702;
constexpr int kRandomBox = 704;
constexpr int kFramesField = 720;
constexpr int kSeedField = 722;
constexpr int kPauseField = 724;
constexpr int kRotationField = 726;
constexpr int kEnableBoxes[] = {715, 716, 717, 718};

class Sparkle : public marker_tests::MarkerEffectTest {
protected:
    const int effect = EffectIndex("Sparkle");

    void OneColour() {
        for (int box : kEnableBoxes) SetCheck(box, false);
    }
};

TEST(SparklePhases, GrowingAndShrinkingTakeTheirShareOfTheFrames) {
    SparklePhases sixtyFour = SparklePhaseLengths(64, 15, 15);
    EXPECT_EQ(sixtyFour.growing, 9);
    EXPECT_EQ(sixtyFour.holding, 46);
    EXPECT_EQ(sixtyFour.shrinking, 9);
    SparklePhases ten = SparklePhaseLengths(10, 15, 15);
    EXPECT_EQ(ten.growing, 4);
    EXPECT_EQ(ten.holding, 2);
    EXPECT_EQ(ten.shrinking, 4);
    // The percentages are held within 5..95.
    EXPECT_EQ(SparklePhaseLengths(100, 0, 200).growing, 5);
    EXPECT_EQ(SparklePhaseLengths(100, 0, 200).shrinking, 95);
}

TEST_F(Sparkle, TheFirstAndLastFramesShowNoStarAndTheLastIsHeld) {
    UsePicture(96, 72);
    SetField(kFramesField, 20);
    SetField(kSizeField, 32);
    SetField(kPauseField, 77);
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 20);
    // 20 frames: 4 growing (the first with no waist), 12 holding, 4 shrinking
    // (the last with no waist).
    EXPECT_TRUE(SameBlock(frames[0].image, source.get()));
    EXPECT_FALSE(SameBlock(frames[1].image, source.get()));
    EXPECT_FALSE(SameBlock(frames[18].image, source.get()));
    EXPECT_TRUE(SameBlock(frames[19].image, source.get()));
    for (int i = 0; i < 19; ++i) EXPECT_EQ(frames[i].delay, 5u) << i;
    EXPECT_EQ(frames[19].delay, 77u);
    for (int i : {1, 3, 8, 17}) marker_tests::WritePng(frames[i].image, "sparkle_" + std::to_string(i) + ".png");
}

TEST_F(Sparkle, StarsGrowHoldAndShrink) {
    UsePlainPicture(120, 120, RGB(0, 0, 0));
    OneColour();
    SetField(kSizeField, 64);
    SetField(kFramesField, 40);  // 6 growing, 28 holding, 6 shrinking
    SetField(kRotationField, 360);  // arms along the axes at the start
    auto frames = RenderSequence(SparkleBody, 40);
    GlobalBlock black = Source();
    auto width = [&](int i) {
        RECT r = ChangedArea(black.get(), frames[i].get());
        return r.right - r.left;
    };
    auto area = [&](int i) { return marker_tests::ChangedPixels(black.get(), frames[i].get()); };
    // Growing over frames 0..5, full size from frame 5 on (turning only), then
    // shrinking over frames 34..39.
    EXPECT_EQ(width(0), 0);
    EXPECT_LT(area(1), area(3));
    EXPECT_LT(area(3), area(5));
    EXPECT_NEAR(area(5), area(6), area(5) / 10);
    EXPECT_NEAR(area(6), area(33), area(6) / 10);
    EXPECT_GT(area(34), area(36));
    EXPECT_GT(area(36), area(38));
    EXPECT_EQ(width(39), 0);
}

TEST_F(Sparkle, AtFullSizeTheHorizontalArmsReachTwiceAsFar) {
    UsePlainPicture(200, 200, RGB(0, 0, 0));
    OneColour();
    SetField(kSizeField, 96);
    SetField(kRotationField, 360);
    GlobalBlock black = Source();
    GlobalBlock preview = Preview(effect);  // every star at full size, at the starting angle
    ASSERT_TRUE(preview);
    RECT star = ChangedArea(black.get(), preview.get());
    // Marker 0 of 200 x 200 is (50, 50): arms to 50 -+ 48 across, 50 -+ 24 up and down.
    EXPECT_NEAR(star.left, 2, 2);
    EXPECT_NEAR(star.right, 98, 2);
    EXPECT_NEAR(star.top, 26, 2);
    EXPECT_NEAR(star.bottom, 74, 2);
    marker_tests::WritePng(preview.get(), "sparkle_preview.png");
    // A quarter turn stands it upright.
    SetField(kRotationField, 90);
    GlobalBlock upright = Preview(effect);
    RECT turned = ChangedArea(black.get(), upright.get());
    EXPECT_NEAR(turned.bottom - turned.top, star.right - star.left, 3);
    EXPECT_NEAR(turned.right - turned.left, star.bottom - star.top, 3);
}

TEST_F(Sparkle, OneColourOneStarAtTheFirstMarker) {
    UsePicture(160, 120);
    OneColour();
    SetField(kSizeField, 32);
    GlobalBlock source = Source();
    GlobalBlock preview = Preview(effect);
    RECT star = ChangedArea(source.get(), preview.get());
    EXPECT_GE(star.left, 40 - 16);
    EXPECT_LE(star.right, 40 + 16);
    EXPECT_GE(star.top, 30 - 16);
    EXPECT_LE(star.bottom, 30 + 16);
}

TEST_F(Sparkle, TheSeedDecidesTheColours) {
    UsePicture(96, 72);
    SetField(kFramesField, 8);
    SetCheck(kRandomBox, true);
    SetField(kSeedField, 5);
    auto first = Build(effect);
    auto again = Build(effect);
    SetField(kSeedField, 6);
    auto other = Build(effect);
    EXPECT_EQ(testing_support::FramesDigest(first), testing_support::FramesDigest(again));
    EXPECT_NE(testing_support::FramesDigest(first), testing_support::FramesDigest(other));
}

TEST_F(Sparkle, FewFramesStillBuildAndEnd) {
    UsePicture(64, 48);
    SetField(kSizeField, 16);
    for (int frames : {2, 8, 9}) {
        SetField(kFramesField, frames);
        auto built = Build(effect);
        EXPECT_EQ(built.result, 1);
        EXPECT_EQ(built.count(), frames);
    }
}

TEST_F(Sparkle, DraggingAMarkerMovesItsStarInTheNextPreview) {
    OneColour();
    ExpectDragMovesTheFirstElement(effect, "Sparkle", kSparkleMarkers);
}

TEST_F(Sparkle, DegeneratePicturesBuild) {
    UsePicture(1, 1);
    SetField(kFramesField, 4);
    auto frames = Build(effect);
    EXPECT_EQ(frames.result, 1);
    EXPECT_EQ(frames.count(), 4);
}

TEST_F(Sparkle, FailuresFreeEverything) {
    SetField(kFramesField, 3);
    SetField(kSizeField, 16);
    int walked = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(walked, 10);
}

TEST_F(Sparkle, GoldenDigestOfASmallBuild) {
    UsePicture(96, 72);
    SetField(kFramesField, 12);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 12);
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "12f069e2a14a0f11fe291a84d79b6cb604f309501e52b820cb9052d63c4d3022");
}

}  // namespace
