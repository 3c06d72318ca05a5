// Shape and fountain fills: a rectangle painted with a colour gradient as a
// 24-bit PackedDib. Four shapes (linear bands at an angle, concentric
// ellipses, concentric rectangles, a conical sweep) take their colours from
// a two-colour ramp with edge and midpoint, or from a fountain of stops.
#pragma once

#include <windows.h>

#include <bit>
#include <cstddef>

#include "plugin/guards.h"

inline constexpr int kMaxFountainStops = 64;
inline constexpr DWORD kFountainVersion = 0x04000001;
// Fountain flag: the last segment runs back to the start colour.
inline constexpr DWORD kFountainReturns = 0x2;

static_assert(std::endian::native == std::endian::little, "fountain definitions are stored little-endian");

// A fountain as it is stored and exchanged, byte for byte.
#pragma pack(push, 1)
struct FountainDefinition {
    char magic[8];  // "VELLFOUN", no terminator
    DWORD version;  // kFountainVersion
    DWORD size;     // sizeof(FountainDefinition)
    DWORD flags;
    BYTE name[269];  // zero when made by a fill, never read
    DWORD stopCount;  // at most kMaxFountainStops are used
    DWORD startColour;
    DWORD endColour;
    DWORD stops[kMaxFountainStops];  // low 24 bits colour, top byte position 0..255 along the fill
    BYTE reserved[28];
};
#pragma pack(pop)

static_assert(sizeof(FountainDefinition) == 585);
static_assert(offsetof(FountainDefinition, version) == 8 && offsetof(FountainDefinition, size) == 12 &&
              offsetof(FountainDefinition, flags) == 16 && offsetof(FountainDefinition, name) == 20 &&
              offsetof(FountainDefinition, stopCount) == 289 && offsetof(FountainDefinition, startColour) == 293 &&
              offsetof(FountainDefinition, endColour) == 297 && offsetof(FountainDefinition, stops) == 301 &&
              offsetof(FountainDefinition, reserved) == 557);

// A definition with its header filled in, no stops, running from start to end.
FountainDefinition MakeFountainDefinition(COLORREF start, COLORREF end);

// A stop entry: colour with its position 0..255 in the top byte.
constexpr DWORD FountainStop(COLORREF colour, int position) {
    return (colour & 0xFFFFFF) | (static_cast<DWORD>(position & 0xFF) << 24);
}

enum FillKind : LONG {
    kLinearFill = 0,  // and any value that is not one of the others
    kConicalFill = 1,
    kEllipticalFill = 2,
    kRectangularFill = 3,
};

struct FillRecord {
    LONG kind;
    COLORREF colour1;
    COLORREF colour2;
    LONG edge;      // percent of the ramp held at the pure colour at each end
    LONG centreX;   // offset of the centre from the middle, percent of the width
    LONG centreY;   // the same in percent of the height, positive upwards
    LONG midpoint;  // where the two-colour ramp reaches the mixed colour; 50 is even
    LONG angle;     // degrees, for linear and conical fills
    LONG twoColour;  // non-zero: colours 1 and 2 with edge and midpoint; zero: the fountain
    FountainDefinition fountain;
};

// Each channel a x (1 - t) + b x t, truncated.
COLORREF MixColours(COLORREF a, COLORREF b, double t);

// The fill the record describes, width x height; none when memory fails.
HGLOBAL MakeFill(LONG width, LONG height, const FillRecord& fill);

// The shape fills. With a record the colours come from its ramp and the two
// colour arguments are ignored; without one the two colours are mixed
// directly. Each returns a new 24-bit PackedDib or none.
//
// Bands across the picture: at 0 degrees from colour 2 at the top to colour 1
// at the bottom, at 90 degrees from the right to the left. The bands turn
// about the middle of the picture; the centre arguments are not used.
HGLOBAL LinearFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                   LONG angle, const FillRecord* record);
// Concentric ellipses (rectangles) from colour 1 at the rim to colour 2 in
// the middle, the middle moved by the centre offsets. The angle is not used.
HGLOBAL EllipticalFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                       LONG angle, const FillRecord* record);
HGLOBAL RectangularFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                        LONG angle, const FillRecord* record);
// A sweep about the centre: colour 1 in the direction of the angle (0 is
// to the left, 90 up), colour 2 opposite, the same on both sides of that line.
HGLOBAL ConicalFill(COLORREF colour1, COLORREF colour2, LONG width, LONG height, LONG centreX, LONG centreY,
                    LONG angle, const FillRecord* record);

// The record's colours as n steps from colour 1 to colour 2 (or through its
// fountain). False when n is below 1 or memory fails.
bool MakeColourRamp(const FillRecord& fill, int n, HeapArray<COLORREF>& ramp);

// The fountain from left to right over width x height; none when memory fails.
HGLOBAL RenderFountain(const FountainDefinition& fountain, LONG width, LONG height);
