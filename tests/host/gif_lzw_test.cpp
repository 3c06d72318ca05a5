// The GIF image coder, read back by giflib: every pixel decodes to one of the
// values it was allowed, at every code size, across full tables and the
// string that is its own next code.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "host/core/write/gif_lzw.h"
#include "tests/host/written_animations.h"

using namespace host_testing;

namespace {

// A GIF of one image of width x height pixels around coded data, its global
// table of 1 << codeSize entries.
std::vector<BYTE> GifAround(const std::vector<BYTE>& data, int codeSize, int width, int height) {
    std::vector<BYTE> file = {'G', 'I', 'F', '8', '9', 'a'};
    auto word = [&](int v) {
        file.push_back(static_cast<BYTE>(v));
        file.push_back(static_cast<BYTE>(v >> 8));
    };
    word(width);
    word(height);
    file.push_back(static_cast<BYTE>(0x80 | (codeSize - 1)));
    file.push_back(0);
    file.push_back(0);
    for (int i = 0; i < (1 << codeSize); ++i) file.insert(file.end(), {BYTE(i), BYTE(i), BYTE(i)});
    file.push_back(',');
    word(0);
    word(0);
    word(width);
    word(height);
    file.push_back(0);
    file.push_back(static_cast<BYTE>(std::max(2, codeSize)));
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(';');
    return file;
}

// Decodes count pixels of image data.
std::vector<BYTE> Decode(const std::vector<BYTE>& data, int codeSize, std::size_t count) {
    // Sub-blocks of at most 255 bytes after their lengths, then the empty block.
    std::size_t at = 0;
    while (at < data.size() && data[at] != 0) at += data[at] + 1u;
    EXPECT_EQ(at + 1, data.size()) << "sub-blocks do not end with the empty block";
    const int width = static_cast<int>(std::min<std::size_t>(count, 1000));
    const int height = static_cast<int>(count / width);
    EXPECT_EQ(static_cast<std::size_t>(width) * height, count);
    GifReader read(GifAround(data, codeSize, width, height));
    if (!read.gif || read.gif->ImageCount != 1) {
        ADD_FAILURE() << "no image";
        return {};
    }
    const BYTE* raster = read.gif->SavedImages[0].RasterBits;
    return std::vector<BYTE>(raster, raster + count);
}

// Codes the pixels and decodes them again.
std::vector<BYTE> RoundTrip(const std::vector<BYTE>& pixels, const std::vector<BYTE>& alternative, int codeSize,
                            std::size_t* coded = nullptr) {
    GifLzwEncoder encoder;
    std::vector<BYTE> data;
    encoder.Encode(pixels.data(), alternative.data(), pixels.size(), std::max(2, codeSize), data);
    if (coded) *coded = data.size();
    return Decode(data, codeSize, pixels.size());
}

void ExpectDecodesWithin(const std::vector<BYTE>& pixels, const std::vector<BYTE>& alternative, int codeSize) {
    std::vector<BYTE> decoded = RoundTrip(pixels, alternative, codeSize);
    ASSERT_EQ(decoded.size(), pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        ASSERT_TRUE(decoded[i] == pixels[i] || decoded[i] == alternative[i])
            << "pixel " << i << " decodes as " << int(decoded[i]) << ", not " << int(pixels[i]) << " or " << int(alternative[i]);
}

TEST(GifLzw, RandomPixelsAtEveryCodeSize) {
    for (int codeSize = 1; codeSize <= 8; ++codeSize) {
        SCOPED_TRACE("code size " + std::to_string(codeSize));
        std::mt19937 random(codeSize);
        // Long enough for the table to fill and start again many times.
        for (std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{300000}}) {
            std::vector<BYTE> pixels(count);
            for (BYTE& p : pixels) p = static_cast<BYTE>(random() % (1u << codeSize));
            ExpectDecodesWithin(pixels, pixels, codeSize);
        }
    }
}

TEST(GifLzw, DataOfEveryLengthAroundTheSubBlocks) {
    // The coded bytes end at every place in a 255-byte sub-block, on its
    // boundary too, whether they were packed four at a time or one by one.
    std::mt19937 random(7);
    for (std::size_t count = 1; count <= 1000; ++count) {
        std::vector<BYTE> pixels(count);
        for (BYTE& p : pixels) p = static_cast<BYTE>(random());
        std::vector<BYTE> decoded = RoundTrip(pixels, pixels, 8);
        ASSERT_EQ(decoded, pixels) << count << " pixels";
    }
}

TEST(GifLzw, RunsCodeTheStringThatIsTheNextCode) {
    // A run makes the coder send each new string as soon as it is made; a
    // repeated short pattern does the same through longer strings.
    for (int codeSize : {1, 4, 8}) {
        std::vector<BYTE> run(200000, static_cast<BYTE>((1 << codeSize) - 1));
        ExpectDecodesWithin(run, run, codeSize);
        std::vector<BYTE> pattern(100000);
        for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<BYTE>((i / 3 % 2) * ((1 << codeSize) - 1));
        ExpectDecodesWithin(pattern, pattern, codeSize);
    }
    std::size_t coded = 0;
    std::vector<BYTE> run(1000000, 3);
    RoundTrip(run, run, 8, &coded);
    EXPECT_LT(coded, 3000u);  // strings growing by one pixel a code
}

TEST(GifLzw, ValuesAlikeInTheirLowBitsKeepTheirOwnStrings) {
    // 1, 65, 129 and 193 share the bit that says a string may go on with
    // them; each must still find its own strings, which grow as the pattern
    // repeats.
    const std::size_t count = 1000000;
    std::vector<BYTE> pattern(count);
    for (std::size_t i = 0; i < count; ++i) pattern[i] = static_cast<BYTE>(1 + 64 * (i % 4));
    std::size_t coded = 0;
    EXPECT_EQ(RoundTrip(pattern, pattern, 8, &coded), pattern);
    EXPECT_LT(coded, 6000u);  // some 2,400 codes; a coder that lost them would need a code a pixel
    // The same as the second value of pixels whose own is 0 (the frequent
    // value, whose strings are found apart) every third pixel.
    std::vector<BYTE> pixels(pattern);
    for (std::size_t i = 0; i < count; i += 3) pixels[i] = 0;
    std::vector<BYTE> decoded = RoundTrip(pixels, pattern, 8, &coded);
    ASSERT_EQ(decoded.size(), count);
    for (std::size_t i = 0; i < count; ++i) ASSERT_TRUE(decoded[i] == pixels[i] || decoded[i] == pattern[i]) << i;
    EXPECT_LT(coded, 6000u);
}

TEST(GifLzw, PixelsRepeatingInAShortPeriodGrowLongStrings) {
    // Stripes, checks and dither patterns. 300,000 pixels of a period up to
    // 16 take at most about 3,500 codes, strings growing a pixel every period
    // codes; a coder whose strings stop growing needs tens of thousands.
    for (std::size_t period = 2; period <= 16; ++period) {
        SCOPED_TRACE("period " + std::to_string(period));
        std::mt19937 random(static_cast<unsigned>(period));
        std::vector<BYTE> cycle(period);
        for (BYTE& value : cycle) value = static_cast<BYTE>(random() % 16);
        std::vector<BYTE> pixels(300000);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = cycle[i % period];
        std::size_t coded = 0;
        EXPECT_EQ(RoundTrip(pixels, pixels, 4, &coded), pixels);
        EXPECT_LT(coded, 6000u);
    }
}

TEST(GifLzw, PixelsWithTwoValuesDecodeToOneOfThem) {
    for (int codeSize : {1, 2, 8}) {
        SCOPED_TRACE("code size " + std::to_string(codeSize));
        std::mt19937 random(40 + codeSize);
        const unsigned values = 1u << codeSize;
        std::vector<BYTE> pixels(250000), alternative(250000);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<BYTE>(random() % values);
            // Long stretches of choices, as unchanged areas give.
            alternative[i] = (i / 500) % 2 ? static_cast<BYTE>(random() % values) : pixels[i];
        }
        ExpectDecodesWithin(pixels, alternative, codeSize);
    }
}

