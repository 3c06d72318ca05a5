// Drawing calls: each turns its arguments into device coordinates and
// shapes, then paints them with the pen and brush through the clip.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

#include "gdi/dc.h"
#include "gdi/paint.h"
#include "gdi/shapes.h"

using namespace luma::gdi;

namespace {

// The target and the clipped area of one drawing call.
struct Canvas {
    Dc& dc;
    const Surface& surface;
    Region drawable;
    RECT extent;  // of drawable
};

template <class F>
BOOL withCanvas(HDC hdc, F f) {
    Dc* dc = FindDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const Surface* s = dc->Target();
    try {
        if (!s) return f(dc, nullptr);
        Canvas c{*dc, *s, dc->DrawableRegion(), RECT{}};
        c.extent = c.drawable.Extents();
        return f(dc, &c);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

std::vector<POINT> toDevice(const Dc& dc, const POINT* points, std::size_t count) {
    std::vector<POINT> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = dc.ToDevice(points[i]);
    return out;
}

bool widePen(const PenInfo& pen) { return !pen.null() && pen.width > 1; }

// Strokes a polyline with a one-pixel pen, segment by segment, so that a
// pixel two segments share is painted by each (which shows under XOR).
void strokeThin(Canvas& c, const PenInfo& pen, const POINT* pts, int count, bool close) {
    if (pen.null() || count < 2) return;
    DWORD andMask, xorMask;
    Rop2Masks(c.dc.state.rop2, ForegroundPixel(c.dc, c.surface, pen.color), andMask, xorMask);
    if (pen.style >= PS_DASH && pen.style <= PS_DASHDOTDOT) {
        // Windows' cosmetic patterns; each figure starts at the first mark.
        static const int kPatterns[4][6] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
        static const int kCounts[4] = {2, 2, 4, 6};
        Dashes d;
        d.count = kCounts[pen.style - PS_DASH];
        for (int k = 0; k < d.count; ++k) {
            d.lengths[k] = kPatterns[pen.style - PS_DASH][k];
            d.total += d.lengths[k];
        }
        d.markAnd = andMask;
        d.markXor = xorMask;
        d.gapsDrawn = c.dc.state.bkMode == OPAQUE;
        Rop2Masks(c.dc.state.rop2, ColorToPixel(c.surface, c.dc.state.bkColor & 0x00FFFFFF), d.gapAnd, d.gapXor);
        long phase = 0;
        for (int i = 0; i + 1 < count; ++i) PaintDashedLine(c.surface, c.drawable, pts[i], pts[i + 1], d, phase);
        if (close) PaintDashedLine(c.surface, c.drawable, pts[count - 1], pts[0], d, phase);
        return;
    }
    for (int i = 0; i + 1 < count; ++i) PaintThinLine(c.surface, c.drawable, pts[i], pts[i + 1], andMask, xorMask);
    if (close) PaintThinLine(c.surface, c.drawable, pts[count - 1], pts[0], andMask, xorMask);
}

Region strokeWide(const Canvas& c, const PenInfo& pen, const POINT* pts, int count, bool close) {
    return WideLineRegion(pts, count, close, pen.width, c.extent.top, c.extent.bottom);
}

void paint(Canvas& c, const Region& region, const Fill& fill) {
    if (fill.type == Fill::None || region.Empty()) return;
    PaintRects(c.surface, region.Intersect(c.drawable).Rects(), fill);
}

// Fills the interior and strokes the outline the way Windows orders them: a
// wide pen's outline is cut out of the interior, a thin pen draws over it.
void fillAndStroke(Canvas& c, const PenInfo& pen, Region interior, bool hasInterior,
                   const std::vector<std::vector<POINT>>& figures, bool close) {
    Fill brush = BrushFill(c.dc, c.surface, c.dc.state.brush, c.dc.state.rop2);
    if (widePen(pen)) {
        Region outline;
        for (const auto& f : figures) outline = outline.Union(strokeWide(c, pen, f.data(), static_cast<int>(f.size()), close));
        if (hasInterior) paint(c, interior.Subtract(outline), brush);
        paint(c, outline, SolidFill(c.dc, c.surface, pen.color, c.dc.state.rop2));
        return;
    }
    if (hasInterior) paint(c, interior, brush);
    for (const auto& f : figures) strokeThin(c, pen, f.data(), static_cast<int>(f.size()), close);
}

bool brushIsNull(const Dc& dc) {
    const Brush* b = FindAs<Brush>(dc.state.brush, Kind::Brush);
    return !b || b->log.lbStyle == BS_NULL;
}

// The box of Rectangle, Ellipse and RoundRect in device pixels; inside-frame
// pens pull it in so that the pen stays inside. False for an empty box.
bool penBox(const Dc& dc, const PenInfo& pen, int left, int top, int right, int bottom, RECT& box) {
    POINT a = dc.ToDevice(POINT{left, top}), b = dc.ToDevice(POINT{right, bottom});
    box = RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    if (box.left == box.right || box.top == box.bottom) return false;
    if (pen.style == PS_INSIDEFRAME) {
        box.left += pen.width / 2;
        box.top += pen.width / 2;
        box.right -= (pen.width - 1) / 2;
        box.bottom -= (pen.width - 1) / 2;
    }
    return true;
}

BOOL drawRectangle(HDC hdc, int left, int top, int right, int bottom) {
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return TRUE;
        PenInfo pen = CurrentPen(c->dc);
        RECT box;
        if (!penBox(c->dc, pen, left, top, right, bottom, box)) return TRUE;
        --box.right;
        --box.bottom;
        std::vector<std::vector<POINT>> figure{
            {{box.right, box.top}, {box.left, box.top}, {box.left, box.bottom}, {box.right, box.bottom}}};
        bool fill = !brushIsNull(c->dc);
        if (widePen(pen)) {
            fillAndStroke(*c, pen, Region::FromRect(box), fill, figure, true);
            return TRUE;
        }
        strokeThin(*c, pen, figure[0].data(), 4, true);
        if (fill) {
            int w = pen.null() ? 0 : pen.width;
            RECT inner{box.left + (w + 1) / 2, box.top + (w + 1) / 2, box.right - w / 2, box.bottom - w / 2};
            paint(*c, Region::FromRect(inner), BrushFill(c->dc, c->surface, c->dc.state.brush, c->dc.state.rop2));
        }
        return TRUE;
    });
}

BOOL drawRoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    Dc* dc = FindDc(hdc);
    if (!dc) return FALSE;
    {
        PenInfo pen = CurrentPen(*dc);
        RECT box;
        if (!penBox(*dc, pen, left, top, right, bottom, box)) return TRUE;
        // GDI takes 27-bit device coordinates; beyond them the outline's
        // mirrored points would not fit an int, and its point list not memory.
        constexpr LONG kLimit = 1 << 27;
        for (LONG v : {box.left, box.top, box.right, box.bottom})
            if (v < -kLimit || v > kLimit) return FALSE;
        POINT a = dc->ToDevice(POINT{0, 0}), b = dc->ToDevice(POINT{ellipseWidth, ellipseHeight});
        int ew = std::min<long>(box.right - box.left, std::labs(static_cast<long>(b.x) - a.x));
        int eh = std::min<long>(box.bottom - box.top, std::labs(static_cast<long>(b.y) - a.y));
        if (ew <= 2 || eh <= 2) return drawRectangle(hdc, left, top, right, bottom);
    }
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return TRUE;
        PenInfo pen = CurrentPen(c->dc);
        RECT box;
        penBox(c->dc, pen, left, top, right, bottom, box);
        POINT a = c->dc.ToDevice(POINT{0, 0}), b = c->dc.ToDevice(POINT{ellipseWidth, ellipseHeight});
        int ew = std::min<long>(box.right - box.left, std::labs(static_cast<long>(b.x) - a.x));
        int eh = std::min<long>(box.bottom - box.top, std::labs(static_cast<long>(b.y) - a.y));
        bool fill = !brushIsNull(c->dc);
        Region interior;
        if (fill) interior = RoundRectRegion(box.left, box.top, box.right + 1, box.bottom + 1, ew, eh);

