// Colour measures shared by the palette builder, the remapper and the
// dithering: luminance and the nearest palette entry.
#pragma once

#include <windows.h>

// 77 r / 255 + 150 g / 255 + 28 b / 255, each quotient truncated: 0..255.
inline int Luminance(int red, int green, int blue) {
    return 77 * red / 255 + 150 * green / 255 + 28 * blue / 255;
}

// Weighted squared distance between two colours: 3 dr² + 4 dg² + 2 db².
inline int ColourDistance(int dr, int dg, int db) { return 3 * dr * dr + 4 * dg * dg + 2 * db * db; }

// Index of the first of the count palette triplets equal to the colour, else
// of the nearest by ColourDistance, the lowest index winning ties; 0 when
// count is below 1. At most 256 entries are searched.
int FindNearestColour(int red, int green, int blue, const BYTE* palette, int count);
