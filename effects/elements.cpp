#include "effects/elements.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "effects/pages.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kPickDraws = 16;
constexpr int kRingPenWidth = 8;

// Reduces a 4x drawing to its final size; the drawing is freed either way.
HGLOBAL Quarter(HGLOBAL large) {
    GlobalBlock drawing(large);
    return drawing ? ScaleDibPercent(drawing.get(), 25, 25) : nullptr;
}

// The ball at four times its size: the background, then rings from the
// shading colour at the rim to the base colour, closing in on a point above
// the middle. False when a pen cannot be made.
bool DrawBallRings(HDC dc, COLORREF colour, COLORREF background, COLORREF shading, LONG w4, LONG h4) {
    Selection brush(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, background);
    PatBlt(dc, 0, 0, w4, h4, PATCOPY);
    const int rings = (2 * std::min(w4, h4)) / 3;
    for (int i = 0; i < rings; ++i) {
        const int t = static_cast<int>(std::sin(static_cast<double>(i) / rings * 90 * kPi / 180) * 255);
        auto channel = [t](unsigned d, unsigned c) { return static_cast<BYTE>((d * (255 - t) + c * t) / 255); };
        const COLORREF ring = RGB(channel(GetRValue(shading), GetRValue(colour)),
                                  channel(GetGValue(shading), GetGValue(colour)),
                                  channel(GetBValue(shading), GetBValue(colour)));
        GdiObject pen(CreatePen(PS_SOLID, kRingPenWidth, ring));
        if (!pen) return false;
        Selection selected(dc, pen.get());
        SetDCBrushColor(dc, ring);
        Ellipse(dc, i, i / 2, w4 - i, h4 - i);
    }
    return true;
}

// The ball's coverage at four times its size: a white ellipse on black.
void DrawBallShape(HDC dc, LONG w4, LONG h4) {
    PatBlt(dc, 0, 0, w4, h4, BLACKNESS);
    Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(WHITE_BRUSH));
    Ellipse(dc, 0, 0, w4, h4);
}

}  // namespace

ColorSet MakeColorSet(COLORREF colour1, const COLORREF (&others)[4], const bool (&enabled)[4]) {
    ColorSet set{{colour1, 0, 0, 0, 0}, 1};
    for (int i = 0; i < 4; ++i)
        if (enabled[i]) set.colours[set.count++] = others[i];
    return set;
}

ColorSet ReadColorSet(HWND page, const ColorSetControls& ids) {
    COLORREF others[4];
    bool enabled[4];
    for (int i = 0; i < 4; ++i) {
        others[i] = ReadPageColour(page, ids.colour[i + 1]);
        enabled[i] = ReadPageCheck(page, ids.enable[i]);
    }
    return MakeColorSet(ReadPageColour(page, ids.colour[0]), others, enabled);
}

int PickIndexWithoutRepeat(int count, int& previous) {
    int index = 0;
    if (count > 1) {
        for (int draw = 0; draw < kPickDraws; ++draw) {
            index = crt::rand() % count;
            if (index != previous) break;
        }
    }
    previous = index;
    return index;
}

COLORREF PickColour(const ColorSet& colours, int& previous) {
    return colours.colours[PickIndexWithoutRepeat(std::clamp(colours.count, 1, kColorSetSize), previous)];
}

int SpeedClass(int index) {
    static constexpr int kSpeeds[3] = {1, 2, 4};
    return kSpeeds[static_cast<unsigned>(index) % 3];
}

bool MakeDropShadow(HGLOBAL mask, const ShadowSettings& settings, HGLOBAL* shadow) {
    *shadow = nullptr;
    if (settings.opacity <= 0) return true;
    *shadow = MakeShadowMask(mask, settings.offset, settings.soft, 0, settings.opacity);
    return *shadow != nullptr;
}

void DrawElement(void* frame, const void* mask, const void* shadow, LONG x, LONG y, COLORREF colour, int opacity) {
    if (shadow) BlendColourThroughMask(frame, shadow, x, y, 0, opacity, kBlendWrap);
    BlendColourThroughMask(frame, mask, x, y, colour, opacity, kBlendWrap);
}

COLORREF ShadingColour(COLORREF colour, int shading) {
    HsvColour hsv = RgbToHsv(colour);
    hsv.value -= shading / 100.0;
    return HsvToRgb(hsv);
}

