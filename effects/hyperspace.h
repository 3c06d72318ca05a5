// Hyperspace: three layers of star streaks crossing the picture sideways,
// the slowest layer once per animation.
#pragma once

#include <windows.h>

#include <cstdint>

#include "effects/elements.h"

inline constexpr int kHyperspaceLayers = 3;

struct HyperspaceStar {
    double x, y;  // head position
    double step;  // the base distance per frame: width / Frames
    std::int32_t size;       // 4, 2 or 1 by layer
    std::int32_t speed;      // 1, 2 or 4 by layer
    std::int32_t level;      // head brightness
    std::int32_t direction;  // 0 travels left, 1 travels right
    COLORREF color;
};

struct HyperspaceState {
    LONG width;
    LONG height;
    int frames;
    std::int32_t layerSizes[kHyperspaceLayers];
    ColorSet colours;
    int starCount;
    HGLOBAL starBlock;  // fixed, zero-filled

    HyperspaceStar* stars() const { return static_cast<HyperspaceStar*>(starBlock); }
};

// Draws a star's streak on a locked 24-bit picture: 20 columns per pixel of
// size, fading from the head along the tail, which trails behind the star
// and wraps round the side edges.
void DrawHyperspaceStar(void* picture, LONG width, const HyperspaceStar& star);

// Moves a star by its speed times its step in its direction, wrapping round
// the picture's width.
void MoveHyperspaceStar(HyperspaceStar& star, LONG width);
