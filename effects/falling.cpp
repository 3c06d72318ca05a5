#include "effects/falling.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

HGLOBAL RenderFallingFrame(BuildContext* context, int frame) {
    FallingState& state = *static_cast<FallingState*>(context->state);
    const ScatterRun& run = state.run;
    FrameCanvas canvas(state.source, state.run, frame);
    if (!canvas) return nullptr;
    const double amplitude = std::trunc(-run.drift * static_cast<double>(run.width) / 100);
    const LONG fall = static_cast<LONG>(static_cast<float>(frame) / static_cast<float>(run.frames) *
                                        static_cast<float>(run.height));
    const double step = 360 * (1.0 / run.frames);
    for (int i = 0; i < state.count; ++i) {
        FallingElement& element = state.elements[i];
        if (frame % run.frames == 0) element.phase = element.startPhase;
        const LONG x = element.x0 - static_cast<LONG>(std::sin(element.phase * kPi / 180) * amplitude);
        const LONG y = fall * element.speed + element.y0 - run.height;
        const LONG half = element.size / 2;
        if (!DrawMaskedElement(canvas.pixels(), element.mask, element.shadow, x - half, y + 1 - half, element.colour,
                               element.opacity))
            return nullptr;
        element.phase = static_cast<float>(element.phase + step);
    }
    return canvas.Take();
}

void FreeFallingState(BuildContext* context) { FreeScatter(*static_cast<FallingState*>(context->state)); }
