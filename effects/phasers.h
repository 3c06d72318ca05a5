// Phasers on Stun: beams of coloured light flash across the picture, each
// at full brightness for one frame and fading over the next three.
#pragma once

#include <windows.h>

#include <cstdint>

#include "effects/elements.h"
#include "image/drawing_surface.h"

enum PhaserKind : std::int32_t {
    kEastToSouth = 0,
    kWestToSouth = 1,
    kHorizontalBeam = 2,
    kVerticalBeam = 3,
};

// One showing of a beam: the beam itself or one of its three fading echoes.
struct PhaserBeam {
    std::int32_t x1, y1, x2, y2;
    std::int32_t x3, y3, x4, y4;  // the partner line of a diagonal beam
    std::int32_t paired;
    std::int32_t kind;
    std::int32_t level;  // 255, 192, 128 or 64
    COLORREF color;
    std::int32_t frame;  // the frame that shows this entry
    std::int32_t power;
};

struct PhasersState {
    LONG width;
    LONG height;
    int frame;
    int frames;
    ColorSet colours;
    std::int32_t kinds[4];
    int kindCount;
    HGLOBAL beamBlock;  // fixed, zero-filled: room for four entries per beam
    int beamCount;
    DrawingSurface surface;  // twice the picture's size, open for the whole build

    PhaserBeam* beams() const { return static_cast<PhaserBeam*>(beamBlock); }
};

// The coverage of one entry: drawn with a pen of the entry's grey level on
// the open surface of twice the picture's size, which it clears first, and
// reduced by half to the picture's size. None when memory fails.
HGLOBAL PhaserBeamMask(DrawingSurface& surface, const PhaserBeam& beam);
