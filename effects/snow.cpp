// Snow: fractal six-armed flakes, drawn for each build, fall at three
// speeds and sway on a sine curve; every motion wraps round the picture, so
// the last frame leads back into the first.
#include <algorithm>
#include <cmath>

#include "effects/effect_bodies.h"
#include "effects/elements.h"
#include "effects/pages.h"
#include "effects/snow.h"
#include "effects/source_image.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr double kPi = 3.141592653589793;

enum SnowControl {
    kOpacityField = 100,
    kFramesField = 102,
    kDriftField = 104,
    kSizeField = 106,
    kDensityField = 108,
    kSeedField = 110,
    kDelayField = 126,
    kShadowOpacityField = 128,
    kShadowOffsetField = 130,
    kShadowSoftField = 132,
};
constexpr ColorSetControls kSnowColours{{112, 114, 116, 118, 120}, {122, 123, 124, 125}};

SnowState snowState;

// One crystal's shape, drawn for one flake.
struct FlakeShape {
    INT style;  // 1 feather, 0 branch
    INT depth;
    INT angle;  // degrees
    float split;
    float stem;
    COLORREF color;
};

struct Point {
    double x, y;
};

// The surface takes every point at four times its truncated flake position.
void Stroke(HDC dc, Point from, Point to) {
    MoveToEx(dc, static_cast<int>(from.x) * 4, static_cast<int>(from.y) * 4, nullptr);
    LineTo(dc, static_cast<int>(to.x) * 4, static_cast<int>(to.y) * 4);
}

// A + R(degrees) * (B - A).
Point Turned(Point a, Point b, double degrees) {
    const double radians = degrees * kPi / 180;
    const double dx = b.x - a.x, dy = b.y - a.y;
    return Point{a.x + dx * std::cos(radians) - dy * std::sin(radians),
                 a.y + dx * std::sin(radians) + dy * std::cos(radians)};
}

void Branch(HDC dc, Point p, Point q, int level, const FlakeShape& shape) {
    if (shape.style == 0) Stroke(dc, p, q);
    const Point a{p.x + shape.split * (q.x - p.x), p.y + shape.split * (q.y - p.y)};
    const Point b{a.x + shape.stem * (q.x - p.x), a.y + shape.stem * (q.y - p.y)};
    const Point left = Turned(a, b, shape.angle);
    const Point right = Turned(a, b, -shape.angle);
    if (level >= shape.depth) {
        if (shape.style == 1) {
            Stroke(dc, a, left);
            Stroke(dc, a, right);
        }
        if (level == shape.depth) return;
    }
    Branch(dc, a, left, level + 1, shape);
    Branch(dc, a, right, level + 1, shape);
    if (shape.style == 1) {
        Branch(dc, p, a, level + 1, shape);
        Branch(dc, a, q, level + 1, shape);
    }
}

float RandomFraction(double scale, double offset) {
    return static_cast<float>((crt::rand() % 2147483647) * 4.656613e-10 * scale + offset);
}

}  // namespace

HGLOBAL MakeSnowCrystal(int size) {
    FlakeShape shape{};
    shape.style = crt::rand() % 2 == 0 ? 1 : 0;
    crt::rand();
    shape.angle = crt::rand() % 150 + 15;
    shape.split = RandomFraction(0.6, 0.2);
    shape.stem = RandomFraction(0.4, 0.3);
    shape.color = RGB(255, 255, 255);

    SurfaceGuard surface;
    if (!surface.Open(4 * size, 4 * size)) return nullptr;
    const HDC dc = surface.dc();
    PatBlt(dc, 0, 0, 4 * size, 4 * size, BLACKNESS);

    if (shape.split * shape.stem > 0.36) {
        if (shape.style == 1) shape.stem /= 2;
        else shape.split /= 2;
    }
    if (shape.split * shape.stem < 0.1) shape.stem *= 2;
    if (shape.style == 1)
        shape.depth = crt::rand() % 3 + static_cast<int>(std::pow(size, 0.17));
    else
        shape.depth = crt::rand() % (4 - static_cast<int>(size / -50.0)) + static_cast<int>(std::pow(size, 0.2));

    {
        GdiObject pen(CreatePen(PS_SOLID, 4, shape.color));
        if (!pen) return nullptr;
        Selection selected(dc, pen.get());
        const int h = size / 2;
        const Point centre{static_cast<double>(h), static_cast<double>(h)};
        for (int theta = 0; theta < 360; theta += 60) {
            const double radians = theta * 3.141592653589793 / 180;
            Branch(dc, centre, Point{h + h * std::sin(radians), h - h * std::cos(radians)}, 0, shape);
        }
    }
    GlobalBlock large(surface.Take());
    if (!large) return nullptr;
    // Without the reduction the drawing itself serves as the mask.
    HGLOBAL reduced = ScaleDibPercent(large.get(), 25, 25);
    return reduced ? reduced : large.release();
}

