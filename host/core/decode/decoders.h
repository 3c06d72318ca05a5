// One decoder per format, each in its own file, and what they share: the
// size check and the 24-bit picture they fill. Each throws HostError.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "image/packed_dib.h"
#include "plugin/guards.h"

HGLOBAL DecodeBmp(const BYTE* bytes, std::size_t size);
HGLOBAL DecodePng(const BYTE* bytes, std::size_t size);
HGLOBAL DecodeJpeg(const BYTE* bytes, std::size_t size);
HGLOBAL DecodeGif(const BYTE* bytes, std::size_t size);
HGLOBAL DecodeWebP(const BYTE* bytes, std::size_t size);

// Throws unless a picture of width x height fits the host's limits.
void CheckPictureSize(std::int64_t width, std::int64_t height);

// A new zeroed 24-bit picture, locked for filling; throws when the size is
// out of bounds or memory runs out.
class TrueColourPicture {
public:
    TrueColourPicture(std::int64_t width, std::int64_t height);

    BYTE* Row(LONG y) const { return layout_.Row(bits_, y); }  // from the top, blue-green-red
    LONG Width() const { return layout_.width; }
    LONG Height() const { return layout_.height; }
    std::size_t Stride() const { return layout_.stride; }
    // The pixel bytes as stored: bottom row first.
    BYTE* Pixels() const { return bits_ + sizeof(BITMAPINFOHEADER); }

    // Hands the finished picture over.
    HGLOBAL Release();

private:
    GlobalBlock block_;
    BYTE* bits_ = nullptr;
    DibLayout layout_;
};

// A colour channel laid over white with coverage alpha.
inline BYTE OverWhite(unsigned channel, unsigned alpha) {
    return static_cast<BYTE>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}
