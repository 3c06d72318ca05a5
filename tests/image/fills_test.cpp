#include "image/fills.h"

#include <gtest/gtest.h>

#include <climits>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using testing_support::BlockBytes;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A picture's pixel values, row by row from the top.
struct Pixels {
    LONG width = 0, height = 0;
    std::vector<DWORD> values;

    explicit Pixels(HGLOBAL dib) {
        GlobalLockGuard<BYTE> p(dib);
        if (!p) return;
        auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p.get());
        width = h->biWidth;
        height = h->biHeight;
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x) values.push_back(GetDibPixel(p.get(), x, y));
    }
    DWORD at(LONG x, LONG y) const { return values[static_cast<std::size_t>(y) * width + x]; }
};

// Owns a fill and reads it.
Pixels Take(HGLOBAL dib) {
    GlobalBlock owned(dib);
    EXPECT_TRUE(owned);
    return Pixels(owned.get());
}

FillRecord TwoColour(LONG kind, COLORREF c1, COLORREF c2, LONG edge = 0, LONG midpoint = 50) {
    FillRecord r{};
    r.kind = kind;
    r.colour1 = c1;
    r.colour2 = c2;
    r.edge = edge;
    r.midpoint = midpoint;
    r.twoColour = 1;
    return r;
}

std::vector<COLORREF> Ramp(const FillRecord& r, int n) {
    HeapArray<COLORREF> ramp;
    EXPECT_TRUE(MakeColourRamp(r, n, ramp));
    return {ramp.begin(), ramp.end()};
}

int Red(DWORD v) { return static_cast<int>(v & 0xFF); }

TEST(FountainDefinition, HeaderBytesLieWhereTheStoredFormHasThem) {
    FountainDefinition f = MakeFountainDefinition(RGB(1, 2, 3), 0xAA000000 | RGB(4, 5, 6));
    f.stopCount = 1;
    f.stops[0] = FountainStop(RGB(7, 8, 9), 200);
    const auto* b = reinterpret_cast<const BYTE*>(&f);
    EXPECT_EQ(std::memcmp(b, "VELLFOUN", 8), 0);
    const BYTE version[4] = {0x01, 0x00, 0x00, 0x04}, size[4] = {0x49, 0x02, 0, 0};
    EXPECT_EQ(std::memcmp(b + 8, version, 4), 0);
    EXPECT_EQ(std::memcmp(b + 12, size, 4), 0);
    EXPECT_EQ(b[289], 1);
    EXPECT_EQ(b[293], 1);  // start colour, red first
    EXPECT_EQ(b[297], 4);
    EXPECT_EQ(b[300], 0);  // only the low 24 bits of a colour are kept
    EXPECT_EQ(b[301], 7);
    EXPECT_EQ(b[304], 200);  // the stop's position is its top byte
    for (int i = 20; i < 289; ++i) ASSERT_EQ(b[i], 0) << i;
    for (int i = 557; i < 585; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST(MixColours, EndsAndTruncation) {
    EXPECT_EQ(MixColours(kRed, kBlue, 0.0), kRed);
    EXPECT_EQ(MixColours(kRed, kBlue, 1.0), kBlue);
    EXPECT_EQ(MixColours(0, kWhite, 0.5), RGB(127, 127, 127));
    EXPECT_EQ(MixColours(RGB(10, 20, 30), RGB(11, 21, 31), 0.99), RGB(10, 20, 30));
}

TEST(ColourRamp, EdgesHoldThePureColours) {
    auto ramp = Ramp(TwoColour(0, kRed, kBlue, 10), 100);
    ASSERT_EQ(ramp.size(), 100u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(ramp[i], kRed) << i;
        EXPECT_EQ(ramp[99 - i], kBlue) << i;
    }
    // The 80 entries between run from colour 1 towards colour 2.
    for (int i = 0; i < 80; ++i) EXPECT_EQ(ramp[10 + i], MixColours(kRed, kBlue, i / 80.0)) << i;

    auto plain = Ramp(TwoColour(0, 0, kWhite), 5);
    EXPECT_EQ(plain, (std::vector<COLORREF>{0, RGB(51, 51, 51), RGB(102, 102, 102), RGB(153, 153, 153), kWhite}));
}

TEST(ColourRamp, EdgesPastHalfTheRampCannotOverlap) {
    auto ramp = Ramp(TwoColour(0, kRed, kBlue, 80), 9);
    std::vector<COLORREF> want = {kRed, kRed, kRed, kRed, ramp[4], kBlue, kBlue, kBlue, kBlue};
    EXPECT_EQ(ramp, want);
    auto even = Ramp(TwoColour(0, kRed, kBlue, 50), 10);
    EXPECT_EQ(even, std::vector<COLORREF>({kRed, kRed, kRed, kRed, kRed, kBlue, kBlue, kBlue, kBlue, kBlue}));
    HeapArray<COLORREF> none;
    EXPECT_FALSE(MakeColourRamp(TwoColour(0, kRed, kBlue), 0, none));
}

TEST(ColourRamp, MidpointMovesTheMixedColourAlongTheRamp) {
    // Black to white: the mean grey 127 lies where the midpoint puts it.
    for (int midpoint : {20, 35, 70, 90}) {
        auto ramp = Ramp(TwoColour(0, 0, kWhite, 0, midpoint), 200);
        EXPECT_EQ(ramp.front(), 0u);
        EXPECT_EQ(ramp.back(), kWhite);
        int crossing = 0;
        while (crossing < 200 && Red(ramp[crossing]) < 127) ++crossing;
        EXPECT_NEAR(crossing, 2 * midpoint, 3) << midpoint;
        for (int i = 1; i < 200; ++i) ASSERT_GE(Red(ramp[i]), Red(ramp[i - 1])) << midpoint << " at " << i;
    }
    // With an edge the mixed colour's stop is not moved by it: edge 20 puts
    // colour 1's stop at 51 and the mean at (255 - 102) x 50 / 100 = 76.
    auto edged = Ramp(TwoColour(0, 0, kWhite, 20, 49), 255);
    EXPECT_LE(Red(edged[50]), 1);
    EXPECT_NEAR(Red(edged[74]), 127, 8);
}

TEST(ColourRamp, FountainRecordsFillTheMiddleFromTheirStops) {
    FillRecord r = TwoColour(0, kRed, kBlue, 10);
    r.twoColour = 0;
    r.fountain = MakeFountainDefinition(0, kWhite);
    auto ramp = Ramp(r, 50);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ramp[i], kRed);
        EXPECT_EQ(ramp[49 - i], kBlue);
    }
    Pixels strip = Take(RenderFountain(r.fountain, 40, 1));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(ramp[5 + i], strip.at(i, 0)) << i;
}

