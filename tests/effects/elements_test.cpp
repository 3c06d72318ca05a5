#include "effects/elements.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <vector>

#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(ColorSet, EnabledColoursFollowColourOneWithoutGaps) {
    const COLORREF others[4] = {RGB(2, 0, 0), RGB(3, 0, 0), RGB(4, 0, 0), RGB(5, 0, 0)};
    ColorSet none = MakeColorSet(RGB(1, 0, 0), others, {false, false, false, false});
    EXPECT_EQ(none.count, 1);
    EXPECT_EQ(none.colours[0], RGB(1, 0, 0));

    ColorSet some = MakeColorSet(RGB(1, 0, 0), others, {false, true, false, true});
    ASSERT_EQ(some.count, 3);
    EXPECT_EQ(some.colours[0], RGB(1, 0, 0));
    EXPECT_EQ(some.colours[1], RGB(3, 0, 0));
    EXPECT_EQ(some.colours[2], RGB(5, 0, 0));

    ColorSet all = MakeColorSet(RGB(1, 0, 0), others, {true, true, true, true});
    ASSERT_EQ(all.count, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(all.colours[i], RGB(i + 1, 0, 0));
}

std::vector<int> RawDraws(unsigned seed, std::size_t n) {
    crt::srand(seed);
    std::vector<int> raw(n);
    for (int& r : raw) r = crt::rand();
    return raw;
}

TEST(ColourPick, OneColourDrawsNoRandomNumber) {
    const COLORREF others[4] = {};
    ColorSet one = MakeColorSet(kRed, others, {false, false, false, false});
    auto raw = RawDraws(4242, 1);
    crt::srand(4242);
    int previous = -1;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(PickColour(one, previous), kRed);
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(crt::rand(), raw[0]) << "the generator moved";
}

TEST(ColourPick, DrawsUntilTheIndexDiffersFromThePreviousOne) {
    // The rule read off a list of the generator's values: each pick takes
    // draws from the list until one differs from the previous index, at most 16.
    for (int count : {2, 3, 5}) {
        auto raw = RawDraws(977, 4000);
        std::size_t next = 0;
        int expectedPrevious = -1;
        crt::srand(977);
        int previous = -1;
        for (int element = 0; element < 500; ++element) {
            int want = 0;
            for (int draw = 0; draw < 16; ++draw) {
                want = raw[next++] % count;
                if (want != expectedPrevious) break;
            }
            expectedPrevious = want;
            ASSERT_EQ(PickIndexWithoutRepeat(count, previous), want) << count << " element " << element;
            ASSERT_EQ(previous, want);
        }
        EXPECT_EQ(crt::rand(), raw[next]) << count;
    }
}

TEST(ColourPick, TwoColoursAlternate) {
    const COLORREF others[4] = {kWhite, 0, 0, 0};
    ColorSet two = MakeColorSet(kRed, others, {true, false, false, false});
    crt::srand(1000);
    int previous = -1;
    COLORREF last = PickColour(two, previous);
    for (int i = 0; i < 300; ++i) {
        COLORREF c = PickColour(two, previous);
        ASSERT_NE(c, last) << i;
        last = c;
    }
}

TEST(ColourPick, SixteenEqualDrawsKeepTheRepeat) {
    // Sixteen draws in a row of the previous index: the pick gives up and
    // repeats it. With three choices the generator's first such run from
    // seed 1 lies about 2.5 million draws in (with two there is none at all).
    crt::srand(1);
    std::vector<int> raw;
    std::size_t start = 0;
    for (int run = 0; run < 16;) {
        ASSERT_LT(raw.size(), 5'000'000u) << "no run of 16";
        raw.push_back(crt::rand());
        run = raw.size() > 1 && raw.back() % 3 == raw[raw.size() - 2] % 3 ? run + 1 : 1;
        start = raw.size() - run;
    }
    raw.push_back(crt::rand());
    crt::srand(1);
    for (std::size_t i = 0; i < start; ++i) crt::rand();
    int previous = raw[start] % 3;
    EXPECT_EQ(PickIndexWithoutRepeat(3, previous), raw[start] % 3);
    EXPECT_EQ(previous, raw[start] % 3);
    EXPECT_EQ(crt::rand(), raw[start + 16]) << "exactly 16 draws";
}

TEST(SpeedClass, CyclesThroughOneTwoFour) {
    const int want[7] = {1, 2, 4, 1, 2, 4, 1};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(SpeedClass(i), want[i]);
    EXPECT_EQ(SpeedClass(3001), 2);
}

// A white square of side n on a black 8-bit mask of size n + 2 x n + 2.
HGLOBAL SquareMask(LONG n) {
    HGLOBAL m = CreatePackedDib(n + 2, n + 2, nullptr, 8);
    FillDibRect(GlobalLockGuard<BYTE>(m).get(), 1, 1, n, n, 255);
    return m;
}

