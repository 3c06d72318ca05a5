#include "host/core/decode/picture_decoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"
#include "host/core/limits.h"

namespace {

// A compressed file larger than this cannot decode to a picture within the
// limits in any format this host reads (an uncompressed 32-bit BMP of the
// largest size stays below it).
constexpr std::uint64_t kMaxFileBytes = kMaxDecodedBytes + kMaxDecodedBytes / 2;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::vector<BYTE> ReadWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw HostError(std::strerror(errno));
    std::vector<BYTE> bytes;
    BYTE chunk[1 << 16];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got == 0) break;
        if (bytes.size() + got > kMaxFileBytes) throw HostError("the file is too large for a picture");
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) throw HostError(std::strerror(errno));
    return bytes;
}

}  // namespace

void CheckPictureSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) throw HostError("the picture has no pixels");
    bool fits = width <= kMaxPictureSide && height <= kMaxPictureSide &&
                static_cast<std::uint64_t>(DibStride(static_cast<LONG>(width), 24)) *
                        static_cast<std::uint64_t>(height) <=
                    kMaxDecodedBytes;
    if (!fits)
        throw HostError("the picture is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels; at most " + std::to_string(kMaxPictureSide) +
                        " pixels a side and 1 GiB decoded are accepted");
}

TrueColourPicture::TrueColourPicture(std::int64_t width, std::int64_t height) {
    CheckPictureSize(width, height);
    block_.reset(CreatePackedDib(static_cast<LONG>(width), static_cast<LONG>(height), nullptr, 24));
    if (!block_) throw HostError("out of memory");
    // A moveable block's address stays put while it is locked; it is
    // unlocked again in Release, or freed unlocked when decoding fails.
    bits_ = static_cast<BYTE*>(GlobalLock(block_.get()));
    if (!bits_ || !DibLayout::From(bits_, layout_)) throw HostError("out of memory");
}

HGLOBAL TrueColourPicture::Release() {
    GlobalUnlock(block_.get());
    bits_ = nullptr;
    return block_.release();
}

PictureFormat SniffPictureFormat(const BYTE* bytes, std::size_t size) {
    auto starts = [&](const char* magic, std::size_t at = 0) {
        std::size_t n = std::strlen(magic);
        return size >= at + n && std::memcmp(bytes + at, magic, n) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n")) return PictureFormat::Png;
    if (starts("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (starts("GIF87a") || starts("GIF89a")) return PictureFormat::Gif;
    if (starts("RIFF") && starts("WEBP", 8)) return PictureFormat::WebP;
    if (starts("BM")) return PictureFormat::Bmp;
    return PictureFormat::Unknown;
}

HGLOBAL DecodePicture(const BYTE* bytes, std::size_t size) {
    switch (SniffPictureFormat(bytes, size)) {
    case PictureFormat::Png:
        return DecodePng(bytes, size);
    case PictureFormat::Jpeg:
        return DecodeJpeg(bytes, size);
    case PictureFormat::Gif:
        return DecodeGif(bytes, size);
    case PictureFormat::WebP:
        return DecodeWebP(bytes, size);
    case PictureFormat::Bmp:
        return DecodeBmp(bytes, size);
    case PictureFormat::Unknown:
        break;
    }
    if (size == 0) throw HostError("the file is empty");
    throw HostError("the file is not a picture in a format this program reads (PNG, JPEG, GIF, WebP, BMP)");
}

HGLOBAL DecodePictureFile(const std::string& path) {
    try {
        std::vector<BYTE> bytes = ReadWholeFile(path);
        return DecodePicture(bytes.data(), bytes.size());
    } catch (const HostError& error) {
        throw HostError("Cannot load the picture " + path + ": " + error.what() + ".");
    } catch (const std::bad_alloc&) {
        throw HostError("Cannot load the picture " + path + ": out of memory.");
    }
}
