// The handle table, stock objects, selection and deletion.
#include "gdi/objects.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "fault.h"
#include "gdi/dc.h"
#include "luma/testing.h"

namespace luma::gdi {

namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<HANDLE, std::unique_ptr<Object>> objects;
    std::size_t liveObjects = 0;
    std::size_t liveDcs = 0;
};

Table& table() {
    static Table t;
    return t;
}

std::unique_ptr<Object> makeStock(int index) {
    auto brush = [](UINT style, COLORREF color) {
        auto b = std::make_unique<Brush>();
        b->log.lbStyle = style;
        b->log.lbColor = color;
        return b;
    };
    auto pen = [](UINT style, COLORREF color) {
        auto p = std::make_unique<Pen>();
        p->log.lopnStyle = style;
        p->log.lopnColor = color;
        return p;
    };
    auto font = [](const char* face, LONG height, BYTE pitch) {
        auto f = std::make_unique<Font>();
        f->log.lfHeight = height;
        f->log.lfWeight = FW_NORMAL;
        f->log.lfPitchAndFamily = pitch;
        std::strncpy(f->log.lfFaceName, face, LF_FACESIZE - 1);
        return f;
    };
    switch (index) {
    case WHITE_BRUSH: return brush(BS_SOLID, RGB(255, 255, 255));
    case LTGRAY_BRUSH: return brush(BS_SOLID, RGB(192, 192, 192));
    case GRAY_BRUSH: return brush(BS_SOLID, RGB(128, 128, 128));
    case DKGRAY_BRUSH: return brush(BS_SOLID, RGB(64, 64, 64));
    case BLACK_BRUSH: return brush(BS_SOLID, RGB(0, 0, 0));
    case NULL_BRUSH: return brush(BS_NULL, 0);
    case DC_BRUSH: {
        auto b = brush(BS_SOLID, RGB(255, 255, 255));
        b->dcBrush = true;
        return b;
    }
    case WHITE_PEN: return pen(PS_SOLID, RGB(255, 255, 255));
    case BLACK_PEN: return pen(PS_SOLID, RGB(0, 0, 0));
    case NULL_PEN: return pen(PS_NULL, 0);
    case DC_PEN: {
        auto p = pen(PS_SOLID, RGB(0, 0, 0));
        p->dcPen = true;
        return p;
    }
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: return font("Courier New", 12, FIXED_PITCH | FF_MODERN);
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT: return font("MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS);
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT: return font("System", 16, VARIABLE_PITCH | FF_SWISS);
    case DEFAULT_PALETTE: {
        static const BYTE colours[20][3] = {
            {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128},
            {192, 192, 192}, {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
            {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
            {0, 255, 255}, {255, 255, 255}};
        auto p = std::make_unique<Palette>();
        for (const auto& c : colours) p->entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
        return p;
    }
    default: return nullptr;
    }
}

constexpr int kStockCount = 20;

struct Stock {
    HGDIOBJ objects[kStockCount] = {};
    HBITMAP bitmap = nullptr;
    Stock() {
        Table& t = table();
        for (int i = 0; i < kStockCount; ++i) {
            std::unique_ptr<Object> o = makeStock(i);
            if (!o) continue;
            o->stock = true;
            HANDLE h = o.get();
            t.objects.emplace(h, std::move(o));
            objects[i] = h;
        }
        auto b = std::make_unique<Bitmap>();
        b->stock = true;
        b->header.biWidth = 1;
        b->header.biHeight = 1;
        b->header.biPlanes = 1;
        b->header.biBitCount = 1;
        b->storage = std::make_unique<BYTE[]>(4);
        b->table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        b->Bind();
        bitmap = static_cast<HBITMAP>(static_cast<HANDLE>(b.get()));
        t.objects.emplace(static_cast<HANDLE>(b.get()), std::move(b));
    }
};

Stock& stock() {
    static Stock s;
    return s;
}

std::size_t headerBytes(Kind kind) {
    switch (kind) {
    case Kind::Pen: return sizeof(LOGPEN);
    case Kind::Brush: return sizeof(LOGBRUSH);
    case Kind::Font: return sizeof(LOGFONTA);
    case Kind::Bitmap: return sizeof(BITMAP);
    case Kind::Palette: return sizeof(WORD);
    default: return 0;
    }
}

}  // namespace

void Bitmap::Bind() {
    int width = header.biWidth;
    int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    int bits = header.biBitCount;
    std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(DibStride(width, bits));
    surface.width = width;
    surface.height = height;
    surface.bits = bits;
    surface.table = table.empty() ? nullptr : table.data();
    surface.tableSize = static_cast<int>(table.size());
    surface.kernels = KernelsFor(bits);
    if (header.biHeight < 0 || !isDibSection) {
        surface.top = storage.get();
        surface.stride = stride;
    } else {
        surface.top = storage.get() + stride * (height - 1);
        surface.stride = -stride;
    }
}

Object* Find(HANDLE handle) {
    if (!handle) return nullptr;
    stock();
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(handle);
    return it == t.objects.end() ? nullptr : it->second.get();
}

Dc* FindDc(HDC dc) { return FindAs<Dc>(dc, Kind::Dc); }

HANDLE Register(std::unique_ptr<Object> object) {
    if (!object || !luma::detail::AllocationMayProceed()) return nullptr;
    stock();
    Table& t = table();
    HANDLE handle = object.get();
    bool isDc = object->kind == Kind::Dc;
    try {
        std::lock_guard guard(t.lock);
        t.objects.emplace(handle, std::move(object));
        if (isDc)
            ++t.liveDcs;
        else
            ++t.liveObjects;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return handle;
}

HANDLE RegisterSystemObject(std::unique_ptr<Object> object) {
    if (!object) return nullptr;
    stock();
    Table& t = table();
    object->stock = true;
    HANDLE handle = object.get();
    std::lock_guard guard(t.lock);
    t.objects.emplace(handle, std::move(object));
    return handle;
}

void Destroy(HANDLE handle) {
    Table& t = table();
    std::unique_ptr<Object> doomed;
    {
        std::lock_guard guard(t.lock);
        auto it = t.objects.find(handle);
        if (it == t.objects.end() || it->second->stock) return;
        doomed = std::move(it->second);
        t.objects.erase(it);
        if (doomed->kind == Kind::Dc)
            --t.liveDcs;
        else
            --t.liveObjects;
    }
}

HGDIOBJ StockObject(int index) {
    if (index < 0 || index >= kStockCount) return nullptr;
    return stock().objects[index];
}

HBITMAP StockBitmap() { return stock().bitmap; }

}  // namespace luma::gdi

namespace luma {

std::size_t LiveGdiObjects() {
    gdi::Table& t = gdi::table();
    std::lock_guard guard(t.lock);
    return t.liveObjects;
}

std::size_t LiveDeviceContexts() {
    gdi::Table& t = gdi::table();
    std::lock_guard guard(t.lock);
    return t.liveDcs;
}

}  // namespace luma

using namespace luma::gdi;

extern "C" {

HGDIOBJ WINAPI GetStockObject(int object) { return StockObject(object); }

DWORD WINAPI GetObjectType(HGDIOBJ handle) {
    Object* o = Find(handle);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (o->kind) {
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Region: return OBJ_REGION;
    case Kind::Palette: return OBJ_PAL;
    case Kind::Dc: return static_cast<Dc*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ handle) {
    Dc* dc = FindDc(hdc);
    Object* o = Find(handle);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
    case Kind::Pen: slot = reinterpret_cast<HGDIOBJ*>(&dc->state.pen); break;
    case Kind::Brush: slot = reinterpret_cast<HGDIOBJ*>(&dc->state.brush); break;
    case Kind::Font: slot = reinterpret_cast<HGDIOBJ*>(&dc->state.font); break;
    case Kind::Bitmap: {
        auto* bitmap = static_cast<Bitmap*>(o);
        // Only memory DCs hold bitmaps, and a bitmap lives in one DC at a time.
        if (!dc->memory) return nullptr;
        if (dc->state.bitmap == handle) return handle;
        if (bitmap->selections > 0 && !bitmap->stock) return nullptr;
        slot = reinterpret_cast<HGDIOBJ*>(&dc->state.bitmap);
        break;
    }
    case Kind::Region: {
        int type = SelectClipRgn(hdc, static_cast<HRGN>(handle));
        return reinterpret_cast<HGDIOBJ>(static_cast<INT_PTR>(type));
    }
    default: return nullptr;
    }
    HGDIOBJ previous = *slot;
    if (previous == handle) return previous;
    if (Object* old = Find(previous)) --old->selections;
    ++o->selections;
    *slot = handle;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    Object* o = Find(handle);
    if (!o || o->kind == Kind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    // Windows refuses to delete an object that a DC still has selected.
    if (o->selections > 0) return FALSE;
    Destroy(handle);
    return TRUE;
}

int WINAPI GetObjectA(HANDLE handle, int size, LPVOID buffer) {
    Object* o = Find(handle);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::size_t need = headerBytes(o->kind);
    if (o->kind == Kind::Bitmap && static_cast<Bitmap*>(o)->isDibSection && size >= static_cast<int>(sizeof(DIBSECTION)))
        need = sizeof(DIBSECTION);
    if (need == 0) return 0;
    if (!buffer) return static_cast<int>(need);
    if (size <= 0) return 0;
    std::size_t n = std::min<std::size_t>(need, static_cast<std::size_t>(size));
    switch (o->kind) {
    case Kind::Pen: {
        LOGPEN log = static_cast<Pen*>(o)->log;
        std::memcpy(buffer, &log, n);
        break;
    }
    case Kind::Brush: {
        LOGBRUSH log = static_cast<Brush*>(o)->log;
        std::memcpy(buffer, &log, n);
        break;
    }
    case Kind::Font: std::memcpy(buffer, &static_cast<Font*>(o)->log, n); break;
    case Kind::Palette: {
        WORD count = static_cast<WORD>(static_cast<Palette*>(o)->entries.size());
        std::memcpy(buffer, &count, n);
        break;
    }
    case Kind::Bitmap: {
        auto* b = static_cast<Bitmap*>(o);
        DIBSECTION ds{};
        ds.dsBm.bmType = 0;
        ds.dsBm.bmWidth = b->surface.width;
        ds.dsBm.bmHeight = b->surface.height;
        ds.dsBm.bmWidthBytes = static_cast<LONG>(DibStride(b->surface.width, b->surface.bits));
        if (!b->isDibSection) ds.dsBm.bmWidthBytes = ((b->surface.width * b->surface.bits + 15) / 16) * 2;
        ds.dsBm.bmPlanes = 1;
        ds.dsBm.bmBitsPixel = static_cast<WORD>(b->surface.bits);
        ds.dsBm.bmBits = b->isDibSection ? b->storage.get() : nullptr;
        ds.dsBmih = b->header;
        std::memcpy(buffer, &ds, n);
        break;
    }
    default: return 0;
    }
    return static_cast<int>(n);
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    Dc* dc = FindDc(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_BITMAP: return dc->state.bitmap;
    case OBJ_PAL: return dc->state.palette;
    default: return nullptr;
    }
}

// Drawing is done when each call returns; there is no batch to flush.
BOOL WINAPI GdiFlush(void) { return TRUE; }

}  // extern "C"
