#include "image/packed_dib.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "plugin/guards.h"

namespace {

const BITMAPINFOHEADER* header(const void* dib) { return static_cast<const BITMAPINFOHEADER*>(dib); }

bool supportedBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

// Largest pixel area a header can describe: the image size field is 32 bits.
constexpr std::uint64_t kMaxImageBytes = 0xFFFFFFFFu - sizeof(BITMAPINFOHEADER) - 1024;

// Clips [start, start + length) to [0, limit); empty when nothing remains.
void clipSpan(std::int64_t start, std::int64_t length, std::int64_t limit, std::int64_t& from,
              std::int64_t& to) {
    from = std::max<std::int64_t>(start, 0);
    to = std::min<std::int64_t>(start + length, limit);
}

}  // namespace

int DibBitsForDepthCode(int depthCode) {
    if (depthCode == 1) return 1;
    if (depthCode >= 2 && depthCode <= 4) return 4;
    if (depthCode >= 5 && depthCode <= 8) return 8;
    if (depthCode >= 9 && depthCode <= 24) return 24;
    return 32;
}

std::size_t DibStride(LONG width, int bits) {
    return static_cast<std::size_t>((static_cast<std::int64_t>(width) * bits + 31) / 32) * 4;
}

std::size_t DibTableBytes(int bits) { return bits <= 8 ? std::size_t{4} << bits : 0; }

bool DibLayout::From(const void* dib, DibLayout& layout) {
    const BITMAPINFOHEADER* h = header(dib);
    if (!supportedBits(h->biBitCount)) return false;
    layout.width = h->biWidth;
    layout.height = h->biHeight;
    layout.bits = h->biBitCount;
    layout.stride = DibStride(h->biWidth, h->biBitCount);
    layout.tableBytes = DibTableBytes(h->biBitCount);
    return true;
}

bool PackedDibFits(const void* dib, std::size_t blockSize) {
    if (!dib || blockSize < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER* h = header(dib);
    if (h->biSize != sizeof(BITMAPINFOHEADER) || h->biPlanes != 1 || h->biCompression != BI_RGB ||
        !supportedBits(h->biBitCount) || h->biWidth <= 0 || h->biHeight <= 0)
        return false;
    std::uint64_t rows = static_cast<std::uint64_t>(DibStride(h->biWidth, h->biBitCount)) * h->biHeight;
    return rows <= kMaxImageBytes &&
           sizeof(BITMAPINFOHEADER) + DibTableBytes(h->biBitCount) + rows <= blockSize;
}

HGLOBAL CreatePackedDib(LONG width, LONG height, const BYTE* palette, int depthCode) {
    // A picture without pixels is no DIB; refusing it here keeps every
    // caller's divisions and row loops safe.
    if (width <= 0 || height <= 0) return nullptr;
    int bits = DibBitsForDepthCode(depthCode);
    std::uint64_t imageBytes = static_cast<std::uint64_t>(DibStride(width, bits)) * height;
    if (imageBytes > kMaxImageBytes) return nullptr;
    std::size_t table = DibTableBytes(bits);
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + table + imageBytes));
    if (!block) return nullptr;
    GlobalLockGuard<BYTE> data(block.get());
    if (!data) return nullptr;
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(data.get());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bits);
    h->biCompression = BI_RGB;
    h->biSizeImage = static_cast<DWORD>(imageBytes);
    h->biClrUsed = h->biClrImportant = bits <= 8 ? 1u << bits : 0;
    if (palette && table) {
        auto* entry = reinterpret_cast<RGBQUAD*>(data.get() + sizeof(BITMAPINFOHEADER));
        for (unsigned i = 0; i < (1u << bits); ++i) {
            entry[i].rgbRed = palette[i * 3];
            entry[i].rgbGreen = palette[i * 3 + 1];
            entry[i].rgbBlue = palette[i * 3 + 2];
        }
    }
    return block.release();
}

HGLOBAL CopyGlobalBlock(HGLOBAL source) {
    SIZE_T size = source ? GlobalSize(source) : 0;
    if (size == 0) return nullptr;
    GlobalLockGuard<BYTE> from(source);
    if (!from) return nullptr;
    return GlobalBlockFromMemory(from.get(), size);
}

HGLOBAL GlobalBlockFromMemory(const void* bytes, SIZE_T size) {
    if (size == 0 || !bytes) return nullptr;
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block) return nullptr;
    GlobalLockGuard<BYTE> to(block.get());
    if (!to) return nullptr;
    std::memcpy(to.get(), bytes, size);
    return block.release();
}

DWORD GetDibPixel(const void* dib, LONG x, LONG y) {
    DibLayout l;
    if (!DibLayout::From(dib, l) || !l.Inside(x, y)) return kNoPixel;
    return l.Read(l.Row(dib, y), x);
}

void SetDibPixel(void* dib, LONG x, LONG y, DWORD value) {
    DibLayout l;
    if (!DibLayout::From(dib, l) || !l.Inside(x, y)) return;
    l.Write(l.Row(dib, y), x, value);
}

