#include <gtest/gtest.h>

#include <gif_lib.h>

#include <functional>
#include <random>
#include <string>

#include "host/core/decode/decoders.h"
#include "host/core/decode/picture_decoder.h"
#include "host/core/host_error.h"
#include "host/core/write/animation_writer.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "tests/host/host_test_support.h"
#include "tests/support/fault_walk.h"

using namespace host_testing;

namespace {

// The decoded picture, or the failure's message.
struct Decoded {
    Rgb picture;
    std::string error;
    bool ok = false;
};

Decoded Decode(const std::vector<BYTE>& file) {
    Decoded d;
    try {
        GlobalBlock dib(DecodePicture(file.data(), file.size()));
        d.ok = dib.get() != nullptr;
        if (d.ok) d.picture = PictureOf(dib.get());
    } catch (const HostError& e) {
        d.error = e.what();
    }
    return d;
}

// Bytes of a BMP file: file header, a header of any size, table and pixels
// given as they are stored.
std::vector<BYTE> RawBmp(std::vector<BYTE> header, const std::vector<BYTE>& table, const std::vector<BYTE>& pixels) {
    std::vector<BYTE> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
    std::uint32_t offset = static_cast<std::uint32_t>(14 + header.size() + table.size());
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<BYTE>(offset >> (8 * i)));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

void Put32(std::vector<BYTE>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void Put16(std::vector<BYTE>& out, std::uint32_t v) {
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

std::vector<BYTE> InfoHeader(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression,
                             std::uint32_t colours = 0) {
    std::vector<BYTE> h;
    Put32(h, 40);
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(height));
    Put16(h, 1);
    Put16(h, static_cast<std::uint32_t>(bits));
    Put32(h, compression);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, colours);
    Put32(h, 0);
    return h;
}

std::vector<BYTE> Table(std::initializer_list<COLORREF> colours) {
    std::vector<BYTE> t;
    for (COLORREF c : colours) {
        t.push_back(GetBValue(c));
        t.push_back(GetGValue(c));
        t.push_back(GetRValue(c));
        t.push_back(0);
    }
    return t;
}

COLORREF ColourAt(const Rgb& p, int x, int y) {
    const BYTE* px = p.At(x, y);
    return RGB(px[0], px[1], px[2]);
}

// The files of the smooth picture in every format, named.
std::vector<std::pair<std::string, std::vector<BYTE>>> AllFormats() {
    Rgb p = SmoothPicture();
    return {{"BMP", BmpFile(p)},      {"PNG", PngFile(p)},  {"JPEG", JpegFile(p, 95)},
            {"GIF", GifFile(p)},      {"WebP", WebPFile(p)}};
}

TEST(PictureDecoding, EveryFormatGivesTheSamePixels) {
    Rgb expected = SmoothPicture();
    for (auto& [name, file] : AllFormats()) {
        Decoded d = Decode(file);
        ASSERT_TRUE(d.ok) << name << ": " << d.error;
        // JPEG is lossy; the others keep every pixel.
        EXPECT_LE(LargestDifference(d.picture, expected), name == "JPEG" ? 12 : 0) << name;
    }
}

TEST(PictureDecoding, RowOrdersAndInterlacingDoNotChangeThePicture) {
    Rgb expected = SmoothPicture();
    std::vector<std::pair<std::string, std::vector<BYTE>>> files = {
        {"top-down BMP", BmpFile(expected, true)},
        {"interlaced PNG", PngFile(expected, true)},
        {"interlaced GIF", GifFile(expected, true)},
    };
    for (auto& [name, file] : files) {
        Decoded d = Decode(file);
        ASSERT_TRUE(d.ok) << name << ": " << d.error;
        EXPECT_EQ(LargestDifference(d.picture, expected), 0) << name;
    }
}

TEST(PictureDecoding, FormatIsTakenFromTheContentNotTheName) {
    TemporaryFolder folder;
    std::string misnamed = folder / "picture.jpg";
    WriteFile(misnamed, PngFile(SmoothPicture()));
    GlobalBlock dib(DecodePictureFile(misnamed));
    EXPECT_EQ(LargestDifference(PictureOf(dib.get()), SmoothPicture()), 0);
}

TEST(PictureDecoding, TransparencyIsLaidOverWhite) {
    // Four pixels: opaque red, fully transparent green, half-covered blue, opaque black.
    std::vector<BYTE> rgba = {255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 128, 0, 0, 0, 255};
    auto check = [](const std::string& name, const Decoded& d) {
        ASSERT_TRUE(d.ok) << name << ": " << d.error;
        ASSERT_EQ(d.picture.width, 4) << name;
        EXPECT_EQ(ColourAt(d.picture, 0, 0), RGB(255, 0, 0)) << name;
        EXPECT_EQ(ColourAt(d.picture, 1, 0), RGB(255, 255, 255)) << name;
        // 255 x 127 / 255 of white showing through, within a step of rounding.
        const BYTE* half = d.picture.At(2, 0);
        EXPECT_NEAR(half[0], 127, 1) << name;
        EXPECT_NEAR(half[1], 127, 1) << name;
        EXPECT_EQ(half[2], 255) << name;
        EXPECT_EQ(ColourAt(d.picture, 3, 0), RGB(0, 0, 0)) << name;
    };
    check("PNG", Decode(PngFileWithAlpha(4, 1, rgba, false)));
    check("WebP", Decode(WebPFileWithAlpha(4, 1, rgba)));

    // Interlaced with alpha takes the path that keeps all rows until the last pass.
    std::vector<BYTE> tall;
    for (int y = 0; y < 9; ++y) tall.insert(tall.end(), rgba.begin(), rgba.end());
    Decoded interlaced = Decode(PngFileWithAlpha(4, 9, tall, true));
    ASSERT_TRUE(interlaced.ok) << interlaced.error;
    for (int y = 0; y < 9; ++y) {
        EXPECT_EQ(ColourAt(interlaced.picture, 0, y), RGB(255, 0, 0)) << y;
        EXPECT_EQ(ColourAt(interlaced.picture, 1, y), RGB(255, 255, 255)) << y;
    }

    Rgb p = SmoothPicture();
    Decoded gif = Decode(GifFile(p, false, 0));
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(ColourAt(gif.picture, 0, 0), RGB(255, 255, 255));  // the first pixel's colour is transparent
    EXPECT_EQ(ColourAt(gif.picture, 2, 0), ColourAt(p, 2, 0));
}

TEST(PictureDecoding, AnimatedWebPGivesItsFirstFrame) {
    BYTE palette[768] = {};
    palette[3] = 200;  // entry 1: red 200
    palette[7] = 90;   // entry 2: green 90
    GlobalBlock first(MakeFrame(6, 5, 8, palette, [](LONG x, LONG) { return x < 3 ? 1u : 2u; }));
    GlobalBlock second(MakeFrame(6, 5, 8, palette, [](LONG, LONG) { return 2u; }));
    MemorySink sink;
    auto writer = MakeAnimationWriter(AnimationFormat::WebP, sink);
    writer->Begin({6, 5, DelayUnit::Hundredths});
    for (HGLOBAL frame : {first.get(), second.get()}) {
        GlobalLockGuard<BYTE> bits(frame);
        writer->AddFrame(FrameView(bits.get(), GlobalSize(frame), 10, -1));
    }
    writer->Finish();
    Decoded d = Decode(sink.Bytes());
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(ColourAt(d.picture, 0, 0), RGB(200, 0, 0));
    EXPECT_EQ(ColourAt(d.picture, 5, 4), RGB(0, 90, 0));
}

TEST(PictureDecoding, GifFrameSmallerThanItsScreenSitsAtItsPlaceOnWhite) {
    Decoded d = Decode(GifWithScreen(5, 4, 2, 1, 2, 2));
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.picture.width, 5);
    ASSERT_EQ(d.picture.height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(ColourAt(d.picture, x, y), inside ? RGB(0, 0, 255) : RGB(255, 255, 255)) << x << "," << y;
        }
}

