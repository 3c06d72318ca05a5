#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "effects/effect_bodies.h"
#include "effects/phasers.h"
#include "effects/source_image.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "tests/effects/effect_run.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using testing_support::BodyRun;
using testing_support::BuiltFrames;
using testing_support::PatternPicture;

constexpr int kDelay = 179, kFrames = 181, kPower = 183, kDensity = 185, kSeed = 187;
constexpr int kEastToSouthBox = 203, kWestToSouthBox = 204, kHorizontalBox = 205, kVerticalBox = 206;
constexpr int kEnableBoxes[4] = {199, 200, 201, 202};

class Phasers : public testing_support::EffectTest {
protected:
    const int effect = testing_support::EffectIndex("Phasers on Stun");

    // Few beams over few frames on a small picture: quick builds.
    void SmallBuild(LONG width, LONG height, int frames) {
        SetSourceImage(PatternPicture(width, height));
        SetField(kFrames, frames);
        SetField(kDensity, 8);
    }
};

TEST_F(Phasers, EveryBeamShowsInFourFramesWithFallingBrightness) {
    SetField(kDensity, 8);
    SetField(kFrames, 3);
    BodyRun run(PhasersBody, dialog, 400, 300);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    ASSERT_EQ(s.beamCount, 32);
    for (int beam = 0; beam < 8; ++beam) {
        const PhaserBeam& first = s.beams()[4 * beam];
        const int levels[4] = {255, 192, 128, 64};
        for (int echo = 0; echo < 4; ++echo) {
            const PhaserBeam& e = s.beams()[4 * beam + echo];
            EXPECT_EQ(e.level, levels[echo]);
            // Three frames: the last echo comes round to the beam's own frame.
            EXPECT_EQ(e.frame, (first.frame + echo) % 3);
            EXPECT_EQ(e.kind, first.kind);
            EXPECT_EQ(e.color, first.color);
            EXPECT_EQ(e.power, 5);
            EXPECT_TRUE(e.x1 == first.x1 && e.y1 == first.y1 && e.x2 == first.x2 && e.y2 == first.y2 &&
                        e.x3 == first.x3 && e.y3 == first.y3 && e.x4 == first.x4 && e.y4 == first.y4);
        }
    }
}

// The beams as the stated order of draws makes them, worked out here apart:
// kind, its endpoints, colour, frame.
TEST_F(Phasers, BeamsFollowTheOrderOfDraws) {
    const LONG w = 123, h = 77;
    SetField(kDensity, 8);
    SetField(kFrames, 10);
    SetField(kSeed, 4321);
    SetField(kPower, 3);
    BodyRun run(PhasersBody, dialog, w, h);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    ASSERT_EQ(s.beamCount, 32);
    const COLORREF colours[5] = {255, 65280, 16711680, 16711935, 65535};
    const int a = (8 * w) / 10, b = (8 * h) / 10, c = w / 10, d = h / 10;
    crt::srand(4321);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const PhaserBeam& beam = s.beams()[4 * i];
        const int kind = crt::rand() % 4;
        ASSERT_EQ(beam.kind, kind);
        if (kind <= kWestToSouth) {
            const int y1 = crt::rand() % b + d, x2 = crt::rand() % a + c;
            EXPECT_TRUE(beam.y1 == y1 && beam.x2 == x2 && beam.y3 == y1 && beam.x4 == x2);
        } else if (kind == kHorizontalBeam) {
            const int y1 = crt::rand() % b + d, y2 = crt::rand() % b + d;
            EXPECT_TRUE(beam.y1 == y1 && beam.y2 == y2);
        } else {
            const int x1 = crt::rand() % a + c, x2 = crt::rand() % a + c;
            EXPECT_TRUE(beam.x1 == x1 && beam.x2 == x2);
        }
        EXPECT_EQ(beam.color, colours[crt::rand() % 5]);
        EXPECT_EQ(beam.frame, crt::rand() % 10);
        EXPECT_EQ(beam.power, 3);
    }
}

// Pictures under two pixels leave the endpoint draws no span: every beam
// still takes its draws and lands on the margin.
TEST_F(Phasers, TinyPicturesPutTheEndpointsOnTheMargin) {
    SetField(kDensity, 8);
    for (SIZE size : {SIZE{1, 1}, SIZE{1, 40}, SIZE{40, 1}}) {
        BodyRun run(PhasersBody, dialog, size.cx, size.cy);
        ASSERT_TRUE(run.ok());
        const auto& s = run.state<PhasersState>();
        for (int i = 0; i < s.beamCount; ++i) {
            const PhaserBeam& beam = s.beams()[i];
            if (beam.kind != kVerticalBeam && size.cy == 1) {
                EXPECT_EQ(beam.y1, 0);
            }
            if (beam.kind != kHorizontalBeam && size.cx == 1) {
                EXPECT_EQ(beam.x2, 0);
            }
        }
    }
}

