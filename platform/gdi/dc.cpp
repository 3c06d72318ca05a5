// Device contexts: creation, attributes, coordinate mapping and clipping.
#include "gdi/dc.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

#include "gdi/device.h"

namespace luma::gdi {

namespace {

void selectDefaults(Dc& dc) {
    dc.state.pen = static_cast<HPEN>(StockObject(BLACK_PEN));
    dc.state.brush = static_cast<HBRUSH>(StockObject(WHITE_BRUSH));
    dc.state.font = static_cast<HFONT>(StockObject(SYSTEM_FONT));
    dc.state.palette = static_cast<HPALETTE>(StockObject(DEFAULT_PALETTE));
    if (dc.memory) dc.state.bitmap = StockBitmap();
    for (HANDLE h : {static_cast<HANDLE>(dc.state.pen), static_cast<HANDLE>(dc.state.brush),
                     static_cast<HANDLE>(dc.state.font), static_cast<HANDLE>(dc.state.palette),
                     static_cast<HANDLE>(dc.state.bitmap)})
        if (Object* o = Find(h)) ++o->selections;
}

void deselectAll(const DcState& state) {
    for (HANDLE h : {static_cast<HANDLE>(state.pen), static_cast<HANDLE>(state.brush),
                     static_cast<HANDLE>(state.font), static_cast<HANDLE>(state.palette),
                     static_cast<HANDLE>(state.bitmap)})
        if (Object* o = Find(h)) --o->selections;
}

void selectAll(const DcState& state) {
    for (HANDLE h : {static_cast<HANDLE>(state.pen), static_cast<HANDLE>(state.brush),
                     static_cast<HANDLE>(state.font), static_cast<HANDLE>(state.palette),
                     static_cast<HANDLE>(state.bitmap)})
        if (Object* o = Find(h)) ++o->selections;
}

long roundCoordinate(double v) { return static_cast<long>(std::floor(v + 0.5)); }

// Isotropic mapping keeps one unit the same size on both axes by shrinking
// the viewport extent along the longer axis.
void fixIsotropic(DcState& s) {
    if (s.mapMode != MM_ISOTROPIC) return;
    double xdim = std::fabs(static_cast<double>(s.viewportExtent.cx) / s.windowExtent.cx);
    double ydim = std::fabs(static_cast<double>(s.viewportExtent.cy) / s.windowExtent.cy);
    if (xdim > ydim) {
        LONG mincx = (s.windowExtent.cx * s.viewportExtent.cx < 0) ? -1 : 1;
        s.viewportExtent.cx = static_cast<LONG>(std::floor(s.viewportExtent.cx * ydim / xdim + 0.5));
        if (!s.viewportExtent.cx) s.viewportExtent.cx = mincx;
    } else if (xdim < ydim) {
        LONG mincy = (s.windowExtent.cy * s.viewportExtent.cy < 0) ? -1 : 1;
        s.viewportExtent.cy = static_cast<LONG>(std::floor(s.viewportExtent.cy * xdim / ydim + 0.5));
        if (!s.viewportExtent.cy) s.viewportExtent.cy = mincy;
    }
}

}  // namespace

const Surface* Dc::Target() const {
    if (device) return deviceView.Valid() ? &deviceView : nullptr;
    const Bitmap* b = FindAs<Bitmap>(state.bitmap, Kind::Bitmap);
    return b && b->surface.Valid() ? &b->surface : nullptr;
}

RECT Dc::SurfaceRect() const {
    const Surface* s = Target();
    if (!s) return RECT{0, 0, 0, 0};
    RECT r = s->Bounds();
    if (device) {
        r.left = std::max(r.left, deviceVisible.left);
        r.top = std::max(r.top, deviceVisible.top);
        r.right = std::min(r.right, deviceVisible.right);
        r.bottom = std::min(r.bottom, deviceVisible.bottom);
        if (r.left > r.right) r.right = r.left;
        if (r.top > r.bottom) r.bottom = r.top;
    }
    return r;
}

Region Dc::DrawableRegion() const {
    Region all = Region::FromRect(SurfaceRect());
    return state.clip ? state.clip->Intersect(all) : all;
}

POINT Dc::ToDevice(POINT p) const {
    const DcState& s = state;
    if (s.mapMode == MM_TEXT)
        return POINT{p.x - s.windowOrigin.x + s.viewportOrigin.x, p.y - s.windowOrigin.y + s.viewportOrigin.y};
    double sx = static_cast<double>(s.viewportExtent.cx) / s.windowExtent.cx;
    double sy = static_cast<double>(s.viewportExtent.cy) / s.windowExtent.cy;
    return POINT{static_cast<LONG>(roundCoordinate((p.x - s.windowOrigin.x) * sx + s.viewportOrigin.x)),
                 static_cast<LONG>(roundCoordinate((p.y - s.windowOrigin.y) * sy + s.viewportOrigin.y))};
}

POINT Dc::ToLogical(POINT p) const {
    const DcState& s = state;
    if (s.mapMode == MM_TEXT)
        return POINT{p.x - s.viewportOrigin.x + s.windowOrigin.x, p.y - s.viewportOrigin.y + s.windowOrigin.y};
    double sx = static_cast<double>(s.windowExtent.cx) / s.viewportExtent.cx;
    double sy = static_cast<double>(s.windowExtent.cy) / s.viewportExtent.cy;
    return POINT{static_cast<LONG>(roundCoordinate((p.x - s.viewportOrigin.x) * sx + s.windowOrigin.x)),
                 static_cast<LONG>(roundCoordinate((p.y - s.viewportOrigin.y) * sy + s.windowOrigin.y))};
}

int Dc::DeviceWidth(int logical) const {
    if (logical == 0) return 1;
    POINT a = ToDevice(POINT{0, 0}), b = ToDevice(POINT{logical, 0});
    int w = static_cast<int>(std::floor(std::hypot(static_cast<double>(b.x - a.x), static_cast<double>(b.y - a.y))));
    return std::max(w, 1);
}

HDC CreateDeviceDc(const Surface* surface, POINT origin, const RECT& visible) {
    if (!surface || !surface->Valid() || surface->bits < 8) return nullptr;
    if (origin.x < 0 || origin.y < 0 || origin.x > surface->width || origin.y > surface->height) return nullptr;
    std::unique_ptr<Dc> dc;
    try {
        dc = std::make_unique<Dc>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    dc->memory = false;
    dc->device = true;
    dc->deviceView = *surface;
    dc->deviceView.top = surface->Row(origin.y) + static_cast<std::size_t>(origin.x) * (surface->bits / 8);
    dc->deviceView.width = surface->width - origin.x;
    dc->deviceView.height = surface->height - origin.y;
    dc->deviceVisible = visible;
    Dc* raw = dc.get();
    HDC handle = static_cast<HDC>(Register(std::move(dc)));
    if (handle) selectDefaults(*raw);
    return handle;
}

}  // namespace luma::gdi

using namespace luma::gdi;

namespace {

template <class T, class F>
T withDc(HDC hdc, T fail, F f) {
    Dc* dc = FindDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return fail;
    }
    return f(*dc);
}

}  // namespace

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    if (hdc && !FindDc(hdc)) return nullptr;
    std::unique_ptr<Dc> dc;
    try {
        dc = std::make_unique<Dc>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    Dc* raw = dc.get();
    HDC handle = static_cast<HDC>(Register(std::move(dc)));
    if (!handle) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    selectDefaults(*raw);
    return handle;
}

