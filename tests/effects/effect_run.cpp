#include "tests/effects/effect_run.h"

#include <png.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "image/packed_dib.h"
#include "tests/effects/build_digest.h"
#include "plugin/guards.h"

namespace testing_support {

HGLOBAL PatternPicture(LONG width, LONG height) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    GlobalLockGuard<BYTE> p(picture);
    for (LONG y = 0; p && y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            SetDibPixel(p.get(), x, y, RGB((x * 7 + y) & 0xFF, (y * 5 + 40) & 0xFF, ((x + y) * 3 + 90) & 0xFF));
    return picture;
}

BodyRun::BodyRun(const EffectBody& body, HWND page, LONG width, LONG height, DWORD flags) : body_(body) {
    context_.page = page;
    context_.flags = flags;
    if (body.state) std::memset(body.state, 0, body.stateSize);
    context_.state = body.state;
    ok_ = body.Initialise(&context_, width, height) != 0;
}

BodyRun::~BodyRun() {
    if (ok_ && body_.FreeState) body_.FreeState(&context_);
}

void WriteFramePng(HGLOBAL picture, const std::string& name) {
    GlobalLockGuard<BYTE> p(picture);
    ASSERT_TRUE(p);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(p.get());
    std::vector<png_byte> rgb;
    for (LONG y = 0; y < header->biHeight; ++y)
        for (LONG x = 0; x < header->biWidth; ++x) {
            const DWORD v = GetDibPixel(p.get(), x, y);
            for (int shift : {0, 8, 16}) rgb.push_back(static_cast<png_byte>(v >> shift));
        }
    const std::filesystem::path folder = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";
    std::filesystem::create_directories(folder);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(header->biWidth);
    image.height = static_cast<png_uint_32>(header->biHeight);
    image.format = PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, (folder / (name + ".png")).c_str(), 0, rgb.data(), 0, nullptr))
        << image.message;
}

void ExpectGoldenBuild(const BuiltFrames& frames, const std::string& sha256, const std::vector<int>& shown,
                       const std::string& name) {
    for (int frame : shown) {
        ASSERT_LT(frame, frames.count());
        WriteFramePng(frames[frame].image, name + "_" + std::to_string(frame));
    }
    EXPECT_EQ(BuildSha256(frames), sha256) << name;
}

int ChangedPixels(HGLOBAL a, HGLOBAL b) {
    GlobalLockGuard<BYTE> p(a), q(b);
    if (!p || !q) return -1;
    DibLayout l;
    if (!DibLayout::From(p.get(), l)) return -1;
    int changed = 0;
    for (LONG y = 0; y < l.height; ++y)
        for (LONG x = 0; x < l.width; ++x) changed += GetDibPixel(p.get(), x, y) != GetDibPixel(q.get(), x, y);
    return changed;
}

}  // namespace testing_support
