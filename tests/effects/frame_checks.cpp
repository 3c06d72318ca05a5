#include "tests/effects/frame_checks.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <random>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace frame_checks {

HGLOBAL SolidPicture(LONG width, LONG height, COLORREF colour) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    GlobalLockGuard<BYTE> pixels(picture);
    if (pixels) FillDibRect(pixels.get(), 0, 0, width, height, colour);
    return picture;
}

HGLOBAL NoisePicture(unsigned seed, LONG width, LONG height) {
    std::mt19937 random(seed);
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    GlobalLockGuard<BYTE> pixels(picture);
    for (LONG y = 0; pixels && y < height; ++y)
        for (LONG x = 0; x < width; ++x) SetDibPixel(pixels.get(), x, y, random() & 0xFFFFFF);
    return picture;
}

DWORD Pixel(HGLOBAL picture, LONG x, LONG y) {
    GlobalLockGuard<BYTE> pixels(picture);
    return pixels ? GetDibPixel(pixels.get(), x, y) : kNoPixel;
}

SIZE PictureSize(HGLOBAL picture) {
    GlobalLockGuard<BITMAPINFOHEADER> header(picture);
    return header ? SIZE{header->biWidth, header->biHeight} : SIZE{0, 0};
}

std::vector<std::pair<std::int64_t, std::int64_t>> ProgressReports(const testing_support::TestHost& host) {
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    for (const auto& request : host.requests)
        if (request.code == kRequestProgress) reports.emplace_back(request.a, request.b);
    return reports;
}

std::vector<DWORD> Delays(const testing_support::BuiltFrames& frames) {
    std::vector<DWORD> delays;
    for (int i = 0; i < frames.count(); ++i) delays.push_back(frames[i].delay);
    return delays;
}

std::uint64_t BuildHash(const testing_support::BuiltFrames& frames) {
    std::uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](std::uint64_t value) {
        for (int i = 0; i < 8; ++i) hash = (hash ^ ((value >> (8 * i)) & 0xFF)) * 1099511628211ull;
    };
    for (int i = 0; i < frames.count(); ++i) {
        mix(testing_support::BlockHash(frames[i].image));
        mix(frames[i].delay);
    }
    return hash;
}

void WritePng(HGLOBAL picture, const std::string& name) {
    const SIZE size = PictureSize(picture);
    std::vector<png_byte> rgb;
    GlobalLockGuard<BYTE> pixels(picture);
    ASSERT_TRUE(pixels);
    for (LONG y = 0; y < size.cy; ++y)
        for (LONG x = 0; x < size.cx; ++x) {
            const DWORD value = GetDibPixel(pixels.get(), x, y);
            for (int shift : {0, 8, 16}) rgb.push_back(static_cast<png_byte>(value >> shift));
        }
    const auto folder = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";
    std::filesystem::create_directories(folder);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size.cx);
    image.height = static_cast<png_uint_32>(size.cy);
    image.format = PNG_FORMAT_RGB;
    const auto file = folder / (name + ".png");
    EXPECT_TRUE(png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
}

}  // namespace frame_checks
