#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/filters.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using testing_support::BlockBytes;
using testing_support::RandomPackedDib;

namespace {

std::vector<float> Kernel(int width, double deviation) {
    HeapArray<float> k;
    EXPECT_TRUE(MakeBlurKernel(width, deviation, k));
    return {k.begin(), k.end()};
}

TEST(BlurKernel, WeightsSumToOneAndFallAwayFromTheCentre) {
    for (double sigma : {0.2, 0.7, 2.7, 25.0}) {
        auto k = Kernel(9, sigma);
        ASSERT_EQ(k.size(), 9u);
        double sum = 0;
        for (float w : k) sum += w;
        EXPECT_NEAR(sum, 1.0, 1e-6) << sigma;
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(k[i], k[8 - i]) << sigma;
            EXPECT_LE(k[i], k[i + 1]) << sigma;
        }
    }
    auto sharp = Kernel(9, 0.01), flat = Kernel(9, 1000.0);
    EXPECT_NEAR(sharp[4], 1.0, 1e-6);
    for (float w : flat) EXPECT_NEAR(w, 1.0 / 9, 1e-4);
}

TEST(BlurKernel, OddCasesStayInsideTheKernel) {
    EXPECT_EQ(Kernel(0, 1.0).size(), 3u);   // a width below 1 counts as 3
    EXPECT_EQ(Kernel(-4, 1.0).size(), 3u);
    for (int w : {2, 4, 6, 8}) {  // the last sub-sample of an even kernel has no weight to go to
        auto k = Kernel(w, 0.9);
        double sum = 0;
        for (float v : k) sum += v;
        EXPECT_NEAR(sum, 1.0, 1e-6) << w;
    }
    auto delta = Kernel(5, 0.0);  // no spread: all weight at the centre, no NaN
    EXPECT_FLOAT_EQ(delta[2], 1.0f);
    EXPECT_FLOAT_EQ(delta[0], 0.0f);
    testing_support::WalkAllocationFailures([] {
        HeapArray<float> k;
        return MakeBlurKernel(9, 1.2, k);
    });
}

// The blur as plainly as it can be written: lines through the pixel
// functions, one channel of the pixel value at a time.
struct PlainBlur {
    std::vector<float> k;

    std::vector<int> Line(const std::vector<int>& p) const {
        int w = static_cast<int>(k.size()), n = static_cast<int>(p.size()), h = w / 2;
        std::vector<int> out = p;
        if (w > n) return out;
        for (int x = 0; x < n; ++x) {
            float s = 0, t = 0;
            double v;
            if (x < h) {
                for (int j = 0; j <= x + (w - 1 - h); ++j) s += k[h - x + j] * p[j], t += k[h - x + j];
                v = (s + 0.5) / t;
            } else if (x < n - h) {
                for (int j = 0; j < w; ++j) s += k[j] * p[x - h + j];
                v = s + 0.5;
            } else {
                for (int j = 0; x - h + j < n; ++j) s += k[j] * p[x - h + j], t += k[j];
                v = (s + 0.5) / t;
            }
            out[x] = std::min(255, static_cast<int>(v));
        }
        return out;
    }

    // Blurs the picture in place horizontally (rows) or vertically (columns).
    void Pass(void* dib, bool rows) const {
        const auto& hd = *static_cast<const BITMAPINFOHEADER*>(dib);
        int channels = hd.biBitCount <= 8 ? 1 : hd.biBitCount / 8;
        LONG lines = rows ? hd.biHeight : hd.biWidth, n = rows ? hd.biWidth : hd.biHeight;
        for (LONG a = 0; a < lines; ++a)
            for (int c = 0; c < channels; ++c) {
                std::vector<int> p(n);
                for (LONG i = 0; i < n; ++i) p[i] = (GetDibPixel(dib, rows ? i : a, rows ? a : i) >> (8 * c)) & 0xFF;
                auto q = Line(p);
                for (LONG i = 0; i < n; ++i) {
                    LONG x = rows ? i : a, y = rows ? a : i;
                    DWORD v = GetDibPixel(dib, x, y);
                    if (channels == 1)
                        v = q[i];
                    else
                        v = (v & ~(0xFFu << (8 * c))) | (static_cast<DWORD>(q[i]) << (8 * c));
                    SetDibPixel(dib, x, y, v);
                }
            }
    }
};

