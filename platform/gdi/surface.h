// The pixel layer: a surface is rows of pixels in one of the DIB formats,
// and each format has one set of kernels. Kernels never see a coordinate
// outside their surface; the layers above clip first.
//
// Pixel values are what the format stores: the table index for 1, 4 and 8
// bits, 0x00RRGGBB for 24 bits and 0xAARRGGBB for 32 bits. Raster
// operations reach the kernels as a pair of masks, new = (old & and) ^ xor.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace luma::gdi {

struct Surface;

struct PixelKernels {
    void (*fillRect)(const Surface& surface, const RECT& rect, DWORD andMask, DWORD xorMask);
    DWORD (*getPixel)(const Surface& surface, int x, int y);
    void (*setPixel)(const Surface& surface, int x, int y, DWORD value);
};

struct Surface {
    BYTE* top = nullptr;       // first byte of the topmost row
    std::ptrdiff_t stride = 0;  // from one row to the next one down; negative when stored bottom-up
    int width = 0;
    int height = 0;
    int bits = 0;
    const RGBQUAD* table = nullptr;  // 2, 16 or 256 entries for 1, 4 and 8 bits
    int tableSize = 0;
    const PixelKernels* kernels = nullptr;

    BYTE* Row(int y) const { return top + stride * y; }
    RECT Bounds() const { return RECT{0, 0, width, height}; }
    bool Valid() const { return top != nullptr && kernels != nullptr; }
};

const PixelKernels* KernelsFor(int bits);

// Row stride of a DIB: rows padded to 4 bytes.
std::size_t DibStride(int width, int bits);

// The stored value for a colour: the nearest table entry (first of equals)
// for paletted surfaces.
DWORD ColorToPixel(const Surface& surface, COLORREF color);
COLORREF PixelToColor(const Surface& surface, DWORD pixel);

// and/xor masks of a binary raster operation (R2_*) with pen value p.
void Rop2Masks(int rop2, DWORD pixel, DWORD& andMask, DWORD& xorMask);

// The result bits of a ternary raster operation on pattern, source and
// destination values.
inline DWORD ApplyRop3(DWORD rop, DWORD pattern, DWORD source, DWORD dest) {
    DWORD code = (rop >> 16) & 0xFF;
    DWORD out = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(code & (1u << i))) continue;
        DWORD p = (i & 4) ? pattern : ~pattern;
        DWORD s = (i & 2) ? source : ~source;
        DWORD d = (i & 1) ? dest : ~dest;
        out |= p & s & d;
    }
    return out;
}

}  // namespace luma::gdi
