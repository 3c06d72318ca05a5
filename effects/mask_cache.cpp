#include "effects/mask_cache.h"

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

// Enough for every turn of the largest wheels and many ring sets, and far
// below what the frames of a build take.
constexpr std::size_t kBudgetBytes = std::size_t{64} << 20;

HGLOBAL* Entries(const MaskCache& cache) { return static_cast<HGLOBAL*>(cache.entriesBlock); }

// What an 8-bit copy of the mask takes.
std::size_t NarrowBytes(HGLOBAL mask) {
    GlobalLockGuard<BITMAPINFOHEADER> header(mask);
    if (!header) return 0;
    LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    return sizeof(BITMAPINFOHEADER) + DibTableBytes(8) + DibStride(header->biWidth, 8) * static_cast<std::size_t>(height);
}

}  // namespace

bool OpenMaskCache(MaskCache& cache, int count) {
    CloseMaskCache(cache);
    if (count <= 0) return true;
    cache.entriesBlock = GlobalAlloc(GPTR, static_cast<SIZE_T>(count) * sizeof(HGLOBAL));
    if (!cache.entriesBlock) return false;
    cache.count = count;
    return true;
}

void CloseMaskCache(MaskCache& cache) {
    if (cache.entriesBlock) {
        for (int i = 0; i < cache.count; ++i)
            if (HGLOBAL mask = Entries(cache)[i]) GlobalFree(mask);
        GlobalFree(cache.entriesBlock);
    }
    cache = MaskCache{};
}

HGLOBAL CachedMask(MaskCache& cache, int index, HGLOBAL (*make)(const void* argument, int index),
                   const void* argument, bool* temporary) {
    *temporary = true;
    const bool slot = cache.entriesBlock && index >= 0 && index < cache.count;
    if (slot && Entries(cache)[index]) {
        *temporary = false;
        return Entries(cache)[index];
    }
    GlobalBlock made(make(argument, index));
    if (!made) return nullptr;
    const std::size_t bytes = NarrowBytes(made.get());
    if (!slot || bytes == 0 || cache.bytes + bytes > kBudgetBytes) return made.release();
    HGLOBAL narrow = NarrowCoverageMask(made.get());
    if (!narrow) return nullptr;
    Entries(cache)[index] = narrow;
    cache.bytes += bytes;
    *temporary = false;
    return narrow;
}

HGLOBAL NarrowCoverageMask(HGLOBAL mask) {
    GlobalLockGuard<BYTE> source(mask);
    DibLayout in;
    if (!source || !DibLayout::From(source.get(), in)) return nullptr;
    BYTE greys[768];
    for (int i = 0; i < 256; ++i) greys[3 * i] = greys[3 * i + 1] = greys[3 * i + 2] = static_cast<BYTE>(i);
    GlobalBlock narrow(CreatePackedDib(in.width, in.height, greys, 8));
    GlobalLockGuard<BYTE> target(narrow.get());
    DibLayout out;
    if (!target || !DibLayout::From(target.get(), out)) return nullptr;
    for (LONG y = 0; y < in.height; ++y) {
        const BYTE* from = in.Row(source.get(), y);
        BYTE* to = out.Row(target.get(), y);
        for (LONG x = 0; x < in.width; ++x) to[x] = static_cast<BYTE>(in.Read(from, x) & 0xFF);
    }
    return narrow.release();
}

HGLOBAL ReduceDrawing(HGLOBAL large) {
    GlobalBlock drawing(large);
    return drawing ? ScaleDibPercent(drawing.get(), 25, 25) : nullptr;
}