TEST(GaussianBlur, MatchesThePlainBlurAndLeavesTheHorizontalPassInTheInput) {
    std::mt19937 random(31);
    std::uniform_int_distribution<int> side(1, 30), dev(0, 60);
    for (int bits : {1, 4, 8, 24, 32}) {
        for (int round = 0; round < 12; ++round) {
            LONG w = side(random), h = side(random);
            int d = dev(random);
            GlobalBlock dib(RandomPackedDib(random, w, h, bits));
            GlobalBlock expected(CopyGlobalBlock(dib.get()));
            PlainBlur plain{Kernel(std::min<LONG>(9, std::min(w, h)), d / 10.0)};
            plain.Pass(GlobalLockGuard<BYTE>(expected.get()).get(), true);
            auto horizontal = BlockBytes(expected.get());
            plain.Pass(GlobalLockGuard<BYTE>(expected.get()).get(), false);

            GlobalBlock out(GaussianBlurDib(dib.get(), 99, d));
            ASSERT_TRUE(out);
            ASSERT_EQ(BlockBytes(out.get()), BlockBytes(expected.get())) << bits << " bits " << w << "x" << h << " d " << d;
            ASSERT_EQ(BlockBytes(dib.get()), horizontal) << bits << " bits " << w << "x" << h;
        }
    }
}

TEST(GaussianBlur, ResultIsAPlainPictureOfTheSameSizeDepthAndTable) {
    // A picture from outside: header fields this code never writes, and a
    // block longer than the picture. The result is made afresh all the same.
    std::mt19937 random(34);
    GlobalBlock dib(RandomPackedDib(random, 12, 7, 8));
    GlobalBlock plain(CopyGlobalBlock(dib.get()));
    {
        GlobalLockGuard<BYTE> p(dib.get());
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(p.get());
        h->biXPelsPerMeter = 2835;
        h->biClrUsed = 0;
    }
    HGLOBAL longer = GlobalReAlloc(dib.get(), GlobalSize(dib.get()) + 64, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_TRUE(longer);
    dib.release();
    dib.reset(longer);
    GlobalBlock out(GaussianBlurDib(dib.get(), 0, 20));
    GlobalBlock expected(GaussianBlurDib(plain.get(), 0, 20));
    ASSERT_TRUE(out);
    EXPECT_EQ(BlockBytes(out.get()), BlockBytes(expected.get()));
    GlobalLockGuard<BYTE> o(out.get());
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(o.get())->biXPelsPerMeter, 0);
}

TEST(GaussianBlur, NarrowPictureUsesAKernelAsWideAsItsShortSide) {
    // A bright dot in a 5 x 20 picture spreads over 5 rows: 5 taps, not 9.
    GlobalBlock dib(CreatePackedDib(5, 20, nullptr, 8));
    SetDibPixel(GlobalLockGuard<BYTE>(dib.get()).get(), 2, 10, 255);
    GlobalBlock out(GaussianBlurDib(dib.get(), 0, 200));
    GlobalLockGuard<BYTE> p(out.get());
    for (LONG y = 0; y < 20; ++y) {
        bool lit = GetDibPixel(p.get(), 2, y) > 0;
        EXPECT_EQ(lit, y >= 8 && y <= 12) << y;
    }
}

TEST(GaussianBlur, UniformPicturesStayUniformAndDotsSpreadSymmetrically) {
    GlobalBlock grey(CreatePackedDib(13, 11, nullptr, 24));
    FillDibRect(GlobalLockGuard<BYTE>(grey.get()).get(), 0, 0, 13, 11, 0x7F3C10);
    GlobalBlock blurred(GaussianBlurDib(grey.get(), 0, 27));
    GlobalLockGuard<BYTE> g(blurred.get());
    for (LONG y = 0; y < 11; ++y)
        for (LONG x = 0; x < 13; ++x) ASSERT_EQ(GetDibPixel(g.get(), x, y), 0x7F3C10u) << x << "," << y;

    GlobalBlock dot(CreatePackedDib(15, 15, nullptr, 8));
    SetDibPixel(GlobalLockGuard<BYTE>(dot.get()).get(), 7, 7, 255);
    GlobalBlock spread(GaussianBlurDib(dot.get(), 0, 15));
    GlobalLockGuard<BYTE> s(spread.get());
    for (LONG y = 0; y < 15; ++y)
        for (LONG x = 0; x < 15; ++x) {
            DWORD v = GetDibPixel(s.get(), x, y);
            EXPECT_EQ(v, GetDibPixel(s.get(), 14 - x, y));
            EXPECT_EQ(v, GetDibPixel(s.get(), y, x));
        }
    EXPECT_LT(GetDibPixel(s.get(), 7, 7), 255u);
    EXPECT_GT(GetDibPixel(s.get(), 6, 7), 0u);
}