TEST(Fountain, WithoutStopsOneSegmentRunsFromStartToEnd) {
    FountainDefinition f = MakeFountainDefinition(kRed, kBlue);
    Pixels fountain = Take(RenderFountain(f, 30, 4));
    Pixels linear = Take(LinearFill(kRed, kBlue, 30, 4, 50, 50, 90, nullptr));
    EXPECT_EQ(fountain.values, linear.values);
    EXPECT_GT(Red(fountain.at(0, 0)), 200);
    EXPECT_LT(Red(fountain.at(29, 0)), 40);

    f.flags = kFountainReturns;  // back to the start colour: all one colour
    for (DWORD v : Take(RenderFountain(f, 30, 4)).values) ASSERT_EQ(v, kRed);
}

TEST(Fountain, StopsSplitItIntoSegments) {
    FountainDefinition f = MakeFountainDefinition(0, 0);
    f.stopCount = 2;
    f.stops[0] = FountainStop(kWhite, 128);  // x = 128 / 255 x 40 = 20
    f.stops[1] = FountainStop(kRed, 255);    // at the right edge: the last segment is empty
    Pixels p = Take(RenderFountain(f, 40, 3));
    Pixels left = Take(LinearFill(0, kWhite, 20, 3, 50, 50, 90, nullptr));
    Pixels right = Take(LinearFill(kWhite, kRed, 20, 3, 50, 50, 90, nullptr));
    for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < 20; ++x) {
            ASSERT_EQ(p.at(x, y), left.at(x, y)) << x;
            ASSERT_EQ(p.at(20 + x, y), right.at(x, y)) << x;
        }

    // A count beyond the table is held to its 64 stops.
    FountainDefinition many = MakeFountainDefinition(0, kWhite);
    many.stopCount = 100000;
    for (int i = 0; i < kMaxFountainStops; ++i) many.stops[i] = FountainStop(RGB(i * 4, 0, 0), i * 4);
    Pixels q = Take(RenderFountain(many, 64, 1));
    EXPECT_EQ(q.width, 64);
}

TEST(LinearFill, RunsFromColourTwoAtTheTopAtZeroDegrees) {
    // The bands start 2 pixels above the picture, so its top is nearly colour 2.
    Pixels p = Take(LinearFill(kWhite, 0, 16, 40, 0, 0, 0, nullptr));
    EXPECT_LT(Red(p.at(0, 0)), 20);
    EXPECT_GT(Red(p.at(0, 39)), 230);
    for (LONG y = 0; y < 40; ++y)
        for (LONG x = 0; x < 16; ++x) {
            ASSERT_EQ(p.at(x, y), p.at(0, y)) << "bands are level at 0 degrees";
            if (y > 0) {
                ASSERT_GE(Red(p.at(x, y)), Red(p.at(x, y - 1)));
            }
        }
}

