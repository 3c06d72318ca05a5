// Singularity: an elliptical region round a centre warped radially, first
// inwards (the picture drawn into a grey hole) and, after a pause on the
// plain picture, outwards, followed by a second pause.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "effects/effect_bodies.h"
#include "effects/pages.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelayControl = 618;
constexpr int kPauseControl = 620;
constexpr int kImplodeControl = 622;
constexpr int kExplodeControl = 624;
constexpr int kCentreXControl = 626;
constexpr int kCentreYControl = 628;
constexpr int kFramesControl = 630;

constexpr double kPi = std::numbers::pi;
// What the warp shows where it samples beyond the picture.
constexpr DWORD kOutsideColour = 0x7F7F7F;

enum Phase : std::int32_t { kImplode, kFirstPause, kExplode, kSecondPause, kDone };

// One row of the warped ellipse: pixels first..last-1, whose sines start at
// entry `base` of the geometry's sine list.
struct EllipseRow {
    std::int32_t first;
    std::int32_t last;
    std::size_t base;
};

struct SingularityState {
    std::int32_t width;
    std::int32_t height;
    std::int32_t step;
    std::int32_t phase;
    std::int32_t frameDelay;
    std::int32_t frames;
    std::int32_t delay;
    std::int32_t pause;
    std::int32_t implodeFrames;
    std::int32_t explodeFrames;
    std::int32_t implode;
    std::int32_t explode;
    std::int32_t centreX;
    std::int32_t centreY;
    DWORD outside;
    std::int32_t preview;
    // The warp's geometry, the same for every frame.
    double x0, y0, ax, ay;
    double* dx;         // (x - X0) * ax per column
    double* dy;         // (y - Y0) * ay per row
    EllipseRow* rows;   // per row
    double* sines;      // sin(d * (pi / 2) / R) of each pixel inside, 0 at the centre
};

SingularityState singularity;

SingularityState& State(BuildContext* context) { return *static_cast<SingularityState*>(context->state); }

template <class T>
T* FixedArray(std::size_t count) {
    return static_cast<T*>(GlobalAlloc(GPTR, sizeof(T) * (count ? count : 1)));
}

void FreeSingularity(BuildContext* context) {
    SingularityState& state = State(context);
    for (void* block : {static_cast<void*>(state.dx), static_cast<void*>(state.dy), static_cast<void*>(state.rows),
                        static_cast<void*>(state.sines)})
        if (block) GlobalFree(block);
    state.dx = state.dy = state.sines = nullptr;
    state.rows = nullptr;
}

// Works out which pixels lie inside the ellipse and how far out they are.
bool MakeGeometry(SingularityState& state) {
    const LONG w = state.width, h = state.height;
    state.x0 = state.centreX / 100.0 * w;
    state.y0 = state.centreY / 100.0 * h;
    state.ax = state.ay = 1.0;
    if (w > h) state.ay = static_cast<double>(w) / h;
    if (w < h) state.ax = static_cast<double>(h) / w;
    const double radius = w >= h ? state.x0 : state.y0;
    state.dx = FixedArray<double>(static_cast<std::size_t>(w));
    state.dy = FixedArray<double>(static_cast<std::size_t>(h));
    state.rows = FixedArray<EllipseRow>(static_cast<std::size_t>(h));
    if (!state.dx || !state.dy || !state.rows) return false;
    for (LONG x = 0; x < w; ++x) state.dx[x] = (x - state.x0) * state.ax;
    for (LONG y = 0; y < h; ++y) state.dy[y] = (y - state.y0) * state.ay;

    // The ellipse is convex, so each row holds one run of inside pixels.
    std::size_t inside = 0;
    for (LONG y = 0; y < h; ++y) {
        EllipseRow& row = state.rows[y];
        row.first = row.last = 0;
        row.base = inside;
        const double dy2 = state.dy[y] * state.dy[y];
        LONG x = 0;
        while (x < w && state.dx[x] * state.dx[x] + dy2 >= radius * radius) ++x;
        row.first = x;
        while (x < w && state.dx[x] * state.dx[x] + dy2 < radius * radius) ++x;
        row.last = x;
        inside += static_cast<std::size_t>(row.last - row.first);
    }
    state.sines = FixedArray<double>(inside);
    if (!state.sines) return false;
    for (LONG y = 0; y < h; ++y) {
        const EllipseRow& row = state.rows[y];
        for (LONG x = row.first; x < row.last; ++x) {
            const double d2 = state.dx[x] * state.dx[x] + state.dy[y] * state.dy[y];
            state.sines[row.base + static_cast<std::size_t>(x - row.first)] =
                d2 == 0.0 ? 0.0 : std::sin(std::sqrt(d2) * (kPi / 2) / radius);
        }
    }
    return true;
}

int InitialiseSingularity(BuildContext* context, LONG width, LONG height) {
    SingularityState& state = State(context);
    const HWND page = context->page;
    state.width = width;
    state.height = height;
    state.frames = ReadPageInt(page, kFramesControl);
    state.delay = ReadPageInt(page, kDelayControl);
    state.pause = ReadPageInt(page, kPauseControl);
    state.implode = ReadPageInt(page, kImplodeControl);
    state.explode = ReadPageInt(page, kExplodeControl);
    state.centreX = ReadPageInt(page, kCentreXControl);
    state.centreY = ReadPageInt(page, kCentreYControl);
    state.implodeFrames = state.frames / 2 - 2;
    state.explodeFrames = state.frames - state.implodeFrames - 2;
    state.outside = kOutsideColour;
    state.preview = (context->flags & kPreviewFlag) != 0;
    state.phase = kImplode;
    state.step = 0;
    // The frame counts keep both warp phases at least one frame long.
    if (width <= 0 || height <= 0 || state.implodeFrames < 1 || state.explodeFrames < 1) return 0;
    if (!MakeGeometry(state)) {
        FreeSingularity(context);
        return 0;
    }
    return 1;
}

