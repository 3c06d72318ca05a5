// Bitmaps, DIB sections and blits.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "gdi/dc.h"
#include "gdi/paint.h"

using namespace luma::gdi;

namespace {

constexpr std::size_t kMaxImageBytes = 0x7FFFFFFF;

bool supportedBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

int tableEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount > 8) return 0;
    int full = 1 << h.biBitCount;
    return h.biClrUsed && static_cast<int>(h.biClrUsed) < full ? static_cast<int>(h.biClrUsed) : full;
}

// Checks a BITMAPINFO the way the DIB calls accept it: uncompressed (or
// 32-bit bitfields in the usual order), one plane, a supported depth.
bool acceptableHeader(const BITMAPINFO* info) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return false;
    if (!supportedBits(h.biBitCount)) return false;
    if (h.biCompression == BI_BITFIELDS) {
        if (h.biBitCount != 32) return false;
        const DWORD* masks = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(info) + h.biSize);
        return masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF;
    }
    if (h.biCompression != BI_RGB) return false;
    std::size_t height = static_cast<std::size_t>(h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight);
    std::size_t stride = DibStride(h.biWidth, h.biBitCount);
    return height <= kMaxImageBytes / stride;
}

// The colour table a BITMAPINFO carries, with palette indexes resolved
// through the DC's palette.
std::vector<RGBQUAD> tableOf(const BITMAPINFO* info, UINT usage, const Dc* dc) {
    std::vector<RGBQUAD> table;
    int n = tableEntries(info->bmiHeader);
    const BYTE* start = reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize;
    if (usage == DIB_PAL_COLORS) {
        const Palette* pal = dc ? FindAs<Palette>(dc->state.palette, Kind::Palette) : nullptr;
        const WORD* indexes = reinterpret_cast<const WORD*>(start);
        for (int i = 0; i < n; ++i) {
            RGBQUAD q{0, 0, 0, 0};
            if (pal && !pal->entries.empty()) {
                const PALETTEENTRY& e = pal->entries[indexes[i] % pal->entries.size()];
                q = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
            }
            table.push_back(q);
        }
    } else {
        const RGBQUAD* colours = reinterpret_cast<const RGBQUAD*>(start);
        table.assign(colours, colours + n);
    }
    return table;
}

// A read-only surface over DIB bits the caller holds.
struct DibView {
    Surface surface;
    std::vector<RGBQUAD> table;
    bool bottomUp = false;
};

bool makeView(const BITMAPINFO* info, const void* bits, UINT usage, const Dc* dc, DibView& view) {
    if (!acceptableHeader(info) || !bits) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    view.table = tableOf(info, usage, dc);
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(DibStride(h.biWidth, h.biBitCount));
    BYTE* base = static_cast<BYTE*>(const_cast<void*>(bits));
    Surface& s = view.surface;
    s.width = h.biWidth;
    s.height = height;
    s.bits = h.biBitCount;
    s.kernels = KernelsFor(s.bits);
    s.table = view.table.empty() ? nullptr : view.table.data();
    s.tableSize = static_cast<int>(view.table.size());
    view.bottomUp = h.biHeight > 0;
    if (view.bottomUp) {
        s.top = base + stride * (height - 1);
        s.stride = -stride;
    } else {
        s.top = base;
        s.stride = stride;
    }
    return true;
}

// Where source pixels come from and how their values become the
// destination's: monochrome bitmaps that are not DIBs take the destination
// DC's text colour for 0 and background colour for 1.
struct Source {
    const Surface* surface = nullptr;
    bool monoDdb = false;
    COLORREF sourceBk = RGB(255, 255, 255);  // source DC's background
};

bool isMonoDdb(const Bitmap* b) { return b && !b->isDibSection && b->surface.bits == 1; }

bool sameFormat(const Surface& a, const Surface& b) {
    if (a.bits != b.bits) return false;
    if (a.bits > 8) return true;
    if (a.tableSize != b.tableSize) return false;
    return std::memcmp(a.table, b.table, sizeof(RGBQUAD) * static_cast<std::size_t>(a.tableSize)) == 0;
}

bool ropUsesSource(DWORD rop) { return ((rop >> 2) & 0x330000) != (rop & 0x330000); }
bool ropUsesPattern(DWORD rop) { return ((rop >> 4) & 0x0F0000) != (rop & 0x0F0000); }

