#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/source_image.h"
#include "effects/tracks.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "settings/settings.h"
#include "tests/support/frame_digest.h"
#include "tests/effects/frame_checks.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using frame_checks::Delays;
using frame_checks::NoisePicture;
using frame_checks::Pixel;
using testing_support::SameBlock;

constexpr int kMode = 528, kTracks = 532, kFrames = 530, kDelay = 524, kPause = 526, kSeed = 534, kSpeeds = 537,
              kSlowEnd = 536;
// Items of the "Tracks:" list.
constexpr int kTracks4 = 1, kTracks16 = 3, kTracks256 = 7;

struct Strip {
    int start, extent, speed;
};

class Tracks : public testing_support::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        effect = testing_support::EffectIndex("Tracks");
        ASSERT_GE(effect, 0);
    }

    // Gives the page a picture; the test keeps a copy to compare with.
    void UsePicture(HGLOBAL picture) {
        source.reset(CopyGlobalBlock(picture));
        SetSourceImage(picture);
    }

    // The strips a build (or a preview) cuts for the page as it stands;
    // empty when the state cannot be made.
    std::vector<Strip> Strips(bool preview = false) {
        BuildContext context{};
        context.page = dialog;
        context.flags = preview ? kPreviewFlag : 0;
        std::vector<Strip> strips;
        if (!StartBody(&context, TracksBody)) return strips;
        const auto& state = *static_cast<const TracksState*>(context.state);
        for (int k = 0; k < state.count; ++k)
            strips.push_back({state.strips[k].start, state.strips[k].extent, state.strips[k].speed});
        TracksBody.FreeState(&context);
        return strips;
    }

    // The turn k by which the strip in frame shows the picture's strip (row
    // y showing row y + k for columns, column x showing x + k for bands), or
    // -1 when no turn matches.
    int ObservedTurn(HGLOBAL frame, const Strip& strip, bool columns) {
        const SIZE size = frame_checks::PictureSize(source.get());
        const LONG length = columns ? size.cy : size.cx;
        GlobalLockGuard<BYTE> from(source.get()), to(frame);
        for (LONG k = 0; k < length; ++k) {
            bool match = true;
            for (LONG a = 0; match && a < length; ++a)
                for (LONG b = strip.start; match && b < strip.start + strip.extent; ++b) {
                    const LONG moved = (a + k) % length;
                    match = columns ? GetDibPixel(to.get(), b, a) == GetDibPixel(from.get(), b, moved)
                                    : GetDibPixel(to.get(), a, b) == GetDibPixel(from.get(), moved, b);
                }
            if (match) return static_cast<int>(k);
        }
        return -1;
    }

    // Every strip of frame has turned by length x speed x time / total, to
    // within the rounding of each step.
    void ExpectTurns(HGLOBAL frame, const std::vector<Strip>& strips, bool columns, int time, int total) {
        const SIZE size = frame_checks::PictureSize(source.get());
        const int length = columns ? size.cy : size.cx;
        for (const Strip& strip : strips) {
            const int observed = ObservedTurn(frame, strip, columns);
            ASSERT_GE(observed, 0) << "strip at " << strip.start << " is not a turn of the picture's strip";
            const double exact = static_cast<double>(length) * strip.speed * time / total;
            const long long nearest = std::llround(exact);
            const int off = static_cast<int>(((observed - nearest) % length + length) % length);
            EXPECT_TRUE(off == 0 || off == 1 || off == length - 1)
                << "strip at " << strip.start << " speed " << strip.speed << " time " << time << ": turned "
                << observed << ", expected about " << exact;
        }
    }

    int effect = -1;
    GlobalBlock source;
};

TEST_F(Tracks, StripsAreAtLeastFourPixelsAcross) {
    UsePicture(NoisePicture(1, 300, 40));
    SelectItem(kTracks, kTracks256);
    SelectItem(kMode, kTracksSlideUp);
    std::vector<Strip> strips = Strips();
    ASSERT_EQ(strips.size(), 75u);  // 300 / 75 = 4
    int next = 0;
    for (const Strip& strip : strips) {
        EXPECT_EQ(strip.start, next);
        EXPECT_GE(strip.extent, 3);  // single-precision fractions may cut one short
        next = strip.start + strip.extent;
    }
    EXPECT_EQ(next, 300);

    // Bands cut the height: 40 rows take 10 strips.
    SelectItem(kMode, kTracksSlideLeft);
    EXPECT_EQ(Strips().size(), 10u);
    SelectItem(kTracks, kTracks16);
    EXPECT_EQ(Strips().size(), 10u);
    SelectItem(kTracks, kTracks4);
    EXPECT_EQ(Strips().size(), 4u);
}