// The colour at (x, y) interpolated from the four pixels round it, each
// channel on its own; samples beyond the picture take the outside colour.
void Sample(const void* dib, const DibLayout& layout, std::size_t bytes, const BYTE* outside, double x, double y,
            BYTE* out) {
    const double u = x + 0.5, v = y + 0.5;
    if (u < -1 || u >= layout.width || v < -1 || v >= layout.height) {
        std::memcpy(out, outside, bytes);
        return;
    }
    const LONG iu = static_cast<LONG>(u), iv = static_cast<LONG>(v);
    const bool left = u >= 0, top = v >= 0;
    const bool right = iu + 1 < layout.width, bottom = iv + 1 < layout.height;
    auto at = [&](bool inside, LONG px, LONG py) {
        return inside ? layout.Row(dib, py) + static_cast<std::size_t>(px) * bytes : outside;
    };
    const BYTE* p00 = at(left && top, iu, iv);
    const BYTE* p10 = at(right && top, iu + 1, iv);
    const BYTE* p01 = at(left && bottom, iu, iv + 1);
    const BYTE* p11 = at(right && bottom, iu + 1, iv + 1);
    const double fx = u - std::floor(u), fy = v - std::floor(v);
    for (std::size_t k = 0; k < bytes; ++k) {
        const double value = (p00[k] * (1 - fx) + p10[k] * fx) * (1 - fy) + (p01[k] * (1 - fx) + p11[k] * fx) * fy;
        out[k] = static_cast<BYTE>(static_cast<int>(value + 0.5));
    }
}

// A new picture: source warped with strength (hundredths of the exponent);
// positive strengths draw the picture in, negative ones push it out.
HGLOBAL Warp(const SingularityState& state, HGLOBAL source, int strength) {
    GlobalBlock result(CopyGlobalBlock(source));
    GlobalLockGuard<BYTE> from(source), to(result.get());
    if (!from || !to) return nullptr;
    DibLayout layout;
    DibLayout::From(from.get(), layout);
    const std::size_t bytes = static_cast<std::size_t>(layout.bits / 8);
    // Pixel bytes of the outside colour, in storage order (blue first).
    const BYTE outside[4] = {GetBValue(state.outside), GetGValue(state.outside), GetRValue(state.outside), 0};
    const double power = strength / 100.0;
    for (LONG y = 0; y < layout.height; ++y) {
        const EllipseRow& row = state.rows[y];
        BYTE* target = layout.Row(to.get(), y);
        const double* sines = state.sines + row.base;
        for (LONG x = row.first; x < row.last; ++x) {
            const double sine = sines[x - row.first];
            const double f = sine == 0.0 || power == 0.0 ? 1.0 : std::pow(sine, -power);
            Sample(from.get(), layout, bytes, outside, f * state.dx[x] / state.ax + state.x0,
                   f * state.dy[y] / state.ay + state.y0, target + static_cast<std::size_t>(x) * bytes);
        }
    }
    return result.release();
}

HGLOBAL RenderSingularity(BuildContext* context, int) {
    SingularityState& state = State(context);
    GlobalBlock canvas(SourceCanvas(state.width, state.height));
    if (!canvas) return nullptr;
    if (state.preview) {
        canvas.reset(Warp(state, canvas.get(), static_cast<int>(std::sin(kPi / 2) * state.implode)));
        if (!canvas) return nullptr;
    }
    // Each warp phase starts and ends at strength 0; a pause shows the plain picture.
    auto warpStep = [&](int strength, std::int32_t frames, Phase next) {
        canvas.reset(Warp(state, canvas.get(), strength));
        state.frameDelay = state.delay;
        if (++state.step == frames) {
            state.phase = next;
            state.step = 0;
        }
    };
    auto pause = [&](Phase next) {
        state.frameDelay = state.pause;
        state.phase = next;
    };
    switch (state.phase) {
    case kImplode: {
        const float part = static_cast<float>(state.step) / static_cast<float>(state.implodeFrames);
        warpStep(static_cast<int>(std::sin(kPi * part) * state.implode), state.implodeFrames, kFirstPause);
        break;
    }
    case kFirstPause:
        pause(kExplode);
        break;
    case kExplode:
        warpStep(-static_cast<int>(std::sin(kPi * state.step / state.explodeFrames) * state.explode),
                 state.explodeFrames, kSecondPause);
        break;
    case kSecondPause:
        pause(kDone);
        break;
    default:
        break;
    }
    return canvas.release();
}

int BuildSingularity(BuildContext* context) {
    if (!context || !context->frames) return 0;
    context->flags &= ~kPreviewFlag;
    if (!StartBody(context, SingularityBody)) return 0;
    BodyStateGuard guard(context, SingularityBody);
    const SingularityState& state = State(context);
    for (int i = 0; i < state.frames; ++i) {
        HGLOBAL image = RenderSingularity(context, i);
        if (!AppendImage(context, image, static_cast<DWORD>(state.frameDelay))) return 0;
        ReportProgress(context, i, state.frames);
    }
    return 1;
}

}  // namespace

constexpr EffectBody SingularityBody{&singularity,      sizeof singularity, InitialiseSingularity, RenderSingularity,
                                     FreeSingularity,   kDelayControl,      kFramesControl};

const EffectOperations SingularityOperations{PreviewWith<SingularityBody>, BuildSingularity, DefaultBackgroundColour,
                                             DefaultPageEvent};
