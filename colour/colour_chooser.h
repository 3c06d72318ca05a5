// Per-frame colour choice for the remapper and the dithering: the same
// answers as FindNearestColour or the 15-bit remap cache, without searching
// the whole palette for every pixel.
#pragma once

#include <windows.h>

#include <cstdint>

#include "plugin/guards.h"

// Exact nearest-colour search over a palette split by a 16 x 16 x 16 grid of
// cells. Each cell keeps only the entries that can be the nearest to some
// colour inside it (an entry whose least distance to the cell exceeds the
// smallest greatest distance of any entry never wins there), ordered by that
// least distance so a search stops as soon as no later entry can come closer.
// Cells are filled on first use, their lists packed one after another: a
// frame meets a small share of the cells, and their lists are short.
class NearestColourSearch {
public:
    // palette stays borrowed; count is cut to 1..256. False when memory fails.
    bool Prepare(const BYTE* palette, int count);
    // When a cell's list finds no room, the whole palette is searched for
    // that colour instead: the same answer, only slower.
    int Find(int red, int green, int blue);

private:
    bool FillCell(int cell);
    // Room for at least count more candidates.
    bool Reserve(std::size_t count);

    const BYTE* palette_ = nullptr;
    int count_ = 0;
    HeapArray<BYTE> candidates_;             // entry indexes, cell after cell
    HeapArray<int> reach_;                   // each candidate's least distance to its cell
    std::size_t used_ = 0;                   // candidates stored
    HeapArray<std::uint32_t> cellStart_;     // where a filled cell's list starts
    HeapArray<std::uint16_t> cellLength_;    // candidates + 1; 0 while unfilled
};

// The index a pixel colour gets, as FastRemap asks: with it, the first exact
// palette entry or else the remap cache cell of the colour's 15 bits; without
// it, FindNearestColour. Answers are remembered per colour.
class ColourChooser {
public:
    bool Prepare(const BYTE* palette, int count, bool fastRemap);
    int Choose(int red, int green, int blue);

private:
    // The remap cache entry for a 15-bit colour index (red / 8 + 32 × (green /
    // 8) + 1024 × (blue / 8)): FindNearestColour of that colour, made on first use.
    int CacheEntry(int index);
    int Decide(int red, int green, int blue);
    int ExactEntry(std::uint32_t colour) const;

    // Large enough for the colours of a photograph-sized frame, which a
    // chooser kept from frame to frame meets again.
    static constexpr int kMemoBits = 18;
    static constexpr int kExactSlots = 1024;

    const BYTE* palette_ = nullptr;
    bool fast_ = false;
    NearestColourSearch search_;
    std::uint32_t lastKey_ = 0;            // the previous pixel, as in the memo
    int lastIndex_ = 0;
    HeapArray<std::uint32_t> memoKey_;     // colour + 1; 0 while empty
    HeapArray<BYTE> memoIndex_;
    HeapArray<std::uint32_t> exactKey_;    // palette colour + 1, first entry only
    HeapArray<BYTE> exactIndex_;
    HeapArray<std::uint16_t> cache_;       // remap cache entry + 1; 0 while unmade
};
