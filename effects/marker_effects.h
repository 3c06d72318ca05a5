// The sums of the marker effects that their pages' numbers decide, exposed
// so their stated values can be checked on their own.
#pragma once

#include <windows.h>

// Skip Intro: the spoke pen's width on the wheel drawn at four times its
// size: 15 % of the spoke step in degrees, times 4, within 4..40.
int SkipIntroPenWidth(int spokes);

// Ping: Size rounded up to a whole number of ring gaps (8 x Thickness).
int PingRingSetSize(int size, int thickness);

// Sparkle: frames of growing, holding and shrinking for Frames frames and
// the growing and shrinking percentages.
struct SparklePhases {
    int growing, holding, shrinking;
};
SparklePhases SparklePhaseLengths(int frames, DWORD percentGrowing, DWORD percentShrinking);

// Rain: the most frames a build makes, still water or not.
inline constexpr int kRainMaximumFrames = 1000;

// Rain: a picture colour under light level s, each channel OR s.
DWORD RainLitColour(COLORREF colour, int light);
