// Gridlock: shaded rounded bars, three times as long as wide, travelling
// along rows and columns at one, two and four picture sizes per animation.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "effects/effect_bodies.h"
#include "effects/gridlock.h"
#include "effects/shaded_elements.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelay = 257;
constexpr ShadedPageControls kPage{259, 263, 265, 267, 261, 291, 287, 289, 293,
                                   ColorSetControls{{269, 271, 273, 275, 277}, {279, 280, 281, 282}}};
// The direction boxes in the order of the direction numbers.
constexpr int kDirectionBoxes[4] = {283, 284, 286, 285};
constexpr double kPi = 3.141592653589793;
constexpr int kRingPenWidth = 8;

enum Direction { kUp = 0, kDown = 1, kLeft = 2, kRight = 3 };
// Sprites and shadows come in two orientations.
constexpr int kVertical = 0, kHorizontal = 1;

// Each channel from the shading colour towards the base colour by t / 255.
COLORREF MixRingColour(COLORREF shading, COLORREF colour, int t) {
    auto channel = [t](unsigned d, unsigned c) { return static_cast<BYTE>((d * (255 - t) + c * t) / 255); };
    return RGB(channel(GetRValue(shading), GetRValue(colour)), channel(GetGValue(shading), GetGValue(colour)),
               channel(GetBValue(shading), GetBValue(colour)));
}

int OrientationOf(int direction) { return direction == kLeft || direction == kRight ? kHorizontal : kVertical; }

struct GridlockBar {
    int x0, y0;  // home of its centre
    int size;
    int speed;
    int direction;
    int opacity;
    COLORREF color;
    int colourIndex;  // with the orientation, its sprite in the state's sprites
};

struct GridlockState {
    int width, height;
    int frame;
    ShadedPage page;  // Frames, Size, Glare, Shading, the shadow and the colour set
    int directions[4];
    int directionCount;
    int count;
    GridlockBar* bars;  // in a fixed global block
    // Bars of one colour and orientation look alike, and the shadow depends
    // on the orientation alone: each is made once per build.
    HGLOBAL sprites[kColorSetSize][2];
    HGLOBAL shadows[2];
};

GridlockState gridlockState;

// The bar at four times its size: rounded-rectangle rings from the shading
// colour at the rim to the base colour, closing in above the middle of a
// lying bar and left of the middle of an upright one.
bool DrawBarRings(HDC dc, COLORREF colour, COLORREF shading, LONG w4, LONG h4, LONG corner) {
    Selection brush(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, colour);
    PatBlt(dc, 0, 0, w4, h4, PATCOPY);
    const bool horizontal = w4 > h4;
    const int rings = (2 * std::min(w4, h4)) / 3;
    for (int i = 0; i < rings; ++i) {
        const int t = static_cast<int>(std::sin(static_cast<double>(i) / rings * 90 * kPi / 180) * 255);
        const COLORREF ring = MixRingColour(shading, colour, t);
        GdiObject pen(CreatePen(PS_SOLID, kRingPenWidth, ring));
        if (!pen) return false;
        Selection selected(dc, pen.get());
        SetDCBrushColor(dc, ring);
        RoundRect(dc, horizontal ? i : i / 4, horizontal ? i / 4 : i, w4 - i, h4 - i, corner - i, corner - i);
    }
    return true;
}

void FreeGridlock(BuildContext* context) {
    auto* state = static_cast<GridlockState*>(context->state);
    for (auto& pair : state->sprites)
        for (HGLOBAL sprite : pair)
            if (sprite) GlobalFree(sprite);
    for (HGLOBAL shadow : state->shadows)
        if (shadow) GlobalFree(shadow);
    if (state->bars) GlobalFree(state->bars);
    *state = GridlockState{};
}

