#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "controls/direction_pad.h"
#include "effects/effect_bodies.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "settings/bound_controls.h"
#include "tests/support/frame_digest.h"
#include "tests/effects/frame_checks.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using frame_checks::Delays;
using frame_checks::NoisePicture;
using frame_checks::Pixel;
using frame_checks::SolidPicture;
using testing_support::SameBlock;

constexpr int kFrames = 818, kSize = 820, kDensity = 822, kDelay = 824, kAngle = 826, kColour = 828, kPause = 830,
              kPad = 832;
constexpr double kPi = std::numbers::pi;
enum { kUp, kRight, kLeft, kDown };

struct Band {
    int frames, size, angle, density, direction;
    COLORREF colour;
};

// The frame at time t drawn as described: every stroke straight onto a
// surface four times the picture's size, reduced, and painted through. The
// band width T is passed in, so cases can state it.
HGLOBAL ReferenceFrame(HGLOBAL picture, const Band& band, int strokes, int t) {
    const SIZE size = frame_checks::PictureSize(picture);
    const LONG w4 = 4 * size.cx, h4 = 4 * size.cy;
    const bool horizontal = band.direction == kUp || band.direction == kDown;
    const LONG length = horizontal ? w4 : h4, travel = horizontal ? h4 : w4;
    const double theta = (360 - band.angle) * kPi / 180;
    const float o = static_cast<float>(-length * std::sin(theta) / std::cos(theta));
    const int rounded = static_cast<int>(o + 0.5), slant = static_cast<int>(std::fabs(o) + 0.5);
    const int d = band.direction == kUp || band.direction == kLeft ? band.frames - t : t;
    const int p = (slant + travel + strokes) * d / band.frames - strokes / 2;
    const int start = band.angle >= 0 ? p : p + rounded, end = band.angle >= 0 ? p - rounded : p;
    GlobalBlock large;
    {
        SurfaceGuard surface;
        if (!surface.Open(w4, h4)) return nullptr;
        PatBlt(surface.dc(), 0, 0, w4, h4, BLACKNESS);
        for (int i = 0; i < strokes; ++i) {
            const float part = static_cast<float>(i) / static_cast<float>(strokes);
            const int g = static_cast<int>(std::sin(static_cast<double>(part) * 90 * kPi / 180) * band.density) & 0xFF;
            GdiObject pen(CreatePen(PS_SOLID, strokes - i, RGB(g, g, g)));
            Selection selected(surface.dc(), pen.get());
            if (horizontal) {
                MoveToEx(surface.dc(), 0, start, nullptr);
                LineTo(surface.dc(), w4, end);
            } else {
                MoveToEx(surface.dc(), start, 0, nullptr);
                LineTo(surface.dc(), end, h4);
            }
        }
        large.reset(surface.Take());
    }
    GlobalBlock mask(ScaleDibPercent(large.get(), 25, 25));
    HGLOBAL frame = CopyGlobalBlock(picture);
    GlobalLockGuard<BYTE> to(frame), coverage(mask.get());
    BlendColourThroughMask(to.get(), coverage.get(), 0, 0, band.colour, 255, 0);
    return frame;
}

// Brightness (red channel) profile of a frame along a row or a column.
std::vector<int> Line(HGLOBAL frame, bool row, LONG at) {
    const SIZE size = frame_checks::PictureSize(frame);
    std::vector<int> values;
    for (LONG i = 0; i < (row ? size.cx : size.cy); ++i)
        values.push_back(static_cast<int>(Pixel(frame, row ? i : at, row ? at : i) & 0xFF));
    return values;
}

// Where a profile peaks (the middle of its brightest run), -1 when it is all dark.
double Peak(const std::vector<int>& values) {
    int best = 0;
    for (int v : values) best = std::max(best, v);
    if (best == 0) return -1;
    int first = -1, last = -1;
    for (int i = 0; i < static_cast<int>(values.size()); ++i)
        if (values[i] == best) {
            if (first < 0) first = i;
            last = i;
        }
    return (first + last) / 2.0;
}

