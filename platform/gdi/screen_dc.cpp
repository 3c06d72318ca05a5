// The screen's device context. Windows' own DCs belong to the window
// manager, which takes these two calls over.
#include <memory>
#include <new>

#include "gdi/dc.h"
#include "gdi/device.h"

namespace {

// The screen is a picture of its own that lives as long as the process.
const luma::gdi::Surface* screenSurface() {
    static std::unique_ptr<BYTE[]> pixels;
    static luma::gdi::Surface surface;
    if (!pixels) {
        std::size_t stride = luma::gdi::DibStride(luma::gdi::kScreenWidth, luma::gdi::kScreenBits);
        pixels.reset(new (std::nothrow) BYTE[stride * luma::gdi::kScreenHeight]());
        if (!pixels) return nullptr;
        surface.top = pixels.get();
        surface.stride = static_cast<std::ptrdiff_t>(stride);
        surface.width = luma::gdi::kScreenWidth;
        surface.height = luma::gdi::kScreenHeight;
        surface.bits = luma::gdi::kScreenBits;
        surface.kernels = luma::gdi::KernelsFor(luma::gdi::kScreenBits);
    }
    return &surface;
}

}  // namespace

extern "C" {

HDC WINAPI GetDC(HWND window) {
    if (window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const luma::gdi::Surface* screen = screenSurface();
    if (!screen) return nullptr;
    return luma::gdi::CreateDeviceDc(screen, POINT{0, 0}, screen->Bounds());
}

int WINAPI ReleaseDC(HWND, HDC dc) {
    luma::gdi::Dc* d = luma::gdi::FindDc(dc);
    if (!d || d->memory) return 0;
    return DeleteDC(dc) ? 1 : 0;
}

}  // extern "C"
