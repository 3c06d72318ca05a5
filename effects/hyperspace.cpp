// Hyperspace.
#include "effects/hyperspace.h"

#include <algorithm>
#include <cmath>

#include "effects/effect_bodies.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelayField = 303;
constexpr int kOpacityField = 305;
constexpr int kFramesField = 307;
constexpr int kScrollPad = 309;
constexpr int kSeedField = 311;
constexpr int kDensityField = 313;
constexpr ColorSetControls kStarColours{{315, 317, 319, 321, 323}, {325, 326, 327, 328}};

constexpr std::int32_t kLayerSizes[kHyperspaceLayers] = {4, 2, 1};
constexpr std::int32_t kLayerSpeeds[kHyperspaceLayers] = {1, 2, 4};
constexpr int kTailPerSize = 20;

HyperspaceState hyperspaceState;

// Moves one channel towards the star colour by weight a.
BYTE Blend(unsigned channel, unsigned colour, unsigned a) {
    return static_cast<BYTE>(channel * (255 - a) / 255 + colour * a / 255);
}

void BlendPixel(void* picture, LONG x, LONG y, COLORREF colour, int a) {
    const DWORD pixel = GetDibPixel(picture, x, y);
    if (pixel == kNoPixel) return;
    const unsigned weight = static_cast<unsigned>(a);
    SetDibPixel(picture, x, y,
                RGB(Blend(GetRValue(pixel), GetRValue(colour), weight), Blend(GetGValue(pixel), GetGValue(colour), weight),
                    Blend(GetBValue(pixel), GetBValue(colour), weight)));
}

// The pad mirrors its cell as its text: 1 (right) for any nonzero value, 0
// when the pad holds none.
std::int32_t ScrollDirection(HWND page) { return ReadPageInt(page, kScrollPad) != 0 ? 1 : 0; }

int HyperspaceInitialise(BuildContext* context, LONG width, LONG height) {
    auto& s = *static_cast<HyperspaceState*>(context->state);
    const HWND page = context->page;
    s.width = width;
    s.height = height;
    s.frames = ReadPageInt(page, kFramesField);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    const std::int32_t direction = ScrollDirection(page);
    const int opacity = ReadPageInt(page, kOpacityField);
    const int density = ReadPageInt(page, kDensityField);
    s.colours = ReadColorSet(page, kStarColours);

    const int counts[kHyperspaceLayers] = {density / 2, (3 * density) / 4, density};
    const int levels[kHyperspaceLayers] = {opacity, (opacity * 160) / 255, (opacity * 128) / 255};
    const int total = counts[0] + counts[1] + counts[2];
    GlobalBlock block(GlobalAlloc(GPTR, sizeof(HyperspaceStar) * static_cast<std::size_t>(total)));
    if (!block) return 0;
    auto* stars = static_cast<HyperspaceStar*>(block.get());

    const double step = static_cast<double>(width) / s.frames;
    int previous = -1;
    int n = 0;
    for (int layer = 0; layer < kHyperspaceLayers; ++layer) {
        const std::int32_t size = kLayerSizes[layer];
        s.layerSizes[layer] = size;
        for (int i = 0; i < counts[layer]; ++i) {
            HyperspaceStar& star = stars[n++];
            // A picture no wider than the layer's stars leaves nothing to
            // draw from; the draw is still made and the star stands where
            // its half size falls inside the picture.
            star.x = (crt::rand() % std::max(width - size, 1) + size / 2) % width;
            star.y = crt::rand() % height;
            crt::rand();
            star.size = size - (crt::rand() % 1);
            star.step = step;
            star.speed = kLayerSpeeds[layer];
            star.level = levels[layer];
            star.direction = direction;
            star.color = PickColour(s.colours, previous);
        }
    }
    s.starBlock = block.release();
    s.starCount = total;
    return 1;
}

HGLOBAL HyperspaceRender(BuildContext* context, int) {
    auto& s = *static_cast<HyperspaceState*>(context->state);
    GlobalBlock picture(SourceCanvas(s.width, s.height));
    GlobalLockGuard<BYTE> target(picture.get());
    if (!target) return nullptr;
    for (int i = 0; i < s.starCount; ++i) {
        HyperspaceStar& star = s.stars()[i];
        DrawHyperspaceStar(target.get(), s.width, star);
        MoveHyperspaceStar(star, s.width);
    }
    return picture.release();
}

void HyperspaceFree(BuildContext* context) {
    auto& s = *static_cast<HyperspaceState*>(context->state);
    if (s.starBlock) GlobalFree(s.starBlock);
    s.starBlock = nullptr;
    s.starCount = 0;
}

}  // namespace

void DrawHyperspaceStar(void* picture, LONG width, const HyperspaceStar& star) {
    const int size = star.size;
    const int length = kTailPerSize * size;
    // A head that rounding put on the right edge belongs at the left one.
    LONG px = static_cast<LONG>(star.x) % width;
    const LONG py = static_cast<LONG>(star.y) - size / 2;
    for (int k = 0; k < length; ++k) {
        const double r = static_cast<double>(length - k) / length;
        const int level = star.level;
        BlendPixel(picture, px, py, star.color, static_cast<int>(level * r));
        if (size >= 2) BlendPixel(picture, px, py + 1, star.color, k == 0 ? 0 : static_cast<int>(level * 0.5 * r));
        if (size >= 4) {
            const int quarter = k == 0 ? 0 : static_cast<int>(level * 0.25 * r);
            BlendPixel(picture, px, py + 2, star.color, quarter);
            BlendPixel(picture, px, py - 1, star.color, quarter);
        }
        if (star.direction == 0)
            px = px + 1 == width ? 0 : px + 1;
        else
            px = px == 0 ? width - 1 : px - 1;
    }
}

void MoveHyperspaceStar(HyperspaceStar& star, LONG width) {
    const double distance = star.speed * star.step;
    // Short animations move the fast layers more than a width per frame:
    // wrapping repeats until the star is back on the picture.
    if (star.direction == 0) {
        star.x -= distance;
        while (star.x < 0) star.x = width - std::fabs(star.x);
    } else {
        star.x += distance;
        while (star.x >= width) star.x -= width;
    }
}

constexpr EffectBody HyperspaceBody{&hyperspaceState, sizeof hyperspaceState, HyperspaceInitialise, HyperspaceRender,
                                    HyperspaceFree, kDelayField, kFramesField};

const EffectOperations HyperspaceOperations = CommonOperations<HyperspaceBody>();
