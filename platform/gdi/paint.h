// Between the shape layer and the kernels: what a pen or brush paints with,
// and painting a clipped region or one-pixel line with it.
#pragma once

#include <windows.h>

#include "gdi/dc.h"
#include "gdi/region.h"
#include "gdi/surface.h"

namespace luma::gdi {

struct Fill {
    enum Type { None, Solid, Pattern } type = None;
    DWORD andMask = 0;
    DWORD xorMask = 0;
    // Patterns: colours per pattern pixel; for monochrome and hatched
    // patterns set bits take fg and clear ones bg (or stay when transparent).
    const Brush* brush = nullptr;
    DWORD fgPixel = 0;
    DWORD bgPixel = 0;
    bool bgTransparent = false;
    POINT origin{0, 0};
    int rop2 = R2_COPYPEN;
};

// The stored value for a pen, brush or text colour; 1-bit surfaces pick the
// exact table entry or else the one the background colour does not take.
DWORD ForegroundPixel(const Dc& dc, const Surface& surface, COLORREF color);

Fill SolidFill(const Dc& dc, const Surface& surface, COLORREF color, int rop2);
Fill BrushFill(const Dc& dc, const Surface& surface, HBRUSH brush, int rop2);
Fill PenFill(const Dc& dc, const Surface& surface, int rop2);

// The value a fill made with R2_COPYPEN puts at (x, y); false where a
// hatch's background stays transparent.
bool PatternValue(const Fill& fill, const Surface& surface, int x, int y, DWORD& value);

// Paints rectangles that already lie inside the surface.
void PaintRects(const Surface& surface, const std::vector<RECT>& rects, const Fill& fill);
// Paints a region in device coordinates, clipped to what the DC may reach.
void PaintRegion(const Dc& dc, const Surface& surface, const Region& region, const Fill& fill);
// A one-pixel line from a to b (b left out) with solid masks.
void PaintThinLine(const Surface& surface, const Region& drawable, POINT a, POINT b, DWORD andMask, DWORD xorMask);

// A one-pixel pen's dash pattern, marks and gaps alternating from a mark.
struct Dashes {
    int lengths[6] = {};
    int count = 0;
    long total = 0;
    DWORD markAnd = 0, markXor = 0;
    bool gapsDrawn = false;  // in the background colour when the DC is opaque
    DWORD gapAnd = 0, gapXor = 0;
};
// A dashed one-pixel line; phase carries the pattern on from line to line.
void PaintDashedLine(const Surface& surface, const Region& drawable, POINT a, POINT b, const Dashes& dashes,
                     long& phase);

// The pen as the DC uses it: style, width in device pixels, colour.
struct PenInfo {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    bool null() const { return style == PS_NULL; }
};
PenInfo CurrentPen(const Dc& dc);

}  // namespace luma::gdi