int FillDibRect(void* dib, LONG x, LONG y, LONG width, LONG height, DWORD value) {
    DibLayout l;
    if (!DibLayout::From(dib, l)) return 1;
    std::int64_t x0, x1, y0, y1;
    clipSpan(x, width, l.width, x0, x1);
    clipSpan(y, height, l.height, y0, y1);
    if (x0 >= x1 || y0 >= y1) return 1;
    BYTE px[4] = {static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value),
                  static_cast<BYTE>(value >> 24)};
    for (std::int64_t row = y0; row < y1; ++row) {
        BYTE* r = l.Row(dib, static_cast<LONG>(row));
        switch (l.bits) {
        case 8:
            std::memset(r + x0, static_cast<BYTE>(value), static_cast<std::size_t>(x1 - x0));
            break;
        case 24:
        case 32: {
            std::size_t bpp = l.bits / 8;
            for (BYTE* p = r + x0 * bpp; p < r + x1 * bpp; p += bpp) std::memcpy(p, px, bpp);
            break;
        }
        default:
            for (std::int64_t col = x0; col < x1; ++col) l.Write(r, static_cast<LONG>(col), value);
        }
    }
    return 1;
}

int CopyDibRect(void* target, LONG targetX, LONG targetY, const void* source, LONG sourceX, LONG sourceY,
                LONG width, LONG height) {
    DibLayout t, s;
    if (!DibLayout::From(target, t) || !DibLayout::From(source, s)) return 1;
    // Offsets into the rectangle that both pictures hold.
    std::int64_t c0 = std::max<std::int64_t>({0, -static_cast<std::int64_t>(sourceX), -static_cast<std::int64_t>(targetX)});
    std::int64_t c1 = std::min<std::int64_t>({width, static_cast<std::int64_t>(s.width) - sourceX,
                                              static_cast<std::int64_t>(t.width) - targetX});
    std::int64_t r0 = std::max<std::int64_t>({0, -static_cast<std::int64_t>(sourceY), -static_cast<std::int64_t>(targetY)});
    std::int64_t r1 = std::min<std::int64_t>({height, static_cast<std::int64_t>(s.height) - sourceY,
                                              static_cast<std::int64_t>(t.height) - targetY});
    if (c0 >= c1 || r0 >= r1) return 1;
    // Whole rows move at once only where that cannot differ from the pixel
    // order: same byte-sized format, and not one picture onto itself.
    bool rows = t.bits == s.bits && t.bits >= 8 && target != source;
    for (std::int64_t r = r0; r < r1; ++r) {
        BYTE* to = t.Row(target, static_cast<LONG>(targetY + r));
        const BYTE* from = s.Row(source, static_cast<LONG>(sourceY + r));
        if (rows) {
            std::size_t bpp = t.bits / 8;
            std::memcpy(to + (targetX + c0) * bpp, from + (sourceX + c0) * bpp, static_cast<std::size_t>(c1 - c0) * bpp);
            continue;
        }
        for (std::int64_t c = c0; c < c1; ++c)
            t.Write(to, static_cast<LONG>(targetX + c), s.Read(from, static_cast<LONG>(sourceX + c)));
    }
    return 1;
}

HGLOBAL ToTrueColourDib(HGLOBAL dib) {
    if (!dib) return nullptr;
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> src(dib);
    if (!src || !PackedDibFits(src.get(), size)) return nullptr;
    DibLayout s;
    DibLayout::From(src.get(), s);
    GlobalBlock result(CreatePackedDib(s.width, s.height, nullptr, 24));
    if (!result) return nullptr;
    GlobalLockGuard<BYTE> out(result.get());
    if (!out) return nullptr;
    DibLayout t;
    DibLayout::From(out.get(), t);
    const RGBQUAD* table = s.Table(src.get());
    for (LONG y = 0; y < s.height; ++y) {
        const BYTE* from = s.Row(src.get(), y);
        BYTE* to = t.Row(out.get(), y);
        for (LONG x = 0; x < s.width; ++x, to += 3) {
            if (s.bits >= 24) {
                std::memcpy(to, from + static_cast<std::size_t>(x) * (s.bits / 8), 3);
                continue;
            }
            DWORD index = s.Read(from, x);
            if (s.bits == 1) {
                BYTE level = index ? 0xFF : 0x00;
                to[0] = to[1] = to[2] = level;
            } else {
                to[0] = table[index].rgbBlue;
                to[1] = table[index].rgbGreen;
                to[2] = table[index].rgbRed;
            }
        }
    }
    return result.release();
}

void DibTableToTriplets(const void* dib, BYTE triplets[768]) {
    std::memset(triplets, 0, 768);
    DibLayout l;
    if (!DibLayout::From(dib, l) || l.bits > 8) return;
    const RGBQUAD* table = l.Table(dib);
    for (unsigned i = 0; i < (1u << l.bits); ++i) {
        triplets[i * 3] = table[i].rgbRed;
        triplets[i * 3 + 1] = table[i].rgbGreen;
        triplets[i * 3 + 2] = table[i].rgbBlue;
    }
}