class Wave : public testing_support::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        effect = testing_support::EffectIndex("Wave");
        ASSERT_GE(effect, 0);
    }

    void UsePicture(HGLOBAL picture) {
        source.reset(CopyGlobalBlock(picture));
        SetSourceImage(picture);
    }

    // Picks a cell of the direction pad with the mouse.
    void ClickDirection(int direction) {
        static constexpr POINT kCells[4] = {{37, 12}, {62, 37}, {12, 37}, {37, 62}};
        HWND pad = GetDlgItem(dialog, kPad);
        const LPARAM at = MAKELPARAM(kCells[direction].x, kCells[direction].y);
        SendMessageA(pad, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(pad, WM_LBUTTONUP, 0, at);
        ASSERT_EQ(DirectionPadValue(pad), direction);
    }

    void SetBand(const Band& band) {
        SetField(kFrames, band.frames);
        SetField(kSize, band.size);
        SetText(kAngle, std::to_string(band.angle));
        SetField(kDensity, band.density);
        SetField(kColour, static_cast<int>(band.colour));
        ClickDirection(band.direction);
    }

    int effect = -1;
    GlobalBlock source;
};

TEST_F(Wave, TheFirstFrameIsThePictureHeldForThePause) {
    UsePicture(NoisePicture(1, 30, 20));
    SetField(kDelay, 3);
    SetField(kPause, 80);
    for (int direction : {kUp, kRight, kLeft, kDown}) {
        SetBand({6, 30, 30, 255, direction, RGB(255, 255, 255)});
        auto frames = Build(effect);
        ASSERT_EQ(frames.result, 1);
        ASSERT_EQ(frames.count(), 6);
        EXPECT_EQ(Delays(frames), (std::vector<DWORD>{80, 3, 3, 3, 3, 3})) << direction;
        EXPECT_TRUE(SameBlock(frames[0].image, source.get())) << direction;
        for (int i = 1; i < 6; ++i) EXPECT_FALSE(SameBlock(frames[i].image, source.get())) << direction << " " << i;
        EXPECT_EQ(frame_checks::ProgressReports(*host).back(), (std::pair<std::int64_t, std::int64_t>{5, 6}));
    }
}

TEST_F(Wave, FramesMatchTheBandDrawnStrokeByStroke) {
    UsePicture(NoisePicture(2, 40, 30));
    const Band cases[] = {{8, 30, 30, 255, kUp, RGB(255, 240, 200)},   {8, 10, -30, 200, kRight, RGB(0, 0, 255)},
                          {8, 50, 45, 128, kLeft, RGB(10, 200, 30)},   {8, 20, 0, 255, kDown, RGB(255, 255, 255)},
                          {8, 4, -45, 90, kDown, RGB(255, 0, 0)},      {8, 15, 17, 255, kRight, RGB(40, 40, 40)},
                          {8, 30, -1, 255, kUp, RGB(255, 255, 255)}};
    for (const Band& band : cases) {
        SCOPED_TRACE(testing::Message() << "direction " << band.direction << " angle " << band.angle << " size "
                                        << band.size);
        SetBand(band);
        auto frames = Build(effect);
        ASSERT_EQ(frames.count(), 8);
        const int strokes = std::max(4, 120 * band.size / 100);
        for (int t = 0; t < 8; ++t) {
            GlobalBlock expected(ReferenceFrame(source.get(), band, strokes, t));
            EXPECT_TRUE(SameBlock(frames[t].image, expected.get())) << "frame " << t;
        }
    }
}

TEST_F(Wave, SizeFourOnASmallPictureIsTwelveSurfacePixels) {
    UsePicture(NoisePicture(3, 100, 80));
    const Band band{6, 4, 20, 255, kDown, RGB(255, 255, 255)};
    SetBand(band);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 6);
    for (int t = 1; t < 6; ++t) {
        GlobalBlock expected(ReferenceFrame(source.get(), band, 12, t));
        EXPECT_TRUE(SameBlock(frames[t].image, expected.get())) << t;
    }
}

