#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "image/packed_dib.h"
#include "image/resample.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using testing_support::BlockBytes;
using testing_support::RandomPackedDib;

namespace {

// The resampler as plainly as it can be written: one contribution list per
// output column or row, pixels through GetDibPixel and SetDibPixel.
struct PlainResampler {
    double (*filter)(double);
    double support;

    static BYTE Clamp(double sum) { return sum < 0 ? 0 : sum > 255 ? 255 : static_cast<BYTE>(sum + 0.5); }

    std::vector<std::pair<LONG, double>> Contributions(LONG i, double factor, LONG limit) const {
        double scale = std::max(1.0 / factor, 1.0), sup = scale * support;
        if (sup <= 0.5) sup = 0.500001, scale = 1.0;
        double centre = (i + 0.5) / factor;
        LONG start = static_cast<LONG>(std::max(centre - sup + 0.5, 0.0));
        LONG stop = static_cast<LONG>(std::min(centre + sup + 0.5, static_cast<double>(limit)));
        std::vector<std::pair<LONG, double>> list;
        double density = 0;
        for (LONG j = start; j < stop; ++j) {
            list.push_back({j, filter((j - centre + 0.5) / scale)});
            density += list.back().second;
        }
        if (density != 0 && density != 1)
            for (auto& c : list) c.second /= density;
        return list;
    }

    void Pixel(const void* s, void* t, int bits, const std::vector<std::pair<LONG, double>>& list, bool across,
               LONG fixed, LONG out) const {
        int channels = bits == 8 ? 1 : bits == 24 ? 3 : 4;
        DWORD value = 0;
        for (int k = 0; k < channels; ++k) {
            double sum = 0;
            for (auto [j, w] : list)
                sum += w * ((GetDibPixel(s, across ? j : fixed, across ? fixed : j) >> (8 * k)) & 0xFF);
            value |= static_cast<DWORD>(Clamp(sum)) << (8 * k);
        }
        SetDibPixel(t, across ? out : fixed, across ? fixed : out, value);
    }