TEST(LinearFill, TurnsWithTheAngle) {
    Pixels side = Take(LinearFill(kWhite, 0, 40, 10, 0, 0, 90, nullptr));  // right to left
    EXPECT_LT(Red(side.at(39, 5)), 20);
    EXPECT_GT(Red(side.at(0, 5)), 230);
    for (LONG x = 1; x < 40; ++x) ASSERT_LE(Red(side.at(x, 3)), Red(side.at(x - 1, 3)));
    Pixels upside = Take(LinearFill(kWhite, 0, 10, 40, 0, 0, 180, nullptr));
    EXPECT_LT(Red(upside.at(5, 39)), 20);
    EXPECT_GT(Red(upside.at(5, 0)), 230);
    Pixels slant = Take(LinearFill(kWhite, 0, 30, 30, 0, 0, 45, nullptr));
    EXPECT_LT(Red(slant.at(29, 0)), 30);  // colour 2 at the top right
    EXPECT_GT(Red(slant.at(0, 29)), 225);
    EXPECT_NEAR(Red(slant.at(0, 0)), Red(slant.at(29, 29)), 12);
}

TEST(LinearFill, ARecordTakesItsColoursFromTheRamp) {
    FillRecord r = TwoColour(0, kRed, kBlue);
    Pixels p = Take(LinearFill(kWhite, kWhite, 8, 30, 0, 0, 0, &r));
    auto ramp = Ramp(r, 256);
    for (LONG y = 0; y < 30; ++y) ASSERT_NE(std::find(ramp.begin(), ramp.end(), p.at(0, y)), ramp.end());
    EXPECT_GT(GetRValue(p.at(0, 0)), 220);  // ramp entry 0 is the first band
    EXPECT_GT(GetBValue(p.at(0, 29)), 220);
    std::set<DWORD> seen(p.values.begin(), p.values.end());
    EXPECT_EQ(seen.count(kWhite), 0u);

    Pixels viaMakeFill = Take(MakeFill(8, 30, r));
    EXPECT_EQ(viaMakeFill.values, p.values);
}

TEST(EllipticalFill, DrawsOneRingPerHalfDiagonalPixel) {
    // 10 x 10: trunc(sqrt(50) + 0.5) = 7 rings; the innermost has t = 6 / 7.
    Pixels p = Take(EllipticalFill(0, kWhite, 10, 10, 0, 0, 0, nullptr));
    EXPECT_EQ(p.at(0, 0), 0u);
    EXPECT_EQ(p.at(4, 4), RGB(218, 218, 218));
    std::set<DWORD> rings(p.values.begin(), p.values.end()), want;
    for (int i = 0; i < 7; ++i) want.insert(MixColours(0, kWhite, i / 7.0));
    EXPECT_EQ(rings, want);

    // 7 x 3: trunc(sqrt(12.25 + 2.25) + 0.5) = 4 rings.
    Pixels wide = Take(RectangularFill(0, kWhite, 7, 3, 0, 0, 0, nullptr));
    std::set<DWORD> bands(wide.values.begin(), wide.values.end());
    EXPECT_LE(bands.size(), 4u);
    EXPECT_EQ(*bands.rbegin() & 0xFF, MixColours(0, kWhite, 3 / 4.0) & 0xFF);
}

TEST(EllipticalFill, CentreOffsetsMoveTheMiddle) {
    auto brightest = [](const Pixels& p) {
        POINT at{0, 0};
        for (LONG y = 0; y < p.height; ++y)
            for (LONG x = 0; x < p.width; ++x)
                if (Red(p.at(x, y)) > Red(p.at(at.x, at.y))) at = POINT{x, y};
        return at;
    };
    POINT middle = brightest(Take(EllipticalFill(0, kWhite, 41, 41, 0, 0, 0, nullptr)));
    EXPECT_NEAR(middle.x, 20, 1);
    EXPECT_NEAR(middle.y, 20, 1);
    POINT right = brightest(Take(EllipticalFill(0, kWhite, 41, 41, 40, 0, 0, nullptr)));
    EXPECT_GT(right.x, 30);
    POINT up = brightest(Take(RectangularFill(0, kWhite, 41, 41, 0, 40, 0, nullptr)));
    EXPECT_LT(up.y, 10);  // positive centre y is up
}

