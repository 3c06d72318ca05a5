// Region objects and clipping.
#include <algorithm>
#include <climits>
#include <new>

#include "gdi/dc.h"
#include "gdi/paint.h"
#include "gdi/shapes.h"

using namespace luma::gdi;

namespace {

HRGN newRegion(Region region) {
    std::unique_ptr<RegionObject> o;
    try {
        o = std::make_unique<RegionObject>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    o->region = std::move(region);
    return static_cast<HRGN>(Register(std::move(o)));
}

RegionObject* findRegion(HRGN handle) { return FindAs<RegionObject>(handle, Kind::Region); }

RECT normalized(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

// A logical rectangle in device coordinates, ordered.
RECT deviceRect(const Dc& dc, int left, int top, int right, int bottom) {
    POINT a = dc.ToDevice(POINT{left, top}), b = dc.ToDevice(POINT{right, bottom});
    return normalized(a.x, a.y, b.x, b.y);
}

int clipType(const Dc& dc) {
    return dc.state.clip ? dc.state.clip->Type() : SIMPLEREGION;
}

// Combines the DC's clip region with r; a DC without one starts from its
// whole surface, as Windows does.
int combineClip(Dc& dc, const Region& r, int mode) {
    try {
        if (mode == RGN_COPY) {
            dc.state.clip = r;
        } else {
            Region base = dc.state.clip ? *dc.state.clip : Region::FromRect(dc.SurfaceRect());
            dc.state.clip = Region::Combine(base, r, mode);
        }
    } catch (const std::bad_alloc&) {
        return ERROR;
    }
    return clipType(dc);
}

template <class F>
BOOL paintRegionWith(HDC hdc, HRGN handle, F makeFill) {
    Dc* dc = FindDc(hdc);
    RegionObject* r = findRegion(handle);
    if (!dc || !r) return FALSE;
    const Surface* s = dc->Target();
    if (!s) return TRUE;
    try {
        // Region rectangles are logical; each is mapped to the device.
        Region device;
        for (const RECT& rect : r->region.Rects()) {
            POINT a = dc->ToDevice(POINT{rect.left, rect.top}), b = dc->ToDevice(POINT{rect.right, rect.bottom});
            device = device.Union(Region::FromRect(normalized(a.x, a.y, b.x, b.y)));
        }
        PaintRegion(*dc, *s, device, makeFill(*dc, *s));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

}  // namespace

extern "C" {

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom) {
    return newRegion(Region::FromRect(normalized(left, top, right, bottom)));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN WINAPI CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    try {
        return newRegion(RoundRectRegion(left, top, right, bottom, ellipseWidth, ellipseHeight));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HRGN WINAPI CreateEllipticRgn(int left, int top, int right, int bottom) {
    return CreateRoundRectRgn(left, top, right, bottom, right - left, bottom - top);
}

HRGN WINAPI CreateEllipticRgnIndirect(const RECT* rect) {
    if (!rect) return nullptr;
    return CreateEllipticRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN WINAPI CreatePolygonRgn(const POINT* points, int count, int mode) {
    if (!points || count < 2 || (mode != ALTERNATE && mode != WINDING)) return nullptr;
    try {
        return newRegion(PolygonRegion(points, &count, 1, mode, INT_MIN, INT_MAX));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL WINAPI SetRectRgn(HRGN handle, int left, int top, int right, int bottom) {
    RegionObject* r = findRegion(handle);
    if (!r) return FALSE;
    r->region = Region::FromRect(normalized(left, top, right, bottom));
    return TRUE;
}

int WINAPI CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
    RegionObject* d = findRegion(destination);
    RegionObject* a = findRegion(source1);
    if (!d || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    try {
        if (mode == RGN_COPY) {
            d->region = a->region;
        } else {
            RegionObject* b = findRegion(source2);
            if (!b) return ERROR;
            d->region = Region::Combine(a->region, b->region, mode);
        }
    } catch (const std::bad_alloc&) {
        return ERROR;
    }
    return d->region.Type();
}

int WINAPI OffsetRgn(HRGN handle, int x, int y) {
    RegionObject* r = findRegion(handle);
    if (!r) return ERROR;
    r->region.Offset(x, y);
    return r->region.Type();
}

int WINAPI GetRgnBox(HRGN handle, LPRECT rect) {
    RegionObject* r = findRegion(handle);
    if (!r || !rect) return ERROR;
    *rect = r->region.Extents();
    return r->region.Type();
}

BOOL WINAPI PtInRegion(HRGN handle, int x, int y) {
    RegionObject* r = findRegion(handle);
    return r && r->region.Contains(x, y);
}

BOOL WINAPI RectInRegion(HRGN handle, const RECT* rect) {
    RegionObject* r = findRegion(handle);
    if (!r || !rect) return FALSE;
    return r->region.Overlaps(normalized(rect->left, rect->top, rect->right, rect->bottom));
}

BOOL WINAPI EqualRgn(HRGN region1, HRGN region2) {
    RegionObject* a = findRegion(region1);
    RegionObject* b = findRegion(region2);
    return a && b && a->region == b->region;
}

BOOL WINAPI FillRgn(HDC hdc, HRGN region, HBRUSH brush) {
    if (!FindAs<Brush>(brush, Kind::Brush)) return FALSE;
    return paintRegionWith(hdc, region, [&](const Dc& dc, const Surface& s) {
        return BrushFill(dc, s, brush, R2_COPYPEN);
    });
}

BOOL WINAPI PaintRgn(HDC hdc, HRGN region) {
    return paintRegionWith(hdc, region, [](const Dc& dc, const Surface& s) {
        return BrushFill(dc, s, dc.state.brush, dc.state.rop2);
    });
}

BOOL WINAPI InvertRgn(HDC hdc, HRGN region) {
    return paintRegionWith(hdc, region, [](const Dc&, const Surface&) {
        Fill f;
        f.type = Fill::Solid;
        f.andMask = ~0u;
        f.xorMask = ~0u;
        return f;
    });
}

int WINAPI ExtSelectClipRgn(HDC hdc, HRGN region, int mode) {
    Dc* dc = FindDc(hdc);
    if (!dc) return ERROR;
    if (!region) {
        if (mode != RGN_COPY) return ERROR;
        dc->state.clip.reset();
        return SIMPLEREGION;
    }
    RegionObject* r = findRegion(region);
    if (!r || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    return combineClip(*dc, r->region, mode);
}

int WINAPI SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    Dc* dc = FindDc(hdc);
    if (!dc) return ERROR;
    return combineClip(*dc, Region::FromRect(deviceRect(*dc, left, top, right, bottom)), RGN_AND);
}

int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    Dc* dc = FindDc(hdc);
    if (!dc) return ERROR;
    return combineClip(*dc, Region::FromRect(deviceRect(*dc, left, top, right, bottom)), RGN_DIFF);
}

int WINAPI OffsetClipRgn(HDC hdc, int x, int y) {
    Dc* dc = FindDc(hdc);
    if (!dc) return ERROR;
    if (dc->state.clip) {
        POINT a = dc->ToDevice(POINT{0, 0}), b = dc->ToDevice(POINT{x, y});
        dc->state.clip->Offset(b.x - a.x, b.y - a.y);
    }
    return clipType(*dc);
}

int WINAPI GetClipBox(HDC hdc, LPRECT rect) {
    Dc* dc = FindDc(hdc);
    if (!dc || !rect) return ERROR;
    Region visible;
    try {
        visible = dc->DrawableRegion();
    } catch (const std::bad_alloc&) {
        return ERROR;
    }
    RECT box = visible.Extents();
    POINT a = dc->ToLogical(POINT{box.left, box.top}), b = dc->ToLogical(POINT{box.right, box.bottom});
    *rect = normalized(a.x, a.y, b.x, b.y);
    return visible.Type();
}

int WINAPI GetClipRgn(HDC hdc, HRGN region) {
    Dc* dc = FindDc(hdc);
    RegionObject* r = findRegion(region);
    if (!dc || !r) return -1;
    if (!dc->state.clip) return 0;
    r->region = *dc->state.clip;
    return 1;
}

BOOL WINAPI PtVisible(HDC hdc, int x, int y) {
    Dc* dc = FindDc(hdc);
    if (!dc) return FALSE;
    POINT p = dc->ToDevice(POINT{x, y});
    return dc->DrawableRegion().Contains(p.x, p.y);
}

BOOL WINAPI RectVisible(HDC hdc, const RECT* rect) {
    Dc* dc = FindDc(hdc);
    if (!dc || !rect) return FALSE;
    return dc->DrawableRegion().Overlaps(deviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom));
}

}  // extern "C"
