// Pens, brushes and palettes.
#include <algorithm>
#include <cstring>
#include <new>

#include "gdi/dc.h"

using namespace luma::gdi;

namespace {

template <class T>
HANDLE registerNew(std::unique_ptr<T> object) {
    return Register(std::move(object));
}

template <class T>
std::unique_ptr<T> make() {
    try {
        return std::make_unique<T>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Reads a packed DIB's pixels into the brush's pattern colours.
bool loadPattern(Brush& brush, const BITMAPINFO* info, const BYTE* bits, const Surface* fallbackTable) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return false;
    int bitsPerPixel = h.biBitCount;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    if (h.biCompression != BI_RGB) return false;
    int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (static_cast<long long>(width) * height > (1 << 24)) return false;
    Surface s;
    s.width = width;
    s.height = height;
    s.bits = bitsPerPixel;
    s.kernels = KernelsFor(bitsPerPixel);
    std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(DibStride(width, bitsPerPixel));
    BYTE* base = const_cast<BYTE*>(bits);
    if (h.biHeight > 0) {
        s.top = base + stride * (height - 1);
        s.stride = -stride;
    } else {
        s.top = base;
        s.stride = stride;
    }
    std::vector<RGBQUAD> table;
    if (bitsPerPixel <= 8) {
        int n = h.biClrUsed && h.biClrUsed < (1u << bitsPerPixel) ? static_cast<int>(h.biClrUsed) : 1 << bitsPerPixel;
        const RGBQUAD* colours = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + h.biSize);
        if (fallbackTable && fallbackTable->table) {
            table.assign(fallbackTable->table, fallbackTable->table + fallbackTable->tableSize);
        } else {
            table.assign(colours, colours + n);
        }
        s.table = table.data();
        s.tableSize = static_cast<int>(table.size());
    }
    brush.patternWidth = width;
    brush.patternHeight = height;
    brush.pattern.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            DWORD v = s.kernels->getPixel(s, x, y);
            brush.pattern[static_cast<std::size_t>(y) * width + x] = brush.monoPattern ? v : PixelToColor(s, v);
        }
    return true;
}

}  // namespace

