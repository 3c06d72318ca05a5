// Helpers for the host's tests: pictures as plain pixel arrays, files in
// every format made with the libraries' own encoders, frames, and read-back
// of written animations with the libraries' own decoders.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>
#include <string>
#include <vector>

namespace host_testing {

// A 24-bit picture as red, green, blue bytes, rows from the top.
struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels;  // 3 bytes a pixel

    const BYTE* At(int x, int y) const { return pixels.data() + 3 * (static_cast<std::size_t>(y) * width + x); }
    BYTE* At(int x, int y) { return pixels.data() + 3 * (static_cast<std::size_t>(y) * width + x); }
};

// 32 x 32 pixels in 2 x 2 blocks of 256 different colours that change
// smoothly, so that a JPEG keeps them closely and a GIF exactly.
Rgb SmoothPicture();

// The pixels of a 24-bit PackedDib; fails the test when it is not one.
Rgb PictureOf(HGLOBAL dib);

// Largest difference of any channel between two pictures of equal size
// (255 + 1 when the sizes differ).
int LargestDifference(const Rgb& a, const Rgb& b);

// Files of a picture, made by the formats' own libraries (BMP by hand).
std::vector<BYTE> BmpFile(const Rgb& picture, bool topDown = false);
std::vector<BYTE> PngFile(const Rgb& picture, bool interlaced = false);
std::vector<BYTE> PngFileWithAlpha(int width, int height, const std::vector<BYTE>& rgba, bool interlaced);
std::vector<BYTE> JpegFile(const Rgb& picture, int quality);
// A JPEG of samples with 1 (grey), 3 (red, green, blue) or 4 (CMYK, stored
// inverted as Adobe does) components at quality 100, progressive or with a
// scan script of its own when scans are given.
std::vector<BYTE> JpegFileOf(int width, int height, int components, const std::vector<BYTE>& samples,
                             const std::vector<jpeg_scan_info>& scans = {}, bool progressive = false);
// One frame with a global colour table built from the picture (256 colours
// at most); the transparent index, if not -1, is the table entry of the
// first pixel.
std::vector<BYTE> GifFile(const Rgb& picture, bool interlaced = false, int transparent = -1);
// A GIF screen with a black and blue global table and one frame of blue
// (index 1) at the given place.
std::vector<BYTE> GifWithScreen(int screenWidth, int screenHeight, int left, int top, int width, int height);
std::vector<BYTE> WebPFile(const Rgb& picture);
std::vector<BYTE> WebPFileWithAlpha(int width, int height, const std::vector<BYTE>& rgba);

// A paletted or 24-bit frame whose pixel (x, y) is value(x, y).
template <class F>
HGLOBAL MakeFrame(LONG width, LONG height, int depthCode, const BYTE* palette, F value);

// Every chunk of a PNG file in order.
struct PngChunk {
    std::string type;
    std::vector<BYTE> data;
    bool crcGood = false;
};
std::vector<PngChunk> PngChunks(const std::vector<BYTE>& file);

// A PNG file's picture as libpng's reader returns it: red, green, blue,
// alpha bytes a pixel, rows from the top. Fails the test on error.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels;
};
Rgba ReadPng(const std::vector<BYTE>& file);

// A whole file's bytes, or a file made of bytes.
std::vector<BYTE> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<BYTE>& bytes);

// A new empty folder, removed with what is in it at the end of the scope.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the files in the folder.
    std::vector<std::string> Files() const;

private:
    std::string path_;
};

// Sets LUMAFEX_THREADS, the number of threads that code frames, for one scope.
class CodingThreads {
public:
    explicit CodingThreads(int count) { setenv("LUMAFEX_THREADS", std::to_string(count).c_str(), 1); }
    ~CodingThreads() { unsetenv("LUMAFEX_THREADS"); }
    CodingThreads(const CodingThreads&) = delete;
    CodingThreads& operator=(const CodingThreads&) = delete;
};

}  // namespace host_testing

#include "image/packed_dib.h"

template <class F>
HGLOBAL host_testing::MakeFrame(LONG width, LONG height, int depthCode, const BYTE* palette, F value) {
    HGLOBAL dib = CreatePackedDib(width, height, palette, depthCode);
    if (!dib) return nullptr;
    void* bits = GlobalLock(dib);
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) SetDibPixel(bits, x, y, value(x, y));
    GlobalUnlock(dib);
    return dib;
}
