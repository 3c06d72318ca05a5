#include "image/fills.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/gdi_guards.h"
#include "image/packed_dib.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 57.29577951308232;

// A shape's ramp when it has a record; without one the shape mixes its two
// colours itself.
struct ShapeColours {
    const FillRecord* record;
    HeapArray<COLORREF> ramp;

    bool Prepare(int steps) { return !record || MakeColourRamp(*record, steps, ramp); }
    COLORREF Ramp(std::size_t i) const { return i < ramp.size() ? ramp[i] : 0; }
};

enum class Rings { Ellipses, Rectangles };

HGLOBAL ConcentricFill(Rings shape, COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX,
                       LONG centreY, const FillRecord* record) {
    if (width < 1 || height < 1) return nullptr;
    const double halfW = width / 2.0, halfH = height / 2.0;
    const int rings = static_cast<int>(std::sqrt(halfW * halfW + halfH * halfH) + 0.5);
    ShapeColours colours{record, {}};
    if (!colours.Prepare(rings)) return nullptr;
    SurfaceGuard surface;
    if (!surface.Open(width, height)) return nullptr;
    {
        HDC dc = surface.dc();
        Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, record ? colours.Ramp(0) : colour1);
        PatBlt(dc, 0, 0, width, height, PATCOPY);

        // The first ring is the rectangle's circumscribing shape; each ring after
        // it is one step smaller and one step further towards the centre offset
        // (positive centre y moves it up).
        const double boxW = width * std::sqrt(2.0), boxH = height * std::sqrt(2.0);
        const double stepW = boxW / rings, stepH = boxH / rings;
        double left = halfW - boxW / 2, top = halfH - boxH / 2, right = left + boxW, bottom = top + boxH;
        for (int i = 0; i < rings; ++i) {
            SetDCBrushColor(dc, record ? colours.Ramp(i) : MixColours(colour1, colour2, static_cast<double>(i) / rings));
            const int l = static_cast<int>(left), t = static_cast<int>(top);
            const int r = static_cast<int>(right), b = static_cast<int>(bottom);
            if (shape == Rings::Ellipses)
                Ellipse(dc, l, t, r, b);
            else
                Rectangle(dc, l, t, r, b);
            double moveX = stepW * centreX / 100, moveY = -(stepH * centreY / 100);
            left += stepW / 2 + moveX;
            right += -stepW / 2 + moveX;
            top += stepH / 2 + moveY;
            bottom += -stepH / 2 + moveY;
        }
    }
    return surface.Take();
}

}  // namespace

FountainDefinition MakeFountainDefinition(COLORREF start, COLORREF end) {
    FountainDefinition f;
    std::memset(&f, 0, sizeof f);
    std::memcpy(f.magic, "VELLFOUN", sizeof f.magic);
    f.version = kFountainVersion;
    f.size = sizeof(FountainDefinition);
    f.startColour = start & 0xFFFFFF;
    f.endColour = end & 0xFFFFFF;
    return f;
}

