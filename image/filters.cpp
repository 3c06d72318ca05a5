#include "image/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/packed_dib.h"

namespace {

// Bytes blurred per pixel: the index or grey level up to 8 bits, each colour
// byte (and alpha) above.
int samplesPerPixel(int bits) { return bits <= 8 ? 1 : bits / 8; }

// One line of n samples blurred from `in` to `out`. Sums are single
// precision like the kernel; the rounding is done in double.
void blurLine(const BYTE* in, BYTE* out, int n, const float* k, int w) {
    if (w > n) return;
    const int h = w / 2;
    // Samples reach h to the left and w - 1 - h to the right; for an even
    // kernel that is one fewer on the right, which keeps the left edge's
    // weights inside the kernel.
    const int reach = w - 1 - h;
    auto put = [&](int x, double v) { out[x] = static_cast<BYTE>(std::clamp(static_cast<int>(v), 0, 255)); };
    for (int x = 0; x < h; ++x) {
        float s = 0.0f, t = 0.0f;
        for (int j = 0; j <= x + reach; ++j) {
            s += k[h - x + j] * in[j];
            t += k[h - x + j];
        }
        put(x, (s + 0.5) / t);
    }
    // Between the edges every sample takes the whole kernel. Eight samples
    // are summed side by side, tap by tap: each still adds its terms in
    // kernel order, so the floats come out as one at a time would give them.
    const int end = n - h;
    int x = h;
    constexpr int kLanes = 8;
    for (; x + kLanes <= end; x += kLanes) {
        float s[kLanes] = {};
        for (int j = 0; j < w; ++j) {
            const float kj = k[j];
            const BYTE* p = in + (x - h + j);
            for (int i = 0; i < kLanes; ++i) s[i] += kj * p[i];
        }
        for (int i = 0; i < kLanes; ++i) put(x + i, s[i] + 0.5);
    }
    for (; x < end; ++x) {
        float s = 0.0f;
        for (int j = 0; j < w; ++j) s += k[j] * in[x - h + j];
        put(x, s + 0.5);
    }
    for (; x < n; ++x) {
        float s = 0.0f, t = 0.0f;
        for (int j = 0; x - h + j < n; ++j) {
            s += k[j] * in[x - h + j];
            t += k[j];
        }
        put(x, (s + 0.5) / t);
    }
}

// Moves a line of one channel between a picture and a buffer: row pointers
// for byte-sized pixels, the pixel functions for 1 and 4 bits.
struct LineAccess {
    void* dib;
    DibLayout l;

    void gatherRow(LONG y, int channel, BYTE* line) const {
        if (l.bits < 8) {
            for (LONG x = 0; x < l.width; ++x) line[x] = static_cast<BYTE>(GetDibPixel(dib, x, y));
            return;
        }
        int spp = samplesPerPixel(l.bits);
        const BYTE* row = l.Row(dib, y) + channel;
        for (LONG x = 0; x < l.width; ++x) line[x] = row[x * spp];
    }
    void scatterRow(LONG y, int channel, const BYTE* line) const {
        if (l.bits < 8) {
            for (LONG x = 0; x < l.width; ++x) SetDibPixel(dib, x, y, line[x]);
            return;
        }
        int spp = samplesPerPixel(l.bits);
        BYTE* row = l.Row(dib, y) + channel;
        for (LONG x = 0; x < l.width; ++x) row[x * spp] = line[x];
    }
    void gatherColumn(LONG x, int channel, BYTE* line) const {
        if (l.bits < 8) {
            for (LONG y = 0; y < l.height; ++y) line[y] = static_cast<BYTE>(GetDibPixel(dib, x, y));
            return;
        }
        std::size_t at = static_cast<std::size_t>(x) * samplesPerPixel(l.bits) + channel;
        for (LONG y = 0; y < l.height; ++y) line[y] = l.Row(dib, y)[at];
    }
    void scatterColumn(LONG x, int channel, const BYTE* line) const {
        if (l.bits < 8) {
            for (LONG y = 0; y < l.height; ++y) SetDibPixel(dib, x, y, line[y]);
            return;
        }
        std::size_t at = static_cast<std::size_t>(x) * samplesPerPixel(l.bits) + channel;
        for (LONG y = 0; y < l.height; ++y) l.Row(dib, y)[at] = line[y];
    }
};

LONG wrap(std::int64_t v, LONG size) {
    LONG r = static_cast<LONG>(v % size);
    return r < 0 ? r + size : r;
}

// target x (255 - a) / 255 + colour x a / 255 for each colour byte of a
// pixel value; the top byte (alpha of a 32-bit target) is kept.
DWORD mix(DWORD target, DWORD colour, unsigned a) {
    DWORD out = target & 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
        unsigned t = (target >> shift) & 0xFF, c = (colour >> shift) & 0xFF;
        out |= (t * (255 - a) / 255 + c * a / 255) << shift;
    }
    return out;
}

