// Index access within one stored row of a 1-, 4- or 8-bit PackedDib, for
// loops that already hold the row pointer.
#pragma once

#include <windows.h>

#include <cstring>

inline int RowIndex(const BYTE* row, int bits, LONG x) {
    switch (bits) {
    case 8: return row[x];
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// Only the low bits of the index that the depth holds are kept.
inline void SetRowIndex(BYTE* row, int bits, LONG x, int index) {
    switch (bits) {
    case 8:
        row[x] = static_cast<BYTE>(index);
        break;
    case 4: {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (index & 0x0F))
                    : static_cast<BYTE>((b & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    default: {
        BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
        BYTE& b = row[x >> 3];
        b = (index & 1) ? static_cast<BYTE>(b | mask) : static_cast<BYTE>(b & ~mask);
        break;
    }
    }
}

// Packs width indexes into a row of a zero-filled picture.
inline void PackIndexes(BYTE* row, int bits, const BYTE* indexes, LONG width) {
    switch (bits) {
    case 8:
        std::memcpy(row, indexes, static_cast<std::size_t>(width));
        break;
    case 4:
        for (LONG x = 0; x + 1 < width; x += 2)
            row[x >> 1] = static_cast<BYTE>(((indexes[x] & 0x0F) << 4) | (indexes[x + 1] & 0x0F));
        if (width & 1) row[width >> 1] = static_cast<BYTE>((indexes[width - 1] & 0x0F) << 4);
        break;
    default:
        for (LONG x = 0; x < width; x += 8) {
            BYTE b = 0;
            for (LONG k = 0; k < 8 && x + k < width; ++k) b |= static_cast<BYTE>((indexes[x + k] & 1) << (7 - k));
            row[x >> 3] = b;
        }
        break;
    }
}

// Copies the pixels of a row and none of its padding bits.
inline void CopyRowPixels(BYTE* to, const BYTE* from, int bits, LONG width) {
    std::size_t wholeBits = static_cast<std::size_t>(width) * bits;
    std::memcpy(to, from, wholeBits / 8);
    if (wholeBits % 8) {
        BYTE keep = static_cast<BYTE>(0xFF << (8 - wholeBits % 8));
        to[wholeBits / 8] = static_cast<BYTE>((to[wholeBits / 8] & ~keep) | (from[wholeBits / 8] & keep));
    }
}
