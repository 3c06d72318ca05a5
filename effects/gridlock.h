// Gridlock's bar sprite, for the tests that look at it.
#pragma once

#include <windows.h>

// A shaded rounded bar of width x height as a 32-bit sprite with alpha, made
// as a BallSprite is but with rounded-rectangle rings whose corners are the
// shorter side at four times the size; glare 0 leaves the glare spot out.
// None when memory fails.
HGLOBAL BarSprite(COLORREF colour, COLORREF shading, int glare, LONG width, LONG height);