// Data renumbered for other values and a smaller code size decodes to the
// new values, the choices where the same, across every full table; it is
// never longer, no code being wider.
TEST(GifLzw, RenumberedDataDecodesToTheNewValues) {
    for (int to : {8, 5, 2}) {
        std::mt19937 random(60 + to);
        const unsigned used = 1u << to;
        std::array<BYTE, 256> values{};
        std::vector<BYTE> order(used);
        for (unsigned v = 0; v < used; ++v) order[v] = static_cast<BYTE>(v);
        std::shuffle(order.begin(), order.end(), random);
        // The values in use are spread over the larger table.
        const unsigned spread = 256 / used;
        for (unsigned v = 0; v < used; ++v) values[v * spread] = order[v];
        for (std::size_t count : {std::size_t{1}, std::size_t{3}, std::size_t{4000}, std::size_t{300000}}) {
            SCOPED_TRACE("code size " + std::to_string(to) + ", " + std::to_string(count) + " pixels");
            std::vector<BYTE> pixels(count), alternative(count);
            for (std::size_t i = 0; i < count; ++i) {
                pixels[i] = static_cast<BYTE>(random() % (i % 3000 < 1500 ? 2 : used) * spread);
                alternative[i] = i % 7 ? pixels[i] : 0;
            }
            GifLzwEncoder encoder;
            std::vector<BYTE> data, renumbered;
            encoder.Encode(pixels.data(), alternative.data(), count, 8, data);
            GifLzwEncoder::Renumber(data, 8, to, values, renumbered);
            EXPECT_LE(renumbered.size(), data.size());
            const std::vector<BYTE> before = Decode(data, 8, count), after = Decode(renumbered, to, count);
            ASSERT_EQ(after.size(), count);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(after[i], values[before[i]]) << "pixel " << i;
        }
    }
}