        std::vector<POINT> quadrant;
        EllipseQuadrant(ew, eh, quadrant);
        int count = static_cast<int>(quadrant.size());
        std::vector<POINT> pts(static_cast<std::size_t>(count) * 4);
        for (int i = 0; i < count; ++i)
            pts[i] = POINT{box.right - ew + quadrant[i].x, box.top + eh - 1 - quadrant[i].y};
        // Mirror left-right, then top-bottom, without doubling a middle point.
        int end = 2 * count - 1;
        if (ew % 2 && ew == box.right - box.left) --end;
        for (int i = 0; i < count; ++i) pts[end - i] = POINT{box.left + box.right - 1 - pts[i].x, pts[i].y};
        count = end + 1;
        end = 2 * count - 1;
        if (eh % 2 && eh == box.bottom - box.top) --end;
        for (int i = 0; i < count; ++i) pts[end - i] = POINT{pts[i].x, box.top + box.bottom - 1 - pts[i].y};
        count = end + 1;
        pts.resize(static_cast<std::size_t>(count));
        fillAndStroke(*c, pen, std::move(interior), fill, {pts}, true);
        return TRUE;
    });
}

BOOL drawPolyline(HDC hdc, const POINT* points, int count) {
    if (!points || count < 2) return FALSE;
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return TRUE;
        PenInfo pen = CurrentPen(c->dc);
        std::vector<POINT> pts = toDevice(c->dc, points, static_cast<std::size_t>(count));
        if (widePen(pen))
            paint(*c, strokeWide(*c, pen, pts.data(), count, false), SolidFill(c->dc, c->surface, pen.color, c->dc.state.rop2));
        else
            strokeThin(*c, pen, pts.data(), count, false);
        return TRUE;
    });
}

