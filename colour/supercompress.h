// Supercompression: pixels that did not change since the previous frame are
// painted with a spare palette index, so the host's encoder sees long runs of
// transparency.
#pragma once

#include <windows.h>

#include "effects/frame_list.h"

// Told before each frame is marked: frame index and number of frames.
using MarkProgress = void (*)(void* context, int frame, int frames);

// Gives every frame after the first a change mask (a 1-bit picture of the
// frame's size, table black then white, bit 1 where the true-colour pixel
// value equals what the viewer already sees) and the first frame none;
// masks the records held before are freed. The background colour plays no
// part in the marking. Returns 1, or 0 when memory fails, with the list as
// it was.
int MarkUnchangedPixels(FrameList& frames, COLORREF background, MarkProgress progress = nullptr,
                        void* context = nullptr);

// Writes spareIndex into every pixel of the remapped (1-, 4- or 8-bit)
// picture whose mask bit is 1 and gives its table entry the background
// colour. A negative spare index changes nothing. Returns 1, or 0 when a
// block cannot be locked or the picture has no table entry at spareIndex.
int ApplyChangeMask(HGLOBAL remapped, HGLOBAL mask, int spareIndex, COLORREF background);