extern "C" {

HPEN WINAPI CreatePenIndirect(const LOGPEN* log) {
    if (!log) return nullptr;
    UINT style = log->lopnStyle & PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pen = make<Pen>();
    if (!pen) return nullptr;
    pen->log = *log;
    pen->log.lopnWidth.x = std::abs(pen->log.lopnWidth.x);
    pen->log.lopnWidth.y = 0;
    return static_cast<HPEN>(registerNew(std::move(pen)));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    LOGPEN log{static_cast<UINT>(style), POINT{width, 0}, color};
    return CreatePenIndirect(&log);
}

HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* log) {
    if (!log) return nullptr;
    switch (log->lbStyle) {
    case BS_SOLID:
    case BS_NULL:
        break;
    case BS_HATCHED:
        if (log->lbHatch > HS_DIAGCROSS) return nullptr;
        break;
    case BS_PATTERN:
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(log->lbHatch));
    case BS_DIBPATTERNPT:
        return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(log->lbHatch), static_cast<UINT>(log->lbColor));
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto brush = make<Brush>();
    if (!brush) return nullptr;
    brush->log = *log;
    if (log->lbStyle == BS_NULL) brush->log.lbColor = 0;
    return static_cast<HBRUSH>(registerNew(std::move(brush)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    LOGBRUSH log{BS_SOLID, color, 0};
    return CreateBrushIndirect(&log);
}

HBRUSH WINAPI CreateHatchBrush(int hatch, COLORREF color) {
    LOGBRUSH log{BS_HATCHED, color, static_cast<ULONG_PTR>(hatch)};
    return CreateBrushIndirect(&log);
}

HBRUSH WINAPI CreatePatternBrush(HBITMAP handle) {
    const Bitmap* b = FindAs<Bitmap>(handle, Kind::Bitmap);
    if (!b) return nullptr;
    auto brush = make<Brush>();
    if (!brush) return nullptr;
    try {
        const Surface& s = b->surface;
        brush->log.lbStyle = BS_PATTERN;
        brush->log.lbHatch = reinterpret_cast<ULONG_PTR>(handle);
        brush->monoPattern = !b->isDibSection && s.bits == 1;
        brush->patternWidth = s.width;
        brush->patternHeight = s.height;
        brush->pattern.resize(static_cast<std::size_t>(s.width) * s.height);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                DWORD v = s.kernels->getPixel(s, x, y);
                brush->pattern[static_cast<std::size_t>(y) * s.width + x] = brush->monoPattern ? v : PixelToColor(s, v);
            }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return static_cast<HBRUSH>(registerNew(std::move(brush)));
}

HBRUSH WINAPI CreateDIBPatternBrushPt(const void* packedDib, UINT usage) {
    if (!packedDib) return nullptr;
    const auto* info = static_cast<const BITMAPINFO*>(packedDib);
    if (info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return nullptr;
    auto brush = make<Brush>();
    if (!brush) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    std::size_t tableBytes = 0;
    if (h.biBitCount <= 8) {
        std::size_t n = h.biClrUsed ? h.biClrUsed : (std::size_t{1} << h.biBitCount);
        tableBytes = n * (usage == DIB_PAL_COLORS ? sizeof(WORD) : sizeof(RGBQUAD));
    }
    const BYTE* bits = static_cast<const BYTE*>(packedDib) + h.biSize + tableBytes;
    brush->log.lbStyle = BS_DIBPATTERNPT;
    brush->log.lbColor = usage;
    brush->log.lbHatch = reinterpret_cast<ULONG_PTR>(packedDib);
    try {
        if (usage == DIB_PAL_COLORS) {
            // Palette indexes resolve through the default palette.
            const Palette* pal = FindAs<Palette>(StockObject(DEFAULT_PALETTE), Kind::Palette);
            std::vector<RGBQUAD> table;
            const WORD* idx = reinterpret_cast<const WORD*>(static_cast<const BYTE*>(packedDib) + h.biSize);
            for (std::size_t i = 0; i < tableBytes / sizeof(WORD); ++i) {
                const PALETTEENTRY& e = pal->entries[idx[i] % pal->entries.size()];
                table.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
            }
            Surface t;
            t.table = table.data();
            t.tableSize = static_cast<int>(table.size());
            if (!loadPattern(*brush, info, bits, &t)) return nullptr;
        } else if (!loadPattern(*brush, info, bits, nullptr)) {
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return static_cast<HBRUSH>(registerNew(std::move(brush)));
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* log) {
    if (!log || log->palVersion != 0x300 || log->palNumEntries == 0) return nullptr;
    auto palette = make<Palette>();
    if (!palette) return nullptr;
    try {
        palette->entries.assign(log->palPalEntry, log->palPalEntry + log->palNumEntries);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return static_cast<HPALETTE>(registerNew(std::move(palette)));
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE handle, BOOL) {
    Dc* dc = FindDc(hdc);
    Palette* p = FindAs<Palette>(handle, Kind::Palette);
    if (!dc || !p) return nullptr;
    HPALETTE previous = dc->state.palette;
    if (previous == handle) return previous;
    if (Object* old = Find(previous)) --old->selections;
    ++p->selections;
    dc->state.palette = handle;
    return previous;
}

// Every surface here is true colour or carries its own colour table, so
// there is no system palette to realise into: Windows maps nothing then.
UINT WINAPI RealizePalette(HDC hdc) {
    if (!FindDc(hdc)) return GDI_ERROR;
    return 0;
}

UINT WINAPI GetPaletteEntries(HPALETTE handle, UINT start, UINT count, LPPALETTEENTRY entries) {
    const Palette* p = FindAs<Palette>(handle, Kind::Palette);
    if (!p) return 0;
    UINT size = static_cast<UINT>(p->entries.size());
    if (!entries) return size;
    if (start >= size) return 0;
    UINT n = std::min(count, size - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

COLORREF WINAPI GetNearestColor(HDC hdc, COLORREF color) {
    Dc* dc = FindDc(hdc);
    if (!dc) return CLR_INVALID;
    const Surface* s = dc->Target();
    if (!s) return color & 0x00FFFFFF;
    return PixelToColor(*s, ColorToPixel(*s, color & 0x00FFFFFF));
}

}  // extern "C"
