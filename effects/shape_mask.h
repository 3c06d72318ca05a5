// Coverage masks of flat shapes: drawn white on black at four times their
// size with GDI and reduced to a quarter, so their edges come out smooth.
#pragma once

#include <windows.h>

#include <limits>

#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

// The mask drawn by draw(dc, side) on a black side x side surface, side =
// 4 x size, reduced to size x size. draw returns false when it could not
// draw (a GDI object it needed could not be made). None when anything fails:
// a mask left at four times its size would draw a wrong, oversized element.
template <class Draw>
HGLOBAL ShapeMask(LONG size, Draw&& draw) {
    if (size < 1 || size > std::numeric_limits<LONG>::max() / 4) return nullptr;
    const LONG side = 4 * size;
    GlobalBlock large;
    {
        SurfaceGuard surface;
        if (!surface.Open(side, side)) return nullptr;
        PatBlt(surface.dc(), 0, 0, side, side, BLACKNESS);
        if (!draw(surface.dc(), side)) return nullptr;
        large.reset(surface.Take());
    }
    return large ? ScaleDibPercent(large.get(), 25, 25) : nullptr;
}
