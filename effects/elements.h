// What the scattering effects share: the colour set from a page's colour
// buttons, the colour pick that avoids repeating the previous element's
// colour, speed classes, drop shadows and the mask blend, and shaded ball
// sprites.
#pragma once

#include <windows.h>

#include "image/drawing_surface.h"
#include "image/fills.h"

inline constexpr int kColorSetSize = 5;

// Color 1 and the enabled Colors 2 to 5, packed without gaps.
struct ColorSet {
    COLORREF colours[kColorSetSize];
    int count;  // 1..5
};

// The set from Color 1, Colors 2 to 5 and their Enable boxes, in page order.
ColorSet MakeColorSet(COLORREF colour1, const COLORREF (&others)[4], const bool (&enabled)[4]);

// A page's colour buttons Color 1 to 5 and Enable boxes 2 to 5.
struct ColorSetControls {
    int colour[kColorSetSize];
    int enable[kColorSetSize - 1];
};

// The set as the page shows it; an indeterminate Enable box counts as clear.
ColorSet ReadColorSet(HWND page, const ColorSetControls& ids);

// An index 0..count-1 that differs from previous where the random numbers
// allow: rand() mod count, drawn up to 16 times until it differs (the 16th
// draw is kept even if it does not). One choice draws nothing. previous,
// -1 before the first element, becomes the chosen index. Effects use it for
// colours and for any other list they pick from this way.
int PickIndexWithoutRepeat(int count, int& previous);

// The pick applied to a colour set.
COLORREF PickColour(const ColorSet& colours, int& previous);

// Element i's speed multiplier, 1, 2 or 4 by i mod 3: elements that move
// whole picture sizes per animation still close the loop.
int SpeedClass(int index);

// The page's Shadow opacity, Shadow offset and Shadow soft.
struct ShadowSettings {
    int opacity;
    int offset;
    int soft;
};

// The drop shadow of an element's coverage mask: with opacity above 0 a new
// shadow mask (the mask moved right and down by the offset, scaled by the
// opacity and blurred by the softness) in *shadow; with none, *shadow is
// null. False when memory fails.
bool MakeDropShadow(HGLOBAL mask, const ShadowSettings& settings, HGLOBAL* shadow);

// Draws an element on a locked frame with its top-left corner at (x, y),
// wrapping round the picture's edges: its shadow (when it has one) in black,
// then its mask in its colour, both with the element's opacity.
void DrawElement(void* frame, const void* mask, const void* shadow, LONG x, LONG y, COLORREF colour, int opacity);

// The rim colour of a shaded element: colour with its HSV value lowered by
// shading / 100.
COLORREF ShadingColour(COLORREF colour, int shading);

// The fill lightening a shaded sprite's glare spot of strength glare 1..255.
FillRecord GlareFillRecord(int glare);

// The glare step of shaded sprites drawn at four times their size m (the
// shorter side): a spot of max(2m / 5, 8) pixels with its top-left corner at
// (x, y) lightens the open surface, each channel moving towards white by the
// spot's level. False when memory fails.
bool ApplyGlare(DrawingSurface& surface, int glare, LONG m, LONG x, LONG y);

// A shaded ball of width x height as a 32-bit PackedDib with per-pixel
// alpha (255 inside the ball, 0 outside): rings from the shading colour at
// the rim to the base colour in the middle, a glare spot above the centre
// when glare is above 0. Effects pass the base colour as the background.
// None when memory fails or the size is not positive.
HGLOBAL BallSprite(COLORREF colour, COLORREF background, COLORREF shading, int glare, LONG width, LONG height);