// Pixels are relabelled only where every value, own or alternative, has one
// new value and no two share one.
TEST(GifLzw, RelabellingNeedsOneNewValueForEachOldOne) {
    std::mt19937 random(70);
    std::array<BYTE, 256> order;
    for (int v = 0; v < 256; ++v) order[v] = static_cast<BYTE>(v);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<BYTE> pixels(5000), alternative(5000), laterPixels(5000), laterAlternative(5000);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<BYTE>(random() % 40);
        alternative[i] = i % 3 ? pixels[i] : static_cast<BYTE>(200 + random() % 3);
        laterPixels[i] = order[pixels[i]];
        laterAlternative[i] = order[alternative[i]];
    }
    auto relabels = [&](std::array<BYTE, 256>& values) {
        return GifLzwEncoder::Relabels(pixels.data(), alternative.data(), laterPixels.data(), laterAlternative.data(),
                                       pixels.size(), values);
    };
    std::array<BYTE, 256> values{};
    ASSERT_TRUE(relabels(values));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        ASSERT_EQ(values[pixels[i]], laterPixels[i]);
        ASSERT_EQ(values[alternative[i]], laterAlternative[i]);
    }
    // Two alternatives merged into one new value everywhere (a colour a
    // smaller table lacks becoming transparent), where the own values alone
    // would relabel.
    for (std::size_t i = 0; i < pixels.size(); ++i)
        if (alternative[i] == 202) laterAlternative[i] = order[200];
    EXPECT_FALSE(relabels(values));
    for (std::size_t i = 0; i < pixels.size(); ++i) laterAlternative[i] = order[alternative[i]];
    // One old value given two new ones.
    laterPixels[17] = order[(pixels[17] + 1) % 40];
    EXPECT_FALSE(relabels(values));
}

TEST(GifLzw, AChoiceTakesTheOwnValueUnlessTheOtherReachesFurther) {
    std::mt19937 random(5);
    const std::size_t half = 50000;
    std::vector<BYTE> noise(2 * half), zeros(2 * half, 0);
    for (BYTE& p : noise) p = static_cast<BYTE>(random());
    std::size_t alone = 0, choosing = 0, plain = 0;
    RoundTrip(zeros, zeros, 8, &alone);
    RoundTrip(noise, noise, 8, &plain);
    // Zeros that could be noise stay zeros: the own value wins every tie.
    EXPECT_EQ(RoundTrip(zeros, noise, 8, &choosing), zeros);
    EXPECT_LE(choosing, alone);
    // Noise that could be zeros, after a run of zeros has filled the table
    // with their strings: the zeros reach further, so the run goes on.
    std::vector<BYTE> pixels(zeros.begin(), zeros.begin() + half);
    pixels.insert(pixels.end(), noise.begin() + half, noise.end());
    EXPECT_EQ(RoundTrip(pixels, zeros, 8, &choosing), zeros);
    EXPECT_LT(choosing, plain / 20);
}

}  // namespace