struct FloodRow {
    int y, x1, x2;
};

}  // namespace

extern "C" {

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    COLORREF result = CLR_INVALID;
    BOOL ok = withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return FALSE;
        DWORD pixel = ColorToPixel(c->surface, color & 0x00FFFFFF);
        result = PixelToColor(c->surface, pixel);
        POINT p = c->dc.ToDevice(POINT{x, y});
        if (!c->drawable.Contains(p.x, p.y)) return TRUE;
        DWORD a, xo;
        Rop2Masks(c->dc.state.rop2, pixel, a, xo);
        c->surface.kernels->setPixel(c->surface, p.x, p.y, (c->surface.kernels->getPixel(c->surface, p.x, p.y) & a) ^ xo);
        return TRUE;
    });
    return ok ? result : CLR_INVALID;
}

BOOL WINAPI SetPixelV(HDC hdc, int x, int y, COLORREF color) { return SetPixel(hdc, x, y, color) != CLR_INVALID; }

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    COLORREF result = CLR_INVALID;
    withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return FALSE;
        POINT p = c->dc.ToDevice(POINT{x, y});
        if (!c->drawable.Contains(p.x, p.y)) return FALSE;
        result = PixelToColor(c->surface, c->surface.kernels->getPixel(c->surface, p.x, p.y));
        return TRUE;
    });
    return result;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    Dc* dc = FindDc(hdc);
    if (!dc) return FALSE;
    POINT pts[2] = {dc->state.position, POINT{x, y}};
    BOOL ok = drawPolyline(hdc, pts, 2);
    dc->state.position = POINT{x, y};
    return ok;
}

BOOL WINAPI Polyline(HDC hdc, const POINT* points, int count) { return drawPolyline(hdc, points, count); }

BOOL WINAPI PolylineTo(HDC hdc, const POINT* points, DWORD count) {
    Dc* dc = FindDc(hdc);
    if (!dc || !points || count == 0) return FALSE;
    std::vector<POINT> pts;
    try {
        pts.reserve(count + 1);
        pts.push_back(dc->state.position);
        pts.insert(pts.end(), points, points + count);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    BOOL ok = drawPolyline(hdc, pts.data(), static_cast<int>(pts.size()));
    dc->state.position = points[count - 1];
    return ok;
}

BOOL WINAPI PolyBezier(HDC hdc, const POINT* points, DWORD count) {
    if (!FindDc(hdc) || !points || count < 4 || (count - 1) % 3 != 0) return FALSE;
    std::vector<POINT> flat;
    try {
        flat = FlattenBeziers(points, static_cast<int>(count));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return drawPolyline(hdc, flat.data(), static_cast<int>(flat.size()));
}

BOOL WINAPI PolyBezierTo(HDC hdc, const POINT* points, DWORD count) {
    Dc* dc = FindDc(hdc);
    if (!dc || !points || count < 3 || count % 3 != 0) return FALSE;
    std::vector<POINT> all, flat;
    try {
        all.push_back(dc->state.position);
        all.insert(all.end(), points, points + count);
        flat = FlattenBeziers(all.data(), static_cast<int>(all.size()));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    BOOL ok = drawPolyline(hdc, flat.data(), static_cast<int>(flat.size()));
    dc->state.position = points[count - 1];
    return ok;
}

BOOL WINAPI PolyPolygon(HDC hdc, const POINT* points, const INT* counts, int polygons) {
    if (!points || !counts || polygons <= 0) return FALSE;
    std::size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2) return FALSE;
        total += static_cast<std::size_t>(counts[i]);
    }
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return TRUE;
        PenInfo pen = CurrentPen(c->dc);
        std::vector<POINT> pts = toDevice(c->dc, points, total);
        bool fill = !brushIsNull(c->dc);
        Region interior;
        if (fill) interior = PolygonRegion(pts.data(), counts, polygons, c->dc.state.fillMode, c->extent.top, c->extent.bottom);
        std::vector<std::vector<POINT>> figures;
        std::size_t at = 0;
        for (int i = 0; i < polygons; ++i) {
            figures.emplace_back(pts.begin() + static_cast<std::ptrdiff_t>(at),
                                 pts.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(counts[i])));
            at += static_cast<std::size_t>(counts[i]);
        }
        fillAndStroke(*c, pen, std::move(interior), fill, figures, true);
        return TRUE;
    });
}