TEST(DropShadow, SoftnessZeroGivesAHardEdge) {
    GlobalBlock mask(SquareMask(6));
    HGLOBAL raw = nullptr;
    ASSERT_TRUE(MakeDropShadow(mask.get(), {255, 3, 0}, &raw));
    GlobalBlock hard(raw);
    GlobalLockGuard<BYTE> h(hard.get());
    auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(h.get());
    EXPECT_EQ(header->biWidth, 11);
    for (LONG y = 0; y < 11; ++y)
        for (LONG x = 0; x < 11; ++x) {
            bool inside = x >= 4 && x < 10 && y >= 4 && y < 10;  // moved 3 right and down
            ASSERT_EQ(GetDibPixel(h.get(), x, y), inside ? 255u : 0u) << x << "," << y;
        }

    ASSERT_TRUE(MakeDropShadow(mask.get(), {255, 3, 10}, &raw));
    GlobalBlock soft(raw);
    GlobalLockGuard<BYTE> s(soft.get());
    std::set<DWORD> levels;
    for (LONG y = 0; y < 12; ++y)
        for (LONG x = 0; x < 12; ++x) levels.insert(GetDibPixel(s.get(), x, y));
    EXPECT_GT(levels.size(), 4u) << "a soft shadow has levels between none and full";
}

TEST(DropShadow, NoneWithoutOpacityAndNoLeakWhenMemoryFails) {
    GlobalBlock mask(SquareMask(4));
    HGLOBAL shadow = reinterpret_cast<HGLOBAL>(1);
    EXPECT_TRUE(MakeDropShadow(mask.get(), {0, 3, 10}, &shadow));
    EXPECT_EQ(shadow, nullptr);
    // A failed blur falls back on the hard shadow, so some faults still succeed.
    testing_support::WalkAllocationFailures([&] {
        HGLOBAL made = nullptr;
        bool ok = MakeDropShadow(mask.get(), {120, 2, 12}, &made);
        EXPECT_EQ(ok, made != nullptr);
        if (made) GlobalFree(made);
        return ok;
    }, false);
}

TEST(DrawElement, ShadowFirstThenTheMaskWrappedRoundTheEdges) {
    GlobalBlock mask(CreatePackedDib(2, 2, nullptr, 8));
    FillDibRect(GlobalLockGuard<BYTE>(mask.get()).get(), 0, 0, 2, 2, 255);
    HGLOBAL raw = nullptr;
    ASSERT_TRUE(MakeDropShadow(mask.get(), {255, 1, 0}, &raw));
    GlobalBlock shadow(raw);
    for (int opacity : {255, 128}) {
        GlobalBlock frame(CreatePackedDib(8, 6, nullptr, 24));
        GlobalLockGuard<BYTE> f(frame.get()), m(mask.get()), s(shadow.get());
        FillDibRect(f.get(), 0, 0, 8, 6, kWhite);
        DrawElement(f.get(), m.get(), s.get(), -1, -1, kRed, opacity);
        // The element covers (7, 5), (0, 5), (7, 0) and (0, 0); its shadow,
        // one pixel further right and down, shows at (1, 0), (0, 1), (1, 1).
        const BYTE kept = static_cast<BYTE>(255 * (255 - opacity) / 255);
        const COLORREF shade = RGB(kept, kept, kept);
        const COLORREF onWhite = RGB(kept + 255 * opacity / 255, kept, kept);
        const COLORREF onShade = RGB(kept * (255 - opacity) / 255 + 255 * opacity / 255, kept * (255 - opacity) / 255,
                                     kept * (255 - opacity) / 255);
        EXPECT_EQ(GetDibPixel(f.get(), 7, 5), onWhite) << opacity;
        EXPECT_EQ(GetDibPixel(f.get(), 7, 0), onWhite) << opacity;
        EXPECT_EQ(GetDibPixel(f.get(), 0, 5), onWhite) << opacity;
        EXPECT_EQ(GetDibPixel(f.get(), 0, 0), onShade) << opacity;  // under the wrapped shadow's corner
        EXPECT_EQ(GetDibPixel(f.get(), 1, 1), shade) << opacity;
        EXPECT_EQ(GetDibPixel(f.get(), 1, 0), shade) << opacity;
        EXPECT_EQ(GetDibPixel(f.get(), 3, 3), kWhite) << opacity;
    }
}

