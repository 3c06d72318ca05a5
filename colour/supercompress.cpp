#include "colour/supercompress.h"

#include <algorithm>
#include <cstring>

#include "colour/pixel_rows.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

constexpr BYTE kMaskPalette[6] = {0, 0, 0, 255, 255, 255};

bool Readable(const GlobalLockGuard<BYTE>& dib, HGLOBAL handle, DibLayout& layout) {
    return dib && PackedDibFits(dib.get(), GlobalSize(handle)) && DibLayout::From(dib.get(), layout);
}

// Marks one frame against the reference and brings the reference up to it.
// Both are 24-bit pictures of the same size.
void MarkSameSize(BYTE* reference, const DibLayout& r, const BYTE* frame, BYTE* mask, const DibLayout& m) {
    for (LONG y = 0; y < r.height; ++y) {
        BYTE* seen = r.Row(reference, y);
        const BYTE* now = r.Row(frame, y);
        BYTE* bits = m.Row(mask, y);
        for (LONG x = 0; x < r.width; ++x, seen += 3, now += 3) {
            if (seen[0] == now[0] && seen[1] == now[1] && seen[2] == now[2])
                bits[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            else
                std::memcpy(seen, now, 3);
        }
    }
}

// Any other pair, pixel by pixel: a position the reference lacks has changed.
void MarkAnySize(BYTE* reference, const BYTE* frame, BYTE* mask, const DibLayout& m) {
    for (LONG y = 0; y < m.height; ++y) {
        BYTE* bits = m.Row(mask, y);
        for (LONG x = 0; x < m.width; ++x) {
            DWORD now = GetDibPixel(frame, x, y);
            if (GetDibPixel(reference, x, y) == now)
                bits[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            else
                SetDibPixel(reference, x, y, now);
        }
    }
}

}  // namespace

int MarkUnchangedPixels(FrameList& frames, COLORREF /*background*/, MarkProgress progress, void* context) {
    if (frames.count <= 0) return 1;
    if (!frames.records || GlobalSize(frames.records) < frames.count * sizeof(FrameRecord)) return 0;
    GlobalLockGuard<FrameRecord> records(frames.records);
    if (!records) return 0;
    // The new masks are kept aside until every frame is done, so a failure
    // leaves the records untouched.
    HeapArray<HGLOBAL> made;
    if (!made.allocate(static_cast<std::size_t>(frames.count))) return 0;
    struct FreeMade {
        HeapArray<HGLOBAL>& masks;
        bool keep = false;
        ~FreeMade() {
            if (!keep)
                for (HGLOBAL m : masks)
                    if (m) GlobalFree(m);
        }
    } guard{made};

    GlobalBlock reference;
    for (int i = 0; i < frames.count; ++i) {
        if (progress) progress(context, i, frames.count);
        HGLOBAL image = records.get()[i].image;
        if (i == 0) {
            reference.reset(CopyGlobalBlock(image));
            if (!reference) return 0;
            continue;
        }
        GlobalLockGuard<BYTE> frame(image);
        DibLayout f;
        if (!Readable(frame, image, f)) return 0;
        made[i] = CreatePackedDib(f.width, f.height, kMaskPalette, 1);
        if (!made[i]) return 0;
        GlobalLockGuard<BYTE> mask(made[i]);
        GlobalLockGuard<BYTE> seen(reference.get());
        DibLayout m, r;
        if (!mask || !Readable(seen, reference.get(), r)) return 0;
        DibLayout::From(mask.get(), m);
        if (r.bits == 24 && f.bits == 24 && r.width == f.width && r.height == f.height)
            MarkSameSize(seen.get(), r, frame.get(), mask.get(), m);
        else
            MarkAnySize(seen.get(), frame.get(), mask.get(), m);
    }
    guard.keep = true;
    for (int i = 0; i < frames.count; ++i) {
        FrameRecord& record = records.get()[i];
        if (record.mask) GlobalFree(record.mask);
        record.mask = made[i];
    }
    return 1;
}

int ApplyChangeMask(HGLOBAL remapped, HGLOBAL mask, int spareIndex, COLORREF background) {
    if (spareIndex < 0) return 1;
    if (!remapped || !mask) return 0;
    GlobalLockGuard<BYTE> picture(remapped);
    GlobalLockGuard<BYTE> bits(mask);
    DibLayout p, m;
    if (!Readable(picture, remapped, p) || !Readable(bits, mask, m) || m.bits != 1 || p.bits > 8 ||
        spareIndex >= (1 << p.bits))
        return 0;
    const LONG width = std::min(p.width, m.width);
    const LONG height = std::min(p.height, m.height);
    for (LONG y = 0; y < height; ++y) {
        const BYTE* same = m.Row(bits.get(), y);
        BYTE* row = p.Row(picture.get(), y);
        for (LONG x = 0; x < width; x += 8) {
            BYTE eight = same[x >> 3];
            if (!eight) continue;
            for (LONG k = 0; k < 8 && x + k < width; ++k)
                if (eight & (0x80 >> k)) SetRowIndex(row, p.bits, x + k, spareIndex);
        }
    }
    RGBQUAD& entry = p.Table(picture.get())[spareIndex];
    entry.rgbRed = GetRValue(background);
    entry.rgbGreen = GetGValue(background);
    entry.rgbBlue = GetBValue(background);
    return 1;
}
