// The built-in palettes a build can reduce its frames to.
#pragma once

#include <windows.h>

// Names of the palettes the main dialog lists, in list order; the list
// position is the palette index.
inline constexpr int kFixedPaletteCount = 9;
extern const char* const kFixedPaletteNames[kFixedPaletteCount];

// The index of "256-color orthogonal", which stands in for every index this
// table does not know.
inline constexpr int kOrthogonalPalette = 6;

// Clears palette (768 bytes, may be null), writes the palette's entries as
// red, green, blue triplets from entry 0 and stores the frames' bits per
// pixel in bits (may be null). Returns the number of entries. Index 9 is the
// eight-colour palette of the primaries; any other unknown index gives
// "256-color orthogonal".
int BuildFixedPalette(BYTE* palette, int* bits, int index);
