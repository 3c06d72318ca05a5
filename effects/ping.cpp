// Ping: rings spreading from the markers like a sonar echo. Each point's
// set of concentric rings grows and fades once per cycle of the animation,
// so the last frame leads back into the first.
#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/elements.h"
#include "effects/marker_effects.h"
#include "effects/mask_cache.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kOpacityField = 483;
constexpr int kDelayField = 485;
constexpr int kThicknessField = 487;
constexpr int kSizeField = 489;
constexpr int kRandomBox = 491;
constexpr int kWrapBox = 492;
constexpr int kFramesField = 508;
constexpr int kSoftnessField = 510;
constexpr int kSeedField = 512;
constexpr ColorSetControls kColours{{493, 495, 497, 499, 501}, {503, 504, 505, 506}};

struct PingSource {
    LONG x, y;  // top-left corner of its ring image
    int size;
    int counter;  // frames rendered so far
    int thickness;
    int phase;  // 0..F-1
    int opacity;
    int softness;
    COLORREF colour;
};

// What a ring image depends on besides its place in the cycle.
struct RingShape {
    int size;
    int thickness;
    int opacity;
    int softness;
    int frames;
};

struct PingState {
    LONG width, height;
    int frameIndex;
    int frames;
    int size;
    bool wrap;
    ColorSet colours;
    PingSource sources[kColorSetSize];
    int sourceCount;
    RingShape shape;
    MaskCache rings;  // by place in the cycle, shared by every source
};

PingState state;

// The rings at cycle position t in [0, 1): grown to t of the full size and
// faded by t, drawn at four times the size and reduced.
HGLOBAL MakeRings(const RingShape& shape, float t) {
    const LONG s = shape.size;
    const int pen = 4 * shape.thickness;
    const int gap = 8 * shape.thickness;
    HGLOBAL large;
    {
        SurfaceGuard surface;
        if (!surface.Open(4 * s, 4 * s)) return nullptr;
        const double r = 4.0 * s * 0.5 * t;
        RECT box{static_cast<LONG>(2 * s - r), static_cast<LONG>(2 * s - r), static_cast<LONG>(2 * s + r),
                 static_cast<LONG>(2 * s + r)};
        int n = ((box.right - box.left) / 2) / gap;
        float q;
        if (n < 1) {
            n = 1;
            q = t * 0.5f;
        } else {
            q = (t / static_cast<float>(n)) * 0.5f;
        }
        Selection hollow(surface.dc(), GetStockObject(NULL_BRUSH));
        float u = t;
        for (int i = 0; i < n; ++i) {
            const float level = u < 0.0f ? 0.0f : u > 1.0f ? 1.0f : u;
            const int grey = static_cast<int>((1.0f - level) * static_cast<float>(shape.opacity)) & 0xFF;
            GdiObject ring(CreatePen(PS_INSIDEFRAME, pen, RGB(grey, grey, grey)));
            if (!ring) return nullptr;
            Selection selected(surface.dc(), ring.get());
            Ellipse(surface.dc(), box.left, box.top, box.right, box.bottom);
            InflateRect(&box, -gap, -gap);
            u += q;
        }
        large = surface.Take();
    }
    GlobalBlock reduced(ReduceDrawing(large));
    if (!reduced || shape.softness < 1) return reduced.release();
    return GaussianBlurDib(reduced.get(), 0, shape.softness + 2);
}

HGLOBAL MakeRingsAt(const void* argument, int position) {
    const auto& shape = *static_cast<const RingShape*>(argument);
    return MakeRings(shape, static_cast<float>(position) / static_cast<float>(shape.frames));
}

void FreePing(BuildContext*) {
    CloseMaskCache(state.rings);
    state = PingState{};
}

int InitialisePing(BuildContext* context, LONG width, LONG height) {
    HWND page = context->page;
    state.width = width;
    state.height = height;
    state.frames = ReadPageInt(page, kFramesField);
    const int thickness = ReadPageInt(page, kThicknessField);
    state.size = PingRingSetSize(ReadPageInt(page, kSizeField), thickness);
    state.wrap = ReadPageCheck(page, kWrapBox);
    state.shape = RingShape{state.size, thickness, ReadPageInt(page, kOpacityField), ReadPageInt(page, kSoftnessField),
                            state.frames};
    const bool random = ReadPageCheck(page, kRandomBox);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    state.colours = ReadColorSet(page, kColours);
    state.sourceCount = state.colours.count;
    if (!OpenMaskCache(state.rings, state.frames)) {
        FreePing(context);
        return 0;
    }
    const bool preview = (context->flags & kPreviewFlag) != 0;
    if (preview) state.frameIndex = 3 * state.frames / 4;
    HWND markers = FindMarkerWindow(page, kPingMarkers);
    int previous = -1;
    for (int k = 0; k < state.sourceCount; ++k) {
        POINT centre;
        if (!GetMarkerPosition(markers, k, width, height, &centre)) {
            FreePing(context);
            return 0;
        }
        PingSource& source = state.sources[k];
        source.x = centre.x - state.size / 2;
        source.y = centre.y - state.size / 2;
        source.size = state.size;
        source.thickness = thickness;
        source.opacity = state.shape.opacity;
        source.softness = state.shape.softness;
        if (preview) source.phase = state.frameIndex;
        else if (random) source.phase = crt::rand() % state.frames;
        source.colour = random ? PickColour(state.colours, previous) : state.colours.colours[k];
    }
    return 1;
}

HGLOBAL RenderPing(BuildContext*, int) {
    GlobalBlock frame(GetSourceImageCopy());
    GlobalLockGuard<BYTE> pixels(frame.get());
    if (!pixels) return nullptr;
    for (int k = 0; k < state.sourceCount; ++k) {
        PingSource& source = state.sources[k];
        bool temporary = false;
        HGLOBAL mask = CachedMask(state.rings, (source.phase + source.counter) % state.frames, MakeRingsAt,
                                  &state.shape, &temporary);
        if (!mask) return nullptr;
        GlobalBlock owned(temporary ? mask : nullptr);
        {
            GlobalLockGuard<BYTE> coverage(mask);
            if (!coverage) return nullptr;
            BlendColourThroughMask(pixels.get(), coverage.get(), source.x, source.y, source.colour, 255,
                                   state.wrap ? kBlendWrap : 0);
        }
        ++source.counter;
    }
    return frame.release();
}

int PingPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kPingMarkers); }

}  // namespace

int PingRingSetSize(int size, int thickness) {
    const int gap = 8 * thickness;
    return (size + gap - 1) / gap * gap;
}

constexpr EffectBody PingBody{&state, sizeof(PingState), InitialisePing, RenderPing, FreePing, kDelayField,
                              kFramesField};

const EffectOperations PingOperations{PreviewWith<PingBody>, BuildWith<PingBody>, DefaultBackgroundColour,
                                      PingPageEvent};
