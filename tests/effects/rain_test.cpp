#include <gtest/gtest.h>

#include <cmath>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/marker_effects.h"
#include "effects/source_image.h"
#include "luma/crt.h"
#include "settings/bound_controls.h"
#include "tests/effects/marker_effect_test.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using marker_tests::PixelAt;
using testing_support::EffectIndex;
using testing_support::SameBlock;

constexpr int kSeedField = 552;
constexpr int kEnableBoxes[] = {554, 555, 556, 557};

class Rain : public marker_tests::MarkerEffectTest {
protected:
    const int effect = EffectIndex("Rain");

    void Points(std::initializer_list<bool> enabled) {
        int i = 0;
        for (bool on : enabled) SetCheck(kEnableBoxes[i++], on);
    }

    // The first frame in which a pixel within 2 of point changes, or -1.
    static int FirstChangeNear(const testing_support::BuiltFrames& frames, HGLOBAL source, POINT point) {
        for (int i = 0; i < frames.count(); ++i)
            for (LONG y = point.y - 2; y <= point.y + 2; ++y)
                for (LONG x = point.x - 2; x <= point.x + 2; ++x)
                    if (PixelAt(frames[i].image, x, y) != PixelAt(source, x, y)) return i;
        return -1;
    }
};

TEST(RainLight, LightIsOredIntoEveryChannel) {
    EXPECT_EQ(RainLitColour(RGB(0x80, 0, 0), 0x7F), static_cast<DWORD>(RGB(0xFF, 0x7F, 0x7F)));
    EXPECT_EQ(RainLitColour(RGB(0x80, 0, 0), 0x80), static_cast<DWORD>(RGB(0x80, 0x80, 0x80)));
    EXPECT_EQ(RainLitColour(RGB(0x12, 0x34, 0x56), 0), static_cast<DWORD>(RGB(0x12, 0x34, 0x56)));
    EXPECT_EQ(RainLitColour(RGB(1, 2, 4), 255), 0xFFFFFFu);
}

TEST_F(Rain, RipplesRunUntilTheWaterIsStillAndNeverTouchTheBorder) {
    UsePicture(64, 48);
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_GT(frames.count(), 10);
    EXPECT_LT(frames.count(), kRainMaximumFrames);
    for (int i = 0; i < frames.count(); ++i) {
        EXPECT_EQ(frames[i].delay, 6u);
        for (LONG x = 0; x < 64; ++x) {
            ASSERT_EQ(PixelAt(frames[i].image, x, 0), PixelAt(source.get(), x, 0)) << i;
            ASSERT_EQ(PixelAt(frames[i].image, x, 47), PixelAt(source.get(), x, 47)) << i;
        }
        for (LONG y = 0; y < 48; ++y) {
            ASSERT_EQ(PixelAt(frames[i].image, 0, y), PixelAt(source.get(), 0, y)) << i;
            ASSERT_EQ(PixelAt(frames[i].image, 63, y), PixelAt(source.get(), 63, y)) << i;
        }
    }
    for (int i : {1, 5, 15, 40})
        if (i < frames.count()) marker_tests::WritePng(frames[i].image, "rain_" + std::to_string(i) + ".png");
    // No progress is reported: the length is not known beforehand.
    for (const auto& request : host->requests) EXPECT_NE(request.code, kRequestProgress);
}

TEST_F(Rain, WithEveryBoxClearedOneDropFallsAtTheFirstMarker) {
    UsePicture(120, 90);
    Points({false, false, false, false});
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    const POINT markers[] = {{30, 22}, {90, 22}, {90, 68}, {30, 68}, {60, 45}};
    const int first = FirstChangeNear(frames, source.get(), markers[0]);
    ASSERT_GE(first, 0);
    // Elsewhere the water only moves once the ripples got there, one cell a frame.
    for (int k = 1; k < 5; ++k) {
        const int reach = static_cast<int>(std::hypot(markers[k].x - 30, markers[k].y - 22));
        const int change = FirstChangeNear(frames, source.get(), markers[k]);
        if (change >= 0) {
            EXPECT_GE(change, first + reach - 6) << k;
        }
    }
}

TEST_F(Rain, OnlyTheFifthBoxGivesTwoPointsAtTheFirstTwoMarkers) {
    UsePicture(120, 90);
    Points({false, false, false, true});
    GlobalBlock source = Source();
    auto frames = Build(effect);
    const POINT markers[] = {{30, 22}, {90, 22}, {90, 68}, {30, 68}, {60, 45}};
    const int first = FirstChangeNear(frames, source.get(), markers[0]);
    const int second = FirstChangeNear(frames, source.get(), markers[1]);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    // Each of the two got its own drop: it moved before ripples from the other could come.
    EXPECT_LT(second, first + 60 - 6);
    EXPECT_LT(first, second + 60 - 6);
    for (int k = 2; k < 5; ++k) {
        const int reach = static_cast<int>(std::min(std::hypot(markers[k].x - 30, markers[k].y - 22) + first,
                                                    std::hypot(markers[k].x - 90, markers[k].y - 22) + second));
        const int change = FirstChangeNear(frames, source.get(), markers[k]);
        if (change >= 0) {
            EXPECT_GE(change, reach - 6) << k;
        }
    }
}