TEST(ShadingColour, LowersTheValue) {
    EXPECT_EQ(ShadingColour(kRed, 50), RGB(127, 0, 0));
    EXPECT_EQ(ShadingColour(kWhite, 20), RGB(204, 204, 204));
    EXPECT_EQ(ShadingColour(RGB(0, 255, 0), 100), 0u);
    EXPECT_EQ(ShadingColour(0, 70), 0u);          // black has no hue and stays black
    EXPECT_EQ(ShadingColour(RGB(40, 20, 10), 90), 0u);  // a value below 0 is held at 0
    HsvColour before = RgbToHsv(RGB(200, 120, 40)), after = RgbToHsv(ShadingColour(RGB(200, 120, 40), 30));
    EXPECT_NEAR(after.hue, before.hue, 1.0);
    EXPECT_NEAR(after.value, before.value - 0.3, 1.0 / 255);
}

TEST(Glare, ASoftRoundSpotNoBrighterThanItsStrength) {
    for (int g : {255, 160, 40}) {
        FillRecord r = GlareFillRecord(g);
        EXPECT_EQ(r.kind, kEllipticalFill);
        EXPECT_EQ(r.colour1, RGB(g, g, g));
        EXPECT_EQ(r.colour2, 0u);
        const LONG size = 32;
        GlobalBlock spot(MakeFill(size, size, r));
        GlobalLockGuard<BYTE> s(spot.get());
        ASSERT_TRUE(s);
        int brightest = 0;
        for (LONG y = 0; y < size; ++y)
            for (LONG x = 0; x < size; ++x) {
                DWORD v = GetDibPixel(s.get(), x, y);
                int level = static_cast<int>(v & 0xFF);
                ASSERT_EQ(v, RGB(level, level, level));
                ASSERT_LE(level, g);
                brightest = std::max(brightest, level);
                double d = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0);
                if (d > size / 2.0 + 1) {
                    ASSERT_EQ(level, 0) << "outside the circle at " << x << "," << y;
                }
                if (d > size / 2.0 - 3) {
                    ASSERT_LT(level, g / 4 + 1) << "a hard rim at " << x << "," << y;
                }
            }
        EXPECT_GE(brightest, g * 9 / 10) << g;
        EXPECT_GE(static_cast<int>(GetDibPixel(s.get(), 15, 15) & 0xFF), g * 8 / 10) << "the middle is lit";
    }
    GlobalBlock dark(MakeFill(32, 32, GlareFillRecord(0)));
    GlobalLockGuard<BYTE> d(dark.get());
    for (LONG y = 0; y < 32; ++y)
        for (LONG x = 0; x < 32; ++x) ASSERT_EQ(GetDibPixel(d.get(), x, y), 0u);
}

TEST(Glare, LightensOnlyUnderTheSpotAndStopsAtTheEdges) {
    // m = 40: a spot of max(80 / 5, 8) = 16 pixels.
    for (POINT corner : {POINT{10, 6}, POINT{-8, 30}}) {
        SurfaceGuard surface;
        ASSERT_TRUE(surface.Open(40, 40));
        PatBlt(surface.dc(), 0, 0, 40, 40, BLACKNESS);
        ASSERT_TRUE(ApplyGlare(surface.get(), 255, 40, corner.x, corner.y));
        GlobalBlock picture(surface.Take());
        GlobalLockGuard<BYTE> p(picture.get());
        for (LONG y = 0; y < 40; ++y)
            for (LONG x = 0; x < 40; ++x) {
                DWORD v = GetDibPixel(p.get(), x, y);
                bool under = x >= corner.x && x < corner.x + 16 && y >= corner.y && y < corner.y + 16;
                if (!under) {
                    ASSERT_EQ(v, 0u) << x << "," << y;
                }
            }
        // The spot's middle; cut off at the left edge, its middle column lands on x = 0.
        EXPECT_GT(GetDibPixel(p.get(), std::max<LONG>(corner.x + 8, 0), corner.y + 8) & 0xFF, 200u);
    }
    SurfaceGuard surface;
    ASSERT_TRUE(surface.Open(40, 40));
    testing_support::WalkAllocationFailures([&] { return ApplyGlare(surface.get(), 200, 40, 4, 4); });
}

// A sprite as a PNG picture: straight RGBA rows from the top.
struct Rgba {
    unsigned width = 0, height = 0;
    std::vector<png_byte> bytes;
    const png_byte* at(unsigned x, unsigned y) const { return &bytes[(static_cast<std::size_t>(y) * width + x) * 4]; }
    int alpha(unsigned x, unsigned y) const { return at(x, y)[3]; }
    int luma(unsigned x, unsigned y) const { return (77 * at(x, y)[0] + 150 * at(x, y)[1] + 28 * at(x, y)[2]) / 255; }
};

