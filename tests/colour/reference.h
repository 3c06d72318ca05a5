// The colour operations written as plainly as they can be: every pixel
// through GetDibPixel and SetDibPixel, every search over the whole palette,
// the remap cache built whole. The fast code must give the same bytes.
#pragma once

#include <windows.h>

#include <cstddef>

#include "effects/frame_list.h"

namespace reference {

int FindNearestColour(int red, int green, int blue, const BYTE* palette, int count);
HGLOBAL RemapFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count, bool fastRemap);
HGLOBAL DitherFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count, bool fastRemap,
                    DWORD brightness, DWORD contrast);
HGLOBAL MaskBackgroundColour(HGLOBAL remapped, HGLOBAL source, COLORREF background, int index);

// Returns the number of entries.
int BuildFramePalette(int maxColours, BYTE* palette, const FrameList& frames);

// The octree alone, for a chosen depth and node limit.
struct OctreeOutcome {
    int entries;
    int depth;         // after any pruning
    double pixels;     // pixel count held by all nodes after classification
};
OctreeOutcome OctreePalette(const FrameList& frames, int depth, std::size_t nodeLimit, int maxColours,
                            BYTE* palette);

// Masks per frame in a new array the caller frees (index 0 stays none).
void MarkUnchangedPixels(const FrameList& frames, HGLOBAL* masks);
void ApplyChangeMask(HGLOBAL remapped, HGLOBAL mask, int spareIndex, COLORREF background);

}  // namespace reference
