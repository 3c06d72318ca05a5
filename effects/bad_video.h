// Bad Video's monitor: the body drawn round the picture, with its light rims
// and dark outer edge, and the mask of where it covers the picture.
#pragma once

#include <windows.h>

// Monitor types, as the page's list orders them.
enum BadVideoMonitor : int {
    kNoMonitor = 0,
    kRetroMonitor = 1,
    kStudioMonitor = 2,
    kFlatScreenMonitor = 3,
};

// The monitor colour scaled by factor, each channel truncated; a lightened
// colour that overflows is lowered as a whole by its largest excess, so it
// keeps its hue instead of turning white.
COLORREF MonitorShade(COLORREF colour, double factor);

// The monitor of type round a width x height picture: a 24-bit overlay and
// an 8-bit mask (255 where the body covers the picture). For kNoMonitor both
// stay null and the answer is true. False when memory fails, with nothing
// left behind.
bool MakeMonitor(int type, LONG width, LONG height, COLORREF colour, HGLOBAL* overlay, HGLOBAL* mask);