BOOL WINAPI DeleteDC(HDC hdc) {
    Dc* dc = FindDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    deselectAll(dc->state);
    for (const DcState& s : dc->saved) deselectAll(s);
    Destroy(hdc);
    return TRUE;
}

int WINAPI SaveDC(HDC hdc) {
    return withDc(hdc, 0, [](Dc& dc) {
        try {
            dc.saved.push_back(dc.state);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        selectAll(dc.state);
        return static_cast<int>(dc.saved.size());
    });
}

BOOL WINAPI RestoreDC(HDC hdc, int level) {
    return withDc(hdc, FALSE, [&](Dc& dc) -> BOOL {
        int count = static_cast<int>(dc.saved.size());
        if (level < 0) level = count + 1 + level;
        if (level < 1 || level > count) return FALSE;
        // A saved bitmap may since have been selected elsewhere; Windows
        // restores it all the same.
        deselectAll(dc.state);
        dc.state = dc.saved[static_cast<std::size_t>(level - 1)];
        for (int i = count - 1; i >= level; --i) deselectAll(dc.saved[static_cast<std::size_t>(i)]);
        dc.saved.resize(static_cast<std::size_t>(level - 1));
        return TRUE;
    });
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    return withDc(hdc, 0, [&](Dc& dc) {
        int bits = kScreenBits;
        if (dc.memory) {
            const Surface* s = dc.Target();
            bits = s ? s->bits : 1;
        }
        switch (index) {
        case DRIVERVERSION: return 0x4000;
        case TECHNOLOGY: return DT_RASDISPLAY;
        case HORZSIZE: return kScreenWidth * 254 / 960;
        case VERTSIZE: return kScreenHeight * 254 / 960;
        case HORZRES: return kScreenWidth;
        case VERTRES: return kScreenHeight;
        case BITSPIXEL: return bits;
        case PLANES: return 1;
        case NUMBRUSHES:
        case NUMPENS: return -1;
        case NUMFONTS: return 0;
        case NUMCOLORS: return bits <= 8 ? 1 << bits : -1;
        case RASTERCAPS: return bits <= 8 ? RC_PALETTE : 0;
        case LOGPIXELSX:
        case LOGPIXELSY: return 96;
        case SIZEPALETTE: return bits <= 8 ? 1 << bits : 0;
        case NUMRESERVED: return bits <= 8 ? 20 : 0;
        case COLORRES: return 24;
        default: return 0;
        }
    });
}

int WINAPI SetROP2(HDC hdc, int rop2) {
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) return 0;
    return withDc(hdc, 0, [&](Dc& dc) { return std::exchange(dc.state.rop2, rop2); });
}
int WINAPI GetROP2(HDC hdc) { return withDc(hdc, 0, [](Dc& dc) { return dc.state.rop2; }); }

