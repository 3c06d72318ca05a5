#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/testing.h"
#include "tests/support/frame_digest.h"
#include "tests/effects/frame_checks.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using frame_checks::Delays;
using frame_checks::NoisePicture;
using frame_checks::Pixel;
using testing_support::SameBlock;

constexpr int kDelay = 618, kPause = 620, kImplode = 622, kExplode = 624, kCentreX = 626, kCentreY = 628,
              kFrames = 630;
constexpr DWORD kGrey = 0x7F7F7F;
constexpr double kPi = std::numbers::pi;

// The warp written out pixel by pixel from its description, to check the
// effect's frames against.
class ReferenceWarp {
public:
    ReferenceWarp(HGLOBAL picture, int horizontal, int vertical) : picture_(picture) {
        const SIZE size = frame_checks::PictureSize(picture);
        w_ = size.cx;
        h_ = size.cy;
        x0_ = horizontal / 100.0 * w_;
        y0_ = vertical / 100.0 * h_;
        if (w_ > h_) ay_ = static_cast<double>(w_) / h_;
        if (w_ < h_) ax_ = static_cast<double>(h_) / w_;
        r_ = w_ >= h_ ? x0_ : y0_;
    }

    bool Inside(LONG x, LONG y) const {
        const double dx = (x - x0_) * ax_, dy = (y - y0_) * ay_;
        return dx * dx + dy * dy < r_ * r_;
    }

    HGLOBAL Warp(int strength) const {
        HGLOBAL result = CopyGlobalBlock(picture_);
        GlobalLockGuard<BYTE> from(picture_), to(result);
        const double p = strength / 100.0;
        for (LONG y = 0; y < h_; ++y)
            for (LONG x = 0; x < w_; ++x) {
                const double dx = (x - x0_) * ax_, dy = (y - y0_) * ay_;
                const double d2 = dx * dx + dy * dy;
                if (d2 >= r_ * r_) continue;
                const double f = d2 == 0 ? 1.0 : std::pow(std::sin(std::sqrt(d2) * (kPi / 2) / r_), -p);
                SetDibPixel(to.get(), x, y, Sample(from.get(), f * dx / ax_ + x0_, f * dy / ay_ + y0_));
            }
        return result;
    }

private:
    DWORD Sample(const void* dib, double x, double y) const {
        const double u = x + 0.5, v = y + 0.5;
        if (u < -1 || u >= w_ || v < -1 || v >= h_) return kGrey;
        const LONG iu = static_cast<LONG>(u), iv = static_cast<LONG>(v);
        auto at = [&](LONG px, LONG py, bool cut) {
            const DWORD value = cut ? kNoPixel : GetDibPixel(dib, px, py);
            return value == kNoPixel ? kGrey : value;
        };
        const DWORD p00 = at(iu, iv, u < 0 || v < 0), p10 = at(iu + 1, iv, v < 0), p01 = at(iu, iv + 1, u < 0),
                    p11 = at(iu + 1, iv + 1, false);
        const double fx = u - std::floor(u), fy = v - std::floor(v);
        DWORD out = 0;
        for (int shift : {0, 8, 16}) {
            auto c = [shift](DWORD p) { return static_cast<double>((p >> shift) & 0xFF); };
            const double value =
                (c(p00) * (1 - fx) + c(p10) * fx) * (1 - fy) + (c(p01) * (1 - fx) + c(p11) * fx) * fy + 0.5;
            out |= static_cast<DWORD>(static_cast<int>(value)) << shift;
        }
        return out;
    }

    HGLOBAL picture_;
    LONG w_ = 0, h_ = 0;
    double x0_ = 0, y0_ = 0, ax_ = 1, ay_ = 1, r_ = 0;
};

class Singularity : public testing_support::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        effect = testing_support::EffectIndex("Singularity");
        ASSERT_GE(effect, 0);
    }

    void UsePicture(HGLOBAL picture) {
        source.reset(CopyGlobalBlock(picture));
        SetSourceImage(picture);
    }

    // How many pixels of two pictures differ, inside and outside the warped ellipse.
    std::pair<int, int> Changed(HGLOBAL a, HGLOBAL b, const ReferenceWarp& warp) {
        const SIZE size = frame_checks::PictureSize(a);
        int inside = 0, outside = 0;
        for (LONG y = 0; y < size.cy; ++y)
            for (LONG x = 0; x < size.cx; ++x)
                if (Pixel(a, x, y) != Pixel(b, x, y)) ++(warp.Inside(x, y) ? inside : outside);
        return {inside, outside};
    }

    int effect = -1;
    GlobalBlock source;
};