int InitialiseGridlock(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<GridlockState*>(context->state);
    state->width = width;
    state->height = height;
    state->page = ReadShadedPage(context->page, kPage);
    const ShadedPage& settings = state->page;
    for (int direction = 0; direction < 4; ++direction)
        if (ReadPageCheck(context->page, kDirectionBoxes[direction]))
            state->directions[state->directionCount++] = direction;
    if (state->directionCount == 0) state->directionCount = 1;  // Up alone

    const int density = settings.density;
    state->bars = static_cast<GridlockBar*>(GlobalAlloc(GPTR, sizeof(GridlockBar) * static_cast<std::size_t>(density)));
    if (!state->bars) return 0;
    state->count = density;
    int previous = -1;
    for (int i = 0; i < density; ++i) {
        GridlockBar& bar = state->bars[i];
        bar.size = settings.size;
        bar.speed = SpeedClass(i);
        bar.opacity = 255;
        bar.x0 = crt::rand() % width;
        bar.y0 = crt::rand() % height;
        bar.direction = state->directions[crt::rand() % state->directionCount];
        bar.colourIndex = PickIndexWithoutRepeat(settings.colours.count, previous);
        bar.color = settings.colours.colours[bar.colourIndex];
        const int orientation = OrientationOf(bar.direction);
        HGLOBAL& sprite = state->sprites[bar.colourIndex][orientation];
        if (!sprite) {
            const LONG length = 3 * bar.size;
            sprite = BarSprite(bar.color, ShadingColour(bar.color, settings.shading), settings.glare,
                               orientation == kHorizontal ? length : bar.size,
                               orientation == kHorizontal ? bar.size : length);
        }
        if (!sprite) {
            FreeGridlock(context);
            return 0;
        }
    }
    return 1;
}

// The orientation's shadow: the bar's outline in white with no offset of
// its own, placed by the offset instead.
HGLOBAL BarShadow(const ShadedPage& page, int orientation, bool& complete) {
    const LONG s4 = 4 * page.size, l4 = 12 * page.size;
    return RoundedShadow(orientation == kHorizontal ? l4 : s4, orientation == kHorizontal ? s4 : l4, s4, 255, 0,
                         page.shadow.soft, page.shadow.opacity, complete);
}

HGLOBAL RenderGridlock(BuildContext* context, int frame) {
    auto* state = static_cast<GridlockState*>(context->state);
    state->frame = frame;
    GlobalBlock image(GetSourceFrame(state->width, state->height));
    GlobalLockGuard<BYTE> target(image.get());
    if (!target) return nullptr;
    const float t = static_cast<float>(frame) / static_cast<float>(state->page.frames);
    const int down = static_cast<int>(t * static_cast<float>(state->height));
    const int across = static_cast<int>(t * static_cast<float>(state->width));
    const bool shadows = CastsShadow(state->page);
    const int offset = ShadowOffsetPixels(state->page.shadow.offset, state->page.size);
    for (int i = 0; i < state->count; ++i) {
        const GridlockBar& bar = state->bars[i];
        int dx = 0, dy = 0;
        switch (bar.direction) {
        case kUp: dy = down * bar.speed; break;
        case kDown: dy = state->height - down * bar.speed - 1; break;
        case kLeft: dx = across * bar.speed; break;
        default: dx = state->width - across * bar.speed - 1; break;
        }
        const int h = bar.size / 2;
        const LONG x = bar.x0 - h + dx, y = bar.y0 - h + dy;
        const int orientation = OrientationOf(bar.direction);
        auto make = [&](bool& complete) { return BarShadow(state->page, orientation, complete); };
        if (shadows && !BlendKeptShadow(state->shadows[orientation], make, target.get(), x + offset, y + offset,
                                        kBlendWrap))
            continue;
        GlobalLockGuard<BYTE> sprite(state->sprites[bar.colourIndex][orientation]);
        if (!sprite) return nullptr;
        BlendAlphaSprite(target.get(), sprite.get(), x, y, kBlendWrap);
    }
    return image.release();
}

}  // namespace

HGLOBAL BarSprite(COLORREF colour, COLORREF shading, int glare, LONG width, LONG height) {
    const LONG w4 = 4 * width, h4 = 4 * height, m = std::min(w4, h4);
    const bool horizontal = w4 > h4;
    GlobalBlock image;
    {
        SurfaceGuard surface;
        if (!surface.Open(w4, h4) || !DrawBarRings(surface.dc(), colour, shading, w4, h4, m)) return nullptr;
        if (glare > 0 && !ApplyGlare(surface.get(), glare, m, horizontal ? m / 3 : m / 6, horizontal ? m / 6 : m / 3))
            return nullptr;
        image.reset(surface.Take());
    }
    if (!image) return nullptr;
    GlobalBlock small(ScaleDibPercent(image.get(), 25, 25));
    image.reset();
    GlobalBlock shape(RoundedCoverage(w4, h4, m, 255));
    if (!small || !shape) return nullptr;
    return MakeAlphaSprite(small.get(), shape.get());
}

constexpr EffectBody GridlockBody{&gridlockState, sizeof gridlockState, InitialiseGridlock, RenderGridlock,
                                  FreeGridlock,   kDelay,               kPage.frames};

const EffectOperations GridlockOperations = CommonOperations<GridlockBody>();