TEST_F(Phasers, BeamsStartAndEndOnTheEdgesInsideTheMargins) {
    const LONG w = 400, h = 300;
    BodyRun run(PhasersBody, dialog, w, h);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    ASSERT_EQ(s.beamCount, 4 * 64);
    std::set<int> kinds;
    const std::set<COLORREF> colours{255, 65280, 16711680, 16711935, 65535};
    auto across = [](int v, int size) { return v >= size / 10 && v < (8 * size) / 10 + size / 10; };
    for (int i = 0; i < s.beamCount; i += 4) {
        const PhaserBeam& b = s.beams()[i];
        kinds.insert(b.kind);
        EXPECT_TRUE(colours.count(b.color));
        EXPECT_TRUE(b.frame >= 0 && b.frame < 64);
        switch (b.kind) {
        case kEastToSouth:
        case kWestToSouth: {
            const LONG side = b.kind == kEastToSouth ? w : 0;
            EXPECT_EQ(b.paired, 1);
            EXPECT_TRUE(b.x1 == side && b.y2 == h && b.x3 == w - side && b.y3 == b.y1 && b.x4 == b.x2 && b.y4 == 0);
            EXPECT_TRUE(across(b.y1, h) && across(b.x2, w));
            break;
        }
        case kHorizontalBeam:
            EXPECT_EQ(b.paired, 0);
            EXPECT_TRUE(b.x1 == 0 && b.x2 == w && across(b.y1, h) && across(b.y2, h));
            break;
        default:
            EXPECT_EQ(b.paired, 0);
            EXPECT_TRUE(b.y1 == 0 && b.y2 == h && across(b.x1, w) && across(b.x2, w));
        }
    }
    EXPECT_EQ(kinds.size(), 4u);
}

TEST_F(Phasers, TheCheckedKindsAndColoursAreTheOnlyOnesUsed) {
    for (int box : kEnableBoxes) SetCheck(box, false);
    SetCheck(kEastToSouthBox, false);
    SetCheck(kWestToSouthBox, false);
    SetCheck(kHorizontalBox, false);
    {
        BodyRun run(PhasersBody, dialog, 400, 300);
        ASSERT_TRUE(run.ok());
        const auto& s = run.state<PhasersState>();
        for (int i = 0; i < s.beamCount; ++i) {
            const PhaserBeam& b = s.beams()[i];
            EXPECT_EQ(b.kind, kVerticalBeam);
            EXPECT_EQ(b.color, 255u);
            EXPECT_TRUE(b.y1 == 0 && b.y2 == 300);
        }
    }
    // With no kind checked every beam runs from east to south.
    SetCheck(kVerticalBox, false);
    BodyRun run(PhasersBody, dialog, 400, 300);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    for (int i = 0; i < s.beamCount; ++i) EXPECT_EQ(s.beams()[i].kind, kEastToSouth);
}

TEST_F(Phasers, AVerticalBeamCrossesThePictureFromTopToBottom) {
    SetCheck(kEastToSouthBox, false);
    SetCheck(kWestToSouthBox, false);
    SetCheck(kHorizontalBox, false);
    SetField(kDensity, 8);
    SetField(kFrames, 1000);
    SetSourceImage(PatternPicture(80, 60));
    BodyRun run(PhasersBody, dialog, 80, 60);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    const int frame = s.beams()[0].frame;
    GlobalBlock plain(GetSourceImageCopy()), shown(run.Render(frame));
    ASSERT_TRUE(shown);
    GlobalLockGuard<BYTE> a(plain.get()), b(shown.get());
    for (LONG y = 0; y < 60; ++y) {
        int changed = 0;
        for (LONG x = 0; x < 80; ++x) changed += GetDibPixel(a.get(), x, y) != GetDibPixel(b.get(), x, y);
        EXPECT_GT(changed, 0) << "row " << y;
    }
}

TEST_F(Phasers, TheLoopCloses) {
    SmallBuild(80, 60, 5);
    auto sequence = RenderSequence(PhasersBody, 6);
    ASSERT_EQ(sequence.size(), 6u);
    EXPECT_TRUE(testing_support::SameBlock(sequence[0].get(), sequence[5].get()));
    EXPECT_FALSE(testing_support::SameBlock(sequence[0].get(), sequence[1].get()));
}

TEST_F(Phasers, AFrameThatNoEntryFallsInShowsThePlainPicture) {
    SmallBuild(80, 60, 1000);
    BodyRun run(PhasersBody, dialog, 80, 60);
    ASSERT_TRUE(run.ok());
    const auto& s = run.state<PhasersState>();
    std::set<int> used;
    for (int i = 0; i < s.beamCount; ++i) used.insert(s.beams()[i].frame);
    int empty = 0;
    while (used.count(empty)) ++empty;
    GlobalBlock plain(GetSourceImageCopy()), quiet(run.Render(empty)), busy(run.Render(*used.begin()));
    EXPECT_TRUE(testing_support::SameBlock(plain.get(), quiet.get()));
    EXPECT_GT(testing_support::ChangedPixels(plain.get(), busy.get()), 0);
}

