// Stars: five-pointed stars falling and swaying over the picture like snow.
#include <windows.h>

#include <cmath>
#include <iterator>

#include "effects/effect_bodies.h"
#include "effects/falling.h"
#include "effects/shape_mask.h"
#include "image/filters.h"
#include "luma/crt.h"

namespace {

constexpr int kDelayControl = 365;
constexpr int kFramesControl = 341;
constexpr int kVariableControl = 367;
constexpr ScatterControls kControls{.opacity = 339,
                                    .frames = kFramesControl,
                                    .drift = 343,
                                    .size = 345,
                                    .density = 347,
                                    .seed = 349,
                                    .colours = {{351, 353, 355, 357, 359}, {361, 362, 363, 364}},
                                    .shadowOpacity = 368,
                                    .shadowOffset = 370,
                                    .shadowSoft = 372};

// With Variable sizes, star i is drawn at entry i mod 5 of Size.
constexpr int kSizePercents[] = {100, 90, 75, 60, 50};

FallingState starsState;

// The star, tip up, on a side x side surface: a pentagram whose radius is
// 0.6 of the side, so its upper, left and right tips are cut off at the
// edges. The winding rule fills the pentagon in the middle as well.
bool DrawStar(HDC dc, LONG side, BYTE grey) {
    GdiObject brush(CreateSolidBrush(RGB(grey, grey, grey)));
    if (!brush) return false;
    Selection pen(dc, GetStockObject(NULL_PEN)), selected(dc, brush.get());
    SetPolyFillMode(dc, WINDING);
    const LONG cx = side / 2, cy = side / 2;
    const float r = static_cast<float>(0.6 * side);
    auto offset = [r](double factor) { return static_cast<LONG>(r * factor); };
    const POINT points[] = {
        {cx, cy - static_cast<LONG>(r)},
        {cx - offset(-0.58779), cy - offset(-0.80902)},
        {cx - offset(0.95106), cy - offset(0.30902)},
        {cx - offset(-0.95106), cy - offset(0.30902)},
        {cx - offset(0.58779), cy - offset(-0.80902)},
    };
    Polygon(dc, points, static_cast<int>(std::size(points)));
    return true;
}

HGLOBAL StarMask(LONG size, BYTE grey) {
    return ShapeMask(size, [grey](HDC dc, LONG side) { return DrawStar(dc, side, grey); });
}

// The shadow is a star in the shadow's own grey, moved and blurred. When the
// move cannot be made the initialisation fails rather than keep the grey
// star unmoved: equal settings must give equal frames.
HGLOBAL StarShadow(LONG size, const ShadowSettings& shadow) {
    GlobalBlock grey(StarMask(size, static_cast<BYTE>(shadow.opacity)));
    return grey ? MakeShadowMask(grey.get(), shadow.offset, shadow.soft, 0, 255) : nullptr;
}

int StarsInitialise(BuildContext* context, LONG width, LONG height) {
    auto& state = *static_cast<FallingState*>(context->state);
    if (width < 1 || height < 1) return 0;
    const ScatterPage page = ReadScatterPage(context->page, kControls, state.run);
    const bool variable = ReadPageCheck(context->page, kVariableControl);

    ScatterGuard guard(state);
    if (!StartScatter(state, page.density)) return 0;
    int previousColour = -1;
    for (int i = 0; i < page.density; ++i) {
        FallingElement& star = state.elements[i];
        star.x0 = crt::rand() % width;
        star.y0 = crt::rand() % height;
        star.phase = star.startPhase = static_cast<float>(crt::rand() % 360);
        star.colour = PickColour(state.run.colours, previousColour);
        star.size = page.size;
        star.speed = SpeedClass(i);
        star.opacity = page.opacity;
        const int percent = variable ? kSizePercents[i % std::size(kSizePercents)] : 100;
        const LONG starSize = percent * page.size / 100;
        star.mask = StarMask(starSize, 255);
        if (!star.mask) return 0;
        if (page.shadow.opacity > 0) {
            star.shadow = StarShadow(starSize, page.shadow);
            if (!star.shadow) return 0;
        }
    }
    guard.Keep();
    return 1;
}

}  // namespace

constexpr EffectBody StarsBody{&starsState,     sizeof starsState, StarsInitialise, RenderFallingFrame,
                               FreeFallingState, kDelayControl,     kFramesControl};

const EffectOperations StarsOperations = CommonOperations<StarsBody>();