int WINAPI SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return withDc(hdc, 0, [&](Dc& dc) { return std::exchange(dc.state.bkMode, mode); });
}
int WINAPI GetBkMode(HDC hdc) { return withDc(hdc, 0, [](Dc& dc) { return dc.state.bkMode; }); }

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](Dc& dc) { return std::exchange(dc.state.bkColor, color); });
}
COLORREF WINAPI GetBkColor(HDC hdc) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [](Dc& dc) { return dc.state.bkColor; });
}
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](Dc& dc) { return std::exchange(dc.state.textColor, color); });
}
COLORREF WINAPI GetTextColor(HDC hdc) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [](Dc& dc) { return dc.state.textColor; });
}
UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
    return withDc(hdc, static_cast<UINT>(GDI_ERROR), [&](Dc& dc) { return std::exchange(dc.state.textAlign, align); });
}
UINT WINAPI GetTextAlign(HDC hdc) {
    return withDc(hdc, static_cast<UINT>(GDI_ERROR), [](Dc& dc) { return dc.state.textAlign; });
}
int WINAPI SetPolyFillMode(HDC hdc, int mode) {
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return withDc(hdc, 0, [&](Dc& dc) { return std::exchange(dc.state.fillMode, mode); });
}
int WINAPI GetPolyFillMode(HDC hdc) { return withDc(hdc, 0, [](Dc& dc) { return dc.state.fillMode; }); }
int WINAPI SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return withDc(hdc, 0, [&](Dc& dc) { return std::exchange(dc.state.stretchMode, mode); });
}
int WINAPI GetStretchBltMode(HDC hdc) { return withDc(hdc, 0, [](Dc& dc) { return dc.state.stretchMode; }); }

BOOL WINAPI SetBrushOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.brushOrigin;
        dc.state.brushOrigin = POINT{x, y};
        return TRUE;
    });
}
BOOL WINAPI GetBrushOrgEx(HDC hdc, LPPOINT origin) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (!origin) return FALSE;
        *origin = dc.state.brushOrigin;
        return TRUE;
    });
}
COLORREF WINAPI SetDCBrushColor(HDC hdc, COLORREF color) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](Dc& dc) { return std::exchange(dc.state.dcBrushColor, color); });
}
COLORREF WINAPI SetDCPenColor(HDC hdc, COLORREF color) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](Dc& dc) { return std::exchange(dc.state.dcPenColor, color); });
}