TEST(EllipticalFill, ARecordColoursTheRingsFromItsRamp) {
    FillRecord r = TwoColour(kEllipticalFill, kRed, kBlue);
    Pixels p = Take(MakeFill(10, 10, r));
    auto ramp = Ramp(r, 7);
    EXPECT_EQ(p.at(0, 0), kRed);
    EXPECT_EQ(p.at(4, 4), ramp[6]);
    for (DWORD v : p.values) ASSERT_NE(std::find(ramp.begin(), ramp.end(), v), ramp.end());
    r.kind = kRectangularFill;
    Pixels q = Take(MakeFill(10, 10, r));
    for (DWORD v : q.values) ASSERT_NE(std::find(ramp.begin(), ramp.end(), v), ramp.end());
}

TEST(ConicalFill, MirroredAboutTheDirection) {
    // Angle 0: the same colour above and below the horizontal through the centre.
    Pixels p = Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, 0, nullptr));
    for (LONG d = 1; d <= 20; ++d)
        for (LONG x = 0; x < 41; ++x) ASSERT_EQ(p.at(x, 20 - d), p.at(x, 20 + d)) << x << " " << d;
    EXPECT_EQ(p.at(5, 20), kRed);    // colour 1 in the direction of the angle
    EXPECT_EQ(p.at(35, 20), kBlue);  // colour 2 opposite
    EXPECT_EQ(p.at(20, 5), MixColours(kRed, kBlue, 0.5));

    Pixels up = Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, 90, nullptr));
    for (LONG d = 1; d <= 20; ++d)
        for (LONG y = 0; y < 41; ++y) ASSERT_EQ(up.at(20 - d, y), up.at(20 + d, y)) << y << " " << d;
    EXPECT_EQ(up.at(20, 3), kRed);
    // Angles a whole turn apart or below zero give the same sweep.
    EXPECT_EQ(Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, 450, nullptr)).values, up.values);
    EXPECT_EQ(Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, -270, nullptr)).values, up.values);
    // The most negative angle a stored record can hold turns as the same
    // angle modulo a turn does (-2147483648 = 232 - 5965233 x 360).
    EXPECT_EQ(Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, INT_MIN, nullptr)).values,
              Take(ConicalFill(kRed, kBlue, 41, 41, 0, 0, 232, nullptr)).values);
}

TEST(ConicalFill, CentreAndRecord) {
    // Centre x 25: cx = trunc(0.75 x 40) = 30; centre y 25: cy = trunc(0.25 x 40) = 10.
    Pixels p = Take(ConicalFill(kRed, kBlue, 40, 40, 25, 25, 0, nullptr));
    EXPECT_EQ(p.at(29, 10), kRed);
    EXPECT_EQ(p.at(31, 10), kBlue);
    EXPECT_EQ(p.at(30, 12), p.at(30, 8));
    FillRecord r = TwoColour(kConicalFill, kRed, kBlue);
    Pixels q = Take(MakeFill(41, 41, r));
    auto ramp = Ramp(r, 360);
    EXPECT_EQ(q.at(5, 20), ramp[0]);
    EXPECT_EQ(q.at(35, 20), ramp[359]);
}

TEST(Fills, NothingForAnEmptySize) {
    EXPECT_EQ(LinearFill(0, 0, 0, 5, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(EllipticalFill(0, 0, 5, 0, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(ConicalFill(0, 0, -1, 5, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(RenderFountain(MakeFountainDefinition(0, 0), 0, 1), nullptr);
}

TEST(Fills, FailuresLeakNothing) {
    using testing_support::WalkAllocationFailures;
    using testing_support::WalkBlockFailures;
    FillRecord two = TwoColour(0, kRed, kBlue, 10);
    FillRecord uneven = TwoColour(0, kRed, kBlue, 10, 30);
    FillRecord fountain = two;
    fountain.twoColour = 0;
    fountain.fountain = MakeFountainDefinition(0, kWhite);
    fountain.fountain.stopCount = 1;
    fountain.fountain.stops[0] = FountainStop(kRed, 100);
    for (const FillRecord* r : {&two, &uneven, &fountain}) {
        WalkAllocationFailures([&] {
            HeapArray<COLORREF> ramp;
            return MakeColourRamp(*r, 24, ramp);
        });
        for (LONG kind : {0, 1, 2, 3}) {
            FillRecord k = *r;
            k.kind = kind;
            WalkBlockFailures([&] { return MakeFill(12, 9, k); });
        }
    }
    WalkBlockFailures([&] { return LinearFill(kRed, kBlue, 7, 5, 0, 0, 30, nullptr); });
    WalkBlockFailures([&] { return EllipticalFill(kRed, kBlue, 7, 5, 0, 0, 0, nullptr); });
    WalkBlockFailures([&] { return RectangularFill(kRed, kBlue, 7, 5, 0, 0, 0, nullptr); });
    WalkBlockFailures([&] { return ConicalFill(kRed, kBlue, 7, 5, 0, 0, 0, nullptr); });
    WalkBlockFailures([&] { return RenderFountain(fountain.fountain, 20, 2); });
}

}  // namespace