HGLOBAL Mask(LONG w, LONG h, int bits) {
    HGLOBAL m = CreatePackedDib(w, h, nullptr, bits);
    GlobalLockGuard<BYTE> p(m);
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            DWORD c = static_cast<DWORD>((x * 37 + y * 91) % 256);
            SetDibPixel(p.get(), x, y, bits == 24 ? RGB(c, c, c) : c);
        }
    return m;
}

TEST(ShadowMask, HardShadowIsTheMaskMovedOntoALargerCanvas) {
    GlobalBlock mask(Mask(6, 4, 24));
    GlobalBlock shadow(MakeShadowMask(mask.get(), 3, 0, 0, 255));
    ASSERT_TRUE(shadow);
    GlobalLockGuard<BYTE> s(shadow.get()), m(mask.get());
    auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(s.get());
    EXPECT_EQ(h.biWidth, 9);
    EXPECT_EQ(h.biHeight, 7);
    for (LONG y = 0; y < 7; ++y)
        for (LONG x = 0; x < 9; ++x) {
            DWORD want = x >= 3 && y >= 3 ? GetDibPixel(m.get(), x - 3, y - 3) : 0;
            ASSERT_EQ(GetDibPixel(s.get(), x, y), want) << x << "," << y;
        }
}

TEST(ShadowMask, OpacityScalesAndSoftnessWidensAndBlurs) {
    GlobalBlock mask(Mask(6, 4, 8));
    GlobalBlock half(MakeShadowMask(mask.get(), 2, 0, 0, 128));
    GlobalLockGuard<BYTE> h(half.get()), m(mask.get());
    for (LONG y = 0; y < 4; ++y)
        for (LONG x = 0; x < 6; ++x) ASSERT_EQ(GetDibPixel(h.get(), x + 2, y + 2), GetDibPixel(m.get(), x, y) * 128 / 255);

    // Soft 25: margin 3 + 1 + 25 / 10 = 6, blurred with deviation 27.
    GlobalBlock soft(MakeShadowMask(mask.get(), 3, 25, 0, 255));
    GlobalBlock canvas(CreatePackedDib(12, 10, nullptr, 8));
    CopyDibRect(GlobalLockGuard<BYTE>(canvas.get()).get(), 3, 3, m.get(), 0, 0, 6, 4);
    GlobalBlock expected(GaussianBlurDib(canvas.get(), 0, 27));
    EXPECT_EQ(BlockBytes(soft.get()), BlockBytes(expected.get()));
}

TEST(ShadowMask, FailuresLeakNothingAndAFailedBlurKeepsTheHardShadow) {
    GlobalBlock mask(Mask(8, 8, 24));
    testing_support::WalkBlockFailures([&] { return MakeShadowMask(mask.get(), 2, 0, 0, 200); });
    int points = testing_support::WalkBlockFailures([&] { return MakeShadowMask(mask.get(), 2, 15, 0, 200); }, false);
    EXPECT_GE(points, 3);
}