TEST_F(Singularity, PhasesSplitTheFrames) {
    UsePicture(NoisePicture(1, 24, 20));
    SetField(kDelay, 4);
    SetField(kPause, 90);
    for (auto [frames, implode, explode] : {std::tuple{16, 6, 8}, {64, 30, 32}, {17, 6, 9}}) {
        SetField(kFrames, frames);
        auto built = Build(effect);
        ASSERT_EQ(built.result, 1);
        ASSERT_EQ(built.count(), frames);
        std::vector<DWORD> expected(implode, 4);
        expected.push_back(90);
        expected.insert(expected.end(), explode, 4);
        expected.push_back(90);
        EXPECT_EQ(Delays(built), expected) << frames << " frames";
        // The pauses show the plain picture; the warps leave it at their peaks.
        EXPECT_TRUE(SameBlock(built[implode].image, source.get()));
        EXPECT_TRUE(SameBlock(built[frames - 1].image, source.get()));
        EXPECT_FALSE(SameBlock(built[implode / 2].image, source.get()));
        EXPECT_FALSE(SameBlock(built[implode + 1 + explode / 2].image, source.get()));
        const auto reports = frame_checks::ProgressReports(*host);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), (std::pair<std::int64_t, std::int64_t>{frames - 1, frames}));
    }
}

