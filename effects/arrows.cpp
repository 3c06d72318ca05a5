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

constexpr int kOpacityControl = 738;
constexpr int kFramesControl = 740;
constexpr int kDriftControl = 742;
constexpr int kSizeControl = 744;
constexpr int kDensityControl = 746;
constexpr int kSeedControl = 748;
constexpr int kDelayControl = 764;
constexpr int kShadowOpacityControl = 766;
constexpr int kShadowOffsetControl = 768;
constexpr int kShadowSoftControl = 770;
constexpr ColorSetControls kColourControls{{750, 752, 754, 756, 758}, {760, 761, 762, 763}};
// The direction boxes top, left, bottom and right, giving codes 0 to 3.
constexpr int kDirectionControls[] = {772, 773, 774, 775};

constexpr double kPi = 3.141592653589793;

ArrowsState arrowsState;

// An arrow pointing up on a side x side surface, turned about the middle for
// the other directions: a head of half-width side / 4, a shaft of half-width
// side / 10.
bool DrawArrow(HDC dc, LONG side, int direction) {
    const LONG c = side / 2, q = c / 2, w = c / 5, b = side;
    POINT points[] = {{c, 0}, {c + q, q}, {c + w, q}, {c + w, b}, {c - w, b}, {c - w, q}, {c - q, q}};
    if (direction != kArrowUp) {
        // Quarter turns clockwise on the screen: left is three of them.
        static constexpr int kDegrees[] = {0, 270, 180, 90};
        const float angle = static_cast<float>(kDegrees[direction]) * 0.01745328f;
        const float cosine = std::cos(angle), sine = std::sin(angle);
        const LONG cx = c, cy = b / 2;
        for (POINT& point : points) {
            const float dx = static_cast<float>(point.x - cx), dy = static_cast<float>(point.y - cy);
            point = POINT{static_cast<LONG>(dx * cosine - dy * sine) + cx, static_cast<LONG>(dx * sine + dy * cosine) + cy};
        }
    }
    Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(WHITE_BRUSH));
    Polygon(dc, points, static_cast<int>(std::size(points)));
    return true;
}

HGLOBAL ArrowMask(LONG size, int direction) {
    return ShapeMask(size, [direction](HDC dc, LONG side) { return DrawArrow(dc, side, direction); });
}

int ArrowsInitialise(BuildContext* context, LONG width, LONG height) {
    auto& state = *static_cast<ArrowsState*>(context->state);
    if (width < 1 || height < 1) return 0;
    const HWND page = context->page;
    const int opacity = ReadPageInt(page, kOpacityControl);
    const int size = ReadPageInt(page, kSizeControl);
    const int density = ReadPageInt(page, kDensityControl);
    const ShadowSettings shadow{ReadPageInt(page, kShadowOpacityControl), ReadPageInt(page, kShadowOffsetControl),
                                ReadPageInt(page, kShadowSoftControl)};
    state.frames = ReadPageInt(page, kFramesControl);
    state.drift = ReadPageInt(page, kDriftControl);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedControl)));
    state.colours = ReadColorSet(page, kColourControls);
    state.directionCount = 0;
    for (int code = kArrowUp; code <= kArrowRight; ++code)
        if (ReadPageCheck(page, kDirectionControls[code])) state.directions[state.directionCount++] = code;
    if (state.directionCount == 0) state.directions[state.directionCount++] = kArrowLeft;

    ScatterGuard guard(state.scatter);
    if (!StartScatter(state.scatter, density)) return 0;
    const int jitter = std::max(1, size / 9);
    int previousColour = -1, previousDirection = -1;
    for (int k = 0; k < density; ++k) {
        ArrowSprite& arrow = state.scatter.elements[k];
        arrow.x = crt::rand() % width;
        arrow.y = crt::rand() % height;
        arrow.size = size - crt::rand() % jitter;
        arrow.speed = SpeedClass(k);
        arrow.phase = arrow.startPhase = static_cast<float>(crt::rand() % 360);
        arrow.opacity = opacity;
        arrow.colour = PickColour(state.colours, previousColour);
        arrow.direction = state.directions[PickIndexWithoutRepeat(state.directionCount, previousDirection)];
        arrow.mask = ArrowMask(arrow.size, arrow.direction);
        if (!arrow.mask || !MakeDropShadow(arrow.mask, shadow, &arrow.shadow)) return 0;
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
    auto& state = *static_cast<ArrowsState*>(context->state);
    FrameCanvas canvas(state.scatter.source);
    if (!canvas || state.frames < 1) return nullptr;
    const LONG width = canvas.width(), height = canvas.height();
    state.width = width;
    state.height = height;
    state.frame = frame;
    const float progress = static_cast<float>(frame) / static_cast<float>(state.frames);
    const double amplitude = std::trunc(state.drift / 100.0 * width);
    for (int k = 0; k < state.scatter.count; ++k) {
        ArrowSprite& arrow = state.scatter.elements[k];
        // Each turn of the sway starts again from the start phase, so frame
        // Frames is exactly frame 0.
        if (frame % state.frames == 0) arrow.phase = arrow.startPhase;
        const POINT offset = ArrowOffset(arrow, width, height, progress, amplitude);
        const LONG half = arrow.size / 2;
        if (!DrawMaskedElement(canvas.pixels(), arrow.mask, arrow.shadow, arrow.x + offset.x - half,
                               arrow.y + offset.y - half, arrow.colour, arrow.opacity))
            return nullptr;
        arrow.phase = static_cast<float>(arrow.phase + 360.0 / state.frames);
    }
    return canvas.Take();
}

void ArrowsFreeState(BuildContext* context) { FreeScatter(static_cast<ArrowsState*>(context->state)->scatter); }

}  // namespace

constexpr EffectBody ArrowsBody{&arrowsState,     sizeof arrowsState, ArrowsInitialise, ArrowsRenderFrame,
                                ArrowsFreeState, kDelayControl,      kFramesControl};

const EffectOperations ArrowsOperations = CommonOperations<ArrowsBody>();
