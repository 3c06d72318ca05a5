#include "image/resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

struct Filter {
    double (*weight)(double);
    double support;
};

struct Contribution {
    LONG pixel;
    double weight;
};

// The contributions of every target column (or row), computed once and
// reused for all rows (or columns): entry i * capacity + k, count[i] of them.
struct Weights {
    HeapArray<Contribution> list;
    HeapArray<int> count;
    std::size_t capacity = 0;

    const Contribution* of(LONG i) const { return list.data() + static_cast<std::size_t>(i) * capacity; }
};

bool makeWeights(Weights& w, const Filter& filter, double factor, double blur, LONG sourceLength,
                 LONG targetLength) {
    double scale = std::max(1.0 / factor, 1.0) * blur;
    double support = scale * filter.support;
    if (support <= 0.5) {
        support = 0.500001;
        scale = 1.0;
    }
    w.capacity = static_cast<std::size_t>(2.0 * support + 3.0);
    if (!w.list.allocate(w.capacity * static_cast<std::size_t>(targetLength)) ||
        !w.count.allocate(static_cast<std::size_t>(targetLength)))
        return false;
    for (LONG i = 0; i < targetLength; ++i) {
        Contribution* c = w.list.data() + static_cast<std::size_t>(i) * w.capacity;
        double centre = (i + 0.5) / factor;
        LONG start = static_cast<LONG>(std::max(centre - support + 0.5, 0.0));
        LONG stop = static_cast<LONG>(std::min(centre + support + 0.5, static_cast<double>(sourceLength)));
        int n = 0;
        double density = 0.0;
        for (LONG j = start; j < stop && static_cast<std::size_t>(n) < w.capacity; ++j, ++n) {
            c[n].pixel = j;
            c[n].weight = filter.weight((j - centre + 0.5) / scale);
            density += c[n].weight;
        }
        if (density != 0.0 && density != 1.0)
            for (int k = 0; k < n; ++k) c[k].weight /= density;
        w.count[i] = n;
    }
    return true;
}

BYTE channel(double sum) {
    if (sum < 0.0) return 0;
    if (sum > 255.0) return 255;
    return static_cast<BYTE>(sum + 0.5);
}

// Channels of one pixel for the depths the passes write: the index at 8
// bits, the colour bytes at 24 and 32 (their order in memory does not matter,
// each is summed on its own).
int channelsOf(int bits) { return bits == 8 ? 1 : bits == 24 ? 3 : bits == 32 ? 4 : 0; }

void horizontalPass(const void* src, const DibLayout& s, void* dst, const DibLayout& t, const Weights& w) {
    int ch = channelsOf(t.bits);
    for (LONG y = 0; y < t.height; ++y) {
        const BYTE* from = s.Row(src, y);
        BYTE* to = t.Row(dst, y);
        for (LONG x = 0; x < t.width; ++x) {
            const Contribution* c = w.of(x);
            int n = w.count[x];
            for (int k = 0; k < ch; ++k) {
                double sum = 0.0;
                for (int i = 0; i < n; ++i) sum += c[i].weight * from[static_cast<std::size_t>(c[i].pixel) * ch + k];
                to[static_cast<std::size_t>(x) * ch + k] = channel(sum);
            }
        }
    }
}

void verticalPass(const void* src, const DibLayout& s, void* dst, const DibLayout& t, const Weights& w,
                  const BYTE** rows) {
    int ch = channelsOf(t.bits);
    std::size_t bytes = static_cast<std::size_t>(t.width) * ch;
    for (LONG y = 0; y < t.height; ++y) {
        const Contribution* c = w.of(y);
        int n = w.count[y];
        for (int i = 0; i < n; ++i) rows[i] = s.Row(src, c[i].pixel);
        BYTE* to = t.Row(dst, y);
        for (std::size_t b = 0; b < bytes; ++b) {
            double sum = 0.0;
            for (int i = 0; i < n; ++i) sum += c[i].weight * rows[i][b];
            to[b] = channel(sum);
        }
    }
}

}  // namespace

