#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "effects/arrows.h"
#include "effects/effect_bodies.h"
#include "luma/crt.h"
#include "tests/effects/frame_png.h"
#include "tests/effects/shape_effects.h"
#include "tests/support/effect_harness.h"

namespace {

constexpr int kSpeeds[] = {1, 2, 4};

using testing_support::BodyState;
using testing_support::Coverage;
using testing_support::DibSize;

constexpr int kOpacity = 738, kFrames = 740, kDrift = 742, kSize = 744, kDensity = 746, kSeed = 748;
constexpr int kShadowOpacity = 766, kShadowOffset = 768, kShadowSoft = 770;
constexpr int kEnables[] = {760, 761, 762, 763};
// Top, left, bottom and right boxes.
constexpr int kDirectionBoxes[] = {772, 773, 774, 775};

class Arrows : public testing_support::EffectTest {
protected:
    void OnlyDirections(const std::vector<int>& codes) {
        for (int box : kDirectionBoxes) SetCheck(box, false);
        for (int code : codes) SetCheck(kDirectionBoxes[code], true);
    }
};

TEST_F(Arrows, WithNoDirectionCheckedEveryArrowPointsLeft) {
    OnlyDirections({});
    SetField(kDensity, 30);
    BodyState state(ArrowsBody, dialog);
    ASSERT_TRUE(state);
    const ArrowsState& arrows = state.as<ArrowsState>();
    EXPECT_EQ(arrows.directionCount, 1);
    for (int k = 0; k < 30; ++k) EXPECT_EQ(arrows.scatter.elements[k].direction, kArrowLeft) << k;
}

TEST_F(Arrows, EachArrowDrawsPlaceSizePhaseColourAndDirectionInThatOrder) {
    SetField(kDensity, 60);
    SetField(kSeed, 555);
    SetField(kSize, 60);  // sizes 55..60
    struct Case {
        bool manyColours;
        std::vector<int> directions;
    };
    for (const Case& c : {Case{false, {kArrowUp, kArrowDown}}, Case{true, {kArrowLeft, kArrowDown, kArrowRight}},
                          Case{true, {kArrowRight}}}) {
        SCOPED_TRACE(c.directions.size());
        for (int id : kEnables) SetCheck(id, c.manyColours);
        OnlyDirections(c.directions);
        crt::srand(555);
        std::vector<int> raw(60 * 40);
        for (int& r : raw) r = crt::rand();
        BodyState state(ArrowsBody, dialog);
        ASSERT_TRUE(state);
        const ArrowsState& arrows = state.as<ArrowsState>();
        const COLORREF palette[] = {16711680, 65280, 52479, 13260, 26367};
        std::size_t next = 0;
        auto pick = [&](int count, int& previous) {
            int index = 0;
            for (int draw = 0; count > 1 && draw < 16; ++draw) {
                index = raw[next++] % count;
                if (index != previous) break;
            }
            return previous = index;
        };
        int previousColour = -1, previousDirection = -1;
        for (int k = 0; k < 60; ++k) {
            SCOPED_TRACE(k);
            const ArrowSprite& arrow = arrows.scatter.elements[k];
            EXPECT_EQ(arrow.x, raw[next++] % 400);
            EXPECT_EQ(arrow.y, raw[next++] % 300);
            EXPECT_EQ(arrow.size, 60 - raw[next++] % 6);
            EXPECT_EQ(arrow.speed, kSpeeds[k % 3]);
            EXPECT_EQ(arrow.phase, static_cast<float>(raw[next++] % 360));
            EXPECT_EQ(arrow.colour, palette[pick(c.manyColours ? 5 : 1, previousColour)]);
            EXPECT_EQ(arrow.direction, c.directions[pick(static_cast<int>(c.directions.size()), previousDirection)]);
        }
    }
}

TEST_F(Arrows, TheSmallestSizeHasNoJitter) {
    SetField(kSize, 10);
    SetField(kDensity, 50);
    {
        BodyState state(ArrowsBody, dialog);
        ASSERT_TRUE(state);
        for (int k = 0; k < 50; ++k) {
            EXPECT_EQ(state.as<ArrowsState>().scatter.elements[k].size, 10);
            EXPECT_EQ(DibSize(state.as<ArrowsState>().scatter.elements[k].mask).cx, 10);
        }
    }
    SetField(kSize, 96);
    BodyState state(ArrowsBody, dialog);
    ASSERT_TRUE(state);
    std::set<LONG> sizes;
    for (int k = 0; k < 50; ++k) sizes.insert(state.as<ArrowsState>().scatter.elements[k].size);
    EXPECT_GE(*sizes.begin(), 87);
    EXPECT_EQ(*sizes.rbegin(), 96);
    EXPECT_GT(sizes.size(), 5u);
}

// How many pixels of each edge of a mask the arrow covers by more than a
// quarter.
struct EdgeTouch {
    int top, left, bottom, right;
};

EdgeTouch Touches(HGLOBAL mask) {
    const SIZE size = DibSize(mask);
    EdgeTouch touch{};
    for (LONG i = 0; i < size.cx; ++i) {
        touch.top += Coverage(mask, i, 0) > 64;
        touch.bottom += Coverage(mask, i, size.cy - 1) > 64;
        touch.left += Coverage(mask, 0, i) > 64;
        touch.right += Coverage(mask, size.cx - 1, i) > 64;
    }
    return touch;
}

// The outline of a 10-pixel arrow (a 40-pixel surface): c = 20, q = 10,
// w = 4. Turned, the single-precision angle leaves the cosine of a half turn
// (and the sine of a quarter turn) a hair short of 1 in double, so the tip,
// 20 pixels from the middle, truncates to 19 and stops a pixel short of the
// edge it points to; offsets of 10 with a hair added or taken truncate
// towards zero as well.
TEST(ArrowOutline, TurnsEveryPointAboutTheMiddleAndTruncates) {
    const std::vector<POINT> want[] = {
        {{20, 0}, {30, 10}, {24, 10}, {24, 40}, {16, 40}, {16, 10}, {10, 10}},
        {{1, 20}, {10, 11}, {10, 17}, {39, 16}, {40, 23}, {11, 24}, {11, 30}},
        {{20, 39}, {11, 30}, {17, 30}, {16, 1}, {23, 0}, {24, 29}, {30, 29}},
        {{39, 20}, {30, 29}, {30, 23}, {1, 24}, {0, 17}, {29, 16}, {29, 10}},
    };
    for (int direction : {kArrowUp, kArrowLeft, kArrowDown, kArrowRight}) {
        SCOPED_TRACE(direction);
        POINT points[kArrowPoints];
        ArrowOutline(40, direction, points);
        for (int i = 0; i < kArrowPoints; ++i) {
            EXPECT_EQ(points[i].x, want[direction][i].x) << "point " << i;
            EXPECT_EQ(points[i].y, want[direction][i].y) << "point " << i;
        }
    }
}

TEST_F(Arrows, EachArrowPointsTheWayItTravels) {
    SetField(kSize, 40);
    SetField(kDensity, 1);
    for (int direction : {kArrowUp, kArrowLeft, kArrowDown, kArrowRight}) {
        SCOPED_TRACE(direction);
        OnlyDirections({direction});
        BodyState state(ArrowsBody, dialog);
        ASSERT_TRUE(state);
        HGLOBAL mask = state.as<ArrowsState>().scatter.elements[0].mask;
        ASSERT_EQ(DibSize(mask).cx, 40);
        EXPECT_TRUE(testing_support::WriteFramePng(mask, "arrow_mask_" + std::to_string(direction) + ".png"));
        // The tip touches the edge it points to in a pixel or two; the
        // shaft, a fifth of the size wide, the opposite edge; the sides
        // stay clear.
        const EdgeTouch t = Touches(mask);
        const int tip[] = {t.top, t.left, t.bottom, t.right};
        const int tail[] = {t.bottom, t.right, t.top, t.left};
        const int side[] = {t.left + t.right, t.top + t.bottom, t.left + t.right, t.top + t.bottom};
        EXPECT_LE(tip[direction], 3);
        EXPECT_GE(tail[direction], 8);
        EXPECT_LE(tail[direction], 10);
        EXPECT_EQ(side[direction], 0);
        // A point of the head beside the shaft is covered, a point beside
        // the shaft below the head is not; both as seen for an upward arrow
        // and turned with it.
        auto turned = [direction](POINT up) {
            switch (direction) {
            case kArrowLeft: return POINT{up.y, 39 - up.x};
            case kArrowDown: return POINT{39 - up.x, 39 - up.y};
            case kArrowRight: return POINT{39 - up.y, up.x};
            default: return up;
            }
        };
        const POINT head = turned({13, 9}), beside = turned({10, 25});
        EXPECT_GT(Coverage(mask, head.x, head.y), 200);
        EXPECT_LT(Coverage(mask, beside.x, beside.y), 30);
    }
}

TEST_F(Arrows, TheShadowLiesOffsetRightAndDown) {
    SetField(kSize, 30);
    SetField(kDensity, 1);
    SetField(kShadowOpacity, 128);
    SetField(kShadowOffset, 5);
    SetField(kShadowSoft, 0);
    BodyState state(ArrowsBody, dialog);
    ASSERT_TRUE(state);
    const ArrowSprite& arrow = state.as<ArrowsState>().scatter.elements[0];
    const LONG side = arrow.size + 5;
    ASSERT_EQ(DibSize(arrow.shadow).cx, side);
    ASSERT_EQ(DibSize(arrow.shadow).cy, side);
    for (LONG y = 0; y < side; ++y)
        for (LONG x = 0; x < side; ++x) {
            const int want = x < 5 || y < 5 ? 0 : Coverage(arrow.mask, x - 5, y - 5) * 128 / 255;
            ASSERT_EQ(Coverage(arrow.shadow, x, y), want) << x << "," << y;
        }
}

// Frame t of F as the travel and sway rules place every arrow of a state
// just made, composed arrow by arrow, shadow first; the sway's turn starts
// again every F frames.
GlobalBlock ExpectedArrowsFrame(const std::vector<ArrowSprite>& arrows, LONG width, LONG height, COLORREF background,
                                int t, int frames, int drift) {
    GlobalBlock picture = testing_support::PlainPicture(width, height, background);
    const float p = static_cast<float>(t) / static_cast<float>(frames);
    const double amplitude = std::trunc(drift / 100.0 * width);
    for (const ArrowSprite& arrow : arrows) {
        float phase = arrow.phase;
        for (int f = 0; f < t % frames; ++f) phase = static_cast<float>(phase + 360.0 / frames);
        const LONG sway = static_cast<LONG>(std::sin(phase * 3.141592653589793 / 180) * amplitude);
        const LONG v = arrow.speed;
        LONG dx = sway, dy = sway;
        switch (arrow.direction) {
        case kArrowUp: dy = height - static_cast<LONG>(height * p) * v - 1; break;
        case kArrowDown: dy = static_cast<LONG>(height * p) * v - height + 1; break;
        case kArrowLeft: dx = width - static_cast<LONG>(width * p) * v - 1; break;
        default: dx = static_cast<LONG>(width * p) * v - width + 1; break;
        }
        const LONG left = arrow.x + dx - arrow.size / 2, top = arrow.y + dy - arrow.size / 2;
        if (arrow.shadow) testing_support::BlendMaskOnto(picture.get(), arrow.shadow, left, top, 0, arrow.opacity);
        testing_support::BlendMaskOnto(picture.get(), arrow.mask, left, top, arrow.colour, arrow.opacity);
    }
    return picture;
}

TEST_F(Arrows, EveryFrameHasEachArrowWhereItsTravelAndSwayPutIt) {
    testing_support::LoadPlainPicture(90, 70, RGB(30, 160, 90));
    SetField(kSize, 14);
    SetField(kDensity, 7);
    SetField(kFrames, 6);
    SetField(kOpacity, 220);
    SetField(kShadowSoft, 3);
    for (int drift : {0, 20}) {
        for (int direction : {kArrowUp, kArrowLeft, kArrowDown, kArrowRight}) {
            SCOPED_TRACE(std::to_string(drift) + " " + std::to_string(direction));
            SetField(kDrift, drift);
            OnlyDirections({direction});
            BodyState state(ArrowsBody, dialog);
            ASSERT_TRUE(state);
            const Scatter<ArrowSprite>& arrows = state.as<ArrowsState>().scatter;
            const std::vector<ArrowSprite> start(arrows.elements, arrows.elements + arrows.count);
            for (int t = 0; t <= 6; ++t) {
                SCOPED_TRACE(t);
                GlobalBlock frame = state.Render(t);
                GlobalBlock want = ExpectedArrowsFrame(start, 90, 70, RGB(30, 160, 90), t, 6, drift);
                EXPECT_TRUE(testing_support::SameBlock(frame.get(), want.get()));
            }
        }
    }
}

TEST_F(Arrows, WithoutDriftAnUpwardArrowKeepsItsColumns) {
    testing_support::LoadPlainPicture(100, 80, RGB(0, 0, 0));
    SetField(kDrift, 0);
    SetField(kDensity, 1);
    SetField(kFrames, 8);
    OnlyDirections({kArrowUp});
    BodyState state(ArrowsBody, dialog);
    ASSERT_TRUE(state);
    GlobalBlock first = state.Render(0);
    for (int t = 1; t < 8; ++t) {
        GlobalBlock frame = state.Render(t);
        EXPECT_EQ(testing_support::LitColumns(frame.get()), testing_support::LitColumns(first.get())) << t;
    }
}

}  // namespace
