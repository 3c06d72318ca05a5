// Pixel kernels, written once and specialised per format.
#include <cstring>

#include "gdi/surface.h"

namespace luma::gdi {

namespace {

template <int Bits>
DWORD readPixel(const BYTE* row, int x) {
    if constexpr (Bits == 32) {
        DWORD v;
        std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
        return v;
    } else if constexpr (Bits == 24) {
        const BYTE* p = row + static_cast<std::size_t>(x) * 3;
        return p[0] | (p[1] << 8) | (static_cast<DWORD>(p[2]) << 16);
    } else if constexpr (Bits == 8) {
        return row[x];
    } else if constexpr (Bits == 4) {
        return (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
    } else {
        return (row[x / 8] >> (7 - (x & 7))) & 1;
    }
}

template <int Bits>
void writePixel(BYTE* row, int x, DWORD v) {
    if constexpr (Bits == 32) {
        std::memcpy(row + static_cast<std::size_t>(x) * 4, &v, 4);
    } else if constexpr (Bits == 24) {
        BYTE* p = row + static_cast<std::size_t>(x) * 3;
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        p[2] = static_cast<BYTE>(v >> 16);
    } else if constexpr (Bits == 8) {
        row[x] = static_cast<BYTE>(v);
    } else if constexpr (Bits == 4) {
        BYTE& b = row[x / 2];
        b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (v & 0x0F)) : static_cast<BYTE>((b & 0x0F) | ((v & 0x0F) << 4));
    } else {
        BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
        BYTE& b = row[x / 8];
        b = (v & 1) ? static_cast<BYTE>(b | mask) : static_cast<BYTE>(b & ~mask);
    }
}

template <int Bits>
void fillRect(const Surface& s, const RECT& r, DWORD andMask, DWORD xorMask) {
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* row = s.Row(y);
        if constexpr (Bits == 32) {
            DWORD* p = reinterpret_cast<DWORD*>(row) + r.left;
            if (andMask == 0) {
                for (int x = r.left; x < r.right; ++x) *p++ = xorMask;
            } else {
                for (int x = r.left; x < r.right; ++x, ++p) *p = (*p & andMask) ^ xorMask;
            }
        } else if constexpr (Bits == 24) {
            BYTE* p = row + static_cast<std::size_t>(r.left) * 3;
            BYTE a0 = static_cast<BYTE>(andMask), a1 = static_cast<BYTE>(andMask >> 8),
                 a2 = static_cast<BYTE>(andMask >> 16);
            BYTE x0 = static_cast<BYTE>(xorMask), x1 = static_cast<BYTE>(xorMask >> 8),
                 x2 = static_cast<BYTE>(xorMask >> 16);
            for (int x = r.left; x < r.right; ++x, p += 3) {
                p[0] = static_cast<BYTE>((p[0] & a0) ^ x0);
                p[1] = static_cast<BYTE>((p[1] & a1) ^ x1);
                p[2] = static_cast<BYTE>((p[2] & a2) ^ x2);
            }
        } else if constexpr (Bits == 8) {
            BYTE a = static_cast<BYTE>(andMask), xo = static_cast<BYTE>(xorMask);
            for (int x = r.left; x < r.right; ++x) row[x] = static_cast<BYTE>((row[x] & a) ^ xo);
        } else {
            for (int x = r.left; x < r.right; ++x)
                writePixel<Bits>(row, x, (readPixel<Bits>(row, x) & andMask) ^ xorMask);
        }
    }
}

template <int Bits>
DWORD getPixel(const Surface& s, int x, int y) {
    return readPixel<Bits>(s.Row(y), x);
}

template <int Bits>
void setPixel(const Surface& s, int x, int y, DWORD v) {
    writePixel<Bits>(s.Row(y), x, v);
}

template <int Bits>
constexpr PixelKernels kernelsOf{&fillRect<Bits>, &getPixel<Bits>, &setPixel<Bits>};

}  // namespace

const PixelKernels* KernelsFor(int bits) {
    switch (bits) {
    case 1:
        return &kernelsOf<1>;
    case 4:
        return &kernelsOf<4>;
    case 8:
        return &kernelsOf<8>;
    case 24:
        return &kernelsOf<24>;
    case 32:
        return &kernelsOf<32>;
    default:
        return nullptr;
    }
}

std::size_t DibStride(int width, int bits) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
}

DWORD ColorToPixel(const Surface& s, COLORREF color) {
    int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    if (s.bits > 8) return (static_cast<DWORD>(r) << 16) | (g << 8) | b;
    if (!s.table || s.tableSize == 0) return 0;
    DWORD best = 0;
    long bestDistance = -1;
    for (int i = 0; i < s.tableSize; ++i) {
        long dr = s.table[i].rgbRed - r, dg = s.table[i].rgbGreen - g, db = s.table[i].rgbBlue - b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<DWORD>(i);
            if (d == 0) break;
        }
    }
    return best;
}

COLORREF PixelToColor(const Surface& s, DWORD pixel) {
    if (s.bits > 8) return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    if (!s.table || static_cast<int>(pixel) >= s.tableSize) return 0;
    const RGBQUAD& q = s.table[pixel];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

void Rop2Masks(int rop2, DWORD p, DWORD& andMask, DWORD& xorMask) {
    switch (rop2) {
    case R2_BLACK: andMask = 0; xorMask = 0; break;
    case R2_NOTMERGEPEN: andMask = ~p; xorMask = ~p; break;
    case R2_MASKNOTPEN: andMask = ~p; xorMask = 0; break;
    case R2_NOTCOPYPEN: andMask = 0; xorMask = ~p; break;
    case R2_MASKPENNOT: andMask = p; xorMask = p; break;
    case R2_NOT: andMask = ~0u; xorMask = ~0u; break;
    case R2_XORPEN: andMask = ~0u; xorMask = p; break;
    case R2_NOTMASKPEN: andMask = p; xorMask = ~0u; break;
    case R2_MASKPEN: andMask = p; xorMask = 0; break;
    case R2_NOTXORPEN: andMask = ~0u; xorMask = ~p; break;
    case R2_NOP: andMask = ~0u; xorMask = 0; break;
    case R2_MERGENOTPEN: andMask = p; xorMask = ~p; break;
    case R2_MERGEPENNOT: andMask = ~p; xorMask = ~0u; break;
    case R2_MERGEPEN: andMask = ~p; xorMask = p; break;
    case R2_WHITE: andMask = 0; xorMask = ~0u; break;
    default: andMask = 0; xorMask = p; break;  // R2_COPYPEN
    }
}

}  // namespace luma::gdi
