// Bubbles: three layers of ring-shaded bubbles rising through the picture at
// one, two and four picture heights per animation, swaying sideways.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "effects/effect_bodies.h"
#include "effects/bubbles.h"
#include "effects/shaded_elements.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kOpacity = 219, kDelay = 217, kFrames = 221, kDrift = 223, kSize = 225, kDensity = 227, kSeed = 229,
              kInverse = 231, kSmooth = 246;
constexpr ColorSetControls kColours{{232, 234, 236, 238, 240}, {242, 243, 244, 245}};
constexpr double kPi = 3.141592653589793;

constexpr int kLayers = 3;
constexpr int kLayerSpeed[kLayers] = {1, 2, 4};
constexpr int kLayerLevel[kLayers] = {255, 160, 128};
// A bubble is up to Size / 9 - 1 pixels smaller than its layer's size; the
// largest Size on the page is 64.
constexpr int kSizeSteps = 64 / 9;

struct Bubble {
    int x0, y0;  // home of its centre
    int size;
    int speed;
    int level;  // grey level of its rings
    int opacity;
    int inverse;
    double phase;  // sway, degrees
    COLORREF color;
    int layer;
};

struct BubblesState {
    int frame;
    int width, height;
    int frames;
    int count;
    int layerSize[kLayers];
    ColorSet colours;
    Bubble* bubbles;  // in a fixed global block
    HGLOBAL source;   // the picture as a 24-bit drawing surface holds it
    // A bubble's mask depends only on its layer, size and the Smooth box, so
    // each is drawn once and kept while Smooth stays as it was.
    HGLOBAL masks[kLayers][kSizeSteps];
    int masksSmooth;
};

BubblesState bubblesState;

void FreeMasks(BubblesState& state) {
    for (auto& layer : state.masks)
        for (HGLOBAL& mask : layer)
            if (mask) GlobalFree(std::exchange(mask, nullptr));
}

void FreeBubbles(BuildContext* context) {
    auto* state = static_cast<BubblesState*>(context->state);
    FreeMasks(*state);
    if (state->bubbles) GlobalFree(state->bubbles);
    if (state->source) GlobalFree(state->source);
    *state = BubblesState{};
}

int InitialiseBubbles(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<BubblesState*>(context->state);
    HWND page = context->page;
    state->width = width;
    state->height = height;
    state->frames = ReadPageInt(page, kFrames);
    const int size = ReadPageInt(page, kSize);
    const int density = ReadPageInt(page, kDensity);
    const int opacity = ReadPageInt(page, kOpacity);
    const int inverse = ReadPageCheck(page, kInverse) ? 1 : 0;
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeed)));
    state->colours = ReadColorSet(page, kColours);
    state->layerSize[0] = size;
    state->layerSize[1] = (3 * size) / 4;
    state->layerSize[2] = size / 2;
    const int layerCount[kLayers] = {density / 2, (3 * density) / 4, density};
    state->count = layerCount[0] + layerCount[1] + layerCount[2];

    {
        GlobalBlock copy(GetSourceFrame(width, height));
        state->source = ToTrueColourDib(copy.get());
    }
    state->bubbles = static_cast<Bubble*>(GlobalAlloc(GPTR, sizeof(Bubble) * static_cast<std::size_t>(state->count)));
    if (!state->source || !state->bubbles) {
        FreeBubbles(context);
        return 0;
    }

    int previous = -1;
    Bubble* b = state->bubbles;
    for (int layer = 0; layer < kLayers; ++layer) {
        const int s = state->layerSize[layer];
        // A picture exactly as wide as the layer's bubbles has one place
        // for them: their centre at the middle.
        const int spread = width - s != 0 ? width - s : 1;
        for (int i = 0; i < layerCount[layer]; ++i, ++b) {
            b->layer = layer;
            b->speed = kLayerSpeed[layer];
            b->level = kLayerLevel[layer];
            b->x0 = crt::rand() % spread + s / 2;
            b->y0 = crt::rand() % height;
            crt::rand();
            b->size = s - crt::rand() % std::max(s / 9, 1);
            b->phase = crt::rand() % 360;
            b->opacity = opacity;
            b->inverse = inverse;
            b->color = PickColour(state->colours, previous);
        }
    }
    return 1;
}

HGLOBAL RenderBubbles(BuildContext* context, int frame) {
    auto* state = static_cast<BubblesState*>(context->state);
    state->frame = frame;
    const int drift = ReadPageInt(context->page, kDrift);
    const int smooth = ReadPageCheck(context->page, kSmooth) ? 1 : 0;
    if (smooth != state->masksSmooth) {
        FreeMasks(*state);
        state->masksSmooth = smooth;
    }
    const int k = smooth ? 4 : 2;
    const int amplitude = static_cast<int>(drift / -100.0 * state->width);
    const int rise = static_cast<int>(static_cast<double>(frame) / state->frames * state->height);

    GlobalBlock image(CopyGlobalBlock(state->source));
    GlobalLockGuard<BYTE> target(image.get());
    if (!target) return nullptr;
    for (int i = 0; i < state->count; ++i) {
        Bubble& b = state->bubbles[i];
        const int x = b.x0 - static_cast<int>(std::sin(b.phase * kPi / 180) * amplitude);
        const int y = b.y0 - rise * b.speed;
        const int step = state->layerSize[b.layer] - b.size;
        HGLOBAL& kept = state->masks[b.layer][step];
        GlobalBlock fresh;
        if (!kept) fresh.reset(MakeBubbleMask(b.size, b.level, b.inverse != 0, k));
        GlobalLockGuard<BYTE> mask(kept ? kept : fresh.get());
        if (!mask) return nullptr;
        BlendColourThroughMask(target.get(), mask.get(), x - b.size / 2, y - b.size / 2, b.color, b.opacity,
                               kBlendWrap);
        b.phase = b.phase + 1.0 / state->frames * 360;
        // Only a mask of the bubble's own size is kept; one left large
        // after a failed reduction serves this bubble alone.
        if (fresh) {
            GlobalLockGuard<BITMAPINFOHEADER> header(fresh.get());
            if (header && header->biWidth == b.size) kept = fresh.release();
        }
    }
    return image.release();
}

}  // namespace

HGLOBAL MakeBubbleMask(int size, int level, bool inverse, int k) {
    const LONG d = k * size;
    GlobalBlock large(DrawCoverage(d, d, [&](HDC dc) {
        const int r = d / 2;
        for (int i = 0; i < r; ++i) {
            const int t = static_cast<int>(static_cast<double>(i) / r * level);
            const BYTE g = static_cast<BYTE>(inverse ? t : 255 - t);
            SetDCBrushColor(dc, RGB(g, g, g));
            Ellipse(dc, i, i, d - i, d - i);
        }
    }));
    if (!large) return nullptr;
    HGLOBAL small = ScaleDibPercent(large.get(), 100 / k, 100 / k);
    return small ? small : large.release();
}

constexpr EffectBody BubblesBody{&bubblesState, sizeof bubblesState, InitialiseBubbles, RenderBubbles,
                                 FreeBubbles,   kDelay,              kFrames};

const EffectOperations BubblesOperations = CommonOperations<BubblesBody>();
