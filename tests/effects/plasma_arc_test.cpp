#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "effects/effect_bodies.h"
#include "effects/plasma_arc.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/host_interface.h"
#include "tests/effects/effect_run.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"

namespace {

using testing_support::BodyRun;
using testing_support::BuiltFrames;
using testing_support::PatternPicture;
using testing_support::SameBlock;

constexpr int kDelay = 378, kSeed = 380, kColour = 382, kEnergy = 384, kSize = 386, kComplexity = 388,
              kOpacity = 390, kFrames = 392, kDisturbance = 394, kMode = 396;

// The trees as the arc's description builds them: every node its own record,
// grown recursively, and the nearest leaf found by a search of the finished
// fork tree. The walk under test must draw the same numbers and give the
// same arc.
struct Node {
    Node* parent = nullptr;
    std::unique_ptr<Node> first, second;
    POINT at{};
};

struct Reference {
    int minStep, maxStep;
    RECT bounds;

    bool Inside(POINT p) const {
        return p.x >= bounds.left && p.x < bounds.right && p.y >= bounds.top && p.y < bounds.bottom;
    }
    static POINT Step(POINT p, int direction, int degrees, int step) {
        const double a = degrees * 0.017453292519943295;
        return POINT{p.x + static_cast<LONG>(direction * step * std::cos(a)),
                     p.y + static_cast<LONG>(direction * step * std::sin(a))};
    }
    std::unique_ptr<Node> Chain(POINT p, Node* parent) const {
        auto node = std::make_unique<Node>();
        node->parent = parent;
        node->at = p;
        const int step = crt::rand() % (maxStep - minStep) + minStep;
        const bool positive = crt::rand() & 1;
        const int degrees = static_cast<int>(crt::rand() / 32767.0 * 50.0);
        const POINT q = Step(p, 1, positive ? degrees : -degrees, step);
        if (Inside(q)) node->first = Chain(q, node.get());
        return node;
    }
    std::unique_ptr<Node> Fork(POINT p, Node* parent) const {
        auto node = std::make_unique<Node>();
        node->parent = parent;
        node->at = p;
        const int degrees = static_cast<int>(crt::rand() / 32767.0 * 50.0);
        const int step = crt::rand() % (maxStep - minStep) + minStep;
        const POINT q1 = Step(p, -1, degrees, step);
        if (Inside(q1)) node->first = Fork(q1, node.get());
        const POINT q2 = Step(p, -1, -degrees, step);
        if (Inside(q2)) node->second = Fork(q2, node.get());
        return node;
    }
};

void Search(const Node* node, int y, int& best, const Node*& nearest) {
    auto examine = [&](const Node* n) {
        const int distance = std::abs(n->at.y - y);
        if (distance < best) {
            best = distance;
            nearest = n;
        }
    };
    if (!node->first) examine(node);
    else Search(node->first.get(), y, best, nearest);
    if (node->second) Search(node->second.get(), y, best, nearest);
    else examine(node);
}

struct ReferenceArc {
    std::vector<POINT> chain, link;
    int nextDraw;
};

ReferenceArc GrowReference(LONG width, int y, int halfHeight, int minStep, int maxStep) {
    ReferenceArc arc;
    const Reference right{minStep, maxStep, RECT{width, y - halfHeight, 2 * width, y + halfHeight}};
    const Reference left{minStep, maxStep, RECT{0, y - halfHeight, width, y + halfHeight}};
    auto fork = right.Fork(POINT{2 * width, y}, nullptr);
    auto chain = left.Chain(POINT{0, y}, nullptr);
    const Node* end = chain.get();
    for (const Node* n = chain.get(); n; n = n->first.get()) {
        arc.chain.push_back(n->at);
        end = n;
    }
    int best = 0xFFFFFFF;
    const Node* nearest = nullptr;
    Search(fork.get(), end->at.y, best, nearest);
    arc.link.push_back(end->at);
    for (const Node* n = nearest; n; n = n->parent) arc.link.push_back(n->at);
    arc.nextDraw = crt::rand();
    return arc;
}

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

bool SamePoints(const POINT* p, int n, const std::vector<POINT>& expected) {
    return static_cast<std::size_t>(n) == expected.size() &&
           std::equal(expected.begin(), expected.end(), p, [](POINT a, POINT b) { return Same(a, b); });
}

TEST(PlasmaArcWalk, GrowsTheSameArcAsTheTreesDescribed) {
    std::mt19937 random(7);
    PlasmaArcWalk walk;
    std::uint32_t largest = 0;
    for (int round = 0; round < 60; ++round) {
        const LONG width = std::uniform_int_distribution<LONG>(1, 220)(random);
        const int maxHalf = std::uniform_int_distribution<int>(0, 76)(random);
        const int half = std::uniform_int_distribution<int>(0, maxHalf)(random);
        const int y = std::uniform_int_distribution<int>(-20, 300)(random);
        const int minStep = 2 * std::uniform_int_distribution<int>(1, 10)(random) + 14;
        const int maxStep = minStep + (2 * minStep) / 3;
        const unsigned seed = random() % 30000 + 100;
        ASSERT_TRUE(walk.Prepare(width, maxHalf, minStep, maxStep));

        crt::srand(seed);
        const ReferenceArc expected = GrowReference(width, y, half, minStep, maxStep);
        crt::srand(seed);
        walk.Grow(y, half);
        const int nextDraw = crt::rand();
        SCOPED_TRACE(testing::Message() << "width " << width << " half " << half << " y " << y << " step " << minStep);
        EXPECT_TRUE(SamePoints(walk.chain(), walk.chainLength(), expected.chain));
        EXPECT_TRUE(SamePoints(walk.link(), walk.linkLength(), expected.link));
        EXPECT_EQ(nextDraw, expected.nextDraw);
        largest = std::max(largest, walk.forkNodes());
    }
    EXPECT_GT(largest, 1000u);
}

TEST(PlasmaArcWalk, AFlatBandGivesTheStraightLineAcross) {
    PlasmaArcWalk walk;
    ASSERT_TRUE(walk.Prepare(50, 10, 16, 26));
    crt::srand(1);
    walk.Grow(40, 0);
    ASSERT_EQ(walk.chainLength(), 1);
    EXPECT_TRUE(Same(walk.chain()[0], POINT{0, 40}));
    ASSERT_EQ(walk.linkLength(), 2);
    EXPECT_TRUE(Same(walk.link()[1], POINT{100, 40}));
    EXPECT_EQ(walk.forkNodes(), 1u);
}

TEST(PlasmaArcWalk, AWidePictureStopsTheForkTreeAtItsLimit) {
    PlasmaArcWalk walk;
    ASSERT_TRUE(walk.Prepare(3000, 76, 16, 26));
    crt::srand(8162);
    walk.Grow(300, 76);
    EXPECT_EQ(walk.forkNodes(), kMaxForkNodes);
    EXPECT_GT(walk.linkLength(), 2);
}

TEST(PlasmaArcFrameCount, StrikeAddsItsWaitingFrames) {
    EXPECT_EQ(PlasmaArcFrameCount(64, kStrikeArc), 8 + 60 + 8);
    EXPECT_EQ(PlasmaArcFrameCount(64, kSimpleArc), 64);
    EXPECT_EQ(PlasmaArcFrameCount(64, kGraduatedArc), 64);
    EXPECT_EQ(PlasmaArcFrameCount(2, kStrikeArc), 2);
    EXPECT_EQ(PlasmaArcFrameCount(17, kStrikeArc), 2 * 2 + 16);
}

class PlasmaArc : public testing_support::EffectTest {
protected:
    const int effect = testing_support::EffectIndex("Plasma Arc");