// An overlay pixel value read the way DibLayout::Read does, with the depth
// fixed at compile time for the formats masks and sprites come in (0: any).
template <int Bits>
DWORD readOverlay(const DibLayout& l, const BYTE* row, LONG x) {
    if constexpr (Bits == 8) {
        return row[x];
    } else if constexpr (Bits == 24) {
        const BYTE* p = row + static_cast<std::size_t>(x) * 3;
        return p[2] | (p[1] << 8) | (p[0] << 16);
    } else if constexpr (Bits == 32) {
        const BYTE* p = row + static_cast<std::size_t>(x) * 4;
        return p[2] | (p[1] << 8) | (p[0] << 16) | (static_cast<DWORD>(p[3]) << 24);
    } else {
        return l.Read(row, x);
    }
}

// Mixes colour into a 24-bit pixel by weight a, each channel's two products
// truncated separately.
inline void mix24(BYTE* p, DWORD colour, unsigned a) {
    if (a == 255) {  // (t x 0) / 255 + (c x 255) / 255 is c
        p[0] = static_cast<BYTE>(colour >> 16);
        p[1] = static_cast<BYTE>(colour >> 8);
        p[2] = static_cast<BYTE>(colour);
        return;
    }
    for (int shift = 0, i = 2; shift < 24; shift += 8, --i) {
        unsigned c = (colour >> shift) & 0xFF;
        p[i] = static_cast<BYTE>(p[i] * (255 - a) / 255 + c * a / 255);
    }
}

// Walks the overlay's pixels with their target position, clipped or wrapped:
// the overlay columns that land inside the target, and where the first of
// them lands, are found once, and the target column steps along (wrapping
// to 0 at the right edge) instead of being reduced per pixel.
template <int OverlayBits, class Weight>
void blendRows(void* target, const DibLayout& t, const void* overlay, const DibLayout& o, LONG x, LONG y,
               bool wrapped, Weight weightAndColour) {
    LONG first = 0, last = o.width;  // overlay columns [first, last)
    LONG startX;
    if (wrapped) {
        startX = wrap(x, t.width);
    } else {
        std::int64_t from = std::max<std::int64_t>(0, -static_cast<std::int64_t>(x));
        std::int64_t to = std::min<std::int64_t>(o.width, static_cast<std::int64_t>(t.width) - x);
        if (from >= to) return;
        first = static_cast<LONG>(from);
        last = static_cast<LONG>(to);
        startX = static_cast<LONG>(x + from);
    }
    for (LONG my = 0; my < o.height; ++my) {
        std::int64_t ty = static_cast<std::int64_t>(y) + my;
        if (wrapped)
            ty = wrap(ty, t.height);
        else if (ty < 0 || ty >= t.height)
            continue;
        BYTE* row = t.Row(target, static_cast<LONG>(ty));
        const BYTE* source = o.Row(overlay, my);
        LONG tx = startX;
        for (LONG mx = first; mx < last; ++mx, tx = tx + 1 == t.width ? 0 : tx + 1) {
            DWORD colour;
            unsigned a = weightAndColour(readOverlay<OverlayBits>(o, source, mx), colour);
            if (a == 0) continue;  // weight 0 leaves the pixel as it is
            if (t.bits == 24)
                mix24(row + static_cast<std::size_t>(tx) * 3, colour, a);
            else
                t.Write(row, tx, mix(t.Read(row, tx), colour, a));
        }
    }
}

template <class Weight>
void blendInto(void* target, const void* overlay, LONG x, LONG y, int flags, Weight weightAndColour) {
    DibLayout t, o;
    if (!DibLayout::From(target, t) || !DibLayout::From(overlay, o)) return;
    const bool wrapped = flags & kBlendWrap;
    switch (o.bits) {
    case 8: blendRows<8>(target, t, overlay, o, x, y, wrapped, weightAndColour); break;
    case 24: blendRows<24>(target, t, overlay, o, x, y, wrapped, weightAndColour); break;
    case 32: blendRows<32>(target, t, overlay, o, x, y, wrapped, weightAndColour); break;
    default: blendRows<0>(target, t, overlay, o, x, y, wrapped, weightAndColour); break;
    }
}

}  // namespace

