// Device contexts on surfaces owned outside GDI: the screen now, windows'
// backing pictures once the window manager draws through them.
#pragma once

#include <windows.h>

#include "gdi/surface.h"

namespace luma::gdi {

inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;
inline constexpr int kScreenBits = 32;

// A DC whose device point (0, 0) is origin inside surface and which draws
// only inside visible (device coordinates). The surface must outlive the
// DC and have 8 bits per pixel or more; origin must lie inside it.
// DeleteDC ends it. None when the fault injector or memory refuses.
HDC CreateDeviceDc(const Surface* surface, POINT origin, const RECT& visible);

}  // namespace luma::gdi