    void SmallBuild(LONG width, LONG height, int frames) {
        SetSourceImage(PatternPicture(width, height));
        SetField(kFrames, frames);
        // A narrow band and long steps keep the fork trees small.
        SetField(kSize, 10);
        SetField(kComplexity, 10);
    }
};

// Graduated frame 0 has a flat band: the arc is the line across the middle
// of the band, drawn in 2 x Energy strokes of falling width and rising level.
TEST_F(PlasmaArc, GraduatedFrameZeroIsAStraightGlow) {
    const LONG w = 64, h = 90;
    SetSourceImage(PatternPicture(w, h));
    SelectItem(kMode, kGraduatedArc);
    SetField(kFrames, 2);
    SetField(kOpacity, 200);
    const int y = ((2 - 0 - 1) * 2 * h) / 2;  // on the double-size surface
    for (int energy : {1, 18}) {
        SetField(kEnergy, energy);
        BuiltFrames frames = Build(effect);
        ASSERT_EQ(frames.result, 1);

        SurfaceGuard surface;
        ASSERT_TRUE(surface.Open(2 * w, 2 * h));
        const POINT line[2] = {{0, y}, {2 * w, y}};
        for (int j = 0; j < 2 * energy; ++j) {
            const BYTE level = static_cast<BYTE>((j + 1) * 200 / (2 * energy));
            GdiObject pen(CreatePen(PS_SOLID, 4 * energy - 2 * j, RGB(level, level, level)));
            Selection selected(surface.dc(), pen.get());
            Polyline(surface.dc(), line, 2);
        }
        GlobalBlock large(surface.Take());
        GlobalBlock mask(ScaleDibPercent(large.get(), 50, 50));
        GlobalBlock expected(GetSourceImageCopy());
        {
            GlobalLockGuard<BYTE> e(expected.get()), m(mask.get());
            BlendColourThroughMask(e.get(), m.get(), 0, 0, 16769248, 255, 0);
        }
        EXPECT_TRUE(SameBlock(frames[0].image, expected.get())) << "energy " << energy;

        // The widest stroke is 4 x Energy pixels on the double-size surface.
        GlobalBlock plain(GetSourceImageCopy());
        GlobalLockGuard<BYTE> a(plain.get()), b(frames[0].image);
        std::set<LONG> rows;
        for (LONG row = 0; row < h; ++row)
            for (LONG x = 0; x < w; ++x)
                if (GetDibPixel(a.get(), x, row) != GetDibPixel(b.get(), x, row)) rows.insert(row);
        ASSERT_FALSE(rows.empty());
        EXPECT_LE(static_cast<int>(rows.size()), 2 * energy + 6) << energy;
        EXPECT_GE(static_cast<int>(rows.size()), 2 * energy) << energy;
        EXPECT_LE(std::abs((*rows.begin() + *rows.rbegin()) / 2 - y / 2), 1) << energy;
    }
}

TEST_F(PlasmaArc, StrikeOfSixtyFourFramesGivesSeventySix) {
    SmallBuild(40, 30, 64);
    SelectItem(kMode, kStrikeArc);
    host->requests.clear();
    BuiltFrames frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    EXPECT_EQ(frames.count(), 76);
    std::vector<std::int64_t> progress;
    for (const auto& r : host->requests)
        if (r.code == kRequestProgress) {
            progress.push_back(r.a);
            EXPECT_EQ(r.b, 64);
        }
    ASSERT_EQ(progress.size(), 76u);
    EXPECT_EQ(progress.back(), 75);

    SelectItem(kMode, kSimpleArc);
    EXPECT_EQ(Build(effect).count(), 64);
}

// Strike with 16 frames: q = 2 frames at the bottom (y = H2 - b = 47 on the
// double-size surface), p = 15 sweeping up from there to y = 16, and 2 at
// the top (y = b = 13); Size 10 gives the band half-height 12, Energy 1
// strokes of 4 and 2 pixels, and the reduction may reach one row further.
TEST_F(PlasmaArc, StrikeWaitsAtTheBottomSweepsUpAndWaitsAtTheTop) {
    SmallBuild(40, 30, 16);
    SetField(kEnergy, 1);
    SelectItem(kMode, kStrikeArc);
    BuiltFrames frames = Build(effect);
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 2 + 15 + 2);
    GlobalBlock plain(GetSourceImageCopy());
    // The first and last picture rows the arc changed.
    auto rows = [&](int i) {
        GlobalLockGuard<BYTE> a(plain.get()), b(frames[i].image);
        std::pair<LONG, LONG> span{30, -1};
        for (LONG y = 0; y < 30; ++y)
            for (LONG x = 0; x < 40; ++x)
                if (GetDibPixel(a.get(), x, y) != GetDibPixel(b.get(), x, y)) {
                    span.first = std::min(span.first, y);
                    span.second = std::max(span.second, y);
                }
        return span;
    };
    for (int i : {0, 1, 2}) {
        const auto span = rows(i);
        EXPECT_GE(span.first, (47 - 12 - 2) / 2 - 1) << "frame " << i;
        EXPECT_GE(span.second, span.first) << "frame " << i;
    }
    EXPECT_LE(rows(16).second, (16 + 12 + 1) / 2 + 1);
    for (int i : {17, 18}) {
        const auto span = rows(i);
        EXPECT_LE(span.second, (13 + 12 + 1) / 2 + 1) << "frame " << i;
        EXPECT_GE(span.second, span.first) << "frame " << i;
    }
    // Every frame, waiting or not, grows an arc of its own.
    EXPECT_FALSE(SameBlock(frames[0].image, frames[1].image));
    EXPECT_FALSE(SameBlock(frames[17].image, frames[18].image));
}

