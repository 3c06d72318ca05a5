#include "effects/falling.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

HGLOBAL RenderFallingFrame(BuildContext* context, int frame) {
    FallingState& state = *static_cast<FallingState*>(context->state);
    FrameCanvas canvas(state.scatter.source);
    if (!canvas || state.frames < 1) return nullptr;
    const LONG width = canvas.width(), height = canvas.height();
    state.width = width;
    state.height = height;
    state.frame = frame;
    const double amplitude = std::trunc(-state.drift * static_cast<double>(width) / 100);
    const LONG fall = static_cast<LONG>(static_cast<float>(frame) / static_cast<float>(state.frames) *
                                        static_cast<float>(height));
    const double step = 360 * (1.0 / state.frames);
    for (int i = 0; i < state.scatter.count; ++i) {
        FallingElement& element = state.scatter.elements[i];
        if (frame % state.frames == 0) element.phase = element.startPhase;
        const LONG x = element.x0 - static_cast<LONG>(std::sin(element.phase * kPi / 180) * amplitude);
        const LONG y = fall * element.speed + element.y0 - height;
        const LONG half = element.size / 2;
        if (!DrawMaskedElement(canvas.pixels(), element.mask, element.shadow, x - half, y + 1 - half, element.colour,
                               element.opacity))
            return nullptr;
        element.phase = static_cast<float>(element.phase + step);
    }
    return canvas.Take();
}

void FreeFallingState(BuildContext* context) { FreeScatter(static_cast<FallingState*>(context->state)->scatter); }