double MitchellFilter(double x) {
    double t = std::fabs(x);
    if (t < 1.0) return (7.0 / 6.0) * t * t * t - 2.0 * t * t + 8.0 / 9.0;
    if (t < 2.0) return -(7.0 / 18.0) * t * t * t + 2.0 * t * t - (10.0 / 3.0) * t + 16.0 / 9.0;
    return 0.0;
}

double LanczosFilter(double x) {
    auto sinc = [](double u) {
        if (u == 0.0) return 1.0;
        double a = std::numbers::pi * u;
        return std::sin(a) / a;
    };
    if (std::fabs(x) >= 3.0) return 0.0;
    return sinc(x) * sinc(x / 3.0);
}

HGLOBAL ResizeDib(HGLOBAL dib, LONG newWidth, LONG newHeight, int /*filter*/, double blur) {
    if (!dib || newWidth <= 0 || newHeight <= 0 || !std::isfinite(blur)) return nullptr;
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> src(dib);
    if (!src || !PackedDibFits(src.get(), size)) return nullptr;
    DibLayout s;
    DibLayout::From(src.get(), s);
    if (newWidth == s.width && newHeight == s.height && blur == 1.0) return CopyGlobalBlock(dib);

    double xf = std::max(static_cast<double>(newWidth) / s.width, 0.0001);
    double yf = std::max(static_cast<double>(newHeight) / s.height, 0.0001);
    Filter filter = xf * yf > 1.0 ? Filter{MitchellFilter, 2.0} : Filter{LanczosFilter, 3.0};

    BYTE palette[768];
    DibTableToTriplets(src.get(), palette);
    // The pass order keeps the intermediate picture the smaller one.
    bool verticalFirst = (static_cast<std::int64_t>(s.height) + newHeight) * newWidth <=
                         (static_cast<std::int64_t>(s.width) + newWidth) * newHeight;
    LONG midWidth = verticalFirst ? s.width : newWidth;
    LONG midHeight = verticalFirst ? newHeight : s.height;
    GlobalBlock result(CreatePackedDib(newWidth, newHeight, palette, s.bits));
    GlobalBlock middle(CreatePackedDib(midWidth, midHeight, palette, s.bits));
    if (!result || !middle) return nullptr;
    GlobalLockGuard<BYTE> out(result.get());
    GlobalLockGuard<BYTE> mid(middle.get());
    if (!out || !mid) return nullptr;
    DibLayout t, m;
    DibLayout::From(out.get(), t);
    DibLayout::From(mid.get(), m);

    Weights across, down;
    if (!makeWeights(across, filter, xf, blur, s.width, newWidth) ||
        !makeWeights(down, filter, yf, blur, s.height, newHeight))
        return nullptr;
    HeapArray<const BYTE*> rows(down.capacity);
    if (!rows) return nullptr;

    if (channelsOf(s.bits) == 0) return result.release();
    if (verticalFirst) {
        verticalPass(src.get(), s, mid.get(), m, down, rows.data());
        horizontalPass(mid.get(), m, out.get(), t, across);
    } else {
        horizontalPass(src.get(), s, mid.get(), m, across);
        verticalPass(mid.get(), m, out.get(), t, down, rows.data());
    }
    return result.release();
}

HGLOBAL ScaleDibPercent(HGLOBAL dib, int percentX, int percentY) {
    if (!dib) return nullptr;
    LONG width, height;
    {
        GlobalLockGuard<BITMAPINFOHEADER> h(dib);
        if (!h || GlobalSize(dib) < sizeof(BITMAPINFOHEADER)) return nullptr;
        width = h->biWidth;
        height = h->biHeight;
    }
    double w = width * static_cast<double>(percentX) / 100.0 + 0.5;
    double h = height * static_cast<double>(percentY) / 100.0 + 0.5;
    if (!(w >= 1.0 && h >= 1.0 && w <= INT_MAX && h <= INT_MAX)) return nullptr;
    return ResizeDib(dib, static_cast<LONG>(w), static_cast<LONG>(h), 0, 1.0);
}