TEST_F(PlasmaArc, DisturbanceSpreadsTheDelays) {
    SmallBuild(40, 30, 12);
    SetField(kDelay, 7);
    SetField(kDisturbance, 1);
    BuiltFrames one = Build(effect);
    ASSERT_EQ(one.count(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(one[i].delay, 7u);
    // Nothing to spread over: the same frames and delays as Disturbance 1.
    SetField(kDisturbance, 0);
    BuiltFrames none = Build(effect);
    ASSERT_EQ(none.count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(none[i].delay, 7u);
        EXPECT_TRUE(SameBlock(one[i].image, none[i].image)) << i;
    }
    SetField(kDisturbance, 16);
    BuiltFrames spread = Build(effect);
    std::set<DWORD> delays;
    for (int i = 0; i < spread.count(); ++i) {
        EXPECT_EQ(spread[i].delay % 7, 0u);
        EXPECT_TRUE(spread[i].delay >= 7 && spread[i].delay <= 16 * 7);
        delays.insert(spread[i].delay);
    }
    EXPECT_GT(delays.size(), 3u);
}

TEST_F(PlasmaArc, ThePreviewIsTwoThirdsThroughASimpleArc) {
    SmallBuild(60, 40, 9);
    SelectItem(kMode, kSimpleArc);
    GlobalBlock expected;
    {
        BodyRun run(PlasmaArcBody, dialog, 60, 40);
        ASSERT_TRUE(run.ok());
        expected = GlobalBlock(run.Render(6));
    }
    SelectItem(kMode, kStrikeArc);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(SameBlock(preview.get(), expected.get()));
}

TEST_F(PlasmaArc, TheSeedDecidesTheFrames) {
    SetSourceImage(PatternPicture(160, 120));
    SetField(kFrames, 4);
    SetField(kSize, 18);
    BuiltFrames first = Build(effect), again = Build(effect);
    ASSERT_EQ(first.count(), 4);
    ASSERT_EQ(again.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(SameBlock(first[i].image, again[i].image)) << i;
        EXPECT_EQ(first[i].delay, again[i].delay) << i;
        // Every frame grows a new arc.
        if (i > 0) {
            EXPECT_FALSE(SameBlock(first[i].image, first[i - 1].image)) << i;
        }
    }
    SetField(kSeed, 777);
    BuiltFrames other = Build(effect);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(SameBlock(first[i].image, other[i].image)) << i;
}

TEST_F(PlasmaArc, DegeneratePicturesBuildInEveryMode) {
    for (int mode : {kSimpleArc, kGraduatedArc, kStrikeArc}) {
        SelectItem(kMode, mode);
        for (SIZE size : {SIZE{1, 1}, SIZE{2, 2}, SIZE{3, 1000}, SIZE{1000, 3}}) {
            SmallBuild(size.cx, size.cy, 2);
            BuiltFrames frames = Build(effect);
            ASSERT_EQ(frames.result, 1) << size.cx << "x" << size.cy << " mode " << mode;
            ASSERT_EQ(frames.count(), 2);
            GlobalLockGuard<BITMAPINFOHEADER> header(frames[1].image);
            EXPECT_EQ(header->biWidth, size.cx);
            EXPECT_EQ(header->biHeight, size.cy);
        }
    }
}

TEST_F(PlasmaArc, EveryFailedAllocationFailsTheBuildAndLeavesNothing) {
    SmallBuild(24, 16, 2);
    SetField(kEnergy, 2);
    for (int mode : {kSimpleArc, kStrikeArc}) {
        SelectItem(kMode, mode);
        testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; });
    }
    testing_support::WalkBlockFailures([&] { return Preview(effect).release(); });
}

TEST_F(PlasmaArc, GoldenFrames) {
    // The sample picture with the built-in settings but for the page's own
    // Size, in a short animation.
    SetField(kSize, 18);
    SetField(kFrames, 6);
    BuiltFrames frames = Build(effect);
    ASSERT_EQ(frames.count(), 6);
    testing_support::ExpectGoldenBuild(
        frames, "46fe90e32b872d7fe3d2d59c37b78aa4fd51e46f30c4122458b77e9e4ed5b857", {0, 1, 2, 3, 4, 5}, "plasma_arc");
    const DWORD delays[6] = {15, 12, 1, 16, 12, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(frames[i].delay, delays[i]) << "frame " << i;
}

}  // namespace