BOOL WINAPI Polygon(HDC hdc, const POINT* points, int count) {
    if (count < 2) return FALSE;
    return PolyPolygon(hdc, points, &count, 1);
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    return drawRectangle(hdc, left, top, right, bottom);
}

BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return drawRoundRect(hdc, left, top, right, bottom, ellipseWidth, ellipseHeight);
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    // Sides that overflow an int are far beyond GDI's coordinates, which the
    // drawing refuses; held to the int range they only need to get there.
    auto side = [](int low, int high) {
        return static_cast<int>(std::clamp<long long>(static_cast<long long>(high) - low, INT_MIN, INT_MAX));
    };
    return drawRoundRect(hdc, left, top, right, bottom, side(left, right), side(top, bottom));
}

BOOL WINAPI ExtFloodFill(HDC hdc, int x, int y, COLORREF color, UINT type) {
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return FALSE;
        const Surface& s = c->surface;
        POINT seed = c->dc.ToDevice(POINT{x, y});
        RECT bounds = c->dc.SurfaceRect();
        if (seed.x < bounds.left || seed.x >= bounds.right || seed.y < bounds.top || seed.y >= bounds.bottom)
            return FALSE;
        DWORD pixel = ColorToPixel(s, color & 0x00FFFFFF);
        const bool clipped = c->dc.state.clip.has_value();
        auto inside = [&](int px, int py) {
            if (clipped && !c->dc.state.clip->Contains(px, py)) return false;
            DWORD v = s.kernels->getPixel(s, px, py);
            return type == FLOODFILLBORDER ? v != pixel : v == pixel;
        };
        if (!inside(seed.x, seed.y)) return FALSE;
        int width = bounds.right - bounds.left;
        std::vector<bool> seen(static_cast<std::size_t>(width) * (bounds.bottom - bounds.top));
        auto mark = [&](int px, int py) -> std::vector<bool>::reference {
            return seen[static_cast<std::size_t>(py - bounds.top) * width + (px - bounds.left)];
        };
        std::vector<Span> spans;
        std::vector<POINT> stack{seed};
        while (!stack.empty()) {
            POINT p = stack.back();
            stack.pop_back();
            if (mark(p.x, p.y) || !inside(p.x, p.y)) continue;
            int x1 = p.x, x2 = p.x + 1;
            while (x1 > bounds.left && !mark(x1 - 1, p.y) && inside(x1 - 1, p.y)) --x1;
            while (x2 < bounds.right && !mark(x2, p.y) && inside(x2, p.y)) ++x2;
            for (int i = x1; i < x2; ++i) mark(i, p.y) = true;
            spans.push_back(Span{p.y, x1, x2});
            for (int ny : {p.y - 1, p.y + 1}) {
                if (ny < bounds.top || ny >= bounds.bottom) continue;
                for (int i = x1; i < x2; ++i)
                    if (!mark(i, ny) && (i == x1 || mark(i - 1, ny) || !inside(i - 1, ny))) stack.push_back(POINT{i, ny});
            }
        }
        paint(*c, Region::FromSpans(spans), BrushFill(c->dc, s, c->dc.state.brush, c->dc.state.rop2));
        return TRUE;
    });
}

BOOL WINAPI FloodFill(HDC hdc, int x, int y, COLORREF border) { return ExtFloodFill(hdc, x, y, border, FLOODFILLBORDER); }

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    return withCanvas(hdc, [&](Dc*, Canvas* c) -> BOOL {
        if (!c) return TRUE;
        POINT a = c->dc.ToDevice(POINT{x, y}), b = c->dc.ToDevice(POINT{x + width, y + height});
        // A negative extent covers the pixels before the start point, the
        // start itself included.
        RECT r{a.x, a.y, b.x, b.y};
        if (r.left > r.right) {
            int t = r.left;
            r.left = r.right + 1;
            r.right = t + 1;
        }
        if (r.top > r.bottom) {
            int t = r.top;
            r.top = r.bottom + 1;
            r.bottom = t + 1;
        }
        int rop2 = static_cast<int>((((rop >> 18) & 0x0c) | ((rop >> 16) & 0x03)) + 1);
        Fill f;
        switch (rop2) {
        case R2_NOT:
        case R2_WHITE:
        case R2_BLACK:
        case R2_NOP:
            f.type = Fill::Solid;
            Rop2Masks(rop2, 0, f.andMask, f.xorMask);
            break;
        default: f = BrushFill(c->dc, c->surface, c->dc.state.brush, rop2); break;
        }
        paint(*c, Region::FromRect(r), f);
        return TRUE;
    });
}

}  // extern "C"
