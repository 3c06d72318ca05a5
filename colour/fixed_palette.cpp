#include "colour/fixed_palette.h"

#include <cstring>

const char* const kFixedPaletteNames[kFixedPaletteCount] = {
    "Black and white",      "Sixteen-color Windows", "32-color orthogonal",
    "64-color orthogonal",  "128-color orthogonal",  "216-color safe",
    "256-color orthogonal", "256-color with gray",   "256 gray levels",
};

namespace {

constexpr BYTE kFourLevels[4] = {0, 85, 170, 255};
constexpr BYTE kEightLevels[8] = {0, 36, 72, 108, 144, 180, 216, 255};

constexpr BYTE kWindowsColours[16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

// The cube of "256-color with gray" has its own red and green steps.
constexpr BYTE kCubeRed[7] = {0, 43, 85, 128, 170, 213, 255};
constexpr BYTE kCubeGreen[8] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr BYTE kGreyRamp[32] = {1,   8,   16,  24,  32,  41,  49,  57,  65,  74,  82,  90,  98,  106, 115, 123,
                                131, 139, 148, 156, 164, 172, 180, 189, 197, 205, 213, 222, 230, 238, 246, 254};

struct Shape {
    int entries, bits;
};

Shape ShapeOf(int index) {
    switch (index) {
    case 0: return {2, 1};
    case 1: return {16, 4};
    case 2: return {32, 5};
    case 3: return {64, 6};
    case 4: return {128, 7};
    case 5: return {216, 8};
    case 9: return {8, 3};
    default: return {256, 8};
    }
}

void Put(BYTE* palette, int entry, int red, int green, int blue) {
    palette[entry * 3] = static_cast<BYTE>(red);
    palette[entry * 3 + 1] = static_cast<BYTE>(green);
    palette[entry * 3 + 2] = static_cast<BYTE>(blue);
}

void Fill(BYTE* p, int index) {
    switch (index) {
    case 0:
        Put(p, 1, 255, 255, 255);
        break;
    case 1:
        for (int i = 0; i < 16; ++i) Put(p, i, kWindowsColours[i][0], kWindowsColours[i][1], kWindowsColours[i][2]);
        break;
    case 2:
        for (int r = 0; r < 4; ++r)
            for (int g = 0; g < 4; ++g)
                for (int b = 0; b < 2; ++b) Put(p, (r * 4 + g) * 2 + b, kFourLevels[r], kFourLevels[g], b * 255);
        break;
    case 3:
        for (int r = 0; r < 4; ++r)
            for (int g = 0; g < 4; ++g)
                for (int b = 0; b < 4; ++b)
                    Put(p, (r * 4 + g) * 4 + b, kFourLevels[r], kFourLevels[g], kFourLevels[b]);
        break;
    case 4:
        for (int r = 0; r < 4; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 4; ++b)
                    Put(p, (r * 8 + g) * 4 + b, kFourLevels[r], kEightLevels[g], kFourLevels[b]);
        break;
    case 5:
        for (int i = 0; i < 216; ++i) Put(p, i, 51 * ((i / 6) % 6), 51 * (i / 36), 51 * (i % 6));
        break;
    case 7:
        for (int k = 0; k < 224; ++k) {
            int entry = k < 112 ? k : k + 32;
            Put(p, entry, kCubeRed[k / 32], kCubeGreen[(k / 4) % 8], kFourLevels[k % 4]);
        }
        for (int i = 0; i < 32; ++i) Put(p, 112 + i, kGreyRamp[i], kGreyRamp[i], kGreyRamp[i]);
        break;
    case 8:
        for (int i = 0; i < 256; ++i) Put(p, i, i, i, i);
        break;
    case 9:
        for (int i = 0; i < 8; ++i) Put(p, i, (i & 1) ? 255 : 0, (i & 2) ? 255 : 0, (i & 4) ? 255 : 0);
        break;
    default:
        for (int r = 0; r < 8; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 4; ++b)
                    Put(p, (r * 8 + g) * 4 + b, kEightLevels[r], kEightLevels[g], kFourLevels[b]);
        break;
    }
}

}  // namespace

int BuildFixedPalette(BYTE* palette, int* bits, int index) {
    Shape shape = ShapeOf(index);
    if (palette) {
        std::memset(palette, 0, 768);
        Fill(palette, index);
    }
    if (bits) *bits = shape.bits;
    return shape.entries;
}
