#include "image/drawing_surface.h"

#include <cstring>

#include "image/packed_dib.h"

int OpenDrawingSurface(LONG width, LONG height, DrawingSurface* surface) {
    if (!surface) return 0;
    *surface = DrawingSurface{};
    auto fail = [surface] {
        CloseDrawingSurface(surface, 0);
        return 0;
    };
    surface->screenContext = GetDC(nullptr);
    if (!surface->screenContext) return fail();
    surface->memoryContext = CreateCompatibleDC(surface->screenContext);
    if (!surface->memoryContext) return fail();
    surface->image = CreatePackedDib(width, height, nullptr, 24);
    if (!surface->image) return fail();
    surface->header = static_cast<BITMAPINFOHEADER*>(GlobalLock(surface->image));
    if (!surface->header) return fail();
    surface->section = CreateDIBSection(surface->memoryContext, reinterpret_cast<const BITMAPINFO*>(surface->header),
                                        DIB_RGB_COLORS, &surface->bits, nullptr, 0);
    if (!surface->section) return fail();
    GdiFlush();
    SetMapMode(surface->memoryContext, MM_ISOTROPIC);
    SetWindowExtEx(surface->memoryContext, width, height, nullptr);
    SetViewportExtEx(surface->memoryContext, width, height, nullptr);
    surface->previousBitmap = SelectObject(surface->memoryContext, surface->section);
    if (!surface->previousBitmap) return fail();
    surface->bounds = RECT{0, 0, width, height};
    return 1;
}

int CloseDrawingSurface(DrawingSurface* surface, int keep) {
    if (!surface) return 1;
    GdiFlush();
    if (surface->bits && surface->header) {
        std::size_t bytes = DibStride(surface->header->biWidth, 24) * static_cast<std::size_t>(surface->header->biHeight);
        std::memcpy(reinterpret_cast<BYTE*>(surface->header) + sizeof(BITMAPINFOHEADER), surface->bits, bytes);
    }
    if (surface->memoryContext && surface->previousBitmap) SelectObject(surface->memoryContext, surface->previousBitmap);
    if (surface->section) DeleteObject(surface->section);
    if (surface->memoryContext) DeleteDC(surface->memoryContext);
    if (surface->screenContext) ReleaseDC(nullptr, surface->screenContext);
    if (surface->image && surface->header) GlobalUnlock(surface->image);
    HGLOBAL image = surface->image;
    if (image && !(keep & 1)) {
        GlobalFree(image);
        image = nullptr;
    }
    *surface = DrawingSurface{};
    surface->image = image;
    return 1;
}