namespace {

void FreeSnowState(BuildContext* context) {
    auto* state = static_cast<SnowState*>(context->state);
    if (!state) return;
    if (state->flakes) {
        for (INT i = 0; i < state->flakeCount; ++i) {
            if (state->flakes[i].mask) GlobalFree(state->flakes[i].mask);
            if (state->flakes[i].shadow) GlobalFree(state->flakes[i].shadow);
        }
        GlobalFree(state->flakes);
    }
    *state = SnowState{};
}

int InitialiseSnow(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<SnowState*>(context->state);
    if (!state || width <= 0 || height <= 0) return 0;
    const HWND page = context->page;
    const int opacity = ReadPageInt(page, kOpacityField);
    state->frames = ReadPageInt(page, kFramesField);
    state->drift = ReadPageInt(page, kDriftField);
    state->size = ReadPageInt(page, kSizeField);
    const int density = ReadPageInt(page, kDensityField);
    const int seed = ReadPageInt(page, kSeedField);
    const ShadowSettings shadow{ReadPageInt(page, kShadowOpacityField), ReadPageInt(page, kShadowOffsetField),
                                ReadPageInt(page, kShadowSoftField)};
    state->colors = ReadColorSet(page, kSnowColours);
    state->width = width;
    state->height = height;
    crt::srand(static_cast<unsigned>(seed));

    state->flakes = static_cast<SnowFlake*>(GlobalAlloc(GPTR, sizeof(SnowFlake) * static_cast<SIZE_T>(density)));
    if (!state->flakes) return 0;
    state->flakeCount = density;
    int previousColour = -1;
    for (int i = 0; i < density; ++i) {
        SnowFlake& flake = state->flakes[i];
        flake.x0 = crt::rand() % width;
        flake.y0 = crt::rand() % height;
        crt::rand();
        flake.size = state->size - crt::rand() % std::max(state->size / 9, 1);
        flake.speed = SpeedClass(i);
        flake.opacity = opacity;
        flake.phase = static_cast<float>(crt::rand() % 360);
        flake.color = PickColour(state->colors, previousColour);
        flake.mask = MakeSnowCrystal(flake.size);
        if (!flake.mask || !MakeDropShadow(flake.mask, shadow, &flake.shadow)) {
            FreeSnowState(context);
            return 0;
        }
    }
    return 1;
}

HGLOBAL RenderSnowFrame(BuildContext* context, int frame) {
    auto* state = static_cast<SnowState*>(context->state);
    if (!state || !state->flakes || state->frames <= 0) return nullptr;
    GlobalBlock picture(GetSourceImageCopy());
    GlobalLockGuard<BYTE> target(picture.get());
    DibLayout layout;
    if (!target || !DibLayout::From(target.get(), layout)) return nullptr;
    state->frame = frame;
    state->width = layout.width;
    state->height = layout.height;
    const LONG w = layout.width, h = layout.height;
    const int n = state->frames;
    const int sway = static_cast<int>(-state->drift * static_cast<double>(w) / 100);
    const LONG fall = static_cast<LONG>(static_cast<float>(frame) / n * h);
    for (INT i = 0; i < state->flakeCount; ++i) {
        SnowFlake& flake = state->flakes[i];
        const LONG x = flake.x0 - static_cast<LONG>(std::sin(flake.phase * kPi / 180) * sway);
        const LONG y = fall * flake.speed + flake.y0 - h;
        GlobalLockGuard<BYTE> mask(flake.mask);
        GlobalLockGuard<BYTE> shadow(flake.shadow);
        if (!mask || (flake.shadow && !shadow)) return nullptr;
        DrawElement(target.get(), mask.get(), shadow.get(), x - flake.size / 2, y + 1 - flake.size / 2, flake.color,
                    flake.opacity);
        flake.phase = static_cast<float>(flake.phase + 360 * (1.0 / n));
    }
    return picture.release();
}

}  // namespace

constexpr EffectBody SnowBody{&snowState,      sizeof snowState, InitialiseSnow, RenderSnowFrame,
                              FreeSnowState,   kDelayField,      kFramesField};

const EffectOperations SnowOperations = CommonOperations<SnowBody>();