TEST(BmpDecoding, PalettedDepthsUseTheirTables) {
    // 1 bit: 9 pixels wide so that a row spans two bytes and padding.
    std::vector<BYTE> rows1 = {0xAA, 0x80, 0, 0, 0x55, 0x00, 0, 0};  // bottom row first
    Decoded one = Decode(RawBmp(InfoHeader(9, 2, 1, BI_RGB), Table({RGB(10, 20, 30), RGB(200, 100, 50)}), rows1));
    ASSERT_TRUE(one.ok) << one.error;
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(ColourAt(one.picture, x, 1), x % 2 == 0 ? RGB(200, 100, 50) : RGB(10, 20, 30)) << x;  // 0xAA 0x80
        EXPECT_EQ(ColourAt(one.picture, x, 0), x % 2 == 1 && x < 8 ? RGB(200, 100, 50) : RGB(10, 20, 30)) << x;
    }

    // 4 bits with a short table: entries past it are black.
    std::vector<BYTE> rows4 = {0x01, 0x2F, 0, 0};
    Decoded four = Decode(RawBmp(InfoHeader(3, 1, 4, BI_RGB, 3), Table({RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)}), rows4));
    ASSERT_TRUE(four.ok) << four.error;
    EXPECT_EQ(ColourAt(four.picture, 0, 0), RGB(1, 2, 3));
    EXPECT_EQ(ColourAt(four.picture, 1, 0), RGB(4, 5, 6));
    EXPECT_EQ(ColourAt(four.picture, 2, 0), RGB(7, 8, 9));

    std::vector<BYTE> rows8 = {0, 1, 7, 0};
    Decoded eight = Decode(RawBmp(InfoHeader(3, -1, 8, BI_RGB, 2), Table({RGB(9, 9, 9), RGB(250, 0, 1)}), rows8));
    ASSERT_TRUE(eight.ok) << eight.error;
    EXPECT_EQ(ColourAt(eight.picture, 0, 0), RGB(9, 9, 9));
    EXPECT_EQ(ColourAt(eight.picture, 1, 0), RGB(250, 0, 1));
    EXPECT_EQ(ColourAt(eight.picture, 2, 0), RGB(0, 0, 0));  // index past the table
}

