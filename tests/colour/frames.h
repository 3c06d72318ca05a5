// Frame lists and pictures for the colour tests.
#pragma once

#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

#include "effects/frame_list.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace colour_test {

// A FrameList that owns its records, images and masks.
class TestFrames {
public:
    TestFrames() = default;
    TestFrames(const TestFrames&) = delete;
    TestFrames& operator=(const TestFrames&) = delete;
    ~TestFrames() { Clear(); }

    // Takes ownership of image.
    void Add(HGLOBAL image) {
        std::vector<FrameRecord> records = Records();
        FrameRecord record{};
        record.image = image;
        record.transparentIndex = -1;
        records.push_back(record);
        if (list_.records) GlobalFree(list_.records);
        list_.records = GlobalAlloc(GHND, records.size() * sizeof(FrameRecord));
        GlobalLockGuard<FrameRecord> to(list_.records);
        std::memcpy(to.get(), records.data(), records.size() * sizeof(FrameRecord));
        list_.count = static_cast<int>(records.size());
    }

    std::vector<FrameRecord> Records() const {
        std::vector<FrameRecord> records(list_.count);
        if (list_.count) {
            GlobalLockGuard<FrameRecord> from(list_.records);
            std::memcpy(records.data(), from.get(), records.size() * sizeof(FrameRecord));
        }
        return records;
    }

    HGLOBAL Image(int i) const { return Records()[i].image; }
    HGLOBAL Mask(int i) const { return Records()[i].mask; }
    FrameList& List() { return list_; }

    void Clear() {
        for (const FrameRecord& r : Records()) {
            if (r.image) GlobalFree(r.image);
            if (r.mask) GlobalFree(r.mask);
        }
        if (list_.records) GlobalFree(list_.records);
        list_ = {};
    }

private:
    FrameList list_;
};

// A 24-bit picture whose pixels come from colourAt(x, y) as 0x00BBGGRR.
template <class F>
HGLOBAL PictureOf(LONG width, LONG height, F colourAt, int depthCode = 24) {
    HGLOBAL dib = CreatePackedDib(width, height, nullptr, depthCode);
    GlobalLockGuard<BYTE> p(dib);
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) SetDibPixel(p.get(), x, y, colourAt(x, y));
    return dib;
}

// Smooth shading with texture and a few flat areas: many colours, long runs.
inline HGLOBAL ScenePicture(std::mt19937& random, LONG width, LONG height) {
    int phase = static_cast<int>(random() % 64);
    std::uniform_int_distribution<int> grain(0, 3);
    return PictureOf(width, height, [&](LONG x, LONG y) -> DWORD {
        if ((x / 7 + y / 5 + phase) % 9 == 0) return RGB(200, 30, 40);
        int r = (x * 255 / width + phase) & 0xFF, g = y * 255 / height, b = ((x + y) * 2 + grain(random)) & 0xFF;
        return RGB(r, g, b);
    });
}

inline void RandomPalette(std::mt19937& random, BYTE palette[768], int count) {
    std::memset(palette, 0, 768);
    for (int i = 0; i < count * 3; ++i) palette[i] = static_cast<BYTE>(random());
    // Repeated entries and pure black and white test the tie and exact rules.
    if (count > 4) {
        std::memcpy(palette + 3 * (count - 1), palette + 3 * (count / 2), 3);
        std::memset(palette + 3 * (count / 3), 0, 3);
        std::memset(palette + 3 * (count / 4), 255, 3);
    }
}

}  // namespace colour_test
