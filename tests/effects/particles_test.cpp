#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/effect_bodies.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/scatter_effect_test.h"

namespace {

constexpr int kGlare = 141, kSize = 143, kDensity = 145, kSeed = 147, kShadowOffset = 165, kShadowSoft = 169,
              kColour2 = 151, kEnable2 = 159;
constexpr testing_support::EffectControls kControls{"Particles", 139, kSeed, kSize, kDensity, kGlare, 149,
                                                    {kEnable2, 160, 161, 162}};
constexpr COLORREF kWhite = RGB(255, 255, 255);

class Particles : public testing_support::ScatterEffectTest {
protected:
    Particles() : ScatterEffectTest(kControls) {}
};

// Where each particle's ball stands in frame f of n, worked out from the
// seed by the draws as they are made: centre, a spare draw, circle, angle.
std::vector<POINT> Corners(int seed, int count, LONG width, LONG height, int f, int n) {
    crt::srand(static_cast<unsigned>(seed));
    const int m = std::min(width, height), lo = m / 2, span = (3 * m) / 4 - lo;
    std::vector<POINT> corners;
    for (int i = 0; i < count; ++i) {
        const int x0 = crt::rand() % width, y0 = crt::rand() % height;
        crt::rand();
        const int r2 = (crt::rand() % span + lo) / 2;
        const double angle = crt::rand() % 360;
        const float radians =
            static_cast<float>(static_cast<float>(f) / static_cast<float>(n) * 360 + angle) * 0.01745328f;
        corners.push_back({x0 + static_cast<LONG>(r2 * std::sin(static_cast<double>(radians))),
                           y0 + static_cast<LONG>(-r2 * std::cos(static_cast<double>(radians)))});
    }
    return corners;
}

TEST_F(Particles, ThePreviewIsTheBuildsFirstFrame) {
    UseRandomPicture(64, 48, 1);
    ExpectPreviewIsFrame(2, 0);
}

TEST_F(Particles, EachParticleGoesOnceRoundItsCircle) {
    UseRandomPicture(90, 70, 2);
    ExpectLoopCloses(ParticlesBody, 7);
}

TEST_F(Particles, TheSeedDecidesTheFrames) {
    UseRandomPicture(60, 60, 3);
    ExpectSeedDecides();
}

TEST_F(Particles, TinyAndThinPicturesBuild) { ExpectOddSizesBuild(); }

// Under 4 pixels on the shorter side the circles have no spread of sizes:
// the circle draw is still made, so the draws that follow keep their order,
// and every circle is the smallest.
TEST_F(Particles, PicturesUnderFourPixelsSpendEveryDraw) {
    OneColour(RGB(0, 0, 255));  // five draws a particle
    SetField(kSeed, 313);
    SetField(kDensity, 8);
    for (auto [width, height] : {std::pair<LONG, LONG>{1, 1}, {2, 2}, {3, 50}, {50, 2}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        UseRandomPicture(width, height, 8);
        EXPECT_EQ(NextDrawAfter(ParticlesBody, width, height), DrawNumber(313, 8 * 5));
    }
}

TEST_F(Particles, MemoryFailuresLeakNothing) {
    UseRandomPicture(24, 20, 4);
    ExpectFailuresLeakNothing(2);
}

TEST_F(Particles, BallsStandOnTheirCirclesAndAreCutOffAtTheEdges) {
    const LONG width = 150, height = 110;
    UsePlainPicture(width, height, kWhite);
    OneColour(RGB(255, 0, 0));
    SetField(kDensity, 8);
    SetField(kSize, 20);
    SetField(kShadowSoft, 0);
    SetField(kShadowOffset, 20);  // the shadow reaches 4 x 4 = 16 pixels further
    SetField(kGlare, 0);          // so the middle of a ball is its colour
    SetField(kSeed, 777);
    const int frames = 4, size = 20, reach = size + 16;
    testing_support::BuiltFrames built = BuildFrames(frames);
    int cutOff = 0;
    for (int f = 0; f < frames; ++f) {
        const std::vector<POINT> corners = Corners(777, 8, width, height, f, frames);
        GlobalLockGuard<BYTE> frame(built[f].image);
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x) {
                if (GetDibPixel(frame.get(), x, y) == kWhite) continue;
                bool covered = false;
                for (const POINT& c : corners)
                    covered |= x >= c.x && x < c.x + reach && y >= c.y && y < c.y + reach;
                ASSERT_TRUE(covered) << "frame " << f << " pixel " << x << "," << y;
            }
        for (const POINT& c : corners) {
            cutOff += c.x < 0 || c.y < 0 || c.x + size > width || c.y + size > height;
            const LONG mx = c.x + size / 2, my = c.y + size / 2;
            if (mx < 0 || my < 0 || mx >= width || my >= height) continue;
            const DWORD middle = GetDibPixel(frame.get(), mx, my);
            EXPECT_GT(GetRValue(middle), GetGValue(middle) + 30) << "frame " << f << " ball at " << c.x << "," << c.y;
        }
    }
    EXPECT_GT(cutOff, 0) << "no ball reached an edge: the test shows nothing";
    testing_support::SavePng(built[0].image, "particles_positions_0");
}

TEST_F(Particles, WithOneColourEveryBallHasColourOne) {
    UsePlainPicture(120, 90, kWhite);
    OneColour(RGB(255, 0, 0));
    SetField(kDensity, 8);
    {
        testing_support::BuiltFrames frames = BuildFrames(3);
        for (int i = 0; i < frames.count(); ++i) EXPECT_TRUE(testing_support::GreenEqualsBlue(frames[i].image)) << i;
    }
    SetField(kColour2, static_cast<int>(RGB(0, 255, 0)));
    SetCheck(kEnable2, true);
    testing_support::BuiltFrames frames = BuildFrames(3);
    EXPECT_FALSE(testing_support::GreenEqualsBlue(frames[0].image));
}

// The glare spot only lightens; the reduction to the final size may ring by
// a level or two next to it.
TEST_F(Particles, GlareOnlyLightensAndZeroLeavesItOut) {
    UsePlainPicture(100, 80, RGB(90, 90, 90));
    SetField(kGlare, 0);
    testing_support::BuiltFrames plain = BuildFrames(2);
    SetField(kGlare, 255);
    testing_support::BuiltFrames lit = BuildFrames(2);
    GlobalLockGuard<BYTE> a(plain[0].image), b(lit[0].image);
    int lighter = 0;
    for (LONG y = 0; y < 80; ++y)
        for (LONG x = 0; x < 100; ++x) {
            const DWORD u = GetDibPixel(a.get(), x, y), v = GetDibPixel(b.get(), x, y);
            for (int shift : {0, 8, 16}) {
                const int before = (u >> shift) & 0xFF, after = (v >> shift) & 0xFF;
                ASSERT_GE(after, before - 2) << x << "," << y;
                lighter += after > before + 40;
            }
        }
    EXPECT_GT(lighter, 36 * 3) << "every ball has a spot";
}

// The built-in settings on the sample picture, pinned once the frames had
// been looked at: any change to them shows here.
TEST_F(Particles, GoldenFramesOfTheSamplePicture) {
    ExpectGoldenFrames(3, "particles",
                       "f7d05fbc89d766cd1d1a1dc33f9b396e8a3ca7f1ee31ee2dd663c39300125424");
}

}  // namespace
