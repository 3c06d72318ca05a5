#include <gtest/gtest.h>

#include <algorithm>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/marker_effects.h"
#include "tests/effects/marker_effect_test.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using marker_tests::ChangedArea;
using marker_tests::ChangedPixels;
using marker_tests::PixelAt;
using testing_support::EffectIndex;
using testing_support::SameBlock;

constexpr int kThicknessField = 487;
constexpr int kSizeField = 489;
constexpr int kRandomBox = 491;
constexpr int kWrapBox = 492;
constexpr int kFramesField = 508;
constexpr int kSoftnessField = 510;
constexpr int kSeedField = 512;
constexpr int kEnableBoxes[] = {503, 504, 505, 506};

class Ping : public marker_tests::MarkerEffectTest {
protected:
    const int effect = EffectIndex("Ping");

    void Colours(int count) {
        for (int i = 0; i < 4; ++i) SetCheck(kEnableBoxes[i], i + 1 < count);
    }
};

TEST(PingSize, RoundsUpToWholeRingGaps) {
    EXPECT_EQ(PingRingSetSize(100, 2), 112);
    EXPECT_EQ(PingRingSetSize(112, 2), 112);
    EXPECT_EQ(PingRingSetSize(64, 2), 64);
    EXPECT_EQ(PingRingSetSize(16, 3), 24);
    EXPECT_EQ(PingRingSetSize(1024, 64), 1024);
}

TEST_F(Ping, TheCycleClosesAndStartsWithoutRings) {
    UsePicture(96, 72);
    SetField(kFramesField, 12);
    SetField(kSizeField, 32);
    SetCheck(kRandomBox, false);
    GlobalBlock source = Source();
    auto frames = RenderSequence(PingBody, 13);
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_TRUE(SameBlock(frames[12].get(), frames[0].get()));
    // t = 0 everywhere: no ring at all.
    EXPECT_TRUE(SameBlock(frames[0].get(), source.get()));
    EXPECT_FALSE(SameBlock(frames[3].get(), source.get()));
    for (int i : {3, 6, 9, 11}) marker_tests::WritePng(frames[i].get(), "ping_" + std::to_string(i) + ".png");
    auto built = Build(effect);
    ASSERT_EQ(built.result, 1);
    ASSERT_EQ(built.count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(SameBlock(built[i].image, frames[i].get())) << i;
        EXPECT_EQ(built[i].delay, 4u);
    }
}

TEST_F(Ping, ThePreviewShowsThreeQuartersOfTheGrowth) {
    UsePicture(96, 72);
    SetField(kFramesField, 10);
    SetCheck(kRandomBox, false);
    auto built = Build(effect);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    ASSERT_EQ(built.count(), 10);
    EXPECT_TRUE(SameBlock(preview.get(), built[7].image));  // trunc(3 x 10 / 4)
}

TEST_F(Ping, RingsFadeAsTheyGrow) {
    UsePlainPicture(200, 200, RGB(0, 0, 0));  // marker 0 at (50, 50): the rings lie inside
    Colours(1);
    SetCheck(kRandomBox, false);
    SetField(kSoftnessField, 0);
    SetField(kFramesField, 16);
    SetField(kSizeField, 64);
    auto frames = RenderSequence(PingBody, 16);
    auto brightest = [](HGLOBAL frame) {
        DWORD top = 0;
        for (LONG y = 0; y < 200; ++y)
            for (LONG x = 0; x < 200; ++x) top = std::max(top, (PixelAt(frame, x, y) >> 16) & 0xFF);  // Color 1 is blue
        return top;
    };
    // The outer ring is (1 - t) x Opacity bright, the inner ones fainter.
    EXPECT_GE(brightest(frames[4].get()), 150u);  // 0.75 x 240 = 180 where a ring covers whole pixels
    // (1 - 15 / 16) x 240 = 15, and the reduction's filter may overshoot a
    // thin line a little.
    EXPECT_LE(brightest(frames[15].get()), 18u);
    EXPECT_GT(brightest(frames[4].get()), brightest(frames[8].get()));
    EXPECT_GT(brightest(frames[8].get()), brightest(frames[12].get()));
    EXPECT_GT(brightest(frames[12].get()), brightest(frames[15].get()));
    // The set of rings reaches the size at the end of its growth.
    RECT late = ChangedArea(frames[0].get(), frames[14].get());
    EXPECT_GE(late.right - late.left, 48);
    EXPECT_LE(late.right - late.left, 64);
}

TEST_F(Ping, OneColourOneSourceAtTheFirstMarker) {
    UsePicture(160, 120);
    Colours(1);
    SetField(kSizeField, 32);
    SetField(kFramesField, 8);
    GlobalBlock source = Source();
    auto frames = RenderSequence(PingBody, 8);
    for (const auto& frame : frames) {
        RECT changed = ChangedArea(source.get(), frame.get());
        if (IsRectEmpty(&changed)) continue;
        EXPECT_GE(changed.left, 40 - 16);
        EXPECT_LE(changed.right, 40 + 16);
        EXPECT_GE(changed.top, 30 - 16);
        EXPECT_LE(changed.bottom, 30 + 16);
    }
}