TEST_F(Wave, TheBandTravelsInThePadsDirection) {
    UsePicture(SolidPicture(60, 60, 0));
    for (int direction : {kUp, kRight, kLeft, kDown}) {
        SCOPED_TRACE(direction);
        SetBand({10, 10, 0, 255, direction, RGB(255, 255, 255)});
        auto frames = Build(effect);
        ASSERT_EQ(frames.count(), 10);
        const bool horizontal = direction == kUp || direction == kDown;
        std::vector<double> peaks;
        for (int t = 1; t < 10; ++t) peaks.push_back(Peak(Line(frames[t].image, !horizontal, 30)));
        for (std::size_t i = 0; i + 1 < peaks.size(); ++i) {
            ASSERT_GE(peaks[i], 0) << i;
            if (direction == kUp || direction == kLeft)
                EXPECT_LT(peaks[i + 1], peaks[i]) << i;
            else
                EXPECT_GT(peaks[i + 1], peaks[i]) << i;
        }
        // The last frame shows the band near the far edge.
        if (direction == kUp || direction == kLeft)
            EXPECT_LT(peaks.back(), 10);
        else
            EXPECT_GT(peaks.back(), 50);
        if (direction == kRight) frame_checks::WritePng(frames[4].image, "wave_right_frame4");
    }
}

TEST_F(Wave, AngleZeroLaysTheBandAlongTheEdge) {
    UsePicture(SolidPicture(48, 40, RGB(20, 20, 20)));
    SetBand({8, 20, 0, 255, kDown, RGB(250, 250, 250)});
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    bool lit = false;
    for (LONG y = 0; y < 40; ++y) {
        const std::vector<int> row = Line(preview.get(), true, y);
        for (int v : row) EXPECT_NEAR(v, row[24], 1) << "row " << y;
        lit = lit || row[24] > 200;
    }
    EXPECT_TRUE(lit);
}

TEST_F(Wave, OppositeAnglesTiltTheBandOppositeWays) {
    UsePicture(SolidPicture(80, 80, 0));
    double rise[2] = {};
    for (int sign : {0, 1}) {
        const int angle = sign ? -30 : 30;
        SetBand({8, 10, angle, 255, kDown, RGB(255, 255, 255)});
        auto sequence = RenderSequence(WaveBody, 9);
        ASSERT_EQ(sequence.size(), 9u);
        frame_checks::WritePng(sequence[4].get(), "wave_angle" + std::to_string(angle));
        const double left = Peak(Line(sequence[4].get(), false, 10)), right = Peak(Line(sequence[4].get(), false, 70));
        ASSERT_GE(left, 0);
        ASSERT_GE(right, 0);
        rise[sign] = left - right;
        // The sweep includes the slant: the band's last glimpse is in the
        // corner it leaves by, and at d = F it is wholly gone.
        const bool leavesRight = angle > 0;
        EXPECT_GE(Peak(Line(sequence[7].get(), false, leavesRight ? 75 : 4)), 0);
        EXPECT_LT(Peak(Line(sequence[7].get(), false, leavesRight ? 4 : 75)), 0);
        EXPECT_TRUE(SameBlock(sequence[8].get(), source.get()));
    }
    // tan 30 x 60 columns = 34.6 rows of rise between the two columns.
    EXPECT_NEAR(rise[0], 34.6, 1.5);
    EXPECT_NEAR(rise[1], -34.6, 1.5);
}