bool MakeBlurKernel(int width, double deviation, HeapArray<float>& kernel) {
    if (width < 1) width = 3;
    if (!kernel.allocate(static_cast<std::size_t>(width))) return false;
    const int bias = (3 * width) / 2;
    const double spread = 18.0 * deviation * deviation;
    for (int i = -bias; i <= bias; ++i) {
        int index = (i + bias) / 3;
        // An even width leaves the last sub-sample beyond the kernel.
        if (index >= width) continue;
        // No spread at all keeps every weight at the centre sample.
        double term = spread > 0.0 ? std::exp(-static_cast<double>(i) * i / spread) : (i == 0 ? 1.0 : 0.0);
        kernel[index] = static_cast<float>(kernel[index] + term);
    }
    float sum = 0.0f;
    for (float w : kernel) sum += w;
    if (sum > 0.0f)
        for (float& w : kernel) w /= sum;
    return true;
}

HGLOBAL GaussianBlurDib(HGLOBAL dib, int /*radius*/, int deviation) {
    if (!dib) return nullptr;
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> in(dib);
    if (!in || !PackedDibFits(in.get(), size)) return nullptr;
    DibLayout l;
    DibLayout::From(in.get(), l);
    HeapArray<float> kernel;
    int taps = std::min<LONG>(kBlurTaps, std::min(l.width, l.height));
    if (!MakeBlurKernel(taps, deviation / 10.0, kernel)) return nullptr;
    BYTE palette[768];
    DibTableToTriplets(in.get(), palette);
    GlobalBlock result(CreatePackedDib(l.width, l.height, palette, l.bits));
    if (!result) return nullptr;
    GlobalLockGuard<BYTE> out(result.get());
    HeapArray<BYTE> from(static_cast<std::size_t>(std::max(l.width, l.height)));
    HeapArray<BYTE> to(from.size());
    if (!out || !from || !to) return nullptr;
    const std::size_t pixelBytes = l.stride * static_cast<std::size_t>(l.height);
    std::memcpy(l.Row(out.get(), l.height - 1), l.Row(in.get(), l.height - 1), pixelBytes);
    LineAccess src{in.get(), l}, dst{out.get(), l};
    int channels = samplesPerPixel(l.bits);

    for (LONG y = 0; y < l.height; ++y)
        for (int c = 0; c < channels; ++c) {
            src.gatherRow(y, c, from.data());
            dst.gatherRow(y, c, to.data());
            blurLine(from.data(), to.data(), l.width, kernel.data(), taps);
            dst.scatterRow(y, c, to.data());
        }
    // The horizontal result goes back over the input, which feeds the vertical pass.
    std::memcpy(l.Row(in.get(), l.height - 1), l.Row(out.get(), l.height - 1), pixelBytes);
    for (LONG x = 0; x < l.width; ++x)
        for (int c = 0; c < channels; ++c) {
            src.gatherColumn(x, c, from.data());
            blurLine(from.data(), to.data(), l.height, kernel.data(), taps);
            dst.scatterColumn(x, c, to.data());
        }
    return result.release();
}

HGLOBAL MakeShadowMask(HGLOBAL mask, int offset, int soft, int /*unused*/, int opacity) {
    if (!mask) return nullptr;
    SIZE_T size = GlobalSize(mask);
    GlobalLockGuard<BYTE> m(mask);
    if (!m || !PackedDibFits(m.get(), size)) return nullptr;
    DibLayout ml;
    DibLayout::From(m.get(), ml);
    int margin = soft > 0 ? offset + 1 + soft / 10 : offset;
    BYTE palette[768];
    DibTableToTriplets(m.get(), palette);
    GlobalBlock shadow(CreatePackedDib(ml.width + margin, ml.height + margin, palette, ml.bits));
    if (!shadow) return nullptr;
    {
        GlobalLockGuard<BYTE> s(shadow.get());
        if (!s) return nullptr;
        DibLayout sl;
        DibLayout::From(s.get(), sl);
        FillDibRect(s.get(), 0, 0, sl.width, sl.height, 0);
        CopyDibRect(s.get(), offset, offset, m.get(), 0, 0, ml.width, ml.height);
        opacity = std::clamp(opacity, 0, 255);
        if (opacity < 255) {
            for (LONG y = 0; y < sl.height; ++y) {
                BYTE* row = sl.Row(s.get(), y);
                if (sl.bits >= 24) {
                    // The three colour bytes; a 32-bit mask keeps its alpha.
                    int spp = sl.bits / 8;
                    for (LONG x = 0; x < sl.width; ++x)
                        for (int c = 0; c < 3; ++c) row[x * spp + c] = static_cast<BYTE>(row[x * spp + c] * opacity / 255);
                } else {
                    for (LONG x = 0; x < sl.width; ++x)
                        SetDibPixel(s.get(), x, y, GetDibPixel(s.get(), x, y) * opacity / 255);
                }
            }
        }
    }
    if (soft <= 0) return shadow.release();
    HGLOBAL blurred = GaussianBlurDib(shadow.get(), 0, soft + 2);
    return blurred ? blurred : shadow.release();
}