TEST(BmpDecoding, SixteenAndThirtyTwoBitsReadThroughTheirMasks) {
    // 16 bits without masks are 5-5-5; full channels must give 255, zero 0,
    // and 5-bit 16 the nearest of 16 x 255 / 31.
    std::vector<BYTE> p16;
    Put16(p16, 0x7C00);
    Put16(p16, 0x001F);
    Put16(p16, (16 << 5));
    Put16(p16, 0);
    Decoded d16 = Decode(RawBmp(InfoHeader(3, 1, 16, BI_RGB), {}, p16));
    ASSERT_TRUE(d16.ok) << d16.error;
    EXPECT_EQ(ColourAt(d16.picture, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(ColourAt(d16.picture, 1, 0), RGB(0, 0, 255));
    EXPECT_EQ(ColourAt(d16.picture, 2, 0), RGB(0, 132, 0));  // 16 x 255 / 31 = 131.6

    // 5-6-5 through BI_BITFIELDS masks after a 40-byte header.
    std::vector<BYTE> masks;
    Put32(masks, 0xF800);
    Put32(masks, 0x07E0);
    Put32(masks, 0x001F);
    std::vector<BYTE> p565;
    Put16(p565, 0x07E0);
    Put16(p565, 0xF800);
    Decoded d565 = Decode(RawBmp(InfoHeader(2, 1, 16, BI_BITFIELDS), masks, p565));
    ASSERT_TRUE(d565.ok) << d565.error;
    EXPECT_EQ(ColourAt(d565.picture, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(ColourAt(d565.picture, 1, 0), RGB(255, 0, 0));

    // 32 bits: the fourth byte is no alpha for GDI and is left out.
    std::vector<BYTE> p32 = {10, 20, 30, 0, 40, 50, 60, 255};
    Decoded d32 = Decode(RawBmp(InfoHeader(2, 1, 32, BI_RGB), {}, p32));
    ASSERT_TRUE(d32.ok) << d32.error;
    EXPECT_EQ(ColourAt(d32.picture, 0, 0), RGB(30, 20, 10));
    EXPECT_EQ(ColourAt(d32.picture, 1, 0), RGB(60, 50, 40));

    // A V5 header carries its masks: here blue and red swapped.
    std::vector<BYTE> v5 = InfoHeader(1, 1, 32, BI_BITFIELDS);
    v5[0] = 124;
    Put32(v5, 0x000000FF);  // red
    Put32(v5, 0x0000FF00);  // green
    Put32(v5, 0x00FF0000);  // blue
    Put32(v5, 0);
    v5.resize(124, 0);
    Decoded swapped = Decode(RawBmp(v5, {}, {1, 2, 3, 0}));
    ASSERT_TRUE(swapped.ok) << swapped.error;
    EXPECT_EQ(ColourAt(swapped.picture, 0, 0), RGB(1, 2, 3));
}

TEST(BmpDecoding, OldOs2HeaderWithThreeByteTable) {
    std::vector<BYTE> header;
    Put32(header, 12);
    Put16(header, 2);
    Put16(header, 1);
    Put16(header, 1);
    Put16(header, 1);
    std::vector<BYTE> table = {0, 0, 255, 255, 0, 0};  // red, blue
    Decoded d = Decode(RawBmp(header, table, {0x40, 0, 0, 0}));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(ColourAt(d.picture, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(ColourAt(d.picture, 1, 0), RGB(0, 0, 255));
}

TEST(BmpDecoding, RunLengthCodingsExpand) {
    // 8 bits, 4 x 3, bottom row first: a run, an absolute run with padding,
    // a delta, end of line and end of picture.
    std::vector<BYTE> rle8 = {3, 1, 0, 0,                // bottom row: 1 1 1 (4th stays 0)
                              0, 3, 2, 1, 2, 0, 0, 0,    // middle: 2 1 2 (absolute, padded)
                              0, 2, 3, 0, 1, 2, 0, 1};   // top: delta 3 right, then 2 at x=3; end
    auto table = Table({RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
    Decoded d8 = Decode(RawBmp(InfoHeader(4, 3, 8, BI_RLE8, 4), table, rle8));
    ASSERT_TRUE(d8.ok) << d8.error;
    const COLORREF k = RGB(0, 0, 0), r = RGB(255, 0, 0), g = RGB(0, 255, 0);
    COLORREF expected[3][4] = {{k, k, k, g}, {g, r, g, k}, {r, r, r, k}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(ColourAt(d8.picture, x, y), expected[y][x]) << x << "," << y;

    // 4 bits: a run alternates its two nibbles.
    std::vector<BYTE> rle4 = {5, 0x12, 0, 1};
    Decoded d4 = Decode(RawBmp(InfoHeader(5, 1, 4, BI_RLE4, 4), table, rle4));
    ASSERT_TRUE(d4.ok) << d4.error;
    COLORREF row[5] = {r, g, r, g, r};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(ColourAt(d4.picture, x, 0), row[x]) << x;

    // Runs past the edge are cut; a stream that stops early is truncated.
    Decoded wide = Decode(RawBmp(InfoHeader(2, 1, 8, BI_RLE8, 4), table, {200, 1, 0, 1}));
    ASSERT_TRUE(wide.ok) << wide.error;
    Decoded cut = Decode(RawBmp(InfoHeader(2, 2, 8, BI_RLE8, 4), table, {2, 1, 0, 0}));
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.error.find("truncated"), std::string::npos) << cut.error;
}

TEST(BmpDecoding, UnsupportedAndContradictoryHeadersAreRefused) {
    struct Case {
        const char* name;
        std::vector<BYTE> file;
    } cases[] = {
        {"two planes", [] {
             auto h = InfoHeader(1, 1, 24, BI_RGB);
             h[12] = 2;
             return RawBmp(h, {}, {0, 0, 0, 0});
         }()},
        {"RLE8 at 24 bits", RawBmp(InfoHeader(1, 1, 24, BI_RLE8), {}, {0, 0, 0, 0})},
        {"masks at 8 bits", RawBmp(InfoHeader(1, 1, 8, BI_BITFIELDS), std::vector<BYTE>(12 + 1024, 0), {0, 0, 0, 0})},
        {"JPEG inside", RawBmp(InfoHeader(1, 1, 24, 4), {}, {0, 0, 0, 0})},
        {"2 bits", RawBmp(InfoHeader(1, 1, 2, BI_RGB), std::vector<BYTE>(16, 0), {0, 0, 0, 0})},
        {"odd header size", [] {
             auto h = InfoHeader(1, 1, 24, BI_RGB);
             h[0] = 44;
             h.resize(44);
             return RawBmp(h, {}, {0, 0, 0, 0});
         }()},
        {"zero width", RawBmp(InfoHeader(0, 1, 24, BI_RGB), {}, {0, 0, 0, 0})},
        {"mask with a gap", [] {
             std::vector<BYTE> masks;
             Put32(masks, 0xF0F0);
             Put32(masks, 0x0F00);
             Put32(masks, 0x000F);
             return RawBmp(InfoHeader(1, 1, 16, BI_BITFIELDS), masks, {0, 0, 0, 0});
         }()},
        {"top-down RLE", RawBmp(InfoHeader(1, -1, 8, BI_RLE8), std::vector<BYTE>(1024, 0), {0, 1})},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.file);
        EXPECT_FALSE(d.ok) << c.name;
        EXPECT_FALSE(d.error.empty()) << c.name;
    }
}

TEST(JpegDecoding, GreyProgressiveAndCmykFiles) {
    std::vector<BYTE> grey(16 * 8);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<BYTE>(i * 2);
    for (bool progressive : {false, true}) {
        Decoded d = Decode(JpegFileOf(16, 8, 1, grey, {}, progressive));
        ASSERT_TRUE(d.ok) << d.error;
        int largest = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                const BYTE* p = d.picture.At(x, y);
                EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
                largest = std::max(largest, std::abs(p[0] - grey[y * 16 + x]));
            }
        EXPECT_LE(largest, 3) << "progressive " << progressive;
    }

    // CMYK as Adobe stores it, inverted: 255 is no ink. Solid blocks of
    // white, black (all key), cyan ink and a half-inked red.
    const BYTE inks[4][4] = {{255, 255, 255, 255}, {255, 255, 255, 0}, {0, 255, 255, 255}, {255, 128, 128, 255}};
    std::vector<BYTE> cmyk;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) cmyk.insert(cmyk.end(), inks[x / 8], inks[x / 8] + 4);
    Decoded d = Decode(JpegFileOf(32, 8, 4, cmyk));
    ASSERT_TRUE(d.ok) << d.error;
    const COLORREF expected[4] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 255, 255), RGB(255, 128, 128)};
    for (int block = 0; block < 4; ++block) {
        const BYTE* p = d.picture.At(block * 8 + 4, 4);
        EXPECT_NEAR(p[0], GetRValue(expected[block]), 3) << block;
        EXPECT_NEAR(p[1], GetGValue(expected[block]), 3) << block;
        EXPECT_NEAR(p[2], GetBValue(expected[block]), 3) << block;
    }
}

TEST(JpegDecoding, AFileOfEndlessScansIsRefused) {
    // Every coefficient of a grey picture in a band of its own, refined bit
    // by bit: a valid file of 631 scans, each a full pass over the picture.
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k) {
        scans.push_back({1, {0}, k, k, 0, 9});
        for (int al = 8; al >= 0; --al) scans.push_back({1, {0}, k, k, al + 1, al});
    }
    std::vector<BYTE> grey(8 * 8, 100);
    Decoded d = Decode(JpegFileOf(8, 8, 1, grey, scans));
    EXPECT_FALSE(d.ok);
    EXPECT_NE(d.error.find("more than 500 scans"), std::string::npos) << d.error;
}

TEST(PictureLimits, SidesOverTheLimitAreRefusedBeforeAnythingIsDecoded) {
    EXPECT_NO_THROW(CheckPictureSize(16384, 16384));
    EXPECT_THROW(CheckPictureSize(16385, 1), HostError);
    EXPECT_THROW(CheckPictureSize(1, 16385), HostError);
    EXPECT_THROW(CheckPictureSize(0, 10), HostError);
    EXPECT_THROW(CheckPictureSize(10, -1), HostError);

    // Headers that claim a huge picture in files far too short for it: the
    // size is what gets reported, not the missing data.
    std::vector<std::pair<std::string, std::vector<BYTE>>> files;
    files.emplace_back("BMP", RawBmp(InfoHeader(20000, 10, 24, BI_RGB), {}, {0, 0, 0, 0}));
    files.emplace_back("BMP tall", RawBmp(InfoHeader(1, -70000, 24, BI_RGB), {}, {0, 0, 0, 0}));
    Rgb wide;
    wide.width = 16385;
    wide.height = 1;
    wide.pixels.assign(16385 * 3, 128);
    files.emplace_back("PNG", PngFile(wide));
    files.emplace_back("JPEG", JpegFile(wide, 50));
    files.emplace_back("GIF screen", GifWithScreen(65535, 65535, 0, 0, 1, 1));
    files.emplace_back("GIF frame beyond its screen", GifWithScreen(10, 10, 16380, 0, 5, 1));
    for (auto& [name, file] : files) {
        Decoded d = Decode(file);
        EXPECT_FALSE(d.ok) << name;
        EXPECT_NE(d.error.find("16384 pixels a side"), std::string::npos) << name << ": " << d.error;
    }

    // Exactly at the limit is accepted.
    Rgb edge;
    edge.width = 16384;
    edge.height = 1;
    edge.pixels.assign(16384 * 3, 7);
    Decoded d = Decode(PngFile(edge));
    EXPECT_TRUE(d.ok) << d.error;
}

TEST(PictureDamage, TruncatedFilesSaySo) {
    for (auto& [name, file] : AllFormats()) {
        std::vector<BYTE> half(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
        Decoded d = Decode(half);
        EXPECT_FALSE(d.ok) << name;
        EXPECT_NE(d.error.find("truncated"), std::string::npos) << name << ": " << d.error;
    }
}

TEST(PictureDamage, NoPrefixOfAFileDecodes) {
    // Each file must be complete: any cut is refused with a message (the GIF
    // reader stops after the first frame, so only its trailer may be missing).
    for (auto& [name, file] : AllFormats()) {
        std::size_t step = std::max<std::size_t>(1, file.size() / 400);
        std::size_t spare = name == "GIF" ? 1 : 0;
        for (std::size_t n = 0; n + spare < file.size(); n += step) {
            Decoded d = Decode(std::vector<BYTE>(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)));
            ASSERT_FALSE(d.ok) << name << " cut at " << n;
            ASSERT_FALSE(d.error.empty()) << name << " cut at " << n;
        }
    }
}

TEST(PictureDamage, CorruptedBytesNeverCrash) {
    // Random bytes overwritten anywhere: the decoder may still find a
    // picture or must refuse the file, never read or write out of bounds
    // (the sanitizer build watches that).
    std::mt19937 random(9);
    for (auto& [name, file] : AllFormats()) {
        int refused = 0;
        for (int round = 0; round < 150; ++round) {
            std::vector<BYTE> damaged = file;
            int changes = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < changes; ++i) damaged[random() % damaged.size()] = static_cast<BYTE>(random());
            Decoded d = Decode(damaged);
            if (!d.ok) {
                ++refused;
                EXPECT_FALSE(d.error.empty()) << name;
            } else {
                EXPECT_GT(d.picture.width, 0) << name;
            }
        }
        EXPECT_GT(refused, 0) << name << ": no damage was ever noticed";
    }
}

TEST(PictureDamage, UnknownAndEmptyFilesAreNamedAsSuch) {
    Decoded empty = Decode({});
    EXPECT_NE(empty.error.find("empty"), std::string::npos) << empty.error;
    Decoded text = Decode({'h', 'e', 'l', 'l', 'o'});
    EXPECT_NE(text.error.find("not a picture"), std::string::npos) << text.error;

    try {
        GlobalBlock dib(DecodePictureFile("/nonexistent/folder/picture.png"));
        ADD_FAILURE() << "a missing file decoded";
    } catch (const HostError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("/nonexistent/folder/picture.png"), std::string::npos) << message;
        EXPECT_NE(message.find("No such file"), std::string::npos) << message;
    }
}

TEST(PictureDecoding, OutOfMemoryReturnsNothingAndLeaksNothing) {
    for (auto& [name, file] : AllFormats()) {
        SCOPED_TRACE(name);
        int points = testing_support::WalkBlockFailures([&]() -> HGLOBAL {
            try {
                return DecodePicture(file.data(), file.size());
            } catch (const HostError&) {
                return nullptr;
            }
        });
        EXPECT_GE(points, 1);
    }
}

}  // namespace