// Normalised pixel extent of (x, y, w, h): a negative extent covers the
// pixels before the start, the start included.
RECT boundsOf(int x, int y, int w, int h) {
    RECT r{x, y, x + w, y + h};
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
    return r;
}

// Copies (and stretches or mirrors) the source rectangle onto the device
// rectangle through the clip, combining with the ternary raster operation.
// Destination and source rectangles are in device pixels; a negative extent
// runs backwards from its start.
bool blit(Dc& dc, int dx, int dy, int dw, int dh, const Source* src, int sx, int sy, int sw, int sh, DWORD rop) {
    const Surface* target = dc.Target();
    if (!target) return true;
    const Surface& d = *target;
    if (dw == 0 || dh == 0) return true;
    if (src && (sw == 0 || sh == 0)) return true;
    Region visible = Region::FromRect(boundsOf(dx, dy, dw, dh)).Intersect(dc.DrawableRegion());
    if (visible.Empty()) return true;

    bool usesSource = src && ropUsesSource(rop);
    bool usesPattern = ropUsesPattern(rop);
    Fill pattern;
    if (usesPattern) {
        pattern = BrushFill(dc, d, dc.state.brush, R2_COPYPEN);
        if (pattern.type == Fill::None) usesPattern = false;
    }
    DWORD fgPixel = 0, bgPixel = 0;
    if (src && src->monoDdb) {
        fgPixel = ColorToPixel(d, dc.state.textColor & 0x00FFFFFF);
        bgPixel = ColorToPixel(d, dc.state.bkColor & 0x00FFFFFF);
    }
    const Surface* s = usesSource ? src->surface : nullptr;
    bool copy = s && sameFormat(*s, d) && !src->monoDdb;
    DWORD sourceBkPixel = s ? ColorToPixel(*s, src->sourceBk & 0x00FFFFFF) : 0;
    bool toMonoDdb = false;
    if (s) {
        const Bitmap* tb = FindAs<Bitmap>(dc.state.bitmap, Kind::Bitmap);
        toMonoDdb = dc.memory && isMonoDdb(tb) && !src->monoDdb;
    }
    const int adw = std::abs(dw), adh = std::abs(dh), asw = std::abs(sw), ash = std::abs(sh);
    const bool stretch = s && (adw != asw || adh != ash);
    const bool halftone = stretch && dc.state.stretchMode == HALFTONE && (asw > adw || ash > adh) && s->bits > 8 && d.bits > 8;

    auto sourceValue = [&](int i, int j, DWORD& out) -> bool {
        // i, j count from the destination's start edge.
        int si = stretch ? static_cast<int>(static_cast<long long>(i) * asw / adw) : i;
        int sj = stretch ? static_cast<int>(static_cast<long long>(j) * ash / adh) : j;
        int px = sw > 0 ? sx + si : sx - si;
        int py = sh > 0 ? sy + sj : sy - sj;
        if (px < 0 || py < 0 || px >= s->width || py >= s->height) return false;
        if (halftone) {
            int i2 = static_cast<int>(static_cast<long long>(i + 1) * asw / adw);
            int j2 = static_cast<int>(static_cast<long long>(j + 1) * ash / adh);
            unsigned long long r = 0, g = 0, b = 0, n = 0;
            for (int v = sj; v < std::max(j2, sj + 1); ++v)
                for (int u = si; u < std::max(i2, si + 1); ++u) {
                    int qx = sw > 0 ? sx + u : sx - u, qy = sh > 0 ? sy + v : sy - v;
                    if (qx < 0 || qy < 0 || qx >= s->width || qy >= s->height) continue;
                    COLORREF c = PixelToColor(*s, s->kernels->getPixel(*s, qx, qy));
                    r += GetRValue(c);
                    g += GetGValue(c);
                    b += GetBValue(c);
                    ++n;
                }
            out = ColorToPixel(d, RGB(r / n, g / n, b / n));
            return true;
        }
        DWORD v = s->kernels->getPixel(*s, px, py);
        if (copy)
            out = v;
        else if (src->monoDdb)
            out = v ? bgPixel : fgPixel;
        else if (toMonoDdb)
            out = v == sourceBkPixel ? 1 : 0;
        else
            out = ColorToPixel(d, PixelToColor(*s, v));
        return true;
    };

    for (const RECT& r : visible.Rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            int j = dh > 0 ? y - dy : dy - y;
            for (int x = r.left; x < r.right; ++x) {
                int i = dw > 0 ? x - dx : dx - x;
                DWORD sv = 0;
                if (s && !sourceValue(i, j, sv)) continue;
                DWORD value;
                if (rop == SRCCOPY) {
                    value = sv;
                } else {
                    DWORD pv = 0;
                    if (usesPattern && !PatternValue(pattern, d, x, y, pv)) continue;
                    DWORD dv = d.kernels->getPixel(d, x, y);
                    value = ApplyRop3(rop, pv, sv, dv);
                }
                d.kernels->setPixel(d, x, y, value);
            }
        }
    }
    return true;
}