void BlendColourThroughMask(void* target, const void* mask, LONG x, LONG y, COLORREF colour, int opacity,
                            int flags) {
    // The weight of each coverage, worked out once rather than per pixel.
    const bool scaled = (flags & kBlendWrap) && opacity != 255;
    const unsigned factor = static_cast<unsigned>(std::clamp(opacity, 0, 255));
    BYTE weight[256];
    for (unsigned c = 0; c < 256; ++c) weight[c] = static_cast<BYTE>(scaled ? c * factor / 255 : c);
    blendInto(target, mask, x, y, flags, [&](DWORD m, DWORD& c) {
        c = colour;
        return static_cast<unsigned>(weight[m & 0xFF]);
    });
}

HGLOBAL MakeAlphaSprite(HGLOBAL colour, HGLOBAL mask) {
    if (!colour || !mask) return nullptr;
    SIZE_T colourSize = GlobalSize(colour), maskSize = GlobalSize(mask);
    GlobalLockGuard<BYTE> c(colour), m(mask);
    if (!c || !m || !PackedDibFits(c.get(), colourSize) || !PackedDibFits(m.get(), maskSize)) return nullptr;
    DibLayout cl;
    DibLayout::From(c.get(), cl);
    GlobalBlock sprite(CreatePackedDib(cl.width, cl.height, nullptr, 32));
    if (!sprite) return nullptr;
    GlobalLockGuard<BYTE> s(sprite.get());
    if (!s) return nullptr;
    for (LONG y = 0; y < cl.height; ++y)
        for (LONG x = 0; x < cl.width; ++x) {
            DWORD coverage = GetDibPixel(m.get(), x, y);
            if (coverage == kNoPixel) coverage = 0;
            SetDibPixel(s.get(), x, y, ((coverage & 0xFF) << 24) | (GetDibPixel(c.get(), x, y) & 0xFFFFFF));
        }
    return sprite.release();
}

void BlendAlphaSprite(void* target, const void* sprite, LONG x, LONG y, int flags) {
    blendInto(target, sprite, x, y, flags, [](DWORD p, DWORD& c) {
        c = p & 0xFFFFFF;
        return p >> 24;
    });
}

HsvColour RgbToHsv(COLORREF colour) {
    double r = GetRValue(colour) / 255.0, g = GetGValue(colour) / 255.0, b = GetBValue(colour) / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    if (mx == 0.0) return {-1.0, 0.0, 0.0};
    HsvColour hsv{0.0, d / mx, mx};
    double dd = d == 0.0 ? 1.0 : d;
    double h = mx == r ? (g - b) / dd : mx == g ? 2.0 + (b - r) / dd : 4.0 + (r - g) / dd;
    h *= 60.0;
    if (h < 0.0) h += 360.0;
    hsv.hue = h;
    return hsv;
}

COLORREF HsvToRgb(HsvColour hsv) {
    double s = std::min(hsv.saturation, 1.0), v = std::min(hsv.value, 1.0);
    auto channel = [](double c) { return static_cast<BYTE>(std::clamp(c * 255.0, 0.0, 255.0)); };
    if (s == 0.0) {
        BYTE g = channel(v);
        return RGB(g, g, g);
    }
    double sector = hsv.hue / 60.0;
    double i = std::floor(sector), f = sector - i;
    double p = v * (1.0 - s), q = v * (1.0 - f * s), t = v * (1.0 - (1.0 - f) * s);
    double r, g, b;
    switch (static_cast<int>(i)) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
    return RGB(channel(r), channel(g), channel(b));
}
