// Arrows' per-build state: each arrow travels the way it points, a whole
// number of picture lengths per animation, and sways sideways.
#pragma once

#include <windows.h>

#include "effects/scatter.h"

// Direction codes, in the order of the page's direction boxes.
enum ArrowDirection { kArrowUp = 0, kArrowLeft = 1, kArrowDown = 2, kArrowRight = 3 };

struct ArrowSprite {
    LONG x, y;  // home position of the centre
    LONG size;
    int speed;    // 1, 2 or 4
    float phase;       // sway phase, degrees
    float startPhase;  // the phase of frame 0
    int opacity;
    COLORREF colour;
    int direction;
    HGLOBAL mask;
    HGLOBAL shadow;  // or none
};

// The arrow on a side x side surface as a polygon: pointing up, a head of
// half-width side / 4 and a shaft of half-width side / 10 reaching the bottom
// edge; turned about the middle for the other directions.
constexpr int kArrowPoints = 7;
void ArrowOutline(LONG side, int direction, POINT points[kArrowPoints]);

// Zeroed by the framework before each use.
struct ArrowsState {
    Scatter<ArrowSprite> scatter;
    int directions[4];  // the checked directions, in code order
    int directionCount;
};
