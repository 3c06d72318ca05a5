#include <gtest/gtest.h>

#include <vector>

#include "effects/effect_bodies.h"
#include "effects/elements.h"
#include "effects/gridlock.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/scatter_effect_test.h"
#include "tests/support/fault_walk.h"

namespace {

constexpr int kGlare = 261, kSize = 263, kDensity = 265, kSeed = 267, kShadowOpacity = 287, kShadowSoft = 293;
constexpr testing_support::EffectControls kControls{"Gridlock", 259, kSeed, kSize, kDensity, kGlare, 269,
                                                    {279, 280, 281, 282}};
constexpr int kUp = 283, kDown = 284, kLeft = 286, kRight = 285;
constexpr COLORREF kWhite = RGB(255, 255, 255);

class Gridlock : public testing_support::ScatterEffectTest {
protected:
    Gridlock() : ScatterEffectTest(kControls) {}
    void OnlyDirections(std::initializer_list<int> boxes) {
        for (int id : {kUp, kDown, kLeft, kRight}) SetCheck(id, false);
        for (int id : boxes) SetCheck(id, true);
    }
};

struct Bar {
    LONG x0, y0;
    int direction;
};

// The bars' homes and directions from the seed, drawn as the effect draws
// them: centre, then the direction among those in use (one colour: no
// colour draw).
std::vector<Bar> Bars(int seed, int count, LONG width, LONG height, const std::vector<int>& directions) {
    crt::srand(static_cast<unsigned>(seed));
    std::vector<Bar> bars;
    for (int i = 0; i < count; ++i) {
        Bar bar;
        bar.x0 = crt::rand() % width;
        bar.y0 = crt::rand() % height;
        bar.direction = directions[crt::rand() % directions.size()];
        bars.push_back(bar);
    }
    return bars;
}

bool Inside(LONG x, LONG y, LONG left, LONG top, LONG w, LONG h, LONG width, LONG height) {
    const LONG dx = ((x - left) % width + width) % width, dy = ((y - top) % height + height) % height;
    return dx < w && dy < h;
}

TEST_F(Gridlock, ThePreviewIsTheBuildsFirstFrame) {
    UseRandomPicture(64, 48, 1);
    ExpectPreviewIsFrame(2, 0);
}

TEST_F(Gridlock, EveryBarMovesWholePictureSizesSoTheLoopCloses) {
    UseRandomPicture(90, 70, 2);
    ExpectLoopCloses(GridlockBody, 6);
}

TEST_F(Gridlock, TheSeedDecidesTheFrames) {
    UseRandomPicture(60, 60, 3);
    ExpectSeedDecides();
}

TEST_F(Gridlock, TinyAndThinPicturesBuild) { ExpectOddSizesBuild(); }

TEST_F(Gridlock, MemoryFailuresLeakNothing) {
    UseRandomPicture(40, 30, 4);
    OnlyDirections({kUp});
    ExpectFailuresLeakNothing(2);
}

TEST_F(Gridlock, WithNoDirectionCheckedEveryBarGoesAsUp) {
    UseRandomPicture(80, 60, 5);
    OnlyDirections({});
    const auto none = Hashes(BuildFrames(3));
    OnlyDirections({kUp});
    EXPECT_EQ(Hashes(BuildFrames(3)), none);
    OnlyDirections({kDown});
    EXPECT_NE(Hashes(BuildFrames(3)), none);
}

// With a faint hard shadow the frames show the bars alone: each one a
// 3 Size x Size (or Size x 3 Size) block at its corner, moved by whole
// steps of its speed class and wrapped round the edges.
TEST_F(Gridlock, BarsLieAlongTheirDirectionAndMoveAtTheirSpeed) {
    const LONG width = 160, height = 120;
    const int size = 12, frames = 5, seed = 2024;
    UsePlainPicture(width, height, kWhite);
    OneColour(RGB(255, 0, 0));
    SetField(kSize, size);
    SetField(kDensity, 8);
    SetField(kSeed, seed);
    SetField(kShadowOpacity, 1);
    SetField(kShadowSoft, 0);
    SetField(kGlare, 0);
    struct Case {
        std::vector<int> boxes;
        std::vector<int> directions;
    };
    for (const Case& c : {Case{{kLeft, kRight}, {2, 3}}, Case{{kUp, kDown}, {0, 1}}}) {
        OnlyDirections({c.boxes[0], c.boxes[1]});
        testing_support::BuiltFrames built = BuildFrames(frames);
        const std::vector<Bar> bars = Bars(seed, 8, width, height, c.directions);
        for (int f = 0; f < frames; ++f) {
            const float t = static_cast<float>(f) / frames;
            const int down = static_cast<int>(t * height), across = static_cast<int>(t * width);
            GlobalLockGuard<BYTE> frame(built[f].image);
            std::vector<int> seen(bars.size(), 0);
            for (LONG y = 0; y < height; ++y)
                for (LONG x = 0; x < width; ++x) {
                    const DWORD v = GetDibPixel(frame.get(), x, y);
                    if (GetGValue(v) >= 250) continue;  // the picture, or a shadow of weight 1 at most
                    bool covered = false;
                    for (std::size_t i = 0; i < bars.size(); ++i) {
                        const int speed = SpeedClass(static_cast<int>(i));
                        const Bar& b = bars[i];
                        LONG dx = 0, dy = 0, w = size, h = 3 * size;
                        switch (b.direction) {
                        case 0: dy = down * speed; break;
                        case 1: dy = height - down * speed - 1; break;
                        case 2: dx = across * speed, w = 3 * size, h = size; break;
                        default: dx = width - across * speed - 1, w = 3 * size, h = size; break;
                        }
                        if (Inside(x, y, b.x0 - size / 2 + dx, b.y0 - size / 2 + dy, w, h, width, height)) {
                            covered = true;
                            ++seen[i];
                        }
                    }
                    ASSERT_TRUE(covered) << "frame " << f << " pixel " << x << "," << y;
                }
            // Most of each bar's block shows (the rounded ends are cut).
            for (std::size_t i = 0; i < bars.size(); ++i) EXPECT_GT(seen[i], 3 * size * size * 3 / 4) << i;
        }
        testing_support::SavePng(built[1].image, "gridlock_directions_" + std::to_string(c.directions[0]));
    }
}

TEST_F(Gridlock, BarSpritesAreThreeSizesLongAndShadedTowardsTheirRim) {
    const COLORREF base = RGB(255, 130, 40);
    GlobalBlock across(BarSprite(base, ShadingColour(base, 70), 0, 60, 20));
    GlobalBlock upright(BarSprite(base, ShadingColour(base, 70), 0, 20, 60));
    GlobalBlock lit(BarSprite(base, ShadingColour(base, 70), 200, 60, 20));
    ASSERT_TRUE(across && upright && lit);
    testing_support::SavePng(across.get(), "gridlock_bar_60x20");
    testing_support::SavePng(upright.get(), "gridlock_bar_20x60");
    testing_support::SavePng(lit.get(), "gridlock_bar_60x20_glare");
    for (HGLOBAL sprite : {across.get(), upright.get()}) {
        GlobalLockGuard<BITMAPINFOHEADER> header(sprite);
        EXPECT_EQ(header->biBitCount, 32);
        const bool wide = header->biWidth == 60;
        EXPECT_EQ(header->biHeight, wide ? 20 : 60);
        const LONG w = header->biWidth, h = header->biHeight;
        auto at = [&](LONG x, LONG y) { return GetDibPixel(header.get(), x, y); };
        // Rounded: the corners are outside, the middles of the edges inside.
        for (auto [x, y] : {std::pair<LONG, LONG>{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
            EXPECT_EQ(at(x, y) >> 24, 0u) << x << "," << y;
        EXPECT_EQ(at(w / 2, h / 2) >> 24, 255u);
        EXPECT_GT(at(w / 2, 1) >> 24, 128u);
        EXPECT_GT(at(1, h / 2) >> 24, 128u);
        // The rim is darker than the body.
        EXPECT_LT(GetRValue(at(w / 2, h - 2)) + 40, GetRValue(at(w / 2, h / 2)));
    }
    // The glare lightens the bar's upper left (ringing by a level or two
    // after the reduction aside) and leaves its alpha alone.
    GlobalLockGuard<BYTE> a(across.get()), b(lit.get());
    int lighter = 0;
    for (LONG y = 0; y < 20; ++y)
        for (LONG x = 0; x < 60; ++x) {
            const DWORD u = GetDibPixel(a.get(), x, y), v = GetDibPixel(b.get(), x, y);
            ASSERT_EQ(u >> 24, v >> 24);
            ASSERT_GE(GetGValue(v) + 2, GetGValue(u));
            if (GetGValue(v) > GetGValue(u) + 30) {
                ++lighter;
                EXPECT_LT(x, 30);
                EXPECT_LT(y, 16);
            }
        }
    EXPECT_GT(lighter, 4);
}

TEST_F(Gridlock, BarSpriteFailuresLeakNothing) {
    for (int glare : {0, 160})
        testing_support::WalkBlockFailures([&] { return BarSprite(RGB(200, 0, 0), RGB(60, 0, 0), glare, 30, 10); });
}

// The built-in settings on the sample picture, pinned once the frames had
// been looked at: any change to them shows here.
TEST_F(Gridlock, GoldenFramesOfTheSamplePicture) {
    ExpectGoldenFrames(3, "gridlock",
                       "71a9ea5adfb376e74b8afc45ea14ad4845c18fc87c642f0f7067030c707d633b");
}

}  // namespace