FillRecord GlareFillRecord(int glare) {
    const BYTE g = static_cast<BYTE>(std::clamp(glare, 0, 255));
    FillRecord fill{};
    fill.kind = kEllipticalFill;
    fill.colour1 = RGB(g, g, g);
    fill.colour2 = 0;
    fill.midpoint = 50;
    // The level b of the fill is added to the ball as light, so the record
    // sets the spot's brightness profile. The two-colour ramp cannot give a
    // spot: it always starts at colour 1, and the first ring of an
    // elliptical fill covers the whole square, which would lighten a hard
    // square. The fountain runs from black at the rim to g in the middle
    // instead. Ring i of n has the relative radius r = sqrt(2) (1 - i / n),
    // so the outer 29 % of the rings (r > 1, fountain position 75) lie
    // outside the circle inscribed in the square: they stay black, and the
    // spot is round with no trace of its square. Inside, the stops follow
    // the smooth bump (1 - r^2)^2 at r = 0.8, 0.6, 0.4 and 0.2, so the light
    // fades out without an edge. No edge, centred, no angle.
    fill.fountain = MakeFountainDefinition(0, fill.colour1);
    auto grey = [g](int level) { BYTE v = static_cast<BYTE>(g * level / 255); return RGB(v, v, v); };
    const DWORD stops[] = {FountainStop(0, 75), FountainStop(grey(33), 111), FountainStop(grey(105), 147),
                           FountainStop(grey(181), 183), FountainStop(grey(235), 219)};
    fill.fountain.stopCount = std::size(stops);
    for (std::size_t i = 0; i < std::size(stops); ++i) fill.fountain.stops[i] = stops[i];
    return fill;
}

bool ApplyGlare(DrawingSurface& surface, int glare, LONG m, LONG x, LONG y) {
    const LONG size = std::max<LONG>((2 * m) / 5, 8);
    GlobalBlock spot(MakeFill(size, size, GlareFillRecord(glare)));
    GlobalLockGuard<BYTE> s(spot.get());
    if (!s) return false;
    DibLayout spotLayout;
    DibLayout::From(s.get(), spotLayout);
    GdiFlush();
    const LONG width = surface.bounds.right, height = surface.bounds.bottom;
    const std::size_t stride = DibStride(width, 24);
    for (LONG sy = 0; sy < size; ++sy) {
        const LONG ty = y + sy;
        if (ty < 0 || ty >= height) continue;
        BYTE* row = static_cast<BYTE*>(surface.bits) + stride * static_cast<std::size_t>(height - 1 - ty);
        const BYTE* levels = spotLayout.Row(s.get(), sy);
        for (LONG sx = 0; sx < size; ++sx) {
            const LONG tx = x + sx;
            if (tx < 0 || tx >= width) continue;
            const unsigned b = spotLayout.Read(levels, sx) & 0xFF;
            BYTE* p = row + static_cast<std::size_t>(tx) * 3;
            for (int c = 0; c < 3; ++c) p[c] = static_cast<BYTE>(p[c] * (255 - b) / 255 + b);
        }
    }
    return true;
}

HGLOBAL BallSprite(COLORREF colour, COLORREF background, COLORREF shading, int glare, LONG width, LONG height) {
    constexpr LONG kLargest = std::numeric_limits<LONG>::max() / 4;  // the drawing is four times as large
    if (width < 1 || height < 1 || width > kLargest || height > kLargest) return nullptr;
    const LONG w4 = 4 * width, h4 = 4 * height, m = std::min(w4, h4);

    GlobalBlock image;
    {
        SurfaceGuard surface;
        if (!surface.Open(w4, h4) || !DrawBallRings(surface.dc(), colour, background, shading, w4, h4)) return nullptr;
        if (glare > 0 && !ApplyGlare(surface.get(), glare, m, m / 3, m / 6)) return nullptr;
        image.reset(surface.Take());
    }
    GlobalBlock small(Quarter(image.release()));
    if (!small) return nullptr;

    GlobalBlock shape;
    {
        SurfaceGuard surface;
        if (!surface.Open(w4, h4)) return nullptr;
        DrawBallShape(surface.dc(), w4, h4);
        shape.reset(surface.Take());
    }
    GlobalBlock mask(Quarter(shape.release()));
    if (!mask) return nullptr;
    return MakeAlphaSprite(small.get(), mask.get());
}
