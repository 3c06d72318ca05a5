#include "colour/remap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "colour/colour_chooser.h"
#include "colour/nearest.h"
#include "colour/pixel_rows.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "settings/settings.h"

namespace {

// A source picture held locked and checked once.
struct LockedSource {
    GlobalLockGuard<BYTE> data;
    DibLayout layout;
    bool ok = false;

    explicit LockedSource(HGLOBAL dib) : data(dib) {
        ok = data && PackedDibFits(data.get(), GlobalSize(dib)) && DibLayout::From(data.get(), layout);
    }
};

// A new picture, locked, with its layout.
struct NewPicture {
    GlobalBlock block;
    HGLOBAL handle = nullptr;
    DibLayout layout;
    BYTE* data = nullptr;

    bool Make(LONG width, LONG height, const BYTE* palette, int depthCode) {
        block.reset(CreatePackedDib(width, height, palette, depthCode));
        if (!block) return false;
        data = static_cast<BYTE*>(GlobalLock(block.get()));
        if (!data) return false;
        DibLayout::From(data, layout);
        return true;
    }
    HGLOBAL Release() {
        GlobalUnlock(block.get());
        data = nullptr;
        return block.release();
    }
    ~NewPicture() {
        if (data) GlobalUnlock(block.get());
    }
};

// How many palette entries a result of this depth code can show.
int UsableCount(int count, int depthCode) {
    return std::min({count, 256, 1 << DibBitsForDepthCode(depthCode)});
}

// Red, green and blue of one 24- or 32-bit source pixel.
struct Rgb {
    int r, g, b;
};
inline Rgb TrueColourAt(const BYTE* row, int bytesPerPixel, LONG x) {
    const BYTE* p = row + static_cast<std::size_t>(x) * bytesPerPixel;
    return {p[2], p[1], p[0]};
}

}  // namespace

FrameReducer::FrameReducer(const BYTE* palette, int depthCode, int count)
    : palette_(palette), depthCode_(depthCode), count_(count) {}

ColourChooser* FrameReducer::Chooser() {
    if (!prepared_) prepared_ = chooser_.Prepare(palette_, UsableCount(count_, depthCode_), FastRemap != 0);
    return prepared_ ? &chooser_ : nullptr;
}

HGLOBAL RemapFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count) {
    return FrameReducer(palette, depthCode, count).Remap(source);
}

HGLOBAL DitherFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count) {
    return FrameReducer(palette, depthCode, count).Dither(source);
}

HGLOBAL FrameReducer::Remap(HGLOBAL source) {
    const BYTE* palette = palette_;
    const int depthCode = depthCode_;
    if (!source || !palette || depthCode < 1 || depthCode > 8) return nullptr;
    LockedSource src(source);
    if (!src.ok) return nullptr;
    const DibLayout& s = src.layout;
    const int outBits = DibBitsForDepthCode(depthCode);

    BYTE indexMap[256] = {};
    if (s.bits <= 8) {
        const RGBQUAD* table = s.Table(src.data.get());
        for (int i = 0; i < (1 << s.bits); ++i)
            indexMap[i] = static_cast<BYTE>(
                FindNearestColour(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, palette, 1 << depthCode));
        if (outBits == 1)
            for (int i = 0; i < (1 << s.bits); ++i)
                indexMap[i] = Luminance(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue) >= 129;
    }

    ColourChooser* chooser = nullptr;
    bool needsChooser = outBits > 1 && (s.bits == 1 || s.bits >= 24);
    if (needsChooser && !(chooser = Chooser())) return nullptr;
    if (s.bits == 1) {
        // A 1-bit result takes the source bit itself.
        indexMap[0] = outBits == 1 ? 0 : static_cast<BYTE>(chooser->Choose(0, 0, 0));
        indexMap[1] = outBits == 1 ? 1 : static_cast<BYTE>(chooser->Choose(255, 255, 255));
    }

    NewPicture out;
    if (!out.Make(s.width, s.height, palette, depthCode)) return nullptr;
    HeapArray<BYTE> indexes;
    if (outBits != 8 && !indexes.allocate(static_cast<std::size_t>(s.width))) return nullptr;

    const int bytesPerPixel = s.bits / 8;
    for (LONG y = 0; y < s.height; ++y) {
        const BYTE* from = s.Row(src.data.get(), y);
        BYTE* to = out.layout.Row(out.data, y);
        BYTE* line = outBits == 8 ? to : indexes.data();
        if (s.bits <= 8) {
            for (LONG x = 0; x < s.width; ++x) line[x] = indexMap[RowIndex(from, s.bits, x)];
        } else if (outBits == 1) {
            for (LONG x = 0; x < s.width; ++x) {
                Rgb c = TrueColourAt(from, bytesPerPixel, x);
                line[x] = Luminance(c.r, c.g, c.b) >= 129;
            }
        } else {
            for (LONG x = 0; x < s.width; ++x) {
                Rgb c = TrueColourAt(from, bytesPerPixel, x);
                line[x] = static_cast<BYTE>(chooser->Choose(c.r, c.g, c.b));
            }
        }
        if (outBits != 8) PackIndexes(to, outBits, line, s.width);
    }
    return out.Release();
}