TEST_F(Ping, WithoutRandomAssignmentsAllPulseInStepInColourOrder) {
    UsePlainPicture(160, 120, RGB(0, 0, 0));
    Colours(2);  // blue (Color 1) and green (Color 2)
    SetCheck(kRandomBox, false);
    SetField(kSizeField, 32);
    SetField(kFramesField, 8);
    auto frames = RenderSequence(PingBody, 8);
    for (int f = 1; f < 8; ++f) {
        // Marker 0 at (40, 30), marker 1 at (120, 30): the same rings.
        int differences = 0, blueAt0 = 0, greenAt1 = 0;
        for (LONG y = 14; y < 46; ++y)
            for (LONG x = -16; x < 16; ++x) {
                DWORD a = PixelAt(frames[f].get(), 40 + x, y), b = PixelAt(frames[f].get(), 120 + x, y);
                differences += ((a >> 16) & 0xFF) != ((b >> 8) & 0xFF);
                blueAt0 += (a & 0x00FFFF) == 0 && a != 0;
                greenAt1 += (b & 0xFF00FF) == 0 && b != 0;
                EXPECT_EQ(a & 0x00FFFF, 0u);
                EXPECT_EQ(b & 0xFF00FF, 0u);
            }
        EXPECT_EQ(differences, 0) << f;
        EXPECT_GT(blueAt0, 0) << f;
        EXPECT_GT(greenAt1, 0) << f;
    }
}

TEST_F(Ping, SoftnessBlursAndZeroKeepsTheRingsHard) {
    UsePlainPicture(96, 96, RGB(0, 0, 0));
    Colours(1);
    SetCheck(kRandomBox, false);
    SetField(kSizeField, 64);
    SetField(kFramesField, 4);
    SetField(kThicknessField, 2);
    SetField(kSoftnessField, 0);
    auto hard = RenderSequence(PingBody, 3);
    SetField(kSoftnessField, 20);
    auto soft = RenderSequence(PingBody, 3);
    GlobalBlock black = Source();
    EXPECT_GT(ChangedPixels(black.get(), soft[2].get()), ChangedPixels(black.get(), hard[2].get()));
    // Hard rings have full-strength pixels; the blur spreads them thinner.
    auto brightest = [](HGLOBAL frame) {
        DWORD top = 0;
        for (LONG y = 0; y < 96; ++y)
            for (LONG x = 0; x < 96; ++x) top = std::max(top, (PixelAt(frame, x, y) >> 16) & 0xFF);
        return top;
    };
    EXPECT_GT(brightest(hard[2].get()), brightest(soft[2].get()));
}

TEST_F(Ping, EdgeWrapCarriesRingsToTheOppositeSide) {
    UsePicture(48, 48);  // the source at (12, 12) with rings 64 across
    Colours(1);
    SetCheck(kRandomBox, false);
    SetField(kSizeField, 64);
    SetField(kFramesField, 4);
    GlobalBlock source = Source();
    SetCheck(kWrapBox, true);
    GlobalBlock wrapped(std::move(RenderSequence(PingBody, 3)[2]));
    SetCheck(kWrapBox, false);
    GlobalBlock cut(std::move(RenderSequence(PingBody, 3)[2]));
    auto rowChanged = [&](HGLOBAL frame, LONG y) {
        for (LONG x = 0; x < 48; ++x)
            if (PixelAt(frame, x, y) != PixelAt(source.get(), x, y)) return true;
        return false;
    };
    EXPECT_TRUE(rowChanged(wrapped.get(), 47));
    EXPECT_FALSE(rowChanged(cut.get(), 47));
}

TEST_F(Ping, TheSeedDecidesPhasesAndColours) {
    UsePicture(96, 72);
    SetField(kFramesField, 6);
    SetCheck(kRandomBox, true);
    SetField(kSeedField, 77);
    auto first = Build(effect);
    auto again = Build(effect);
    SetField(kSeedField, 78);
    auto other = Build(effect);
    EXPECT_EQ(testing_support::FramesDigest(first), testing_support::FramesDigest(again));
    EXPECT_NE(testing_support::FramesDigest(first), testing_support::FramesDigest(other));
}

TEST_F(Ping, DraggingAMarkerMovesItsRingsInTheNextPreview) {
    Colours(1);
    ExpectDragMovesTheFirstElement(effect, "Ping", kPingMarkers);
}

TEST_F(Ping, DegeneratePicturesBuild) {
    UsePicture(1, 1);
    SetField(kFramesField, 3);
    auto frames = Build(effect);
    EXPECT_EQ(frames.result, 1);
    EXPECT_EQ(frames.count(), 3);
}

TEST_F(Ping, FailuresFreeEverything) {
    SetField(kFramesField, 3);
    SetField(kSizeField, 16);
    SetField(kSoftnessField, 3);
    int walked = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(walked, 10);
}

TEST_F(Ping, GoldenDigestOfASmallBuild) {
    UsePicture(96, 72);
    SetField(kFramesField, 8);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 8);
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "66f46ba35f077ddbf0ffe800802c31f10a8cb1b0c3eb23b904452d20f268c95f");
}

}  // namespace
