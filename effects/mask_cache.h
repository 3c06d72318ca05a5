// Coverage masks that a build draws again and again (a wheel at each of its
// turns, a ring set at each point of its cycle): each is made once and kept
// for the rest of the build as an 8-bit mask, as long as the kept masks stay
// within a memory budget; past it they are made afresh every time.
#pragma once

#include <windows.h>

#include <cstddef>

// Plain data, so it can live in an effect's zeroed state block.
struct MaskCache {
    HGLOBAL entriesBlock;  // HGLOBAL per index
    int count;
    std::size_t bytes;  // held by the kept masks
};

// Room for count masks; false when memory fails.
bool OpenMaskCache(MaskCache& cache, int count);
// Frees every kept mask and the table; the cache is then empty.
void CloseMaskCache(MaskCache& cache);

// The mask at index, made by make(argument) when the cache has none. The
// answer is the cache's when *temporary comes back false, else the caller's
// to free. Null when making it failed.
HGLOBAL CachedMask(MaskCache& cache, int index, HGLOBAL (*make)(const void* argument, int index),
                   const void* argument, bool* temporary);

// An 8-bit copy of a coverage mask holding each pixel's low byte, which is
// all a mask blend reads. Null when memory fails.
HGLOBAL NarrowCoverageMask(HGLOBAL mask);

// A drawing made at four times its size reduced to 25 %; the drawing is
// freed either way. Null when it is null or memory fails.
HGLOBAL ReduceDrawing(HGLOBAL large);