// Writes the sprite as an RGBA PNG file and reads the file back.
Rgba ThroughPng(HGLOBAL sprite, const std::filesystem::path& file) {
    Rgba out;
    GlobalLockGuard<BYTE> s(sprite);
    auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(s.get());
    std::vector<png_byte> pixels;
    for (LONG y = 0; y < header->biHeight; ++y)
        for (LONG x = 0; x < header->biWidth; ++x) {
            DWORD v = GetDibPixel(s.get(), x, y);
            for (int shift : {0, 8, 16, 24}) pixels.push_back(static_cast<png_byte>(v >> shift));
        }
    std::filesystem::create_directories(file.parent_path());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(header->biWidth);
    image.height = static_cast<png_uint_32>(header->biHeight);
    image.format = PNG_FORMAT_RGBA;
    EXPECT_TRUE(png_image_write_to_file(&image, file.c_str(), 0, pixels.data(), 0, nullptr)) << image.message;

    png_image back{};
    back.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&back, file.c_str())) {
        ADD_FAILURE() << back.message;
        return out;
    }
    back.format = PNG_FORMAT_RGBA;
    out.width = back.width;
    out.height = back.height;
    out.bytes.resize(PNG_IMAGE_SIZE(back));
    EXPECT_TRUE(png_image_finish_read(&back, nullptr, out.bytes.data(), 0, nullptr)) << back.message;
    EXPECT_EQ(out.bytes, pixels);
    return out;
}

const std::filesystem::path kOutput = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";

TEST(BallSprite, LooksLikeAShadedBall) {
    const COLORREF base = RGB(40, 90, 230);
    GlobalBlock plain(BallSprite(base, base, ShadingColour(base, 70), 0, 20, 20));
    ASSERT_TRUE(plain);
    Rgba ball = ThroughPng(plain.get(), kOutput / "ball_sprite_20x20.png");
    ASSERT_EQ(ball.width, 20u);
    ASSERT_EQ(ball.height, 20u);
    for (unsigned x : {0u, 19u})
        for (unsigned y : {0u, 19u}) EXPECT_EQ(ball.alpha(x, y), 0) << x << "," << y;
    for (unsigned y = 7; y < 13; ++y)
        for (unsigned x = 7; x < 13; ++x) EXPECT_EQ(ball.alpha(x, y), 255) << x << "," << y;
    // Brighter in the middle than at the rim, on every side.
    const int centre = ball.luma(10, 10);
    for (auto [x, y] : {std::pair{1u, 10u}, {18u, 10u}, {10u, 18u}, {10u, 1u}}) {
        EXPECT_GT(ball.alpha(x, y), 0);
        EXPECT_GT(centre, ball.luma(x, y) + 20) << x << "," << y;
    }
    // Towards the rim it turns to the shading colour.
    EXPECT_LT(ball.luma(10, 18), ball.luma(10, 14));

    // The glare lightens the upper middle and nothing below it.
    GlobalBlock lit(BallSprite(base, base, ShadingColour(base, 70), 200, 20, 20));
    Rgba glare = ThroughPng(lit.get(), kOutput / "ball_sprite_20x20_glare.png");
    int lighter = 0;
    for (unsigned y = 0; y < 20; ++y)
        for (unsigned x = 0; x < 20; ++x) {
            ASSERT_EQ(glare.alpha(x, y), ball.alpha(x, y));
            if (y >= 16) {
                ASSERT_EQ(glare.luma(x, y), ball.luma(x, y)) << x << "," << y;
            }
            if (glare.luma(x, y) > ball.luma(x, y) + 30) ++lighter;
        }
    EXPECT_GT(lighter, 4);
    EXPECT_GT(glare.luma(10, 5), ball.luma(10, 5) + 60);
}

TEST(BallSprite, WithoutShadingItIsOneColour) {
    const COLORREF base = RGB(200, 30, 60);
    GlobalBlock sprite(BallSprite(base, base, base, 0, 14, 9));
    GlobalLockGuard<BYTE> s(sprite.get());
    ASSERT_TRUE(s);
    auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(s.get());
    EXPECT_EQ(header->biWidth, 14);
    EXPECT_EQ(header->biHeight, 9);
    EXPECT_EQ(header->biBitCount, 32);
    for (LONG y = 0; y < 9; ++y)
        for (LONG x = 0; x < 14; ++x) ASSERT_EQ(GetDibPixel(s.get(), x, y) & 0xFFFFFF, base) << x << "," << y;
}

TEST(BallSprite, OddSizesAndFailures) {
    GlobalBlock dot(BallSprite(kRed, kRed, 0, 255, 1, 1));  // glare spot larger than the surface
    ASSERT_TRUE(dot);
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(GlobalLockGuard<BYTE>(dot.get()).get())->biWidth, 1);
    EXPECT_EQ(BallSprite(kRed, kRed, 0, 0, 0, 5), nullptr);
    EXPECT_EQ(BallSprite(kRed, kRed, 0, 0, 5, -1), nullptr);
    for (int glare : {0, 160})
        testing_support::WalkBlockFailures([&] { return BallSprite(kRed, kRed, RGB(60, 0, 0), glare, 6, 5); });
}

}  // namespace