// The mask blend written per pixel, as the reference for the row loops.
void PlainBlend(void* target, const void* overlay, LONG x, LONG y, int flags, bool sprite, COLORREF colour,
                int opacity) {
    const auto& t = *static_cast<const BITMAPINFOHEADER*>(target);
    const auto& o = *static_cast<const BITMAPINFOHEADER*>(overlay);
    for (LONG my = 0; my < o.biHeight; ++my)
        for (LONG mx = 0; mx < o.biWidth; ++mx) {
            LONG tx = x + mx, ty = y + my;
            if (flags & kBlendWrap) {
                tx = ((tx % t.biWidth) + t.biWidth) % t.biWidth;
                ty = ((ty % t.biHeight) + t.biHeight) % t.biHeight;
            }
            DWORD v = GetDibPixel(overlay, mx, my), c = colour;
            unsigned a = v & 0xFF;
            if (sprite) {
                a = v >> 24;
                c = v & 0xFFFFFF;
            } else if ((flags & kBlendWrap) && opacity != 255) {
                a = a * opacity / 255;
            }
            DWORD d = GetDibPixel(target, tx, ty);
            if (d == kNoPixel) continue;
            DWORD out = d & 0xFF000000;
            for (int s = 0; s < 24; s += 8)
                out |= (((d >> s) & 0xFF) * (255 - a) / 255 + ((c >> s) & 0xFF) * a / 255) << s;
            SetDibPixel(target, tx, ty, out);
        }
}

TEST(MaskBlend, RowLoopsMatchThePixelFormOnRandomPictures) {
    std::mt19937 random(32);
    std::uniform_int_distribution<int> pos(-25, 40), side(1, 20);
    for (int round = 0; round < 400; ++round) {
        static constexpr int kOverlayBits[5] = {8, 24, 32, 1, 4};
        int targetBits = round % 5 == 0 ? 32 : round % 11 == 0 ? 8 : 24, overlayBits = kOverlayBits[round % 5];
        bool sprite = round % 4 == 3;
        if (sprite) overlayBits = 32;
        GlobalBlock a(RandomPackedDib(random, side(random), side(random), targetBits));
        GlobalBlock b(CopyGlobalBlock(a.get()));
        GlobalBlock overlay(RandomPackedDib(random, side(random), side(random), overlayBits));
        LONG x = pos(random), y = pos(random);
        int flags = round % 2, opacity = round % 7 == 0 ? 255 : static_cast<int>(random() % 256);
        COLORREF colour = random() & 0xFFFFFF;
        GlobalLockGuard<BYTE> o(overlay.get());
        if (sprite)
            BlendAlphaSprite(GlobalLockGuard<BYTE>(a.get()).get(), o.get(), x, y, flags);
        else
            BlendColourThroughMask(GlobalLockGuard<BYTE>(a.get()).get(), o.get(), x, y, colour, opacity, flags);
        PlainBlend(GlobalLockGuard<BYTE>(b.get()).get(), o.get(), x, y, flags, sprite, colour, opacity);
        ASSERT_EQ(BlockBytes(a.get()), BlockBytes(b.get())) << "round " << round;
    }
}

TEST(MaskBlend, ClippedAtTheEdgeOrWrappedRoundIt) {
    GlobalBlock mask(CreatePackedDib(10, 2, nullptr, 8));
    FillDibRect(GlobalLockGuard<BYTE>(mask.get()).get(), 0, 0, 10, 2, 255);
    for (int flags : {0, kBlendWrap}) {
        GlobalBlock frame(CreatePackedDib(20, 4, nullptr, 24));
        GlobalLockGuard<BYTE> f(frame.get()), m(mask.get());
        BlendColourThroughMask(f.get(), m.get(), -5, 1, 0x0000FF, 255, flags);
        for (LONG x = 0; x < 20; ++x) {
            bool painted = GetDibPixel(f.get(), x, 1) == 0x0000FF;
            bool want = x < 5 || (flags && x >= 15);
            EXPECT_EQ(painted, want) << "flags " << flags << " x " << x;
            EXPECT_EQ(GetDibPixel(f.get(), x, 0), 0u);
        }
    }
}

TEST(MaskBlend, OpacityCountsOnlyWhenWrapping) {
    GlobalBlock mask(CreatePackedDib(1, 1, nullptr, 8));
    SetDibPixel(GlobalLockGuard<BYTE>(mask.get()).get(), 0, 0, 255);
    for (int flags : {0, kBlendWrap}) {
        GlobalBlock frame(CreatePackedDib(2, 2, nullptr, 24));
        GlobalLockGuard<BYTE> f(frame.get()), m(mask.get());
        FillDibRect(f.get(), 0, 0, 2, 2, RGB(200, 200, 200));
        BlendColourThroughMask(f.get(), m.get(), 0, 0, RGB(100, 0, 255), 128, flags);
        DWORD got = GetDibPixel(f.get(), 0, 0);
        if (flags)  // weight 128: 200 x 127 / 255 + c x 128 / 255, each term truncated
            EXPECT_EQ(got, RGB(99 + 50, 99 + 0, 99 + 128));
        else
            EXPECT_EQ(got, RGB(100, 0, 255));
    }
}