TEST_F(Tracks, SpeedsAndDirectionsFollowTheSeed) {
    UsePicture(NoisePicture(2, 64, 64));
    SelectItem(kTracks, kTracks16);
    SetField(kSeed, 4321);
    for (int speeds = 2; speeds <= 4; ++speeds)
        for (int mode = 0; mode <= 5; ++mode) {
            SetField(kSpeeds, speeds);
            SelectItem(kMode, mode);
            std::vector<Strip> strips = Strips();
            ASSERT_EQ(strips.size(), 16u);
            // The draws as stated: an index into 1, 2, 4, 8 that differs from
            // the previous strip's within 16 draws, then a sign for the
            // two-way modes.
            crt::srand(4321);
            int previous = 0;
            for (const Strip& strip : strips) {
                int index = 0;
                for (int draw = 0; draw < 16; ++draw) {
                    index = crt::rand() % speeds;
                    if (index != previous) break;
                }
                previous = index;
                int speed = 1 << index;
                if (mode == kTracksSlideDown || mode == kTracksSlideRight) speed = -speed;
                if ((mode == kTracksSlideUpAndDown || mode == kTracksSlideLeftAndRight) && crt::rand() % 2 == 0)
                    speed = -speed;
                EXPECT_EQ(strip.speed, speed) << "mode " << mode << " speeds " << speeds;
            }
        }
}

TEST_F(Tracks, EveryStripTurnsRoundWithinItsBounds) {
    for (int mode : {kTracksSlideUp, kTracksSlideDown, kTracksSlideUpAndDown, kTracksSlideLeft, kTracksSlideRight,
                     kTracksSlideLeftAndRight}) {
        SCOPED_TRACE(mode);
        UsePicture(NoisePicture(3 + mode, 40, 32));
        SelectItem(kMode, mode);
        SelectItem(kTracks, kTracks4);
        SetField(kSpeeds, 4);
        SetField(kFrames, 9);
        std::vector<Strip> strips = Strips();
        ASSERT_EQ(strips.size(), 4u);
        auto frames = Build(effect);
        ASSERT_EQ(frames.result, 1);
        ASSERT_EQ(frames.count(), 9);
        for (int t = 0; t < 8; ++t) ExpectTurns(frames[t].image, strips, TracksColumnMode(mode), t, 8);
        EXPECT_TRUE(SameBlock(frames[0].image, source.get()));
        EXPECT_TRUE(SameBlock(frames[8].image, source.get()));
    }
}

TEST_F(Tracks, StepsLongerThanAStripStillTurnIt) {
    // Three moving frames: a speed of 8 moves a strip more than twice its
    // length per step.
    UsePicture(NoisePicture(11, 40, 24));
    SelectItem(kMode, kTracksSlideUpAndDown);
    SelectItem(kTracks, kTracks4);
    SetField(kSpeeds, 4);
    SetField(kSeed, 7);
    SetField(kFrames, 4);
    std::vector<Strip> strips = Strips();
    bool fastest = false;
    for (const Strip& strip : strips) fastest = fastest || std::abs(strip.speed) == 8;
    ASSERT_TRUE(fastest) << "the seed should give a strip of speed 8";
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    for (int t = 0; t < 3; ++t) ExpectTurns(frames[t].image, strips, true, t, 3);
}

TEST_F(Tracks, TheLoopClosesOnTheUnmovedPicture) {
    UsePicture(NoisePicture(4, 48, 36));
    SetField(kFrames, 12);
    auto sequence = RenderSequence(TracksBody, 12);
    ASSERT_EQ(sequence.size(), 12u);
    // Frame 0 shows no turn, frame T = 11 every strip back where it started.
    EXPECT_TRUE(SameBlock(sequence[0].get(), source.get()));
    EXPECT_TRUE(SameBlock(sequence[11].get(), sequence[0].get()));
    EXPECT_FALSE(SameBlock(sequence[5].get(), sequence[0].get()));
}

TEST_F(Tracks, TwoFramesShowTheUnmovedPictureTwice) {
    UsePicture(NoisePicture(5, 32, 32));
    SetField(kFrames, 2);
    SetField(kDelay, 7);
    SetField(kPause, 90);
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 2);
    EXPECT_EQ(Delays(frames), (std::vector<DWORD>{7, 90}));
    EXPECT_TRUE(SameBlock(frames[0].image, source.get()));
    EXPECT_TRUE(SameBlock(frames[1].image, source.get()));
    EXPECT_EQ(frames[0].transparentIndex, -1);
    EXPECT_EQ(frames[0].mask, nullptr);
}

