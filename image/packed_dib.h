// PackedDib: a picture as one moveable global block holding a packed
// device-independent bitmap (40-byte header, colour table for 1, 4 and 8
// bits, rows bottom-up padded to 4 bytes). Frames travel to the host in this
// form, so the layout is fixed byte for byte.
#pragma once

#include <windows.h>

#include <cstddef>

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGBQUAD) == 4);

// GetDibPixel's answer outside the picture or for an unsupported depth.
inline constexpr DWORD kNoPixel = 0xFFFFFFFF;

// Bits per pixel for a depth code: 1 -> 1, 2..4 -> 4, 5..8 -> 8, 9..24 -> 24,
// above 24 or 0 -> 32.
int DibBitsForDepthCode(int depthCode);

// Bytes of one stored row: width x bits rounded up to a multiple of 4 bytes.
std::size_t DibStride(LONG width, int bits);

// Colour table bytes: 4 << bits for 1, 4 and 8 bits, none otherwise.
std::size_t DibTableBytes(int bits);

// Whether a block of blockSize bytes holds a complete PackedDib this code can
// read: 40-byte header, one plane, uncompressed, 1/4/8/24/32 bits, positive
// size, and enough bytes for table and rows. Used at the boundaries where
// pictures arrive from outside.
bool PackedDibFits(const void* dib, std::size_t blockSize);

// A new zeroed PackedDib, the first 2, 16 or 256 palette triplets (red,
// green, blue) turned into its colour table; none when the size is not
// positive, too large for the header, or memory fails.
HGLOBAL CreatePackedDib(LONG width, LONG height, const BYTE* palette, int depthCode);

// A new block with the same size and bytes; none for an empty block or when
// memory fails.
HGLOBAL CopyGlobalBlock(HGLOBAL block);

// A new moveable block holding a copy of size bytes; none when size is 0 or
// memory fails.
HGLOBAL GlobalBlockFromMemory(const void* bytes, SIZE_T size);

// Pixel value at (x, y) from the top-left: 0x00BBGGRR at 24 bits,
// 0xAABBGGRR at 32, the index at 1, 4 and 8; kNoPixel outside the picture or
// for another depth.
DWORD GetDibPixel(const void* dib, LONG x, LONG y);

// Writes a pixel value; outside the picture or at another depth nothing
// happens. 1-bit pictures take bit 0, 4-bit ones the low four bits.
void SetDibPixel(void* dib, LONG x, LONG y, DWORD value);

// Sets every pixel of the rectangle that lies inside the picture. Returns 1.
int FillDibRect(void* dib, LONG x, LONG y, LONG width, LONG height, DWORD value);

// Copies pixel values one by one wherever the source position lies inside
// the source and the target position inside the target. Returns 1.
int CopyDibRect(void* target, LONG targetX, LONG targetY, const void* source, LONG sourceX,
                LONG sourceY, LONG width, LONG height);

// A new 24-bit picture of the same size: 1-bit pictures become white on
// black, paletted ones their table colours, 24/32-bit ones their colours
// without alpha. None when memory fails or the picture cannot be read.
HGLOBAL ToTrueColourDib(HGLOBAL dib);

// A new picture of width x px / 100 + 0.5 by height x py / 100 + 0.5
// (truncated), resampled with filter 0 and blur 1.0; none on failure.
HGLOBAL ScaleDibPercent(HGLOBAL dib, int percentX, int percentY);

// Row access for loops that must give the bytes GetDibPixel/SetDibPixel
// would, without recomputing the address per pixel.
struct DibLayout {
    LONG width = 0;
    LONG height = 0;
    int bits = 0;
    std::size_t stride = 0;
    std::size_t tableBytes = 0;

    // False for a depth the pixel functions do not read.
    static bool From(const void* dib, DibLayout& layout);

    // Row y counted from the top.
    BYTE* Row(void* dib, LONG y) const {
        return static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER) + tableBytes +
               stride * static_cast<std::size_t>(height - 1 - y);
    }
    const BYTE* Row(const void* dib, LONG y) const { return Row(const_cast<void*>(dib), y); }
    // Pixel value at x of a row, and writing one, as GetDibPixel and
    // SetDibPixel do; the caller has checked x.
    DWORD Read(const BYTE* row, LONG x) const {
        switch (bits) {
        case 32: {
            const BYTE* p = row + static_cast<std::size_t>(x) * 4;
            return p[2] | (p[1] << 8) | (p[0] << 16) | (static_cast<DWORD>(p[3]) << 24);
        }
        case 24: {
            const BYTE* p = row + static_cast<std::size_t>(x) * 3;
            return p[2] | (p[1] << 8) | (p[0] << 16);
        }
        case 8:
            return row[x];
        case 4:
            return (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
        default:
            return (row[x / 8] >> (7 - (x & 7))) & 1;
        }
    }
    void Write(BYTE* row, LONG x, DWORD value) const {
        switch (bits) {
        case 32: {
            BYTE* p = row + static_cast<std::size_t>(x) * 4;
            p[0] = static_cast<BYTE>(value >> 16);
            p[1] = static_cast<BYTE>(value >> 8);
            p[2] = static_cast<BYTE>(value);
            p[3] = static_cast<BYTE>(value >> 24);
            break;
        }
        case 24: {
            BYTE* p = row + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<BYTE>(value >> 16);
            p[1] = static_cast<BYTE>(value >> 8);
            p[2] = static_cast<BYTE>(value);
            break;
        }
        case 8:
            row[x] = static_cast<BYTE>(value);
            break;
        case 4: {
            BYTE& b = row[x / 2];
            b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (value & 0x0F))
                        : static_cast<BYTE>((b & 0x0F) | ((value & 0x0F) << 4));
            break;
        }
        default: {
            BYTE mask = static_cast<BYTE>(128 >> (x & 7));
            BYTE& b = row[x / 8];
            b = (value & 1) ? static_cast<BYTE>(b | mask) : static_cast<BYTE>(b & ~mask);
            break;
        }
        }
    }
    bool Inside(LONG x, LONG y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    RGBQUAD* Table(void* dib) const {
        return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER));
    }
    const RGBQUAD* Table(const void* dib) const { return Table(const_cast<void*>(dib)); }
};

// The colour table as palette triplets (red, green, blue), 768 bytes, zero
// beyond the table; what CreatePackedDib takes to make a like picture.
void DibTableToTriplets(const void* dib, BYTE triplets[768]);