TEST(AlphaSprite, MaskBecomesAlphaAndDrawsByIt) {
    GlobalBlock colour(CreatePackedDib(3, 1, nullptr, 24));
    GlobalBlock mask(CreatePackedDib(2, 1, nullptr, 8));  // narrower: the third pixel is uncovered
    {
        GlobalLockGuard<BYTE> c(colour.get()), m(mask.get());
        FillDibRect(c.get(), 0, 0, 3, 1, RGB(10, 20, 30));
        SetDibPixel(m.get(), 0, 0, 255);
        SetDibPixel(m.get(), 1, 0, 0);
    }
    GlobalBlock sprite(MakeAlphaSprite(colour.get(), mask.get()));
    ASSERT_TRUE(sprite);
    GlobalLockGuard<BYTE> s(sprite.get());
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(s.get())->biBitCount, 32);
    EXPECT_EQ(GetDibPixel(s.get(), 0, 0), 0xFF000000u | RGB(10, 20, 30));
    EXPECT_EQ(GetDibPixel(s.get(), 1, 0), static_cast<DWORD>(RGB(10, 20, 30)));
    EXPECT_EQ(GetDibPixel(s.get(), 2, 0), static_cast<DWORD>(RGB(10, 20, 30)));
    GlobalBlock frame(CreatePackedDib(3, 1, nullptr, 24));
    GlobalLockGuard<BYTE> f(frame.get());
    FillDibRect(f.get(), 0, 0, 3, 1, RGB(1, 2, 3));
    BlendAlphaSprite(f.get(), s.get(), 0, 0, 0);
    EXPECT_EQ(GetDibPixel(f.get(), 0, 0), static_cast<DWORD>(RGB(10, 20, 30)));
    EXPECT_EQ(GetDibPixel(f.get(), 1, 0), static_cast<DWORD>(RGB(1, 2, 3)));
    testing_support::WalkBlockFailures([&] { return MakeAlphaSprite(colour.get(), mask.get()); });
    testing_support::WalkBlockFailures([&] { return GaussianBlurDib(colour.get(), 0, 20); });
}

TEST(Hsv, KnownColoursAndLimits) {
    HsvColour red = RgbToHsv(RGB(255, 0, 0));
    EXPECT_DOUBLE_EQ(red.hue, 0);
    EXPECT_DOUBLE_EQ(red.saturation, 1);
    EXPECT_DOUBLE_EQ(red.value, 1);
    EXPECT_DOUBLE_EQ(RgbToHsv(RGB(0, 0, 255)).hue, 240);
    EXPECT_DOUBLE_EQ(RgbToHsv(RGB(255, 0, 255)).hue, 300);  // negative before the wrap
    EXPECT_DOUBLE_EQ(RgbToHsv(0).hue, -1);
    EXPECT_DOUBLE_EQ(RgbToHsv(RGB(90, 90, 90)).saturation, 0);
    EXPECT_EQ(HsvToRgb({120, 1, 1}), 0x0000FF00u);
    EXPECT_EQ(HsvToRgb({0, 3, 1}), HsvToRgb({0, 1, 1}));  // saturation limited to 1
    EXPECT_EQ(HsvToRgb({0, 0, 7}), 0x00FFFFFFu);           // value limited too
    EXPECT_EQ(HsvToRgb({-1, 0, 0}), 0u);
}

TEST(Hsv, RoundTripLosesAtMostTheTruncation) {
    std::mt19937 random(33);
    for (int i = 0; i < 5000; ++i) {
        COLORREF c = random() & 0xFFFFFF;
        COLORREF back = HsvToRgb(RgbToHsv(c));
        for (int s = 0; s < 24; s += 8) {
            int a = (c >> s) & 0xFF, b = (back >> s) & 0xFF;
            ASSERT_LE(std::abs(a - b), 1) << std::hex << c << " -> " << back;
        }
    }
}

}  // namespace