HBITMAP registerBitmap(std::unique_ptr<Bitmap> b) {
    b->Bind();
    return static_cast<HBITMAP>(Register(std::move(b)));
}

std::unique_ptr<Bitmap> newBitmap(int width, int height, int bits, bool topDown) {
    auto b = std::make_unique<Bitmap>();
    std::size_t stride = DibStride(width, bits);
    std::size_t bytes = stride * static_cast<std::size_t>(height);
    if (!b->charge.Take(bytes)) return nullptr;
    b->storage.reset(new (std::nothrow) BYTE[bytes ? bytes : 1]());
    if (!b->storage) return nullptr;
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->header.biWidth = width;
    b->header.biHeight = topDown ? -height : height;
    b->header.biPlanes = 1;
    b->header.biBitCount = static_cast<WORD>(bits);
    b->header.biCompression = BI_RGB;
    b->header.biSizeImage = static_cast<DWORD>(bytes);
    return b;
}

}  // namespace

extern "C" {

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
    if (bits) *bits = nullptr;
    if (section || !acceptableHeader(info) || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    try {
        int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        std::unique_ptr<Bitmap> b = newBitmap(h.biWidth, height, h.biBitCount, h.biHeight < 0);
        if (!b) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        b->isDibSection = true;
        b->header.biHeight = h.biHeight;
        b->header.biClrUsed = static_cast<DWORD>(tableEntries(h));
        if (h.biBitCount > 8) b->header.biClrUsed = 0;
        b->table = tableOf(info, usage, FindDc(hdc));
        BYTE* data = b->storage.get();
        HBITMAP handle = registerBitmap(std::move(b));
        if (!handle) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (bits) *bits = data;
        return handle;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
    if (width < 0 || height < 0 || planes != 1 || !supportedBits(static_cast<int>(bitCount))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0) return StockBitmap();
    if (DibStride(width, static_cast<int>(bitCount)) > kMaxImageBytes / static_cast<std::size_t>(height)) return nullptr;
    try {
        std::unique_ptr<Bitmap> b = newBitmap(width, height, static_cast<int>(bitCount), true);
        if (!b) return nullptr;
        if (bitCount == 1) b->table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        if (bitCount == 4 || bitCount == 8) {
            const Palette* pal = FindAs<Palette>(StockObject(DEFAULT_PALETTE), Kind::Palette);
            b->table.assign(std::size_t{1} << bitCount, RGBQUAD{0, 0, 0, 0});
            for (std::size_t i = 0; i < pal->entries.size() && i < b->table.size(); ++i) {
                const PALETTEENTRY& e = pal->entries[i];
                b->table[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
            }
        }
        if (bits) {
            // Bitmap rows handed in are padded to 2 bytes.
            std::size_t in = ((static_cast<std::size_t>(width) * bitCount + 15) / 16) * 2;
            std::size_t out = DibStride(width, static_cast<int>(bitCount));
            for (int y = 0; y < height; ++y)
                std::memcpy(b->storage.get() + out * y, static_cast<const BYTE*>(bits) + in * y, in);
        }
        return registerBitmap(std::move(b));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height) {
    Dc* dc = FindDc(hdc);
    if (!dc || width < 0 || height < 0) return nullptr;
    if (width == 0 || height == 0) return StockBitmap();
    const Surface* s = dc->Target();
    int bits = s ? s->bits : 32;
    if (bits == 1) return CreateBitmap(width, height, 1, 1, nullptr);
    if (DibStride(width, bits) > kMaxImageBytes / static_cast<std::size_t>(height)) return nullptr;
    try {
        std::unique_ptr<Bitmap> b = newBitmap(width, height, bits, true);
        if (!b) return nullptr;
        if (s && s->table) b->table.assign(s->table, s->table + s->tableSize);
        return registerBitmap(std::move(b));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

UINT WINAPI GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
    Dc* dc = FindDc(hdc);
    const Bitmap* b = dc ? FindAs<Bitmap>(dc->state.bitmap, Kind::Bitmap) : nullptr;
    if (!b || !colors || start >= b->table.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(b->table.size()) - start);
    std::copy_n(b->table.begin() + start, n, colors);
    return n;
}

UINT WINAPI SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
    Dc* dc = FindDc(hdc);
    Bitmap* b = dc ? FindAs<Bitmap>(dc->state.bitmap, Kind::Bitmap) : nullptr;
    if (!b || !b->isDibSection || !colors || start >= b->table.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(b->table.size()) - start);
    std::copy_n(colors, n, b->table.begin() + start);
    return n;
}

int WINAPI GetDIBits(HDC hdc, HBITMAP handle, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage) {
    Dc* dc = FindDc(hdc);
    const Bitmap* b = FindAs<Bitmap>(handle, Kind::Bitmap);
    if (!dc || !b || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    const Surface& s = b->surface;
    if (h.biBitCount == 0) {
        // Only the bitmap's description is asked for.
        h.biWidth = s.width;
        h.biHeight = b->header.biHeight < 0 && b->isDibSection ? -s.height : s.height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(s.bits);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(DibStride(s.width, s.bits) * s.height);
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return 1;
    }
    if (!supportedBits(h.biBitCount) || h.biCompression != BI_RGB || h.biWidth != s.width) return 0;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (height == 0) return 0;
    h.biSizeImage = static_cast<DWORD>(DibStride(s.width, h.biBitCount) * height);
    // The destination table: the bitmap's own at its depth, else black and
    // white or the default palette.
    std::vector<RGBQUAD> table;
    if (h.biBitCount <= 8) {
        if (h.biBitCount == s.bits && !b->table.empty()) {
            table = b->table;
        } else if (h.biBitCount == 1) {
            table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        } else {
            const Palette* pal = FindAs<Palette>(StockObject(DEFAULT_PALETTE), Kind::Palette);
            for (const PALETTEENTRY& e : pal->entries) table.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
        }
        table.resize(std::size_t{1} << h.biBitCount, RGBQUAD{0, 0, 0, 0});
        if (usage == DIB_RGB_COLORS) std::copy(table.begin(), table.end(), info->bmiColors);
        h.biClrUsed = 0;
    }
    if (!bits) return static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(height)));
    DibView view;
    view.table = table;
    Surface& out = view.surface;
    out.width = s.width;
    out.height = height;
    out.bits = h.biBitCount;
    out.kernels = KernelsFor(out.bits);
    out.table = view.table.empty() ? nullptr : view.table.data();
    out.tableSize = static_cast<int>(view.table.size());
    std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(DibStride(s.width, h.biBitCount));
    bool bottomUp = h.biHeight > 0;
    int copied = 0;
    // Scan lines count from the bottom of the picture for bottom-up DIBs.
    for (UINT k = 0; k < lines; ++k) {
        int scan = static_cast<int>(start + k);
        if (scan >= height || scan >= s.height) break;
        int rowFromTop = bottomUp ? s.height - 1 - scan : scan;
        BYTE* row = static_cast<BYTE*>(bits) + stride * k;
        out.top = row;
        out.stride = stride;
        for (int x = 0; x < s.width; ++x) {
            DWORD v = s.kernels->getPixel(s, x, rowFromTop);
            DWORD w = sameFormat(s, out) ? v : ColorToPixel(out, PixelToColor(s, v));
            out.kernels->setPixel(out, x, 0, w);
        }
        ++copied;
    }
    return copied;
}

int WINAPI SetDIBits(HDC hdc, HBITMAP handle, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    Dc* dc = FindDc(hdc);
    Bitmap* b = FindAs<Bitmap>(handle, Kind::Bitmap);
    DibView view;
    if (!b || !makeView(info, bits, usage, dc, view)) return 0;
    const Surface& src = view.surface;
    Surface& dst = b->surface;
    int copied = 0;
    for (UINT k = 0; k < lines; ++k) {
        int scan = static_cast<int>(start + k);
        if (scan >= src.height) break;
        // Bits hold only the scan lines from start on.
        int srcRow = view.bottomUp ? src.height - 1 - static_cast<int>(k) : static_cast<int>(k);
        int dstRow = view.bottomUp ? dst.height - 1 - scan : scan;
        if (dstRow < 0 || dstRow >= dst.height) continue;
        for (int x = 0; x < std::min(src.width, dst.width); ++x) {
            DWORD v = src.kernels->getPixel(src, x, srcRow);
            dst.kernels->setPixel(dst, x, dstRow, sameFormat(src, dst) ? v : ColorToPixel(dst, PixelToColor(src, v)));
        }
        ++copied;
    }
    return copied;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    return StretchBlt(hdc, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL WINAPI StretchBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight, DWORD rop) {
    Dc* dc = FindDc(hdc);
    if (!dc) return FALSE;
    Source src;
    Dc* sdc = nullptr;
    if (ropUsesSource(rop)) {
        sdc = FindDc(source);
        if (!sdc) return FALSE;
        src.surface = sdc->Target();
        if (!src.surface) return FALSE;
        src.monoDdb = sdc->memory && isMonoDdb(FindAs<Bitmap>(sdc->state.bitmap, Kind::Bitmap));
        src.sourceBk = sdc->state.bkColor;
    }
    POINT a = dc->ToDevice(POINT{x, y}), b = dc->ToDevice(POINT{x + width, y + height});
    int sx = 0, sy = 0, sw = 0, sh = 0;
    if (sdc) {
        POINT c = sdc->ToDevice(POINT{sourceX, sourceY}), d = sdc->ToDevice(POINT{sourceX + sourceWidth, sourceY + sourceHeight});
        sx = c.x;
        sy = c.y;
        sw = d.x - c.x;
        sh = d.y - c.y;
    }
    try {
        return blit(*dc, a.x, a.y, b.x - a.x, b.y - a.y, sdc ? &src : nullptr, sx, sy, sw, sh, rop);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

int WINAPI StretchDIBits(HDC hdc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                         int sourceHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    Dc* dc = FindDc(hdc);
    if (!dc) return 0;
    DibView view;
    try {
        if (!makeView(info, bits, usage, dc, view)) return 0;
        Source src;
        src.surface = &view.surface;
        // Bottom-up DIBs measure the source rectangle from their lower-left
        // corner; a negative extent runs back from its start, start included.
        int sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;
        if (view.bottomUp) {
            int h = view.surface.height;
            sy = sh > 0 ? h - sourceY - sh : h - 1 - (sourceY + sh + 1);
        }
        POINT a = dc->ToDevice(POINT{x, y}), b = dc->ToDevice(POINT{x + width, y + height});
        int dx = a.x, dy = a.y, dw = b.x - a.x, dh = b.y - a.y;
        if (!blit(*dc, dx, dy, dw, dh, ropUsesSource(rop) ? &src : nullptr, sx, sy, sw, sh, rop)) return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return std::abs(sourceHeight);
}

int WINAPI SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                             UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
    Dc* dc = FindDc(hdc);
    if (!dc || !info) return 0;
    DibView view;
    try {
        if (!makeView(info, bits, usage, dc, view)) return 0;
        Surface& s = view.surface;
        int fullHeight = s.height;
        if (view.bottomUp) {
            // The bits hold scan lines startScan.. from the bottom; show the
            // view as the whole picture with only those rows present.
            UINT available = std::min<UINT>(scanLines, static_cast<UINT>(fullHeight) - std::min<UINT>(startScan, static_cast<UINT>(fullHeight)));
            if (available == 0) return 0;
            std::ptrdiff_t stride = -s.stride;
            BYTE* base = static_cast<BYTE*>(const_cast<void*>(bits));
            s.height = static_cast<int>(available);
            s.top = base + stride * (s.height - 1);
            // Row r from the top of the picture is row r - (fullHeight - startScan - available) here.
            int hiddenTop = fullHeight - static_cast<int>(startScan) - static_cast<int>(available);
            int sy = fullHeight - sourceY - static_cast<int>(height) - hiddenTop;
            Source src;
            src.surface = &s;
            POINT a = dc->ToDevice(POINT{x, y});
            if (!blit(*dc, a.x, a.y, static_cast<int>(width), static_cast<int>(height), &src, sourceX, sy,
                      static_cast<int>(width), static_cast<int>(height), SRCCOPY))
                return 0;
            return static_cast<int>(available);
        }
        Source src;
        src.surface = &s;
        POINT a = dc->ToDevice(POINT{x, y});
        if (!blit(*dc, a.x, a.y, static_cast<int>(width), static_cast<int>(height), &src, sourceX,
                  sourceY + static_cast<int>(startScan), static_cast<int>(width), static_cast<int>(height), SRCCOPY))
            return 0;
        return static_cast<int>(std::min<UINT>(scanLines, static_cast<UINT>(fullHeight)));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // extern "C"
