// DrawingSurface: a 24-bit DIB section in a memory device context on which
// effects draw with GDI; closing it copies the drawing into a PackedDib.
#pragma once

#include <windows.h>

// All fields are empty while the surface is closed (the image stays when it
// was kept).
struct DrawingSurface {
    HGLOBAL image = nullptr;                // the PackedDib that receives the drawing
    BITMAPINFOHEADER* header = nullptr;     // the image block, locked while open
    HBITMAP section = nullptr;              // DIB section made from that header
    HGDIOBJ previousBitmap = nullptr;       // selected in the memory context before the section
    void* bits = nullptr;                   // the section's pixels
    HDC memoryContext = nullptr;            // compatible with the screen
    HDC screenContext = nullptr;
    RECT bounds{0, 0, 0, 0};                // (0, 0, width, height)
};

// Makes a 24-bit PackedDib of width x height and a DIB section on it in a
// memory context whose mapping makes one logical unit one pixel, y down.
// Returns 1, or 0 after undoing what was made.
int OpenDrawingSurface(LONG width, LONG height, DrawingSurface* surface);

// Copies the drawing into the PackedDib and releases the GDI objects. With
// bit 0 of keep set the PackedDib stays (unlocked) in surface->image for the
// caller to take; otherwise it is freed. Every step is skipped when its
// object is absent, so a half-opened surface closes safely. Returns 1.
int CloseDrawingSurface(DrawingSurface* surface, int keep);