TEST_F(Wave, DensityIsTheOpacityOfTheBandsMiddle) {
    UsePicture(SolidPicture(40, 40, 0));
    for (int density : {255, 128, 1}) {
        SetBand({8, 50, 0, density, kDown, RGB(255, 255, 255)});
        GlobalBlock preview = Preview(effect);
        const std::vector<int> column = Line(preview.get(), false, 20);
        const int brightest = *std::max_element(column.begin(), column.end());
        // The narrowest stroke is trunc(sin(79/80 x 90 degrees) x density).
        EXPECT_LE(brightest, density) << density;
        EXPECT_GE(brightest, density - 1) << density;
    }
}

TEST_F(Wave, PreviewIsTheMiddleOfTheSweep) {
    UsePicture(NoisePicture(4, 36, 28));
    SetBand({10, 25, -20, 255, kLeft, RGB(200, 100, 255)});
    GlobalBlock preview = Preview(effect);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 10);
    EXPECT_TRUE(SameBlock(preview.get(), frames[5].image));
}

TEST_F(Wave, TheSweepStartsAgainOnThePlainPicture) {
    UsePicture(NoisePicture(5, 32, 24));
    for (int direction : {kUp, kRight}) {
        SetBand({12, 30, 30, 255, direction, RGB(255, 255, 255)});
        auto sequence = RenderSequence(WaveBody, 13);
        ASSERT_EQ(sequence.size(), 13u);
        EXPECT_TRUE(SameBlock(sequence[12].get(), sequence[0].get()));
        EXPECT_TRUE(SameBlock(sequence[0].get(), source.get()));
    }
}

TEST_F(Wave, ADirectionBeyondThePadsCellsCountsAsDown) {
    UsePicture(NoisePicture(6, 30, 30));
    SetBand({6, 30, 30, 255, kDown, RGB(255, 255, 255)});
    auto down = Build(effect);
    HWND pad = GetDlgItem(dialog, kPad);
    ASSERT_EQ(SendMessageA(pad, kReadLineMessage, 0, reinterpret_cast<LPARAM>("SCRL4D832=9")), 1);
    auto beyond = Build(effect);
    EXPECT_EQ(frame_checks::BuildHash(beyond), frame_checks::BuildHash(down));
}

TEST_F(Wave, EqualSettingsGiveEqualFrames) {
    UsePicture(NoisePicture(7, 30, 26));
    SetBand({8, 30, 30, 255, kRight, RGB(255, 255, 255)});
    auto first = Build(effect);
    auto second = Build(effect);
    SetText(kAngle, "31");
    auto other = Build(effect);
    EXPECT_EQ(frame_checks::BuildHash(first), frame_checks::BuildHash(second));
    EXPECT_NE(frame_checks::BuildHash(first), frame_checks::BuildHash(other));
}

TEST_F(Wave, TinyAndThinPicturesBuild) {
    for (auto [width, height] : {std::pair{1, 1}, {2, 2}, {3, 1000}, {1000, 3}})
        for (int direction : {kUp, kRight}) {
            SCOPED_TRACE(testing::Message() << width << "x" << height << " direction " << direction);
            UsePicture(NoisePicture(8, width, height));
            SetBand({4, 50, 45, 255, direction, RGB(255, 255, 255)});
            auto frames = Build(effect);
            EXPECT_EQ(frames.result, 1);
            EXPECT_EQ(frames.count(), 4);
            EXPECT_TRUE(Preview(effect));
        }
}

TEST_F(Wave, MemoryFailuresLeaveNothingBehind) {
    UsePicture(NoisePicture(9, 10, 8));
    SetBand({4, 30, 30, 255, kDown, RGB(255, 255, 255)});
    const int points = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(points, 12);  // at least one pen per stroke
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(Wave, GoldenFramesOfTheSamplePicture) {
    SetSourceImage(nullptr);
    SetField(kFrames, 6);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 6);
    for (int i : {2, 4}) frame_checks::WritePng(frames[i].image, "wave_frame" + std::to_string(i));
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "49aee36de9989249cdf1770760b096175ab5929f080fe2503aa2787669ffea23");
}

}  // namespace
