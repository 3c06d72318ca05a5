#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "effects/bubbles.h"
#include "effects/effect_bodies.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/scatter_effect_test.h"
#include "tests/support/fault_walk.h"

namespace {

constexpr int kOpacity = 219, kDrift = 223, kSize = 225, kDensity = 227, kSeed = 229, kInverse = 231, kSmooth = 246;
constexpr testing_support::EffectControls kControls{"Bubbles", 221, kSeed, kSize, kDensity, 0, 232,
                                                    {242, 243, 244, 245}};

class Bubbles : public testing_support::ScatterEffectTest {
protected:
    Bubbles() : ScatterEffectTest(kControls) {}
};

TEST_F(Bubbles, ThePreviewIsTheBuildsFirstFrame) {
    UseRandomPicture(64, 48, 1);
    ExpectPreviewIsFrame(2, 0);
}

TEST_F(Bubbles, EachLayerRisesWholePictureHeightsSoTheLoopCloses) {
    UseRandomPicture(90, 70, 2);
    SetField(kDrift, 0);
    ExpectLoopCloses(BubblesBody, 6);
    SetField(kDrift, 40);  // the sway turns once round as well
    ExpectLoopCloses(BubblesBody, 6);
}

TEST_F(Bubbles, TheSeedDecidesTheFrames) {
    UseRandomPicture(80, 60, 3);
    ExpectSeedDecides();
}

TEST_F(Bubbles, TinyAndThinPicturesBuild) { ExpectOddSizesBuild(); }

// 36 is the large bubbles' size, 27 the middle ones' and 18 the small ones':
// each makes that layer's placement draw take a remainder by zero.
TEST_F(Bubbles, PicturesAsWideAsALayerBuild) {
    SetField(kSize, 36);
    for (LONG width : {36, 27, 18, 20}) {
        SCOPED_TRACE(width);
        UseRandomPicture(width, 50, 6);
        BuildFrames(2);
    }
}

TEST_F(Bubbles, MemoryFailuresLeakNothing) {
    UseRandomPicture(40, 30, 4);
    ExpectFailuresLeakNothing(2);
}

TEST_F(Bubbles, DensityCountsTheSmallBubblesAndTheOtherLayersFollow) {
    UseRandomPicture(100, 80, 7);
    OneColour(RGB(0, 0, 255));  // five draws a bubble
    SetField(kSeed, 555);
    SetField(kDensity, 8);
    EXPECT_EQ(NextDrawAfter(BubblesBody, 100, 80), DrawNumber(555, (4 + 6 + 8) * 5));
    SetField(kDensity, 9);
    EXPECT_EQ(NextDrawAfter(BubblesBody, 100, 80), DrawNumber(555, (4 + 6 + 9) * 5));
}

TEST_F(Bubbles, TheMaskIsBrightAtTheRimOrWithInverseInTheMiddle) {
    for (int k : {4, 2}) {
        SCOPED_TRACE(k);
        GlobalBlock ring(MakeBubbleMask(36, 255, false, k)), blob(MakeBubbleMask(36, 255, true, k));
        ASSERT_TRUE(ring && blob);
        testing_support::SavePng(ring.get(), "bubbles_mask_ring_" + std::to_string(k));
        testing_support::SavePng(blob.get(), "bubbles_mask_blob_" + std::to_string(k));
        GlobalLockGuard<BITMAPINFOHEADER> r(ring.get()), b(blob.get());
        EXPECT_EQ(r->biWidth, 36);
        EXPECT_EQ(r->biHeight, 36);
        EXPECT_EQ(b->biWidth, 36);
        auto level = [](const void* mask, LONG x, LONG y) { return static_cast<int>(GetDibPixel(mask, x, y) & 0xFF); };
        EXPECT_LT(level(r.get(), 18, 18), 40);
        EXPECT_GT(level(r.get(), 2, 18), 150);
        EXPECT_GT(level(b.get(), 18, 18), 215);
        EXPECT_LT(level(b.get(), 2, 18), 80);
        EXPECT_EQ(level(r.get(), 0, 0), 0);  // outside the circle
        EXPECT_EQ(level(b.get(), 0, 0), 0);
        // Round: the same at the four ends of two diameters.
        EXPECT_NEAR(level(r.get(), 2, 18), level(r.get(), 18, 2), 12);
    }
    // The layer's level limits how far the rings fade.
    GlobalBlock faint(MakeBubbleMask(36, 128, false, 4));
    GlobalLockGuard<BYTE> f(faint.get());
    EXPECT_GT(static_cast<int>(GetDibPixel(f.get(), 18, 18) & 0xFF), 110);
}

TEST_F(Bubbles, ClearingSmoothKeepsPositionsAndColours) {
    UsePlainPicture(120, 90, RGB(0, 0, 0));
    OneColour(RGB(255, 255, 255));
    SetField(kDensity, 8);
    SetField(kSize, 30);
    SetField(kDrift, 0);
    testing_support::BuiltFrames smooth = BuildFrames(2);
    SetCheck(kSmooth, false);
    testing_support::BuiltFrames coarse = BuildFrames(2);
    testing_support::SavePng(smooth[0].image, "bubbles_smooth");
    testing_support::SavePng(coarse[0].image, "bubbles_coarse");
    EXPECT_FALSE(testing_support::SameBlock(smooth[0].image, coarse[0].image));
    // Grey where there is a bubble, black elsewhere, in both.
    GlobalLockGuard<BYTE> a(smooth[0].image), b(coarse[0].image);
    long long difference = 0, lit = 0;
    for (LONG y = 0; y < 90; ++y)
        for (LONG x = 0; x < 120; ++x) {
            const int u = GetDibPixel(a.get(), x, y) & 0xFF, v = GetDibPixel(b.get(), x, y) & 0xFF;
            difference += std::abs(u - v);
            lit += u;
            ASSERT_EQ(GetDibPixel(a.get(), x, y) & 0xFF, (GetDibPixel(a.get(), x, y) >> 16) & 0xFF);
        }
    EXPECT_LT(difference * 10, lit);
}

TEST_F(Bubbles, MaskFailuresLeakNothing) {
    for (int k : {4, 2})
        testing_support::WalkBlockFailures([&] { return MakeBubbleMask(20, 160, false, k); }, /*mustFail=*/false);
}

// The built-in settings on the sample picture, pinned once the frames had
// been looked at: any change to them shows here.
TEST_F(Bubbles, GoldenFramesOfTheSamplePicture) {
    ExpectGoldenFrames(3, "bubbles",
                       "148e8190f61d03ea875964d65979a7309e2e9b703ef1be15e1439d93a63e649f");
}

}  // namespace