TEST(PhaserBeamMask, TheMaskCarriesTheEntrysLevelAcrossTheBeam) {
    PhaserBeam beam{};
    beam.kind = kHorizontalBeam;
    beam.y1 = beam.y2 = 20;
    beam.x2 = 64;
    beam.power = 8;
    SurfaceGuard surface;
    ASSERT_TRUE(surface.Open(128, 80));
    for (int level : {255, 192, 128, 64}) {
        beam.level = level;
        GlobalBlock mask(PhaserBeamMask(surface.get(), beam));
        GlobalLockGuard<BYTE> m(mask.get());
        ASSERT_TRUE(m);
        DibLayout l;
        ASSERT_TRUE(DibLayout::From(m.get(), l));
        EXPECT_EQ(l.width, 64);
        EXPECT_EQ(l.height, 40);
        // Eight pixels wide about row 20, from edge to edge.
        for (LONG x : {0L, 31L, 63L}) {
            EXPECT_EQ(GetDibPixel(m.get(), x, 20) & 0xFF, static_cast<DWORD>(level)) << x;
            EXPECT_EQ(GetDibPixel(m.get(), x, 5) & 0xFF, 0u) << x;
            EXPECT_EQ(GetDibPixel(m.get(), x, 35) & 0xFF, 0u) << x;
        }
    }
    // Each mask starts from a cleared surface.
    beam.kind = kVerticalBeam;
    beam.x1 = beam.x2 = 10;
    beam.y1 = 0;
    beam.y2 = 40;
    GlobalBlock mask(PhaserBeamMask(surface.get(), beam));
    GlobalLockGuard<BYTE> m(mask.get());
    ASSERT_TRUE(m);
    EXPECT_EQ(GetDibPixel(m.get(), 10, 5) & 0xFF, 64u);
    EXPECT_EQ(GetDibPixel(m.get(), 40, 20) & 0xFF, 0u);
}

TEST(PhaserBeamMask, DiagonalLinesKeepTheirMiddles) {
    // East to south from (64, 10) to (20, 40) with its partner from (0, 10)
    // to (20, 0): both lines are drawn longer, turned about their middles.
    PhaserBeam beam{};
    beam.kind = kEastToSouth;
    beam.x1 = 64, beam.y1 = 10, beam.x2 = 20, beam.y2 = 40;
    beam.x3 = 0, beam.y3 = 10, beam.x4 = 20, beam.y4 = 0;
    beam.paired = 1;
    beam.level = 255;
    beam.power = 4;
    SurfaceGuard surface;
    ASSERT_TRUE(surface.Open(128, 80));
    GlobalBlock mask(PhaserBeamMask(surface.get(), beam));
    GlobalLockGuard<BYTE> m(mask.get());
    ASSERT_TRUE(m);
    EXPECT_GT(GetDibPixel(m.get(), 42, 25) & 0xFF, 200u);
    EXPECT_GT(GetDibPixel(m.get(), 10, 5) & 0xFF, 200u);
    EXPECT_EQ(GetDibPixel(m.get(), 5, 35) & 0xFF, 0u);
}

TEST_F(Phasers, ThePreviewIsFrameZeroAndEqualSettingsGiveEqualFrames) {
    SmallBuild(80, 60, 4);
    BuiltFrames first = Build(effect);
    ASSERT_EQ(first.result, 1);
    ASSERT_EQ(first.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(first[i].delay, 12u);
        EXPECT_EQ(first[i].transparentIndex, -1);
    }
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(testing_support::SameBlock(preview.get(), first[0].image));

    BuiltFrames again = Build(effect);
    ASSERT_EQ(again.count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(testing_support::SameBlock(first[i].image, again[i].image)) << i;

    SetField(kSeed, 1234);
    BuiltFrames other = Build(effect);
    ASSERT_EQ(other.count(), 4);
    int differing = 0;
    for (int i = 0; i < 4; ++i) differing += !testing_support::SameBlock(first[i].image, other[i].image);
    EXPECT_GT(differing, 0);
}

TEST_F(Phasers, DegeneratePicturesBuild) {
    SetField(kPower, 8);
    for (SIZE size : {SIZE{1, 1}, SIZE{2, 2}, SIZE{3, 1000}, SIZE{1000, 3}}) {
        SmallBuild(size.cx, size.cy, 3);
        BuiltFrames frames = Build(effect);
        ASSERT_EQ(frames.result, 1) << size.cx << "x" << size.cy;
        ASSERT_EQ(frames.count(), 3);
        GlobalLockGuard<BITMAPINFOHEADER> header(frames[2].image);
        EXPECT_EQ(header->biWidth, size.cx);
        EXPECT_EQ(header->biHeight, size.cy);
    }
}

TEST_F(Phasers, EveryFailedAllocationFailsTheBuildAndLeavesNothing) {
    SmallBuild(12, 9, 2);
    const int points = testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    EXPECT_GT(points, 10);
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(Phasers, GoldenFrames) {
    // The sample picture with the built-in settings but for a short animation.
    SetField(kFrames, 6);
    SetField(kDensity, 8);
    BuiltFrames frames = Build(effect);
    ASSERT_EQ(frames.count(), 6);
    testing_support::ExpectGoldenBuild(
        frames, "03e6f7fb63322835f7a84d5135ba3213d30cfa36589ecfa86fc15b860e8174d4", {0, 1, 2, 3, 4, 5}, "phasers");
}

}  // namespace
