#include "tests/effects/scatter_effect_test.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"
#include "tests/support/pictures.h"

namespace testing_support {

Box ChangedBox(HGLOBAL a, HGLOBAL b, int tolerance) {
    GlobalLockGuard<BYTE> pa(a), pb(b);
    DibLayout la, lb;
    Box box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    if (!pa || !pb || !DibLayout::From(pa.get(), la) || !DibLayout::From(pb.get(), lb)) return Box{};
    for (LONG y = 0; y < std::min(la.height, lb.height); ++y)
        for (LONG x = 0; x < std::min(la.width, lb.width); ++x) {
            const DWORD u = la.Read(la.Row(pa.get(), y), x), v = lb.Read(lb.Row(pb.get(), y), x);
            bool differs = false;
            for (int shift : {0, 8, 16})
                differs |= std::abs(static_cast<int>((u >> shift) & 0xFF) - static_cast<int>((v >> shift) & 0xFF)) >
                           tolerance;
            if (!differs) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    return box.left == INT32_MAX ? Box{} : box;
}

bool GreenEqualsBlue(HGLOBAL picture) {
    GlobalLockGuard<BYTE> p(picture);
    DibLayout l;
    if (!p || !DibLayout::From(p.get(), l)) return false;
    for (LONG y = 0; y < l.height; ++y)
        for (LONG x = 0; x < l.width; ++x) {
            const DWORD v = l.Read(l.Row(p.get(), y), x);
            if (GetGValue(v) != GetBValue(v)) return false;
        }
    return true;
}

void SavePng(HGLOBAL picture, const std::string& name) {
    GlobalLockGuard<BYTE> p(picture);
    DibLayout l;
    ASSERT_TRUE(p && DibLayout::From(p.get(), l));
    std::vector<png_byte> pixels;
    for (LONG y = 0; y < l.height; ++y)
        for (LONG x = 0; x < l.width; ++x) {
            const DWORD v = l.Read(l.Row(p.get(), y), x);
            for (int shift : {0, 8, 16}) pixels.push_back(static_cast<png_byte>(v >> shift));
            pixels.push_back(l.bits == 32 ? static_cast<png_byte>(v >> 24) : 255);
        }
    const auto folder = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";
    std::filesystem::create_directories(folder);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(l.width);
    image.height = static_cast<png_uint_32>(l.height);
    image.format = PNG_FORMAT_RGBA;
    EXPECT_TRUE(png_image_write_to_file(&image, (folder / (name + ".png")).c_str(), 0, pixels.data(), 0, nullptr))
        << image.message;
}

void ScatterEffectTest::SetUp() {
    EffectTest::SetUp();
    effect = EffectIndex(controls_.name);
    ASSERT_GE(effect, 0);
}

void ScatterEffectTest::UsePlainPicture(LONG width, LONG height, COLORREF colour) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    {
        GlobalLockGuard<BYTE> p(picture);
        ASSERT_TRUE(p);
        FillDibRect(p.get(), 0, 0, width, height, colour);
    }
    SetSourceImage(picture);
}

void ScatterEffectTest::UseRandomPicture(LONG width, LONG height, unsigned seed) {
    std::mt19937 random(seed);
    SetSourceImage(RandomPackedDib(random, width, height, 24));
}

void ScatterEffectTest::OneColour(COLORREF colour) {
    SetField(controls_.colour1, static_cast<int>(colour));
    for (int id : controls_.enables) SetCheck(id, false);
}

std::vector<std::uint64_t> ScatterEffectTest::Hashes(const BuiltFrames& frames) {
    std::vector<std::uint64_t> hashes;
    for (int i = 0; i < frames.count(); ++i) hashes.push_back(BlockHash(frames[i].image));
    return hashes;
}

BuiltFrames ScatterEffectTest::BuildFrames(int count) {
    SetField(controls_.frames, count);
    BuiltFrames frames = Build(effect);
    EXPECT_EQ(frames.result, 1);
    EXPECT_EQ(frames.count(), count);
    return frames;
}

int ScatterEffectTest::NextDrawAfter(const EffectBody& body, LONG width, LONG height) {
    BuildContext context{};
    context.page = dialog;
    std::memset(body.state, 0, body.stateSize);
    context.state = body.state;
    EXPECT_EQ(body.Initialise(&context, width, height), 1);
    const int next = crt::rand();
    body.FreeState(&context);
    return next;
}

int ScatterEffectTest::DrawNumber(int seed, int n) {
    crt::srand(static_cast<unsigned>(seed));
    for (int i = 0; i < n; ++i) crt::rand();
    return crt::rand();
}

void ScatterEffectTest::ExpectPreviewIsFrame(int frames, int index) {
    BuiltFrames built = BuildFrames(frames);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    ASSERT_GT(built.count(), index);
    EXPECT_TRUE(SameBlock(preview.get(), built[index].image));
    if (index != 0) {
        EXPECT_FALSE(SameBlock(preview.get(), built[0].image));
    }
}

void ScatterEffectTest::ExpectSeedDecides(int firstDiffering) {
    SetField(controls_.seed, 4321);
    const auto first = Hashes(BuildFrames(3));
    EXPECT_EQ(Hashes(BuildFrames(3)), first);
    SetField(controls_.seed, 4322);
    const auto other = Hashes(BuildFrames(3));
    ASSERT_EQ(other.size(), first.size());
    for (std::size_t i = firstDiffering; i < first.size(); ++i) EXPECT_NE(other[i], first[i]) << "frame " << i;
}

void ScatterEffectTest::ExpectLoopCloses(const EffectBody& body, int frames) {
    SetField(controls_.frames, frames);
    const std::vector<GlobalBlock> sequence = RenderSequence(body, frames + 1);
    ASSERT_EQ(sequence.size(), static_cast<std::size_t>(frames + 1));
    for (const GlobalBlock& frame : sequence) ASSERT_TRUE(frame);
    EXPECT_TRUE(SameBlock(sequence[frames].get(), sequence[0].get()));
    EXPECT_FALSE(SameBlock(sequence[1].get(), sequence[0].get()));
}

void ScatterEffectTest::ExpectOddSizesBuild() {
    for (auto [width, height] : {std::pair<LONG, LONG>{1, 1}, {2, 2}, {3, 1000}, {1000, 3}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        UseRandomPicture(width, height, 5);
        BuiltFrames frames = BuildFrames(3);
        for (int i = 0; i < frames.count(); ++i) {
            GlobalLockGuard<BITMAPINFOHEADER> header(frames[i].image);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->biWidth, width);
            EXPECT_EQ(header->biHeight, height);
        }
    }
}

void ScatterEffectTest::ExpectFailuresLeakNothing(int frames) {
    OneColour(RGB(0, 0, 255));
    SetField(controls_.size, 10);
    SetField(controls_.density, 8);
    if (controls_.glare) SetField(controls_.glare, 0);
    SetField(controls_.frames, frames);
    const int points = WalkAllocationFailures(
        [&] {
            BuiltFrames built = Build(effect);
            EXPECT_TRUE(built.result == 0 || built.count() == frames);
            return built.result == 1;
        },
        /*mustFail=*/false);
    EXPECT_GT(points, 0);
    WalkAllocationFailures([&] { return static_cast<bool>(Preview(effect)); }, /*mustFail=*/false);
}

void ScatterEffectTest::ExpectGoldenFrames(int frames, const std::string& name, const std::string& golden) {
    BuiltFrames built = BuildFrames(frames);
    for (int i = 0; i < built.count(); ++i) SavePng(built[i].image, name + "_" + std::to_string(i));
    EXPECT_EQ(FramesDigest(built), golden);
}

}  // namespace testing_support