int WINAPI SetMapMode(HDC hdc, int mode) {
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    return withDc(hdc, 0, [&](Dc& dc) {
        DcState& s = dc.state;
        int previous = s.mapMode;
        if (mode == previous && (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC)) return previous;
        // Metric modes: one unit is a fixed length on a 96 dpi screen, y upwards.
        long px = 96;
        switch (mode) {
        case MM_TEXT: s.windowExtent = {1, 1}; s.viewportExtent = {1, 1}; break;
        case MM_LOMETRIC: s.windowExtent = {254, 254}; s.viewportExtent = {static_cast<LONG>(px), -static_cast<LONG>(px)}; break;
        case MM_HIMETRIC: s.windowExtent = {2540, 2540}; s.viewportExtent = {static_cast<LONG>(px), -static_cast<LONG>(px)}; break;
        case MM_LOENGLISH: s.windowExtent = {100, 100}; s.viewportExtent = {static_cast<LONG>(px), -static_cast<LONG>(px)}; break;
        case MM_HIENGLISH: s.windowExtent = {1000, 1000}; s.viewportExtent = {static_cast<LONG>(px), -static_cast<LONG>(px)}; break;
        case MM_TWIPS: s.windowExtent = {1440, 1440}; s.viewportExtent = {static_cast<LONG>(px), -static_cast<LONG>(px)}; break;
        case MM_ISOTROPIC: s.windowExtent = {kScreenWidth * 254 / 96, kScreenHeight * 254 / 96}; s.viewportExtent = {kScreenWidth, -kScreenHeight}; break;
        default: break;  // MM_ANISOTROPIC keeps the extents it had
        }
        s.mapMode = mode;
        fixIsotropic(s);
        return previous;
    });
}
int WINAPI GetMapMode(HDC hdc) { return withDc(hdc, 0, [](Dc& dc) { return dc.state.mapMode; }); }

BOOL WINAPI SetWindowExtEx(HDC hdc, int x, int y, LPSIZE previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) -> BOOL {
        DcState& s = dc.state;
        if (previous) *previous = s.windowExtent;
        if (s.mapMode != MM_ISOTROPIC && s.mapMode != MM_ANISOTROPIC) return TRUE;
        if (!x || !y) return FALSE;
        s.windowExtent = SIZE{x, y};
        fixIsotropic(s);
        return TRUE;
    });
}
BOOL WINAPI SetViewportExtEx(HDC hdc, int x, int y, LPSIZE previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) -> BOOL {
        DcState& s = dc.state;
        if (previous) *previous = s.viewportExtent;
        if (s.mapMode != MM_ISOTROPIC && s.mapMode != MM_ANISOTROPIC) return TRUE;
        if (!x || !y) return FALSE;
        s.viewportExtent = SIZE{x, y};
        fixIsotropic(s);
        return TRUE;
    });
}
BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.windowOrigin;
        dc.state.windowOrigin = POINT{x, y};
        return TRUE;
    });
}
BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.viewportOrigin;
        dc.state.viewportOrigin = POINT{x, y};
        return TRUE;
    });
}
BOOL WINAPI OffsetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.viewportOrigin;
        dc.state.viewportOrigin.x += x;
        dc.state.viewportOrigin.y += y;
        return TRUE;
    });
}
BOOL WINAPI OffsetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.windowOrigin;
        dc.state.windowOrigin.x += x;
        dc.state.windowOrigin.y += y;
        return TRUE;
    });
}
BOOL WINAPI GetWindowExtEx(HDC hdc, LPSIZE size) {
    return withDc(hdc, FALSE, [&](Dc& dc) { return size ? (*size = dc.state.windowExtent, TRUE) : FALSE; });
}
BOOL WINAPI GetViewportExtEx(HDC hdc, LPSIZE size) {
    return withDc(hdc, FALSE, [&](Dc& dc) { return size ? (*size = dc.state.viewportExtent, TRUE) : FALSE; });
}
BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT point) {
    return withDc(hdc, FALSE, [&](Dc& dc) { return point ? (*point = dc.state.windowOrigin, TRUE) : FALSE; });
}
BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT point) {
    return withDc(hdc, FALSE, [&](Dc& dc) { return point ? (*point = dc.state.viewportOrigin, TRUE) : FALSE; });
}
BOOL WINAPI LPtoDP(HDC hdc, LPPOINT points, int count) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        for (int i = 0; i < count; ++i) points[i] = dc.ToDevice(points[i]);
        return TRUE;
    });
}
BOOL WINAPI DPtoLP(HDC hdc, LPPOINT points, int count) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        for (int i = 0; i < count; ++i) points[i] = dc.ToLogical(points[i]);
        return TRUE;
    });
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
    return withDc(hdc, FALSE, [&](Dc& dc) {
        if (previous) *previous = dc.state.position;
        dc.state.position = POINT{x, y};
        return TRUE;
    });
}
BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT point) {
    return withDc(hdc, FALSE, [&](Dc& dc) { return point ? (*point = dc.state.position, TRUE) : FALSE; });
}

}  // extern "C"
