// Confetti: small round dots falling and swaying over the picture.
#include <windows.h>

#include <algorithm>

#include "effects/effect_bodies.h"
#include "effects/falling.h"
#include "effects/shape_mask.h"
#include "luma/crt.h"

namespace {

constexpr int kOpacityControl = 408;
constexpr int kFramesControl = 410;
constexpr int kDriftControl = 412;
constexpr int kSizeControl = 414;
constexpr int kDensityControl = 416;
constexpr int kSeedControl = 418;
constexpr int kDelayControl = 434;
constexpr ColorSetControls kColourControls{{420, 422, 424, 426, 428}, {430, 431, 432, 433}};

FallingState confettiState;

HGLOBAL DotMask(LONG size) {
    return ShapeMask(size, [](HDC dc, LONG side) {
        Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(WHITE_BRUSH));
        Ellipse(dc, 0, 0, side, side);
        return true;
    });
}

int ConfettiInitialise(BuildContext* context, LONG width, LONG height) {
    auto& state = *static_cast<FallingState*>(context->state);
    if (width < 1 || height < 1) return 0;
    const HWND page = context->page;
    const int opacity = ReadPageInt(page, kOpacityControl);
    const int size = ReadPageInt(page, kSizeControl);
    const int density = ReadPageInt(page, kDensityControl);
    state.frames = ReadPageInt(page, kFramesControl);
    state.drift = ReadPageInt(page, kDriftControl);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedControl)));
    state.colours = ReadColorSet(page, kColourControls);

    ScatterGuard guard(state.scatter);
    if (!StartScatter(state.scatter, density)) return 0;
    int previousColour = -1;
    for (int i = 0; i < density; ++i) {
        FallingElement& dot = state.scatter.elements[i];
        dot.x0 = crt::rand() % width;
        dot.y0 = crt::rand() % height;
        crt::rand();
        dot.size = size - crt::rand() % std::max(size / 9, 1);
        dot.speed = SpeedClass(i);
        dot.phase = dot.startPhase = static_cast<float>(crt::rand() % 360);
        dot.opacity = opacity;
        dot.colour = PickColour(state.colours, previousColour);
        dot.mask = DotMask(dot.size);
        if (!dot.mask) return 0;
    }
    guard.Keep();
    return 1;
}

}  // namespace

constexpr EffectBody ConfettiBody{&confettiState,     sizeof confettiState, ConfettiInitialise, RenderFallingFrame,
                                  FreeFallingState, kDelayControl,        kFramesControl};

const EffectOperations ConfettiOperations = CommonOperations<ConfettiBody>();