void BuildToneTable(DWORD brightness, DWORD contrast, BYTE table[256]) {
    // A contrast of 128 or more would leave no tone range to divide by.
    int c = static_cast<int>(std::min<DWORD>(contrast, 127));
    double step = 256.0 / (256 - 2 * c);
    double t = static_cast<double>(brightness) - c;
    for (int i = 0; i < 256; ++i) {
        table[i] = t > 254 ? 254 : t < 1 ? 1 : static_cast<BYTE>(t);
        t += step;
    }
}

namespace {

inline BYTE ClampByte(int v) { return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Grey levels in a two-row error diffusion toward two tones.
HGLOBAL DitherTwoColours(const LockedSource& src, const BYTE* palette) {
    const DibLayout& s = src.layout;
    const std::size_t width = static_cast<std::size_t>(s.width);
    // Grey values in storage order: row k is picture row height - 1 - k.
    HeapArray<BYTE> grey;
    if (!grey.allocate(width * static_cast<std::size_t>(s.height))) return nullptr;
    int low = 255, high = 0;
    BYTE tableGrey[256] = {};
    if (s.bits <= 8) {
        const RGBQUAD* table = s.Table(src.data.get());
        for (int i = 0; i < (1 << s.bits); ++i)
            tableGrey[i] = static_cast<BYTE>(Luminance(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
    }
    const int bytesPerPixel = s.bits / 8;
    for (LONG k = 0; k < s.height; ++k) {
        const BYTE* from = s.Row(src.data.get(), s.height - 1 - k);
        BYTE* g = grey.data() + width * k;
        for (LONG x = 0; x < s.width; ++x) {
            if (s.bits <= 8) {
                g[x] = tableGrey[RowIndex(from, s.bits, x)];
            } else {
                Rgb c = TrueColourAt(from, bytesPerPixel, x);
                g[x] = static_cast<BYTE>(Luminance(c.r, c.g, c.b));
            }
            low = std::min<int>(low, g[x]);
            high = std::max<int>(high, g[x]);
        }
    }
    BYTE tone[256];
    BuildToneTable(DitherBrightness, DitherContrast, tone);
    const int threshold = (low + high) / 2;

    NewPicture out;
    if (!out.Make(s.width, s.height, palette, 1)) return nullptr;
    for (LONG k = 0; k < s.height; ++k) {
        BYTE* g = grey.data() + width * k;
        BYTE* next = k + 1 < s.height ? g + width : nullptr;
        BYTE* to = out.layout.Row(out.data, s.height - 1 - k);
        for (LONG x = 0; x < s.width; ++x) {
            int v = tone[g[x]];
            int error;
            if (v > threshold) {
                to[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
                error = v - high;
            } else {
                error = v - low;
            }
            int q = error >> 4;
            bool right = x + 1 < s.width;
            if (next) {
                if (right) next[x + 1] = ClampByte(next[x + 1] + q);
                if (x >= 1) next[x - 1] = ClampByte(next[x - 1] + 3 * q);
                next[x] = ClampByte(next[x] + 5 * q);
            }
            if (right) g[x + 1] = ClampByte(g[x + 1] + 7 * q);
        }
    }
    return out.Release();
}

inline int ClampChannel(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

HGLOBAL DitherColours(const LockedSource& src, const BYTE* palette, int depthCode, ColourChooser& chooser) {
    const DibLayout& s = src.layout;
    const std::size_t width = static_cast<std::size_t>(s.width);
    HeapArray<std::int16_t> rowA, rowB;
    if (!rowA.allocate(3 * width) || !rowB.allocate(3 * width)) return nullptr;
    std::int16_t* current = rowA.data();
    std::int16_t* next = rowB.data();
    NewPicture out;
    if (!out.Make(s.width, s.height, palette, depthCode)) return nullptr;

    const RGBQUAD* table = s.bits <= 8 ? s.Table(src.data.get()) : nullptr;
    const int bytesPerPixel = s.bits / 8;
    const bool nibbles = depthCode < 5;
    for (LONG k = 0; k < s.height; ++k) {
        const LONG y = s.height - 1 - k;
        const BYTE* from = s.Row(src.data.get(), y);
        BYTE* to = out.layout.Row(out.data, y);
        const bool hasNext = k + 1 < s.height;
        for (LONG x = 0; x < s.width; ++x) {
            std::int16_t* a = current + 3 * x;
            Rgb c;
            if (table) {
                const RGBQUAD& e = table[RowIndex(from, s.bits, x)];
                c = {e.rgbRed, e.rgbGreen, e.rgbBlue};
            } else {
                c = TrueColourAt(from, bytesPerPixel, x);
            }
            a[0] = static_cast<std::int16_t>(a[0] + c.r);
            a[1] = static_cast<std::int16_t>(a[1] + c.g);
            a[2] = static_cast<std::int16_t>(a[2] + c.b);
        }
        for (LONG x = 0; x < s.width; ++x) {
            std::int16_t* a = current + 3 * x;
            int r = ClampChannel(a[0]), g = ClampChannel(a[1]), b = ClampChannel(a[2]);
            int index = chooser.Choose(r, g, b);
            if (nibbles)
                to[x >> 1] |= static_cast<BYTE>((x & 1) ? (index & 0x0F) : (index & 0x0F) << 4);
            else
                to[x] = static_cast<BYTE>(index);
            const BYTE* p = palette + index * 3;
            const int e[3] = {r - p[0], g - p[1], b - p[2]};
            const bool right = x + 1 < s.width;
            for (int ch = 0; ch < 3; ++ch) {
                if (right) a[3 + ch] = static_cast<std::int16_t>(a[3 + ch] + ((7 * e[ch]) >> 4));
                if (!hasNext) continue;
                std::int16_t* n = next + 3 * x + ch;
                if (x >= 1) n[-3] = static_cast<std::int16_t>(n[-3] + ((3 * e[ch]) >> 4));
                n[0] = static_cast<std::int16_t>(n[0] + ((5 * e[ch]) >> 4));
                if (right) n[3] = static_cast<std::int16_t>(n[3] + (e[ch] >> 4));
            }
        }
        std::swap(current, next);
        std::memset(next, 0, 3 * width * sizeof(std::int16_t));
    }
    return out.Release();
}

}  // namespace

HGLOBAL FrameReducer::Dither(HGLOBAL source) {
    if (!source || !palette_ || depthCode_ < 1 || depthCode_ > 8) return nullptr;
    LockedSource src(source);
    if (!src.ok || src.layout.bits == 1) return nullptr;
    if (depthCode_ == 1) return DitherTwoColours(src, palette_);
    ColourChooser* chooser = Chooser();
    return chooser ? DitherColours(src, palette_, depthCode_, *chooser) : nullptr;
}

HGLOBAL MaskBackgroundColour(HGLOBAL remapped, HGLOBAL source, COLORREF background, int index) {
    if (!remapped || !source) return nullptr;
    LockedSource from(remapped);
    LockedSource frame(source);
    if (!from.ok || !frame.ok) return nullptr;
    const DibLayout& r = from.layout;
    BYTE triplets[768];
    DibTableToTriplets(from.data.get(), triplets);
    NewPicture out;
    if (!out.Make(r.width, r.height, triplets, r.bits)) return nullptr;
    for (LONG y = 0; y < r.height; ++y)
        CopyRowPixels(out.layout.Row(out.data, y), r.Row(from.data.get(), y), r.bits, r.width);
    if (index < 0) return out.Release();

    const DibLayout& f = frame.layout;
    const DWORD key = background & 0xFFFFFF;
    const LONG width = std::min(r.width, f.width);
    const LONG height = std::min(r.height, f.height);
    for (LONG y = 0; y < height; ++y) {
        const BYTE* s = f.Row(frame.data.get(), y);
        BYTE* to = out.layout.Row(out.data, y);
        for (LONG x = 0; x < width; ++x) {
            DWORD value;
            if (f.bits >= 24) {
                Rgb c = TrueColourAt(s, f.bits / 8, x);
                value = static_cast<DWORD>(c.r | (c.g << 8) | (c.b << 16));
            } else {
                value = static_cast<DWORD>(RowIndex(s, f.bits, x));
            }
            if (value != key) continue;
            if (r.bits <= 8)
                SetRowIndex(to, r.bits, x, index);
            else
                SetDibPixel(out.data, x, y, static_cast<DWORD>(index));
        }
    }
    return out.Release();
}