TEST_F(Tracks, SlowEndLengthensTheLastDelays) {
    UsePicture(NoisePicture(6, 32, 32));
    SetField(kFrames, 21);
    SetField(kDelay, 5);
    SetField(kPause, 77);
    ASSERT_EQ(Style011SlowFactor, 85u);
    SetCheck(kSlowEnd, true);
    auto slow = Build(effect);
    ASSERT_EQ(slow.result, 1);
    std::vector<DWORD> expected(18, 5);  // frames 0..17: up to h = 20 x 85 / 100 = 17
    expected.insert(expected.end(), {10, 15, 77});
    EXPECT_EQ(Delays(slow), expected);
    // The progress reports count the moving frames only.
    const auto reports = frame_checks::ProgressReports(*host);
    ASSERT_EQ(reports.size(), 20u);
    EXPECT_EQ(reports.back(), (std::pair<std::int64_t, std::int64_t>{19, 20}));

    SetCheck(kSlowEnd, false);
    auto even = Build(effect);
    expected.assign(20, 5);
    expected.push_back(77);
    EXPECT_EQ(Delays(even), expected);
    for (int i = 0; i < 21; ++i) EXPECT_TRUE(SameBlock(slow[i].image, even[i].image)) << i;

    // The factor comes from the configuration file alone.
    Style011SlowFactor = 50;
    SetCheck(kSlowEnd, true);
    auto half = Build(effect);
    EXPECT_EQ(Delays(half)[10], 5u);
    EXPECT_EQ(Delays(half)[11], 10u);
    EXPECT_EQ(Delays(half)[19], 50u);
    Style011SlowFactor = 85;
}

TEST_F(Tracks, PreviewShowsTheStripsAnEighthOfTheWayRound) {
    // Preview: T = Frames = 16 and t = 2 in one step; a build of 17 frames
    // has T = 16 too and reaches the same turns at its frame 2.
    UsePicture(NoisePicture(7, 64, 64));
    SelectItem(kTracks, kTracks16);
    SelectItem(kMode, kTracksSlideUpAndDown);
    SetField(kFrames, 16);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    ExpectTurns(preview.get(), Strips(true), true, 2, 16);
    SetField(kFrames, 17);
    auto frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    EXPECT_TRUE(SameBlock(preview.get(), frames[2].image));
}

TEST_F(Tracks, NarrowPicturesFailCleanly) {
    struct Case {
        LONG width, height;
        int mode;
        bool builds;
    };
    const Case cases[] = {
        {7, 50, kTracksSlideUp, false},    {8, 50, kTracksSlideUp, true},      {50, 7, kTracksSlideLeft, false},
        {50, 8, kTracksSlideRight, true},  {1, 1, kTracksSlideUp, false},      {1, 1, kTracksSlideLeft, false},
        {2, 2, kTracksSlideDown, false},   {3, 1000, kTracksSlideUp, false},   {3, 1000, kTracksSlideLeft, true},
        {1000, 3, kTracksSlideUp, true},   {1000, 3, kTracksSlideRight, false}};
    SetField(kFrames, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " mode " << c.mode);
        UsePicture(NoisePicture(8, c.width, c.height));
        SelectItem(kMode, c.mode);
        SelectItem(kTracks, kTracks256);
        const auto blocks = luma::LiveGlobalBlocks();
        {
            auto frames = Build(effect);
            EXPECT_EQ(frames.result, c.builds ? 1 : 0);
            EXPECT_EQ(frames.count(), c.builds ? 3 : 0);
            if (c.builds) ExpectTurns(frames[1].image, Strips(), TracksColumnMode(c.mode), 1, 2);
        }
        EXPECT_EQ(luma::LiveGlobalBlocks(), blocks);
        GlobalBlock preview = Preview(effect);
        EXPECT_EQ(static_cast<bool>(preview), c.builds);
    }
}

TEST_F(Tracks, TheSameSeedGivesTheSameFrames) {
    UsePicture(NoisePicture(9, 48, 40));
    SetField(kFrames, 6);
    SetField(kSeed, 100);
    auto first = Build(effect);
    auto second = Build(effect);
    SetField(kSeed, 101);
    auto other = Build(effect);
    ASSERT_EQ(first.count(), 6);
    ASSERT_EQ(other.count(), 6);
    EXPECT_EQ(frame_checks::BuildHash(first), frame_checks::BuildHash(second));
    EXPECT_NE(frame_checks::BuildHash(first), frame_checks::BuildHash(other));
}

TEST_F(Tracks, MemoryFailuresLeaveNothingBehind) {
    UsePicture(NoisePicture(10, 24, 16));
    SelectItem(kTracks, kTracks4);
    SetField(kFrames, 3);
    const int points = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(points, 8);
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(Tracks, GoldenFramesOfTheSamplePicture) {
    SetSourceImage(nullptr);
    SetField(kFrames, 6);
    auto frames = Build(effect);
    ASSERT_EQ(frames.count(), 6);
    for (int i : {1, 3}) frame_checks::WritePng(frames[i].image, "tracks_frame" + std::to_string(i));
    EXPECT_EQ(testing_support::FramesDigest(frames),
              "589666343098581a30cbd25fbfb946cf3257a5ef979879e4cbfb6a437f1c5588");
}

}  // namespace
