// Filters the effects compose their frames with: blur, drop-shadow masks,
// blending a colour through a coverage mask, alpha sprites, and HSV shading.
// A coverage value is the low byte of a pixel value.
#pragma once

#include <windows.h>

#include "plugin/guards.h"

inline constexpr int kBlurTaps = 9;
// Blend flag: target positions wrap round the picture's edges.
inline constexpr int kBlendWrap = 1;

// W single-precision weights summing to 1, three sub-samples each (a width
// below 1 counts as 3). The array holds the weights; false when memory fails.
bool MakeBlurKernel(int width, double deviation, HeapArray<float>& kernel);

// A new picture of the same size, depth and table, blurred with a kernel of
// min(9, width, height) taps and sigma = deviation / 10. The input is left
// holding the horizontally blurred pixels: callers treat it as consumed.
// The radius is accepted for callers' sake and not used. None when memory fails.
HGLOBAL GaussianBlurDib(HGLOBAL dib, int radius, int deviation);

// The drop shadow of a coverage mask: on a canvas larger by the margin, the
// mask moved right and down by offset, scaled by opacity / 255 and blurred by
// soft. None when memory fails.
HGLOBAL MakeShadowMask(HGLOBAL mask, int offset, int soft, int unused, int opacity);

// Moves each target pixel under the mask towards colour by the mask's
// coverage: clipped at the edges, or wrapped round them (kBlendWrap) with the
// coverage scaled by opacity.
void BlendColourThroughMask(void* target, const void* mask, LONG x, LONG y, COLORREF colour, int opacity,
                            int flags);

// A 32-bit picture of the colour picture's size whose alpha is the mask's
// coverage (0 where the mask does not reach). None when memory fails.
HGLOBAL MakeAlphaSprite(HGLOBAL colour, HGLOBAL mask);

// Draws a sprite by its per-pixel alpha with its top-left corner at (x, y).
void BlendAlphaSprite(void* target, const void* sprite, LONG x, LONG y, int flags);

struct HsvColour {
    double hue;  // degrees 0..360, -1 for black
    double saturation;
    double value;
};

HsvColour RgbToHsv(COLORREF colour);
COLORREF HsvToRgb(HsvColour hsv);