TEST_F(Rain, ADropAtTheVeryEdgeWritesOnlyWhatLiesInside) {
    UsePicture(60, 40);
    Points({true, false, false, false});
    HWND markers = ShowEffect("Rain", kRainMarkers);
    ASSERT_NE(markers, nullptr);
    // Marker 0 on the top-left corner, marker 1 on the bottom-right one.
    ASSERT_EQ(SendMessageA(markers, kReadLineMessage, 0,
                           reinterpret_cast<LPARAM>("MARKER551=0,1,0.75,0.25,0.5,0,1,0.75,0.75,0.5")),
              1);
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_GE(frames.count(), 1);
    bool moved = false;
    for (int i = 0; i < frames.count(); ++i) moved = moved || !SameBlock(frames[i].image, source.get());
    EXPECT_TRUE(moved);
}

TEST_F(Rain, WaterThatNeverCalmsStopsAtTheFrameBound) {
    UsePicture(16, 12);
    Points({false, false, false, false});
    HWND markers = ShowEffect("Rain", kRainMarkers);
    ASSERT_NE(markers, nullptr);
    // The drop on the left edge: its splash sits in the column the waves never
    // update, a source that keeps the water moving for ever.
    ASSERT_EQ(SendMessageA(markers, kReadLineMessage, 0,
                           reinterpret_cast<LPARAM>("MARKER551=0,1,1,1,1,0.5,1,1,1,1")),
              1);
    // A seed whose first draw beats the single point's threshold: the drop
    // lands in the first frame.
    int seed = 1;
    for (; seed <= 32760; ++seed) {
        crt::srand(static_cast<unsigned>(seed));
        const int threshold = crt::rand(), draw = crt::rand();
        if (draw > threshold) break;
    }
    SetField(kSeedField, seed);
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), kRainMaximumFrames);
    EXPECT_FALSE(SameBlock(frames[kRainMaximumFrames - 1].image, source.get()));
}

TEST_F(Rain, WithoutADropInTheFirstFrameTheAnimationIsThatFrame) {
    UsePicture(64, 48);
    Points({false, false, false, false});
    // A seed whose first draw does not beat the single point's threshold.
    int seed = 1;
    for (; seed <= 32760; ++seed) {
        crt::srand(static_cast<unsigned>(seed));
        const int threshold = crt::rand(), draw = crt::rand();
        if (draw <= threshold) break;
    }
    ASSERT_LE(seed, 32760);
    SetField(kSeedField, seed);
    GlobalBlock source = Source();
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 1);
    EXPECT_TRUE(SameBlock(frames[0].image, source.get()));
}

TEST_F(Rain, ThePreviewRunsTheFirstRoundsOfTheBuild) {
    UsePicture(64, 48);
    auto frames = RenderSequence(RainBody, 20);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    // Twenty rounds unless the water was still before: then the frame of that round.
    auto built = Build(effect);
    const int shown = std::min(built.count(), 20) - 1;
    EXPECT_TRUE(SameBlock(preview.get(), frames[shown].get()));
}

TEST_F(Rain, TheSeedDecidesWhenTheDropsFall) {
    UsePicture(64, 48);
    SetField(kSeedField, 100);
    auto first = Build(effect);
    auto again = Build(effect);
    SetField(kSeedField, 101);
    auto other = Build(effect);
    EXPECT_EQ(testing_support::FramesDigest(first), testing_support::FramesDigest(again));
    EXPECT_NE(testing_support::FramesDigest(first), testing_support::FramesDigest(other));
}

TEST_F(Rain, DraggingAMarkerMovesItsDropInTheNextPreview) {
    Points({false, false, false, false});
    ExpectDragMovesTheFirstElement(effect, "Rain", kRainMarkers);
}

TEST_F(Rain, DegeneratePicturesBuild) {
    for (SIZE size : {SIZE{1, 1}, SIZE{2, 5}, SIZE{3, 3}}) {
        UsePicture(size.cx, size.cy);
        auto frames = Build(effect);
        EXPECT_EQ(frames.result, 1);
        EXPECT_GE(frames.count(), 1);
    }
}

TEST_F(Rain, FailuresFreeEverything) {
    UsePicture(24, 18);
    Points({false, false, false, false});
    testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; }, false);
    // Without a picture of its own the effect has nothing to fall back on.
    SetSourceImage(nullptr);
    int walked = testing_support::WalkAllocationFailures([&] { return Preview(effect).get() != nullptr; });
    EXPECT_GT(walked, 2);
}

TEST_F(Rain, GoldenDigestOfASmallBuild) {
    UsePicture(64, 48);
    auto frames = Build(effect);
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "5b6f15ce396d8fac537f1e7662dbfacf6eb7af6ba8247a33197f8bc9774c1d4a");
}

}  // namespace
