// Arrows: flat arrows travelling the way they point, swaying sideways, with
// a soft drop shadow.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "effects/arrows.h"
#include "effects/effect_bodies.h"
#include "effects/shape_mask.h"
#include "luma/crt.h"

namespace {

constexpr int kDelayControl = 764;
constexpr int kFramesControl = 740;
constexpr ScatterControls kControls{.opacity = 738,
                                    .frames = kFramesControl,
                                    .drift = 742,
                                    .size = 744,
                                    .density = 746,
                                    .seed = 748,
                                    .colours = {{750, 752, 754, 756, 758}, {760, 761, 762, 763}},
                                    .shadowOpacity = 766,
                                    .shadowOffset = 768,
                                    .shadowSoft = 770};
// The direction boxes top, left, bottom and right, giving codes 0 to 3.
constexpr int kDirectionControls[] = {772, 773, 774, 775};

constexpr double kPi = 3.141592653589793;

ArrowsState arrowsState;

// Draws the arrow of ArrowOutline white, with no outline.
bool DrawArrow(HDC dc, LONG side, int direction) {
    POINT points[kArrowPoints];
    ArrowOutline(side, direction, points);
    Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(WHITE_BRUSH));
    Polygon(dc, points, kArrowPoints);
    return true;
}

HGLOBAL ArrowMask(LONG size, int direction) {
    return ShapeMask(size, [direction](HDC dc, LONG side) { return DrawArrow(dc, side, direction); });
}

int ArrowsInitialise(BuildContext* context, LONG width, LONG height) {
    auto& state = *static_cast<ArrowsState*>(context->state);
    if (width < 1 || height < 1) return 0;
    const ScatterPage page = ReadScatterPage(context->page, kControls, state.scatter.run);
    state.directionCount = 0;
    for (int code = kArrowUp; code <= kArrowRight; ++code)
        if (ReadPageCheck(context->page, kDirectionControls[code])) state.directions[state.directionCount++] = code;
    if (state.directionCount == 0) state.directions[state.directionCount++] = kArrowLeft;

    ScatterGuard guard(state.scatter);
    if (!StartScatter(state.scatter, page.density)) return 0;
    const int jitter = std::max(1, page.size / 9);
    int previousColour = -1, previousDirection = -1;
    for (int k = 0; k < page.density; ++k) {
        ArrowSprite& arrow = state.scatter.elements[k];
        arrow.x = crt::rand() % width;
        arrow.y = crt::rand() % height;
        arrow.size = page.size - crt::rand() % jitter;
        arrow.speed = SpeedClass(k);
        arrow.phase = arrow.startPhase = static_cast<float>(crt::rand() % 360);
        arrow.opacity = page.opacity;
        arrow.colour = PickColour(state.scatter.run.colours, previousColour);
        arrow.direction = state.directions[PickIndexWithoutRepeat(state.directionCount, previousDirection)];
        arrow.mask = ArrowMask(arrow.size, arrow.direction);
        if (!arrow.mask || !MakeDropShadow(arrow.mask, page.shadow, &arrow.shadow)) return 0;
    }
    guard.Keep();
    return 1;
}

// Where the travel along the arrow's direction and the sideways sway put it
// in a frame: the arrow covers speed picture lengths per animation, starting
// one pixel short of a whole length.
POINT ArrowOffset(const ArrowSprite& arrow, LONG width, LONG height, float progress, double amplitude) {
    const LONG sway = static_cast<LONG>(std::sin(arrow.phase * kPi / 180) * amplitude);
    const LONG down = static_cast<LONG>(static_cast<float>(height) * progress) * arrow.speed;
    const LONG across = static_cast<LONG>(static_cast<float>(width) * progress) * arrow.speed;
    switch (arrow.direction) {
    case kArrowUp: return POINT{sway, height - down - 1};
    case kArrowDown: return POINT{sway, down - height + 1};
    case kArrowLeft: return POINT{width - across - 1, sway};
    default: return POINT{across - width + 1, sway};
    }
}

HGLOBAL ArrowsRenderFrame(BuildContext* context, int frame) {
    Scatter<ArrowSprite>& arrows = static_cast<ArrowsState*>(context->state)->scatter;
    const ScatterRun& run = arrows.run;
    FrameCanvas canvas(arrows.source, arrows.run, frame);
    if (!canvas) return nullptr;
    const float progress = static_cast<float>(frame) / static_cast<float>(run.frames);
    const double amplitude = std::trunc(run.drift / 100.0 * run.width);
    for (int k = 0; k < arrows.count; ++k) {
        ArrowSprite& arrow = arrows.elements[k];
        // Each turn of the sway starts again from the start phase, so frame
        // Frames is exactly frame 0.
        if (frame % run.frames == 0) arrow.phase = arrow.startPhase;
        const POINT offset = ArrowOffset(arrow, run.width, run.height, progress, amplitude);
        const LONG half = arrow.size / 2;
        if (!DrawMaskedElement(canvas.pixels(), arrow.mask, arrow.shadow, arrow.x + offset.x - half,
                               arrow.y + offset.y - half, arrow.colour, arrow.opacity))
            return nullptr;
        arrow.phase = static_cast<float>(arrow.phase + 360.0 / run.frames);
    }
    return canvas.Take();
}

void ArrowsFreeState(BuildContext* context) { FreeScatter(static_cast<ArrowsState*>(context->state)->scatter); }

}  // namespace

void ArrowOutline(LONG side, int direction, POINT points[kArrowPoints]) {
    const LONG c = side / 2, q = c / 2, w = c / 5, b = side;
    const POINT up[kArrowPoints] = {{c, 0}, {c + q, q}, {c + w, q}, {c + w, b}, {c - w, b}, {c - w, q}, {c - q, q}};
    std::copy(std::begin(up), std::end(up), points);
    if (direction == kArrowUp) return;
    // Quarter turns clockwise on the screen: left is three of them. The
    // angle is single precision; its sine and cosine, and the turned
    // offsets, are double.
    static constexpr int kDegrees[] = {0, 270, 180, 90};
    const float angle = static_cast<float>(kDegrees[direction]) * 0.01745328f;
    const double cosine = std::cos(static_cast<double>(angle)), sine = std::sin(static_cast<double>(angle));
    const LONG cx = c, cy = b / 2;
    for (int i = 0; i < kArrowPoints; ++i) {
        const double dx = points[i].x - cx, dy = points[i].y - cy;
        points[i].x = static_cast<LONG>(dx * cosine - dy * sine) + cx;
        points[i].y = static_cast<LONG>(dx * sine + dy * cosine) + cy;
    }
}

constexpr EffectBody ArrowsBody{&arrowsState,     sizeof arrowsState, ArrowsInitialise, ArrowsRenderFrame,
                                ArrowsFreeState, kDelayControl,      kFramesControl};

const EffectOperations ArrowsOperations = CommonOperations<ArrowsBody>();