COLORREF MixColours(COLORREF a, COLORREF b, double t) {
    auto channel = [t](unsigned x, unsigned y) {
        return static_cast<BYTE>(static_cast<int>(x * (1.0 - t) + y * t));
    };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

HGLOBAL MakeFill(LONG width, LONG height, const FillRecord& fill) {
    switch (fill.kind) {
    case kConicalFill:
        return ConicalFill(fill.colour1, fill.colour2, width, height, fill.centreX, fill.centreY, fill.angle, &fill);
    case kEllipticalFill:
        return EllipticalFill(fill.colour1, fill.colour2, width, height, fill.centreX, fill.centreY, fill.angle, &fill);
    case kRectangularFill:
        return RectangularFill(fill.colour1, fill.colour2, width, height, fill.centreX, fill.centreY, fill.angle, &fill);
    default:
        return LinearFill(fill.colour1, fill.colour2, width, height, fill.centreX, fill.centreY, fill.angle, &fill);
    }
}

HGLOBAL LinearFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG /*centreX*/, LONG /*centreY*/,
                   LONG angle, const FillRecord* record) {
    if (width < 1 || height < 1) return nullptr;
    const double theta = angle * kPi / 180, c = std::cos(theta), s = std::sin(theta);
    const double cx = width / 2.0, cy = height / 2.0;
    // The surface with a 2-pixel margin, its corners relative to the centre,
    // turned by the angle: the bands must cover it whatever the angle.
    const double halfW = cx + 2, halfH = cy + 2;
    double minU = 0, maxU = 0, minV = 0, maxV = 0;
    for (int corner = 0; corner < 4; ++corner) {
        double u = corner & 1 ? halfW : -halfW, v = corner & 2 ? halfH : -halfH;
        double ru = u * c - v * s, rv = u * s + v * c;
        if (corner == 0 || ru < minU) minU = ru;
        if (corner == 0 || ru > maxU) maxU = ru;
        if (corner == 0 || rv < minV) minV = rv;
        if (corner == 0 || rv > maxV) maxV = rv;
    }
    const double extent = maxV - minV, step = extent / 256;
    ShapeColours colours{record, {}};
    if (!colours.Prepare(static_cast<int>(extent / step + 0.5))) return nullptr;

    SurfaceGuard surface;
    if (!surface.Open(width, height)) return nullptr;
    {
        HDC dc = surface.dc();
        SetMapMode(dc, MM_TEXT);
        Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(DC_BRUSH));
        auto toSurface = [&](double u, double v) {
            return POINT{static_cast<LONG>(cx + u * c - v * s), static_cast<LONG>(cy + u * s + v * c)};
        };
        for (int k = 0; k < 256 && k * step < extent; ++k) {
            double v0 = minV + std::trunc(k * step), v1 = minV + std::ceil((k + 1) * step);
            SetDCBrushColor(dc, record ? colours.Ramp(k) : MixColours(colour2, colour1, k * step / extent));
            POINT band[4] = {toSurface(minU, v0), toSurface(maxU, v0), toSurface(maxU, v1), toSurface(minU, v1)};
            Polygon(dc, band, 4);
        }
    }
    return surface.Take();
}

HGLOBAL EllipticalFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                       LONG /*angle*/, const FillRecord* record) {
    return ConcentricFill(Rings::Ellipses, colour1, colour2, width, height, centreX, centreY, record);
}

HGLOBAL RectangularFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                        LONG /*angle*/, const FillRecord* record) {
    return ConcentricFill(Rings::Rectangles, colour1, colour2, width, height, centreX, centreY, record);
}

HGLOBAL ConicalFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                    LONG angle, const FillRecord* record) {
    ShapeColours colours{record, {}};
    if (!colours.Prepare(360)) return nullptr;
    GlobalBlock fill(CreatePackedDib(width, height, nullptr, 24));
    if (!fill) return nullptr;
    GlobalLockGuard<BYTE> dib(fill.get());
    if (!dib) return nullptr;
    DibLayout l;
    DibLayout::From(dib.get(), l);
    const LONG cx = static_cast<LONG>((centreX / 100.0 + 0.5) * width);
    const LONG cy = static_cast<LONG>((0.5 - centreY / 100.0) * height);
    // Any angle, negative or past a turn, comes to the same offset.
    const LONG turn = static_cast<LONG>(((360 - static_cast<long long>(angle)) % 360 + 360) % 360);
    for (LONG y = 0; y < l.height; ++y) {
        BYTE* row = l.Row(dib.get(), y);
        const LONG dy = y - cy;
        for (LONG x = 0; x < l.width; ++x) {
            const LONG dx = x - cx;
            double a;
            if (dx == 0) {
                a = dy <= 0 ? 90 : 270;
            } else {
                a = std::atan(static_cast<double>(dy) / dx) * kDegreesPerRadian;
                if (dx > 0) a += 180;
                while (a < 0) a += 360;
            }
            double b = a + turn;
            while (b > 360) b -= 360;
            if (b > 180) b = 360 - b;
            double sweep = std::clamp(std::trunc(b / 180 * 256) / 256, 0.0, 1.0);
            COLORREF colour = record ? colours.Ramp(static_cast<std::size_t>(sweep * 359))
                                     : MixColours(colour1, colour2, sweep);
            l.Write(row, x, colour);
        }
    }
    return fill.release();
}