    HGLOBAL Resize(HGLOBAL dib, LONG nw, LONG nh) const {
        GlobalLockGuard<BYTE> src(dib);
        auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(src.get());
        LONG ow = h.biWidth, oh = h.biHeight;
        int bits = h.biBitCount;
        double xf = std::max(double(nw) / ow, 0.0001), yf = std::max(double(nh) / oh, 0.0001);
        BYTE palette[768];
        DibTableToTriplets(src.get(), palette);
        bool verticalFirst = (oh + nh) * nw <= (ow + nw) * nh;
        HGLOBAL mid = CreatePackedDib(verticalFirst ? ow : nw, verticalFirst ? nh : oh, palette, bits);
        HGLOBAL out = CreatePackedDib(nw, nh, palette, bits);
        {
            GlobalLockGuard<BYTE> m(mid), o(out);
            auto horizontal = [&](const void* s, void* t, LONG rows, LONG sw, LONG tw) {
                for (LONG x = 0; x < tw; ++x) {
                    auto list = Contributions(x, xf, sw);
                    for (LONG y = 0; y < rows; ++y) Pixel(s, t, bits, list, true, y, x);
                }
            };
            auto vertical = [&](const void* s, void* t, LONG cols, LONG sh, LONG th) {
                for (LONG y = 0; y < th; ++y) {
                    auto list = Contributions(y, yf, sh);
                    for (LONG x = 0; x < cols; ++x) Pixel(s, t, bits, list, false, x, y);
                }
            };
            if (verticalFirst) {
                vertical(src.get(), m.get(), ow, oh, nh);
                horizontal(m.get(), o.get(), nh, ow, nw);
            } else {
                horizontal(src.get(), m.get(), oh, ow, nw);
                vertical(m.get(), o.get(), nw, oh, nh);
            }
        }
        GlobalFree(mid);
        return out;
    }
};

const PlainResampler kMitchell{MitchellFilter, 2.0};
const PlainResampler kLanczos{LanczosFilter, 3.0};

std::vector<BYTE> Resized(HGLOBAL dib, LONG w, LONG h) {
    GlobalBlock out(ResizeDib(dib, w, h, 0, 1.0));
    return out ? BlockBytes(out.get()) : std::vector<BYTE>{};
}

std::vector<BYTE> Plain(const PlainResampler& r, HGLOBAL dib, LONG w, LONG h) {
    GlobalBlock out(r.Resize(dib, w, h));
    return BlockBytes(out.get());
}

TEST(ResampleFilters, MitchellIsContinuousAndSumsToOneOverIntegerShifts) {
    EXPECT_DOUBLE_EQ(MitchellFilter(0), 8.0 / 9.0);
    EXPECT_NEAR(MitchellFilter(1 - 1e-12), MitchellFilter(1), 1e-9);
    EXPECT_NEAR(MitchellFilter(2 - 1e-12), 0.0, 1e-9);
    EXPECT_EQ(MitchellFilter(-0.7), MitchellFilter(0.7));
    for (double x = 0; x < 1; x += 0.0625) {
        double sum = 0;
        for (int k = -3; k <= 3; ++k) sum += MitchellFilter(x - k);
        EXPECT_NEAR(sum, 1.0, 1e-12) << x;
    }
}

TEST(ResampleFilters, LanczosIsOneAtZeroZeroAtOtherIntegersAndBeyondThree) {
    EXPECT_EQ(LanczosFilter(0), 1.0);
    for (int k : {1, 2, -1, -2}) EXPECT_NEAR(LanczosFilter(k), 0.0, 1e-15);
    EXPECT_EQ(LanczosFilter(3.0), 0.0);
    EXPECT_EQ(LanczosFilter(-4.5), 0.0);
    EXPECT_LT(LanczosFilter(1.5), 0.0);  // the negative lobe
    EXPECT_GT(LanczosFilter(2.5), 0.0);
}

TEST(ResizeDib, MatchesThePlainResamplerOnRandomPictures) {
    std::mt19937 random(21);
    std::uniform_int_distribution<int> side(1, 37);
    for (int bits : {8, 24, 32}) {
        for (int round = 0; round < 25; ++round) {
            LONG ow = side(random), oh = side(random), nw = side(random), nh = side(random);
            GlobalBlock dib(RandomPackedDib(random, ow, oh, bits));
            bool mitchell = double(nw) / ow * (double(nh) / oh) > 1.0;
            ASSERT_EQ(Resized(dib.get(), nw, nh), Plain(mitchell ? kMitchell : kLanczos, dib.get(), nw, nh))
                << bits << " bits, " << ow << "x" << oh << " to " << nw << "x" << nh;
        }
    }
}

TEST(ResizeDib, ReducingUsesLanczosAndEnlargingMitchell) {
    std::mt19937 random(22);
    struct Case {
        LONG ow, oh, nw, nh;
        const PlainResampler* chosen;
        const PlainResampler* other;
    } cases[] = {{40, 40, 10, 10, &kLanczos, &kMitchell},
                 {10, 10, 40, 40, &kMitchell, &kLanczos},
                 {40, 10, 20, 20, &kLanczos, &kMitchell}};  // factors 0.5 and 2: product not above 1
    for (const Case& c : cases) {
        GlobalBlock dib(RandomPackedDib(random, c.ow, c.oh, 24));
        auto got = Resized(dib.get(), c.nw, c.nh);
        EXPECT_EQ(got, Plain(*c.chosen, dib.get(), c.nw, c.nh)) << c.ow << "x" << c.oh;
        EXPECT_NE(got, Plain(*c.other, dib.get(), c.nw, c.nh)) << c.ow << "x" << c.oh;
    }
}

TEST(ResizeDib, SameSizeIsAnIdenticalCopy) {
    std::mt19937 random(23);
    for (int bits : {1, 4, 8, 24, 32}) {
        GlobalBlock dib(RandomPackedDib(random, 11, 6, bits));
        GlobalBlock copy(ResizeDib(dib.get(), 11, 6, 0, 1.0));
        ASSERT_TRUE(copy);
        EXPECT_NE(copy.get(), dib.get());
        EXPECT_EQ(BlockBytes(copy.get()), BlockBytes(dib.get()));
    }
}

TEST(ResizeDib, UniformGreyStaysTheSameGrey) {
    std::mt19937 random(24);
    std::uniform_int_distribution<int> side(1, 60), level(0, 255);
    for (int round = 0; round < 30; ++round) {
        LONG ow = side(random), oh = side(random), nw = side(random), nh = side(random);
        DWORD g = level(random);
        GlobalBlock dib(CreatePackedDib(ow, oh, nullptr, round % 2 ? 24 : 8));
        DWORD value = round % 2 ? RGB(g, g, g) : g;
        FillDibRect(GlobalLockGuard<BYTE>(dib.get()).get(), 0, 0, ow, oh, value);
        GlobalBlock out(ResizeDib(dib.get(), nw, nh, 0, 1.0));
        ASSERT_TRUE(out);
        GlobalLockGuard<BYTE> p(out.get());
        for (LONG y = 0; y < nh; ++y)
            for (LONG x = 0; x < nw; ++x)
                ASSERT_EQ(GetDibPixel(p.get(), x, y), value) << ow << "x" << oh << " to " << nw << "x" << nh;
    }
}

// A black-to-white edge: the filters' overshoot must be clipped to 0..255,
// never wrapped round, so the black side stays dark and the white side light.
// Mitchell's single small lobe also keeps the enlarged edge monotone.
void ExpectClippedEdge(LONG ow, LONG nw, LONG edge, bool monotone) {
    GlobalBlock dib(CreatePackedDib(ow, 3, nullptr, 24));
    FillDibRect(GlobalLockGuard<BYTE>(dib.get()).get(), edge, 0, ow - edge, 3, 0xFFFFFF);
    GlobalBlock out(ResizeDib(dib.get(), nw, 3, 0, 1.0));
    ASSERT_TRUE(out);
    GlobalLockGuard<BYTE> p(out.get());
    DWORD previous = 0;
    bool clippedHigh = false, clippedLow = false;
    for (LONG x = 0; x < nw; ++x) {
        DWORD v = GetDibPixel(p.get(), x, 1) & 0xFF;
        double centre = (x + 0.5) * ow / nw;
        if (centre < edge - 1.0) {
            EXPECT_LT(v, 32u) << ow << " to " << nw << " at " << x;
        }
        if (centre > edge + 1.0) {
            EXPECT_GT(v, 223u) << ow << " to " << nw << " at " << x;
        }
        if (monotone) {
            EXPECT_GE(v, previous) << ow << " to " << nw << " at " << x;
        }
        previous = v;
        clippedHigh |= v == 255;
        clippedLow |= v == 0;
    }
    EXPECT_TRUE(clippedHigh && clippedLow);
}

TEST(ResizeDib, FilterOvershootIsClippedNotWrapped) {
    ExpectClippedEdge(8, 64, 4, true);    // Mitchell
    ExpectClippedEdge(10, 37, 3, true);   // Mitchell, uneven factor
    ExpectClippedEdge(60, 20, 29, false); // Lanczos: its lobes ring on both sides
    ExpectClippedEdge(60, 13, 31, false);
}

TEST(ResizeDib, OneAndFourBitPicturesKeepFormatAndTableButNoPixels) {
    std::mt19937 random(25);
    for (int bits : {1, 4}) {
        GlobalBlock dib(RandomPackedDib(random, 20, 20, bits));
        GlobalBlock out(ResizeDib(dib.get(), 10, 7, 0, 1.0));
        ASSERT_TRUE(out);
        GlobalLockGuard<BYTE> s(dib.get()), t(out.get());
        auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(t.get());
        EXPECT_EQ(h.biBitCount, bits);
        EXPECT_EQ(std::memcmp(s.get() + 40, t.get() + 40, DibTableBytes(bits)), 0);
        for (SIZE_T i = 40 + DibTableBytes(bits); i < GlobalSize(out.get()); ++i) ASSERT_EQ(t.get()[i], 0);
    }
}

TEST(ResizeDib, ExtremeFactorsAndBadArgumentsStaySafe) {
    std::mt19937 random(26);
    GlobalBlock tall(RandomPackedDib(random, 3, 4000, 8));
    GlobalBlock thin(ResizeDib(tall.get(), 3, 1, 0, 1.0));
    ASSERT_TRUE(thin);
    GlobalBlock big(ResizeDib(tall.get(), 300, 2, 0, 1.0));
    EXPECT_TRUE(big);
    EXPECT_EQ(ResizeDib(tall.get(), 0, 5, 0, 1.0), nullptr);
    EXPECT_EQ(ResizeDib(tall.get(), 5, -1, 0, 1.0), nullptr);
    EXPECT_EQ(ResizeDib(tall.get(), 5, 5, 0, INFINITY), nullptr);
    EXPECT_EQ(ResizeDib(nullptr, 5, 5, 0, 1.0), nullptr);
}

TEST(ScaleDibPercent, SizesRoundHalfUp) {
    GlobalBlock forty(CreatePackedDib(40, 40, nullptr, 24));
    GlobalBlock three(CreatePackedDib(3, 3, nullptr, 24));
    GlobalBlock quarter(ScaleDibPercent(forty.get(), 25, 25));
    GlobalBlock half(ScaleDibPercent(three.get(), 50, 50));
    GlobalBlock mixed(ScaleDibPercent(forty.get(), 50, 13));
    for (auto [block, w, h] : {std::tuple{&quarter, 10, 10}, {&half, 2, 2}, {&mixed, 20, 5}}) {
        ASSERT_TRUE(*block);
        GlobalLockGuard<BITMAPINFOHEADER> p(block->get());
        EXPECT_EQ(p->biWidth, w);
        EXPECT_EQ(p->biHeight, h);
    }
    // Too small a share of a tiny picture leaves no pixel: no picture at all.
    GlobalBlock one(CreatePackedDib(1, 1, nullptr, 24));
    EXPECT_EQ(ScaleDibPercent(one.get(), 25, 25), nullptr);
    EXPECT_EQ(ScaleDibPercent(forty.get(), -50, 50), nullptr);
}

TEST(ResizeFailures, EveryAllocationFailsCleanly) {
    using testing_support::WalkBlockFailures;
    std::mt19937 random(27);
    GlobalBlock dib(RandomPackedDib(random, 24, 16, 24));
    EXPECT_GE(WalkBlockFailures([&] { return ResizeDib(dib.get(), 9, 31, 0, 1.0); }), 4);
    EXPECT_GE(WalkBlockFailures([&] { return ResizeDib(dib.get(), 24, 16, 0, 1.0); }), 1);
    EXPECT_GE(WalkBlockFailures([&] { return ScaleDibPercent(dib.get(), 25, 25); }), 4);
}

}  // namespace
