#include <gtest/gtest.h>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/marker_effects.h"
#include "luma/crt.h"
#include "tests/effects/marker_effect_test.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using marker_tests::ChangedArea;
using testing_support::EffectIndex;
using testing_support::SameBlock;

constexpr int kSpokesList = 450;
constexpr int kSizeField = 452;
constexpr int kSeedField = 454;
constexpr int kOpacityField = 446;
constexpr int kRandomBox = 471;
constexpr int kWrapBox = 472;
constexpr int kEnableBoxes[] = {466, 467, 468, 469};

class SkipIntro : public marker_tests::MarkerEffectTest {
protected:
    const int effect = EffectIndex("Skip Intro");

    void OneColour() {
        for (int box : kEnableBoxes) SetCheck(box, false);
    }
    // Chooses the spoke count by the number the list shows.
    void Spokes(const char* shown) {
        HWND list = GetDlgItem(dialog, kSpokesList);
        SelectItem(kSpokesList, static_cast<int>(SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                               reinterpret_cast<LPARAM>(shown))));
    }
};

TEST(SkipIntroPen, SixSpokesDrawWidePensAndSixtyTheNarrowest) {
    EXPECT_EQ(SkipIntroPenWidth(6), 36);
    EXPECT_EQ(SkipIntroPenWidth(8), 24);   // 45 degrees: 6 x 4
    EXPECT_EQ(SkipIntroPenWidth(24), 8);   // 15 degrees: 2 x 4
    EXPECT_EQ(SkipIntroPenWidth(60), 4);   // 6 degrees: 0, raised to the least
}

TEST_F(SkipIntro, AsManyFramesAsSpokesAtThePagesDelay) {
    UsePicture(64, 48);
    SetField(kSizeField, 16);
    Spokes("6");
    auto six = Build(effect);
    ASSERT_EQ(six.result, 1);
    ASSERT_EQ(six.count(), 6);
    for (int i = 0; i < six.count(); ++i) EXPECT_EQ(six[i].delay, 12u);
    Spokes("60");
    auto sixty = Build(effect);
    ASSERT_EQ(sixty.result, 1);
    EXPECT_EQ(sixty.count(), 60);
    // Progress: once per frame, the last with the count's last index.
    int progress = 0;
    for (const auto& request : host->requests)
        if (request.code == kRequestProgress && request.b == 60) ++progress;
    EXPECT_EQ(progress, 60);
}

TEST_F(SkipIntro, OneTurnClosesTheLoopAndThePreviewIsTheFirstFrame) {
    UsePicture(96, 72);
    Spokes("8");
    auto frames = RenderSequence(SkipIntroBody, 9);
    ASSERT_EQ(frames.size(), 9u);
    EXPECT_TRUE(SameBlock(frames[8].get(), frames[0].get()));
    EXPECT_FALSE(SameBlock(frames[1].get(), frames[0].get()));
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(SameBlock(preview.get(), frames[0].get()));
    auto built = Build(effect);
    ASSERT_EQ(built.count(), 8);
    EXPECT_TRUE(SameBlock(built[0].image, frames[0].get()));
    for (int i = 0; i < 4; ++i) marker_tests::WritePng(frames[i].get(), "skip_intro_" + std::to_string(i) + ".png");
}

TEST_F(SkipIntro, OneColourGivesOneWheelAtTheFirstMarker) {
    UsePicture(120, 80);
    OneColour();
    SetField(kSizeField, 24);
    GlobalBlock source = Source();
    auto frames = RenderSequence(SkipIntroBody, 6);
    for (const auto& frame : frames) {
        RECT changed = ChangedArea(source.get(), frame.get());
        // The wheel's square round (W/4, H/4) = (30, 20), 24 across.
        EXPECT_GE(changed.left, 30 - 12);
        EXPECT_GE(changed.top, 20 - 12);
        EXPECT_LE(changed.right, 30 + 12);
        EXPECT_LE(changed.bottom, 20 + 12);
        EXPECT_GT(changed.right - changed.left, 12);
    }
}

TEST_F(SkipIntro, AWheelOverAnEdgeWrapsOrIsCut) {
    // On 40 x 40 the first wheel (48 across) stands round (10, 10): it
    // reaches past the left and top edges.
    UsePicture(40, 40);
    OneColour();
    GlobalBlock source = Source();
    SetCheck(kWrapBox, true);
    GlobalBlock wrapped = Preview(effect);
    SetCheck(kWrapBox, false);
    GlobalBlock cut = Preview(effect);
    ASSERT_TRUE(wrapped && cut);
    auto columnChanged = [&](HGLOBAL frame, LONG x) {
        for (LONG y = 0; y < 40; ++y)
            if (marker_tests::PixelAt(frame, x, y) != marker_tests::PixelAt(source.get(), x, y)) return true;
        return false;
    };
    EXPECT_TRUE(columnChanged(wrapped.get(), 39));
    EXPECT_FALSE(columnChanged(cut.get(), 39));
    EXPECT_TRUE(columnChanged(cut.get(), 0));
    // Inside the picture both draw alike.
    EXPECT_EQ(marker_tests::PixelAt(wrapped.get(), 10, 2), marker_tests::PixelAt(cut.get(), 10, 2));
}

TEST_F(SkipIntro, OpacityDoesNotChangeTheFrames) {
    UsePicture(64, 48);
    SetField(kOpacityField, 255);
    auto full = Build(effect);
    SetField(kOpacityField, 7);
    auto faint = Build(effect);
    ASSERT_EQ(full.count(), faint.count());
    for (int i = 0; i < full.count(); ++i) EXPECT_TRUE(SameBlock(full[i].image, faint[i].image)) << i;
}

TEST_F(SkipIntro, TheSeedDecidesStartingSpokesAndColours) {
    UsePicture(96, 72);
    SetCheck(kRandomBox, true);
    SetField(kSeedField, 1234);
    auto first = Build(effect);
    auto again = Build(effect);
    SetField(kSeedField, 4321);
    auto other = Build(effect);
    ASSERT_EQ(first.count(), 20);  // the list shows 20 at first
    EXPECT_EQ(testing_support::FramesDigest(first), testing_support::FramesDigest(again));
    EXPECT_NE(testing_support::FramesDigest(first), testing_support::FramesDigest(other));
    // Without random assignments the seed plays no part.
    SetCheck(kRandomBox, false);
    auto fixed = Build(effect);
    SetField(kSeedField, 1234);
    EXPECT_EQ(testing_support::FramesDigest(fixed), testing_support::FramesDigest(Build(effect)));
}

TEST_F(SkipIntro, DraggingAMarkerMovesItsWheelInTheNextPreview) {
    OneColour();
    ExpectDragMovesTheFirstElement(effect, "Skip Intro", kSkipIntroMarkers);
}

TEST_F(SkipIntro, DegeneratePicturesBuild) {
    UsePicture(1, 1);
    auto frames = Build(effect);
    EXPECT_EQ(frames.result, 1);
    EXPECT_EQ(frames.count(), 20);
}

TEST_F(SkipIntro, FailuresFreeEverything) {
    // The sample picture: a loaded one would fall back on it when its copy fails.
    SetField(kSizeField, 16);
    Spokes("6");
    int walked = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(walked, 10);
}

TEST_F(SkipIntro, GoldenDigestOfTheDefaultBuild) {
    UsePicture(96, 72);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 20);
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "03156970b0c2c67b740c8195b4d139986f67b6729eec4fd07d0895f6cc6b22e2");
}

}  // namespace
