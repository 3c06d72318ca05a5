// The bubble mask of Bubbles, for the tests that look at it.
#pragma once

#include <windows.h>

// The coverage of a bubble of diameter size: concentric rings drawn at k
// times the size (4 smooth, 2 coarse), their grey level falling by level from
// the rim inwards, or rising with inverse, reduced to size x size. When the
// reduction fails the drawing comes back at its full size. None when memory
// fails.
HGLOBAL MakeBubbleMask(int size, int level, bool inverse, int k);
