// The shape layer: turns figures in device coordinates into regions and
// line pixels with Windows' integer rules. Nothing here touches pixels.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gdi/region.h"

namespace luma::gdi {

// Points of the first quadrant of the ellipse filling a w x h box, from the
// right end of the middle row down to the bottom, relative to the box.
void EllipseQuadrant(int width, int height, std::vector<POINT>& out);

// The region CreateRoundRectRgn makes (its right and bottom edges one pixel
// in, as on Windows).
Region RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

// Scan-converts polygons with ALTERNATE or WINDING: a pixel is inside when
// its centre is, left edges included and right edges excluded. Rows outside
// [rowsFrom, rowsTo) are left out.
Region PolygonRegion(const POINT* points, const int* counts, int polygons, int mode, int rowsFrom, int rowsTo);

// The closed outline of a polyline drawn with a wide pen: round ends and
// round joins, as the pen's width across. Rows outside [rowsFrom, rowsTo)
// are left out.
Region WideLineRegion(const POINT* points, int count, bool close, int width, int rowsFrom, int rowsTo);

// Flattens cubic Bézier segments (count = 1 + 3k) into a polyline.
std::vector<POINT> FlattenBeziers(const POINT* points, int count);

// The pixels of a one-pixel line from a to b, b itself left out: Bresenham
// with the tie-break Windows uses in each octant. f(x, y, step) is called
// for the pixels inside limit, step counting from a.
struct LineSteps {
    POINT start{};
    int length = 0;  // pixels drawn
    bool xMajor = true;
    int xStep = 1;
    int yStep = 1;
    std::int64_t major = 0;  // 2 x the major extent
    std::int64_t minor = 0;  // 2 x the minor extent
    int bias = 0;
    // Offset along the minor axis after i steps.
    int MinorAt(int i) const {
        return static_cast<int>((minor * i + major / 2 + bias - 1) / major);
    }
    POINT At(int i) const {
        int n = MinorAt(i);
        return xMajor ? POINT{start.x + i * xStep, start.y + n * yStep} : POINT{start.x + n * xStep, start.y + i * yStep};
    }
};
LineSteps LineStepsFor(POINT a, POINT b);

template <class F>
void ForEachLinePixel(POINT a, POINT b, const RECT& limit, F f) {
    LineSteps s = LineStepsFor(a, b);
    if (s.length == 0) return;
    // Only the steps whose major coordinate lies inside the limit.
    int from = 0, to = s.length;
    int lo = s.xMajor ? limit.left : limit.top;
    int hi = s.xMajor ? limit.right : limit.bottom;
    int origin = s.xMajor ? s.start.x : s.start.y;
    int step = s.xMajor ? s.xStep : s.yStep;
    if (step > 0) {
        from = std::max(from, lo - origin);
        to = std::min(to, hi - origin);
    } else {
        from = std::max(from, origin - (hi - 1));
        to = std::min(to, origin - lo + 1);
    }
    for (int i = from; i < to; ++i) {
        POINT p = s.At(i);
        if (p.x >= limit.left && p.x < limit.right && p.y >= limit.top && p.y < limit.bottom) f(p.x, p.y, i);
    }
}

}  // namespace luma::gdi
