// Two-pass filter resize: Mitchell when enlarging, three-lobe Lanczos when
// reducing. Effects draw elements at four times their size and reduce them
// with it to get smooth edges.
#pragma once

#include <windows.h>

// Mitchell cubic (B = C = 1/3), support 2.
double MitchellFilter(double x);
// sinc(x) sinc(x / 3), support 3.
double LanczosFilter(double x);

// A new picture of the given size with the source's depth and colour table;
// 1- and 4-bit pictures come back blank. The filter number is accepted for
// callers' sake and not used. None on failure; the source is left alone.
HGLOBAL ResizeDib(HGLOBAL dib, LONG newWidth, LONG newHeight, int filter, double blur);
