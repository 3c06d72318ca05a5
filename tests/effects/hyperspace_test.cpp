#include <gtest/gtest.h>
#include <windows.h>

#include "controls/direction_pad.h"
#include "effects/effect_bodies.h"
#include "effects/hyperspace.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/effect_run.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using testing_support::BodyRun;
using testing_support::BuiltFrames;
using testing_support::PatternPicture;
using testing_support::SameBlock;

constexpr int kOpacity = 305, kFrames = 307, kScroll = 309, kSeed = 311, kDensity = 313;
constexpr int kEnableBoxes[4] = {325, 326, 327, 328};

class Hyperspace : public testing_support::EffectTest {
protected:
    const int effect = testing_support::EffectIndex("Hyperspace");

    // Clicks the pad's left (0) or right (1) cell.
    void PickScroll(int cell) {
        HWND pad = GetDlgItem(dialog, kScroll);
        const LPARAM point = MAKELPARAM(cell * 25 + 5, 5);
        SendMessageA(pad, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(pad, WM_LBUTTONUP, 0, point);
        ASSERT_EQ(DirectionPadValue(pad), cell);
    }
};

TEST_F(Hyperspace, ThreeLayersFromTheDensity) {
    SetField(kDensity, 8);
    SetField(kOpacity, 200);
    SetField(kFrames, 32);
    BodyRun run(HyperspaceBody, dialog, 400, 300);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<HyperspaceState>();
    ASSERT_EQ(s.starCount, 4 + 6 + 8);
    struct Layer {
        int first, count, size, speed, level;
    };
    for (Layer layer : {Layer{0, 4, 4, 1, 200}, Layer{4, 6, 2, 2, 125}, Layer{10, 8, 1, 4, 100}})
        for (int i = layer.first; i < layer.first + layer.count; ++i) {
            const HyperspaceStar& star = s.stars()[i];
            EXPECT_EQ(star.size, layer.size) << i;
            EXPECT_EQ(star.speed, layer.speed) << i;
            EXPECT_EQ(star.level, layer.level) << i;
            EXPECT_EQ(star.step, 12.5) << i;
            EXPECT_EQ(star.direction, 1) << i;
            EXPECT_GE(star.x, layer.size / 2) << i;
            EXPECT_LT(star.x, 400 - layer.size + layer.size / 2) << i;
            EXPECT_TRUE(star.y >= 0 && star.y < 300) << i;
            // Five colours: the pick never repeats the star before (unless
            // sixteen draws in a row hit it, which these seeds do not).
            if (i > 0) {
                EXPECT_NE(star.color, s.stars()[i - 1].color) << i;
            }
        }
}

// Per star, layer by layer: x, y, a discarded draw, the size variation, then
// the colour pick that avoids the star before's colour across the layers.
TEST_F(Hyperspace, StarsFollowTheOrderOfDraws) {
    const LONG w = 97, h = 61;
    SetField(kDensity, 9);
    SetField(kSeed, 2024);
    BodyRun run(HyperspaceBody, dialog, w, h);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<HyperspaceState>();
    ASSERT_EQ(s.starCount, 4 + 6 + 9);
    const COLORREF colours[5] = {15393755, 14531739, 12616259, 9790252, 8279081};
    crt::srand(2024);
    int previous = -1;
    for (int i = 0; i < s.starCount; ++i) {
        SCOPED_TRACE(i);
        const int size = i < 4 ? 4 : i < 10 ? 2 : 1;
        const HyperspaceStar& star = s.stars()[i];
        EXPECT_EQ(star.x, crt::rand() % (w - size) + size / 2);
        EXPECT_EQ(star.y, crt::rand() % h);
        crt::rand();
        crt::rand();
        int index = 0;
        for (int draw = 0; draw < 16; ++draw) {
            index = crt::rand() % 5;
            if (index != previous) break;
        }
        previous = index;
        EXPECT_EQ(star.color, colours[index]);
    }
}

TEST_F(Hyperspace, OneColourLeftGivesEveryStarColourOne) {
    for (int box : kEnableBoxes) SetCheck(box, false);
    BodyRun run(HyperspaceBody, dialog, 400, 300);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<HyperspaceState>();
    ASSERT_EQ(s.starCount, 9 + 13 + 18);
    for (int i = 0; i < s.starCount; ++i) EXPECT_EQ(s.stars()[i].color, 15393755u);
}

TEST_F(Hyperspace, StarsTravelTheWayThePadPoints) {
    SetField(kFrames, 10);
    for (int cell : {0, 1}) {
        PickScroll(cell);
        BodyRun run(HyperspaceBody, dialog, 400, 300);
        ASSERT_TRUE(run.ok());
        const auto& s = run.state<HyperspaceState>();
        std::vector<double> before;
        for (int i = 0; i < s.starCount; ++i) before.push_back(s.stars()[i].x);
        GlobalBlock frame(run.Render(0));
        ASSERT_TRUE(frame);
        for (int i = 0; i < s.starCount; ++i) {
            const HyperspaceStar& star = s.stars()[i];
            EXPECT_EQ(star.direction, cell);
            double expected = before[i] + (cell ? 40.0 : -40.0) * star.speed;
            if (expected < 0) expected += 400;
            if (expected >= 400) expected -= 400;
            EXPECT_DOUBLE_EQ(star.x, expected) << i;
        }
    }
}

// Frames N and 0 agree: a layer-1 star has gone round once, the others two
// and four times.
TEST_F(Hyperspace, TheLoopCloses) {
    for (int frames : {16, 2}) {
        SetField(kFrames, frames);
        auto sequence = RenderSequence(HyperspaceBody, frames + 1);
        ASSERT_EQ(sequence.size(), static_cast<std::size_t>(frames + 1));
        EXPECT_TRUE(SameBlock(sequence[0].get(), sequence[frames].get())) << frames;
        EXPECT_FALSE(SameBlock(sequence[0].get(), sequence[1].get())) << frames;
    }
}

HGLOBAL Black(LONG width, LONG height) { return CreatePackedDib(width, height, nullptr, 24); }

TEST(HyperspaceStreak, TheTailFadesAndWrapsRoundTheSideEdge) {
    for (int direction : {0, 1}) {
        GlobalBlock picture(Black(30, 5));
        GlobalLockGuard<BYTE> p(picture.get());
        // Head at x = 2 (travelling right) or x = 27 (travelling left): the
        // twenty-column tail runs off the near edge and on from the far one.
        const HyperspaceStar star{direction ? 2.0 : 27.0, 2.0, 1.0, 1, 4, 255, direction, RGB(255, 255, 255)};
        DrawHyperspaceStar(p.get(), 30, star);
        for (int k = 0; k < 20; ++k) {
            const LONG x = direction ? (2 - k + 30) % 30 : (27 + k) % 30;
            const DWORD a = static_cast<DWORD>(255 * (static_cast<double>(20 - k) / 20));
            EXPECT_EQ(GetDibPixel(p.get(), x, 2), RGB(a, a, a)) << direction << " column " << k;
        }
        for (int k = 20; k < 30; ++k) {
            const LONG x = direction ? (2 - k + 30) % 30 : (27 + k) % 30;
            EXPECT_EQ(GetDibPixel(p.get(), x, 2), 0u) << direction << " column " << k;
        }
        for (LONG y : {0, 1, 3, 4})
            for (LONG x = 0; x < 30; ++x) EXPECT_EQ(GetDibPixel(p.get(), x, y), 0u);
    }
}

TEST(HyperspaceStreak, LargeStarsHaveFainterRowsBesideTheHeadRow) {
    GlobalBlock picture(Black(100, 10));
    GlobalLockGuard<BYTE> p(picture.get());
    // Size 4, head row 5 - 2 = 3; level 200 in red.
    const HyperspaceStar star{10.0, 5.0, 1.0, 4, 1, 200, 1, RGB(255, 0, 0)};
    DrawHyperspaceStar(p.get(), 100, star);
    for (int k = 0; k < 80; ++k) {
        const LONG x = (10 - k + 100) % 100;
        const double r = (80.0 - k) / 80.0;
        const DWORD head = static_cast<DWORD>(200 * r);
        const DWORD half = k ? static_cast<DWORD>(200 * 0.5 * r) : 0;
        const DWORD quarter = k ? static_cast<DWORD>(200 * 0.25 * r) : 0;
        EXPECT_EQ(GetDibPixel(p.get(), x, 3), head) << k;
        EXPECT_EQ(GetDibPixel(p.get(), x, 4), half) << k;
        EXPECT_EQ(GetDibPixel(p.get(), x, 5), quarter) << k;
        EXPECT_EQ(GetDibPixel(p.get(), x, 2), quarter) << k;
        EXPECT_EQ(GetDibPixel(p.get(), x, 6), 0u) << k;
    }
}

TEST(HyperspaceStreak, AStarAtTheTopLosesItsRowsAbove) {
    GlobalBlock picture(Black(100, 4));
    GlobalLockGuard<BYTE> p(picture.get());
    // Rows -3 to 0: only the lower quarter row lands in the picture.
    const HyperspaceStar star{50.0, 0.0, 1.0, 4, 1, 255, 0, RGB(0, 0, 255)};
    DrawHyperspaceStar(p.get(), 100, star);
    for (int k = 0; k < 80; ++k) {
        const LONG x = (50 + k) % 100;
        const DWORD quarter = k ? static_cast<DWORD>(255 * 0.25 * ((80.0 - k) / 80.0)) : 0;
        EXPECT_EQ(GetDibPixel(p.get(), x, 0), RGB(0, 0, quarter)) << k;
        EXPECT_EQ(GetDibPixel(p.get(), x, 1), 0u) << k;
    }
}

TEST(HyperspaceMove, ShortAnimationsWrapMoreThanOnce) {
    // Two frames: the fast layer moves two widths per frame.
    HyperspaceStar right{10.0, 0.0, 50.0, 1, 4, 255, 1, 0};
    MoveHyperspaceStar(right, 100);
    EXPECT_EQ(right.x, 10.0);
    HyperspaceStar left{10.0, 0.0, 50.0, 1, 4, 255, 0, 0};
    MoveHyperspaceStar(left, 100);
    EXPECT_EQ(left.x, 10.0);
    left.speed = 1;
    MoveHyperspaceStar(left, 100);
    EXPECT_EQ(left.x, 60.0);
}

TEST_F(Hyperspace, ThePreviewIsFrameZeroAndTheSeedDecides) {
    SetField(kFrames, 4);
    BuiltFrames first = Build(effect);
    ASSERT_EQ(first.result, 1);
    ASSERT_EQ(first.count(), 4);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(SameBlock(preview.get(), first[0].image));
    BuiltFrames again = Build(effect);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameBlock(first[i].image, again[i].image)) << i;
    SetField(kSeed, 4321);
    BuiltFrames other = Build(effect);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(SameBlock(first[i].image, other[i].image)) << i;
}