bool MakeColourRamp(const FillRecord& fill, int n, HeapArray<COLORREF>& ramp) {
    if (n < 1 || !ramp.allocate(static_cast<std::size_t>(n))) return false;
    // Edges past half the ramp would overlap; a midpoint past 100 would carry
    // its stop beyond the end of the fountain.
    const int edge = std::clamp<LONG>(fill.edge, 0, 50);
    const int held = static_cast<int>(static_cast<long long>(edge) * n / 100), middle = n - 2 * held;
    for (int i = 0; i < held; ++i) {
        ramp[static_cast<std::size_t>(i)] = fill.colour1;
        ramp[static_cast<std::size_t>(n - 1 - i)] = fill.colour2;
    }
    // Copies the first `count` pixels of a one-row fountain into the ramp at `at`.
    auto fromFountain = [&](const FountainDefinition& fountain, int at, int count) {
        GlobalBlock strip(RenderFountain(fountain, count, 1));
        GlobalLockGuard<BYTE> dib(strip.get());
        if (!dib) return false;
        for (int i = 0; i < count; ++i) ramp[static_cast<std::size_t>(at + i)] = GetDibPixel(dib.get(), i, 0);
        return true;
    };

    if (!fill.twoColour) {
        if (middle > 0 && !fromFountain(fill.fountain, held, middle)) {
            ramp.allocate(0);
            return false;
        }
        return true;
    }
    if (fill.midpoint == 50) {
        for (int i = 0; i < middle; ++i)
            ramp[static_cast<std::size_t>(held + i)] =
                MixColours(fill.colour1, fill.colour2, static_cast<double>(i) / middle);
    } else {
        const int midpoint = std::clamp<LONG>(fill.midpoint, 0, 100);
        const int pure = edge * 255 / 100;
        FountainDefinition uneven = MakeFountainDefinition(fill.colour1, fill.colour2);
        COLORREF mean = RGB((GetRValue(fill.colour1) + GetRValue(fill.colour2)) / 2,
                            (GetGValue(fill.colour1) + GetGValue(fill.colour2)) / 2,
                            (GetBValue(fill.colour1) + GetBValue(fill.colour2)) / 2);
        uneven.stopCount = 2;
        uneven.stops[0] = FountainStop(fill.colour1, pure);
        uneven.stops[1] = FountainStop(mean, (255 - 2 * pure) * midpoint / 100);
        if (!fromFountain(uneven, 0, n)) {
            ramp.allocate(0);
            return false;
        }
    }
    ramp[0] = fill.colour1;
    ramp[static_cast<std::size_t>(n - 1)] = fill.colour2;
    return true;
}

HGLOBAL RenderFountain(const FountainDefinition& fountain, LONG width, LONG height) {
    GlobalBlock result(CreatePackedDib(width, height, nullptr, 24));
    if (!result) return nullptr;
    GlobalLockGuard<BYTE> dib(result.get());
    if (!dib) return nullptr;
    // One linear fill per segment, running from the left colour to the right one.
    auto segment = [&](LONG at, LONG end, COLORREF from, COLORREF to) {
        GlobalBlock piece(LinearFill(from, to, end - at, height, 50, 50, 90, nullptr));
        GlobalLockGuard<BYTE> p(piece.get());
        if (!p) return false;
        CopyDibRect(dib.get(), at, 0, p.get(), 0, 0, end - at, height);
        return true;
    };
    LONG x = 0;
    COLORREF previous = fountain.startColour & 0xFFFFFF;
    // Read by value: the definition is packed and its fields unaligned.
    const DWORD count = fountain.stopCount;
    const DWORD stops = count < kMaxFountainStops ? count : kMaxFountainStops;
    for (DWORD i = 0; i < stops; ++i) {
        const DWORD stop = fountain.stops[i];
        const LONG at = static_cast<LONG>((stop >> 24) / 255.0 * width);
        const COLORREF colour = stop & 0xFFFFFF;
        if (at > x && !segment(x, at, previous, colour)) return nullptr;
        x = at;
        previous = colour;
    }
    const COLORREF last = (fountain.flags & kFountainReturns ? fountain.startColour : fountain.endColour) & 0xFFFFFF;
    if (width > x && !segment(x, width, previous, last)) return nullptr;
    return result.release();
}
