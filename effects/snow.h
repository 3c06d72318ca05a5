// Snow's per-build state, open to tests that check its flakes.
#pragma once

#include <windows.h>

#include "effects/elements.h"

struct SnowFlake {
    INT x0, y0;  // home of the flake's centre
    INT size;
    INT speed;
    INT opacity;
    float phase;  // sway phase in degrees
    COLORREF color;
    HGLOBAL mask;    // white-on-black coverage of the crystal
    HGLOBAL shadow;  // drop-shadow mask, or none
};

struct SnowState {
    INT width, height;
    INT frame;
    INT frames;
    INT size;
    INT drift;
    ColorSet colors;
    SnowFlake* flakes;  // zero-filled fixed global block
    INT flakeCount;
};

// The coverage mask of a new crystal of size x size pixels, drawn with the
// next random numbers. None when memory fails.
HGLOBAL MakeSnowCrystal(int size);