TEST_F(Hyperspace, PicturesNoWiderThanTheStarsBuild) {
    SetField(kFrames, 3);
    for (SIZE size : {SIZE{1, 1}, SIZE{2, 2}, SIZE{3, 3}, SIZE{4, 3}, SIZE{5, 3}, SIZE{3, 1000}, SIZE{1000, 3}}) {
        SetSourceImage(PatternPicture(size.cx, size.cy));
        {
            BodyRun run(HyperspaceBody, dialog, size.cx, size.cy);
            ASSERT_TRUE(run.ok());
            const auto& s = run.state<HyperspaceState>();
            for (int i = 0; i < s.starCount; ++i)
                EXPECT_TRUE(s.stars()[i].x >= 0 && s.stars()[i].x < size.cx) << size.cx << " star " << i;
        }
        BuiltFrames frames = Build(effect);
        ASSERT_EQ(frames.result, 1) << size.cx << "x" << size.cy;
        ASSERT_EQ(frames.count(), 3);
    }
}

TEST_F(Hyperspace, EveryFailedAllocationFailsTheBuildAndLeavesNothing) {
    SetSourceImage(PatternPicture(20, 10));
    SetField(kFrames, 2);
    SetField(kDensity, 8);
    testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(Hyperspace, GoldenFrames) {
    // The sample picture with the built-in settings.
    BuiltFrames frames = Build(effect);
    ASSERT_EQ(frames.count(), 64);
    testing_support::ExpectGoldenBuild(
        frames, "301758798f1c542b814e2cc9db9835217477b27ddd311f24f387f1d807db8e83", {0, 1, 31, 63}, "hyperspace");
}

}  // namespace
