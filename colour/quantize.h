// Building one palette from all frames of a build, and completing it.
#pragma once

#include <windows.h>

#include "effects/frame_list.h"

// Reads the 24-bit images of the list in order and writes at most
// *maxColours (0 or above 256: 256) triplets into palette (768 bytes,
// cleared first): the frames' own colours in order of first appearance when
// there are no more than that, else an octree reduction. *maxColours becomes
// the number of entries. Returns 1, or 0 when memory fails (nothing changed
// then but the cleared palette).
int BuildFramePalette(int* maxColours, BYTE* palette, const FrameList& frames);

// Puts a colour (0x00BBGGRR) into a palette of *count entries: appended when
// there are fewer than 254, else over the entry FindNearestColour picks.
void PutBackgroundColour(BYTE* palette, int* count, COLORREF colour);

// Reorders the entries by ascending luminance; equal luminances keep their order.
void SortPaletteByLuminance(BYTE* palette, int count);

// Bits per pixel for n palette entries: 1, 2, 3, 4, 5, 6, 7 or 8, 24 beyond 256.
int DepthForColourCount(int n);