TEST_F(Singularity, FramesAreThePictureWarpedInThenOut) {
    // Landscape and portrait pictures, centres off the middle.
    for (auto [width, height, horizontal, vertical] : {std::tuple{40, 30, 40, 60}, {30, 40, 75, 25}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        UsePicture(NoisePicture(2, width, height));
        SetField(kFrames, 16);
        SetField(kImplode, 80);
        SetField(kExplode, 150);
        SetField(kCentreX, horizontal);
        SetField(kCentreY, vertical);
        auto built = Build(effect);
        ASSERT_EQ(built.count(), 16);
        ReferenceWarp warp(source.get(), horizontal, vertical);
        for (int c = 0; c < 6; ++c) {
            const float part = static_cast<float>(c) / 6.0f;
            GlobalBlock expected(warp.Warp(static_cast<int>(std::sin(kPi * part) * 80)));
            EXPECT_TRUE(SameBlock(built[c].image, expected.get())) << "implode frame " << c;
        }
        for (int c = 0; c < 8; ++c) {
            GlobalBlock expected(warp.Warp(-static_cast<int>(std::sin(kPi * c / 8) * 150)));
            EXPECT_TRUE(SameBlock(built[7 + c].image, expected.get())) << "explode frame " << c;
        }
    }
}

TEST_F(Singularity, TheFirstFrameSamplesHalfAPixelOn) {
    // A square picture centred on a whole pixel: each sample falls exactly
    // between four pixels, and the frame is their average inside the circle.
    UsePicture(NoisePicture(3, 32, 32));
    SetField(kFrames, 16);
    auto sequence = RenderSequence(SingularityBody, 1);
    ASSERT_EQ(sequence.size(), 1u);
    ReferenceWarp warp(source.get(), 50, 50);
    int inside = 0;
    for (LONG y = 0; y < 32; ++y)
        for (LONG x = 0; x < 32; ++x) {
            const DWORD got = Pixel(sequence[0].get(), x, y);
            if (!warp.Inside(x, y)) {
                EXPECT_EQ(got, Pixel(source.get(), x, y)) << x << "," << y;
                continue;
            }
            ++inside;
            for (int shift : {0, 8, 16}) {
                int sum = 0;
                for (auto [dx, dy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
                    const DWORD value = Pixel(source.get(), x + dx, y + dy);
                    sum += ((value == kNoPixel ? kGrey : value) >> shift) & 0xFF;
                }
                EXPECT_EQ(static_cast<int>((got >> shift) & 0xFF), (2 * sum + 4) / 8) << x << "," << y;
            }
        }
    EXPECT_GT(inside, 700);  // pi x 16 x 16 = 804
}

TEST_F(Singularity, TheImplodeShowsMidGreyWhereItReachesBeyondThePicture) {
    // With the centre off the middle the ellipse reaches past the right and
    // bottom edges, and the strong implode samples there next to the centre.
    UsePicture(NoisePicture(4, 64, 48));
    SetField(kImplode, 99);
    SetField(kCentreX, 75);
    SetField(kCentreY, 75);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    frame_checks::WritePng(preview.get(), "singularity_preview");
    for (auto [x, y] : {std::pair{50, 36}, {52, 38}, {48, 40}, {60, 44}}) EXPECT_EQ(Pixel(preview.get(), x, y), kGrey);
    // Towards the picture's own side of the centre the samples stay inside.
    EXPECT_NE(Pixel(preview.get(), 44, 34), kGrey);
    // The preview is the full implode followed by the first step's warp at strength 0.
    ReferenceWarp warp(source.get(), 75, 75);
    GlobalBlock full(warp.Warp(99));
    ReferenceWarp again(full.get(), 75, 75);
    GlobalBlock expected(again.Warp(0));
    EXPECT_TRUE(SameBlock(preview.get(), expected.get()));

    // At the implode's peak in a build the same place is grey; the explode
    // pulls from nearer the centre and shows none.
    SetField(kFrames, 16);
    auto built = Build(effect);
    ASSERT_EQ(built.count(), 16);
    EXPECT_EQ(Pixel(built[3].image, 50, 36), kGrey);
    for (int i : {0, 6, 11, 15})
        for (LONG y = 0; y < 48; ++y)
            for (LONG x = 0; x < 64; ++x) ASSERT_NE(Pixel(built[i].image, x, y), kGrey) << i << ": " << x << "," << y;

    // Centred, a warp of less than a whole exponent never reaches past the
    // ellipse's rim, so the middle shows the picture drawn in, not grey.
    SetField(kCentreX, 50);
    SetField(kCentreY, 50);
    GlobalBlock centred = Preview(effect);
    EXPECT_NE(Pixel(centred.get(), 32, 24), kGrey);
}

TEST_F(Singularity, TheEllipseFollowsThePictureAndItsCentre) {
    UsePicture(NoisePicture(5, 80, 40));
    SetField(kImplode, 60);
    {
        // Centred, the ellipse spans the whole width and height.
        GlobalBlock preview = Preview(effect);
        ReferenceWarp warp(source.get(), 50, 50);
        auto [inside, outside] = Changed(preview.get(), source.get(), warp);
        EXPECT_EQ(outside, 0);
        EXPECT_GT(inside, 2000);  // of pi x 40 x 20 = 2513
        EXPECT_TRUE(warp.Inside(1, 20) && warp.Inside(78, 20) && warp.Inside(40, 1) && warp.Inside(40, 38));
        EXPECT_NE(Pixel(preview.get(), 2, 20), Pixel(source.get(), 2, 20));
        EXPECT_NE(Pixel(preview.get(), 40, 2), Pixel(source.get(), 40, 2));
        EXPECT_EQ(Pixel(preview.get(), 0, 0), Pixel(source.get(), 0, 0));
    }
    {
        // At 25 % the horizontal radius is a quarter of the width, the vertical one half as much.
        SetField(kCentreX, 25);
        GlobalBlock preview = Preview(effect);
        ReferenceWarp warp(source.get(), 25, 50);
        auto [inside, outside] = Changed(preview.get(), source.get(), warp);
        EXPECT_EQ(outside, 0);
        EXPECT_GT(inside, 500);  // of pi x 20 x 10 = 628
        for (LONG x = 40; x < 80; ++x) EXPECT_EQ(Pixel(preview.get(), x, 20), Pixel(source.get(), x, 20)) << x;
        for (LONG y : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 30, 31, 35, 39})
            EXPECT_EQ(Pixel(preview.get(), 20, y), Pixel(source.get(), 20, y)) << y;
        EXPECT_TRUE(warp.Inside(1, 20) && warp.Inside(39, 20) && warp.Inside(20, 11) && warp.Inside(20, 29));
    }
}

TEST_F(Singularity, EqualSettingsGiveEqualFrames) {
    UsePicture(NoisePicture(6, 30, 22));
    SetField(kFrames, 16);
    auto first = Build(effect);
    auto second = Build(effect);
    SetField(kExplode, 120);
    auto other = Build(effect);
    EXPECT_EQ(frame_checks::BuildHash(first), frame_checks::BuildHash(second));
    EXPECT_NE(frame_checks::BuildHash(first), frame_checks::BuildHash(other));
}

TEST_F(Singularity, TinyAndThinPicturesBuild) {
    SetField(kFrames, 16);
    for (auto [width, height] : {std::pair{1, 1}, {2, 2}, {3, 1000}, {1000, 3}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        UsePicture(NoisePicture(7, width, height));
        auto built = Build(effect);
        EXPECT_EQ(built.result, 1);
        EXPECT_EQ(built.count(), 16);
        GlobalBlock preview = Preview(effect);
        EXPECT_TRUE(preview);
    }
}

TEST_F(Singularity, MemoryFailuresLeaveNothingBehind) {
    UsePicture(NoisePicture(8, 12, 10));
    SetField(kFrames, 16);
    const int points = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(points, 16);
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(Singularity, GoldenFramesOfTheSamplePicture) {
    SetSourceImage(nullptr);
    SetField(kFrames, 16);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 16);
    for (int i : {3, 11}) frame_checks::WritePng(frames[i].image, "singularity_frame" + std::to_string(i));
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "1d8275280d31f27a30265087eebf1720a19588650013d0a1d036c235d1ce44f2");
}

}  // namespace
