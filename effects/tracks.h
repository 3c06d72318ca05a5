// Tracks' per-build state, for the effect and for tests that look into it.
#pragma once

#include <windows.h>

#include <cstdint>

// The "Mode:" list: columns slide in the first three, bands in the others.
enum TracksMode : int {
    kTracksSlideUp = 0,
    kTracksSlideDown = 1,
    kTracksSlideUpAndDown = 2,
    kTracksSlideLeft = 3,
    kTracksSlideRight = 4,
    kTracksSlideLeftAndRight = 5,
};

constexpr bool TracksColumnMode(int mode) { return mode <= kTracksSlideUpAndDown; }

struct TrackStrip {
    std::int32_t start;    // first column (column modes) or row (band modes)
    std::int32_t extent;   // columns or rows across
    std::int32_t counter;  // frames rendered for this strip
    std::int32_t speed;    // whole turns over the animation, signed: positive moves up or left
    std::int32_t mode;
    float shift;           // sum of the steps applied so far
    HGLOBAL image;         // the strip's current content
};

struct TracksState {
    std::int32_t width;
    std::int32_t height;
    std::int32_t time;   // frame being rendered
    std::int32_t total;  // frames over which every strip completes its turns
    std::int32_t count;
    TrackStrip* strips;  // fixed global block of count strips
};
