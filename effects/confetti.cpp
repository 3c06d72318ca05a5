// Confetti: small round dots falling and swaying over the picture.
#include <windows.h>

#include <algorithm>

#include "effects/effect_bodies.h"
#include "effects/falling.h"
#include "effects/shape_mask.h"
#include "luma/crt.h"

namespace {

constexpr int kDelayControl = 434;
constexpr int kFramesControl = 410;
constexpr ScatterControls kControls{.opacity = 408,
                                    .frames = kFramesControl,
                                    .drift = 412,
                                    .size = 414,
                                    .density = 416,
                                    .seed = 418,
                                    .colours = {{420, 422, 424, 426, 428}, {430, 431, 432, 433}}};

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
    const ScatterPage page = ReadScatterPage(context->page, kControls, state.run);

    ScatterGuard guard(state);
    if (!StartScatter(state, page.density)) return 0;
    int previousColour = -1;
    for (int i = 0; i < page.density; ++i) {
        FallingElement& dot = state.elements[i];
        dot.x0 = crt::rand() % width;
        dot.y0 = crt::rand() % height;
        crt::rand();
        dot.size = page.size - crt::rand() % std::max(page.size / 9, 1);
        dot.speed = SpeedClass(i);
        dot.phase = dot.startPhase = static_cast<float>(crt::rand() % 360);
        dot.opacity = page.opacity;
        dot.colour = PickColour(state.run.colours, previousColour);
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
