// The motion Stars and Confetti share with Snow: elements fall at one of
// three speeds and sway sideways on a sine curve, both wrapping round the
// picture, so that over Frames frames every element comes back to where it
// started.
#pragma once

#include <windows.h>

#include "effects/framework.h"
#include "effects/scatter.h"

struct FallingElement {
    LONG x0, y0;  // home position of the centre
    LONG size;    // the size the corner is placed by
    int speed;    // 1, 2 or 4
    int opacity;
    float phase;       // sway phase, degrees
    float startPhase;  // the phase of frame 0
    COLORREF colour;
    HGLOBAL mask;
    HGLOBAL shadow;  // or none
};

using FallingState = Scatter<FallingElement>;

// The RenderFrame and FreeState steps of a body whose state is a
// FallingState. Frame `frame` of Frames has every element drawn at its place
// in that frame on a copy of the picture; each element's phase then moves on
// by one frame's share of the turn, so frames are rendered in order. Every
// Frames frames the turn starts again from the start phase, so frame Frames
// is exactly frame 0 where the added steps and the sine's rounding would
// leave an element a pixel aside. None when memory fails.
HGLOBAL RenderFallingFrame(BuildContext* context, int frame);
void FreeFallingState(BuildContext* context);
