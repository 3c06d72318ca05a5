// GIF and APNG files keep each frame after the first as the rectangle of what
// it changes; played back, every file must show exactly what the full frames
// show, for as long.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/core/write/animation_writer.h"
#include "tests/host/written_animations.h"

using namespace host_testing;

namespace {

using PixelRule = std::function<DWORD(LONG, LONG)>;

Frame PalettedFrame(LONG width, LONG height, int bits, const std::vector<BYTE>& palette, const PixelRule& rule,
                    std::uint32_t delay = 4, std::int32_t transparent = -1) {
    return {GlobalBlock(MakeFrame(width, height, bits, palette.data(), rule)), delay, transparent};
}

// A table of 256 different colours: no entry is left over for transparency.
std::vector<BYTE> DistinctPalette(BYTE green) {
    std::vector<BYTE> palette(768);
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<BYTE>(i);
        palette[3 * i + 1] = green;
        palette[3 * i + 2] = static_cast<BYTE>(255 - i);
    }
    return palette;
}

struct Played {
    ShownAnimation shown;
    std::vector<GifImageDesc> images;  // GIF only: where each frame's image lies
};

// Writes the frames, plays the file back, and checks that every screen is
// the full frames' and every delay the frame's.
Played ExpectShownAsFullFrames(AnimationFormat format, const std::vector<Frame>& frames, LONG width, LONG height) {
    SCOPED_TRACE(FormatName(format));
    std::vector<BYTE> bytes = Write(format, width, height, DelayUnit::Hundredths, frames);
    Played played;
    played.shown = format == AnimationFormat::Gif ? ShowGif(bytes) : ShowApng(bytes);
    const std::vector<std::vector<BYTE>> expected = ShownByFrames(frames, width, height);
    EXPECT_EQ(played.shown.screens.size(), frames.size());
    for (std::size_t i = 0; i < std::min(expected.size(), played.shown.screens.size()); ++i) {
        EXPECT_EQ(played.shown.screens[i], expected[i]) << "frame " << i;
        const int delay = static_cast<int>(frames[i].delay) * (format == AnimationFormat::Gif ? 1 : 10);
        EXPECT_EQ(played.shown.delays[i], delay) << "frame " << i;
    }
    if (format == AnimationFormat::Gif) {
        GifReader read(bytes);
        for (int i = 0; read.gif && i < read.gif->ImageCount; ++i) played.images.push_back(read.gif->SavedImages[i].ImageDesc);
    }
    return played;
}

void ExpectBothFormats(const std::vector<Frame>& frames, LONG width, LONG height) {
    ExpectShownAsFullFrames(AnimationFormat::Gif, frames, width, height);
    ExpectShownAsFullFrames(AnimationFormat::Apng, frames, width, height);
}

void ExpectImageAt(const GifImageDesc& image, int left, int top, int width, int height) {
    EXPECT_EQ(image.Left, left);
    EXPECT_EQ(image.Top, top);
    EXPECT_EQ(image.Width, width);
    EXPECT_EQ(image.Height, height);
}

// A GIF of two frames written, played back to check it shows them, and read
// again for its second image and that image's graphics control.
struct SecondImage {
    std::unique_ptr<GifReader> read;
    GraphicsControlBlock control{};
    const SavedImage* image = nullptr;
};

void ReadSecondImage(const std::vector<Frame>& frames, LONG width, LONG height, SecondImage& out) {
    ExpectShownAsFullFrames(AnimationFormat::Gif, frames, width, height);
    out.read = std::make_unique<GifReader>(Write(AnimationFormat::Gif, width, height, DelayUnit::Hundredths, frames));
    ASSERT_TRUE(out.read->gif);
    ASSERT_EQ(out.read->gif->ImageCount, 2);
    ASSERT_EQ(DGifSavedExtensionToGCB(out.read->gif, 1, &out.control), GIF_OK);
    out.image = &out.read->gif->SavedImages[1];
}

DWORD Noise(LONG x, LONG y) { return static_cast<DWORD>((x * 7919 + y * 104729 + x * y * 31) % 251); }

TEST(ChangedRectangles, IdenticalFramesStillShowForTheirDelays) {
    std::vector<BYTE> palette = Palette(21);
    std::vector<Frame> frames;
    for (std::uint32_t delay : {5u, 7u, 0u, 300u}) frames.push_back(PalettedFrame(9, 6, 8, palette, Noise, delay));
    Played gif = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, 9, 6);
    ASSERT_EQ(gif.images.size(), 4u);
    ExpectImageAt(gif.images[0], 0, 0, 9, 6);
    // Nothing changes: one pixel, the least an image can hold.
    for (int i = 1; i < 4; ++i) EXPECT_EQ(gif.images[i].Width * gif.images[i].Height, 1) << i;
    ExpectShownAsFullFrames(AnimationFormat::Apng, frames, 9, 6);
}

TEST(ChangedRectangles, OneCornerPixelIsAllThatIsStored) {
    const LONG w = 11, h = 7;
    std::vector<BYTE> palette = Palette(22);
    const std::pair<LONG, LONG> corners[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}};
    for (auto [cx, cy] : corners) {
        SCOPED_TRACE(std::to_string(cx) + "," + std::to_string(cy));
        std::vector<Frame> frames;
        frames.push_back(PalettedFrame(w, h, 8, palette, Noise));
        frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
            return x == cx && y == cy ? DWORD(252) : Noise(x, y);
        }));
        frames.push_back(PalettedFrame(w, h, 8, palette, Noise));  // and back
        Played gif = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
        ASSERT_EQ(gif.images.size(), 3u);
        ExpectImageAt(gif.images[1], cx, cy, 1, 1);
        ExpectImageAt(gif.images[2], cx, cy, 1, 1);
        ExpectShownAsFullFrames(AnimationFormat::Apng, frames, w, h);
    }
}

TEST(ChangedRectangles, ChangesAtTheEdgesSpanTheFrame) {
    const LONG w = 10, h = 8;
    std::vector<BYTE> palette = Palette(23);
    std::vector<Frame> frames;
    frames.push_back(PalettedFrame(w, h, 8, palette, Noise));
    // One pixel in the middle of each edge.
    frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
        const bool edge = (y == 0 && x == 4) || (y == h - 1 && x == 5) || (x == 0 && y == 3) || (x == w - 1 && y == 4);
        return edge ? DWORD(253) : Noise(x, y);
    }));
    // Only the left and right columns: the whole height of the frame.
    frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
        return x == 0 || x == w - 1 ? DWORD(254) : Noise(x, y);
    }));
    // A band inside.
    frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
        return x == 0 || x == w - 1 ? DWORD(254) : y >= 2 && y <= 4 && x >= 3 && x <= 6 ? DWORD(x) : Noise(x, y);
    }));
    Played gif = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
    ASSERT_EQ(gif.images.size(), 4u);
    ExpectImageAt(gif.images[1], 0, 0, w, h);
    ExpectImageAt(gif.images[2], 0, 0, w, h);
    ExpectImageAt(gif.images[3], 3, 2, 4, 3);
    ExpectShownAsFullFrames(AnimationFormat::Apng, frames, w, h);
}

TEST(ChangedRectangles, EveryPixelChanging) {
    std::vector<BYTE> palette = Palette(24);
    std::vector<Frame> frames;
    for (DWORD shift : {0u, 1u, 2u}) frames.push_back(PalettedFrame(13, 5, 8, palette, [shift](LONG x, LONG y) {
        return (Noise(x, y) + shift * 3) % 256;
    }));
    Played gif = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, 13, 5);
    for (const GifImageDesc& image : gif.images) ExpectImageAt(image, 0, 0, 13, 5);
    ExpectShownAsFullFrames(AnimationFormat::Apng, frames, 13, 5);
}

// Frames as the plug-in hands them when asked to supercompress: each pixel
// equal to the previous frame's set to the transparent index.
std::vector<Frame> Supercompressed(const std::vector<std::vector<BYTE>>& pictures, LONG w, LONG h,
                                   const std::vector<BYTE>& palette, BYTE transparent) {
    std::vector<Frame> frames;
    for (std::size_t n = 0; n < pictures.size(); ++n)
        frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            return DWORD(n > 0 && pictures[n][i] == pictures[n - 1][i] ? transparent : pictures[n][i]);
        }, 3, n > 0 ? transparent : -1));
    return frames;
}

TEST(ChangedRectangles, SupercompressedFramesShowTheSame) {
    const LONG w = 24, h = 16;
    std::vector<BYTE> palette = Palette(25);
    std::mt19937 random(5);
    std::vector<std::vector<BYTE>> pictures(1, std::vector<BYTE>(w * h));
    for (BYTE& p : pictures[0]) p = static_cast<BYTE>(random() % 255);
    for (int n = 1; n < 8; ++n) {
        pictures.push_back(pictures.back());
        // A few flakes move; now and then nothing does.
        for (int k = 0; k < (n % 3 == 2 ? 0 : 6); ++k) pictures.back()[random() % (w * h)] = static_cast<BYTE>(random() % 255);
    }
    std::vector<Frame> frames = Supercompressed(pictures, w, h, palette, 255);
    ExpectBothFormats(frames, w, h);

    // The same pictures handed whole give the same file to look at.
    std::vector<Frame> whole;
    for (const auto& picture : pictures)
        whole.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) { return DWORD(picture[y * w + x]); }, 3));
    EXPECT_EQ(ShowGif(Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames)).screens,
              ShowGif(Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, whole)).screens);
}

TEST(ChangedRectangles, TransparentPixelsWhereNothingWasDrawnStayClear) {
    std::vector<BYTE> palette = Palette(26);
    std::vector<Frame> frames;
    // Transparent corners from the first frame on, filled one by one.
    frames.push_back(PalettedFrame(6, 4, 8, palette, [](LONG x, LONG y) { return (x + y) % 5 == 0 ? 9u : DWORD(x * 4 + y); }, 4, 9));
    frames.push_back(PalettedFrame(6, 4, 8, palette, [](LONG x, LONG y) { return x == 0 && y == 0 ? 30u : 9u; }, 4, 9));
    frames.push_back(PalettedFrame(6, 4, 8, palette, [](LONG, LONG) { return 9u; }, 4, 9));
    frames.push_back(PalettedFrame(6, 4, 8, palette, [](LONG x, LONG y) { return (x + y) % 5 == 0 ? 31u : 9u; }, 4, 9));
    ExpectBothFormats(frames, 6, 4);
}

TEST(ChangedRectangles, OnePixelPictures) {
    std::vector<BYTE> palette = Palette(27);
    std::vector<Frame> frames;
    for (DWORD value : {3u, 3u, 4u, 7u, 7u}) frames.push_back(PalettedFrame(1, 1, 8, palette, [value](LONG, LONG) { return value; }));
    frames.push_back(PalettedFrame(1, 1, 8, palette, [](LONG, LONG) { return 7u; }, 4, 7));  // transparent over it
    ExpectBothFormats(frames, 1, 1);
}

TEST(ChangedRectangles, TwoColourTablesWithBothColoursInUse) {
    std::vector<BYTE> palette = Palette(28);
    std::vector<Frame> frames;
    for (int n = 0; n < 4; ++n)
        frames.push_back(PalettedFrame(17, 9, 1, palette, [n](LONG x, LONG y) {
            return DWORD(((x + n) / 3 + y / 2) & 1) ^ (x == 8 && y == 4 && n == 2 ? 1 : 0);
        }));
    ExpectBothFormats(frames, 17, 9);
}

TEST(ChangedRectangles, TwoHundredFiftySixColoursLeaveNoEntryForTransparency) {
    // The second frame changes pixels to all 256 colours of its table and
    // leaves one inside the rectangle as it was: no table can hold those
    // colours and a transparent entry.
    std::vector<BYTE> first = DistinctPalette(0), second = DistinctPalette(1);
    second[3 * 1] = first[3 * 200];  // a colour of the first table for one entry
    second[3 * 1 + 1] = first[3 * 200 + 1];
    second[3 * 1 + 2] = first[3 * 200 + 2];
    std::vector<Frame> frames;
    frames.push_back(PalettedFrame(32, 16, 8, first, [](LONG x, LONG) { return x < 16 ? 200u : 100u; }));
    frames.push_back(PalettedFrame(32, 16, 8, second, [](LONG x, LONG y) {
        if (x == 0 && y == 0) return 1u;     // unchanged: the colour already shown
        if (x == 31 && y == 15) return 1u;   // the same colour, a change there
        return DWORD((y * 16 + x % 16 + x / 16) % 256);
    }));
    frames.push_back(PalettedFrame(32, 16, 8, DistinctPalette(7), [](LONG x, LONG y) { return DWORD(y * 16 + x % 16); }));
    ExpectBothFormats(frames, 32, 16);
}

TEST(ChangedRectangles, TablesVaryingFromFrameToFrame) {
    std::vector<Frame> frames = MixedFrames();
    std::vector<BYTE> palette = Palette(29), shuffled = palette;
    // The same colours at other indexes, then a few new colours.
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) shuffled[3 * i + c] = palette[3 * ((i * 37) % 256) + c];
    std::vector<Frame> more;
    more.push_back(PalettedFrame(12, 9, 8, palette, Noise));
    more.push_back(PalettedFrame(12, 9, 8, shuffled, [](LONG x, LONG y) {
        DWORD wanted = x > 8 ? 5u : Noise(x, y);
        for (DWORD i = 0; i < 256; ++i)
            if ((i * 37) % 256 == wanted) return i;
        return 0u;
    }));
    more.push_back(PalettedFrame(12, 9, 4, Palette(30), [](LONG x, LONG y) { return DWORD((x * y) % 16); }, 6, 2));
    for (Frame& f : more) frames.push_back(std::move(f));
    ExpectBothFormats(frames, 12, 9);
}

// A colour at two indexes of a table is one entry of a local table, whether
// the global table holds it or not; the pixels that keep it, shown through
// either global index, take that entry.
TEST(ChangedRectangles, ColoursAtTwoIndexesTakeOneLocalEntry) {
    std::vector<BYTE> first = DistinctPalette(3), second = Palette(41);
    auto set = [](std::vector<BYTE>& palette, int index, const BYTE* colour) { std::copy_n(colour, 3, &palette[3 * index]); };
    const BYTE a[3] = {10, 20, 30}, b[3] = {200, 100, 50}, c[3] = {1, 2, 3};
    set(first, 3, a);
    set(first, 9, a);
    set(second, 2, b);
    set(second, 5, b);
    set(second, 7, a);
    set(second, 8, c);
    std::vector<Frame> frames;
    frames.push_back(PalettedFrame(24, 10, 8, first, [](LONG x, LONG y) {
        return y == 4 && x % 5 == 0 ? 1u : x < 12 ? 3u : 9u;
    }));
    frames.push_back(PalettedFrame(24, 10, 4, second, [](LONG x, LONG y) {
        if (y == 4 && x % 5 == 0) return 7u;  // the other colour becomes a
        if (y == 2 && x > 3 && x < 20) return x % 2 ? 2u : 5u;
        return y == 7 && x % 3 == 0 ? 8u : 7u;
    }));
    ExpectShownAsFullFrames(AnimationFormat::Gif, frames, 24, 10);
    GifReader read(Write(AnimationFormat::Gif, 24, 10, DelayUnit::Hundredths, frames));
    ASSERT_TRUE(read.gif);
    ASSERT_EQ(read.gif->ImageCount, 2);
    const SavedImage& image = read.gif->SavedImages[1];
    const ColorMapObject* local = image.ImageDesc.ColorMap;
    ASSERT_NE(local, nullptr);
    ASSERT_EQ(local->ColorCount, 4);  // b, a, c and transparency
    // Row 3 is left as it was, showing a through global index 9 on its right:
    // there too a is in the table.
    int entryOfA = -1;
    for (int i = 0; i < local->ColorCount; ++i)
        if (local->Colors[i].Red == a[0] && local->Colors[i].Green == a[1] && local->Colors[i].Blue == a[2]) entryOfA = i;
    ASSERT_GE(entryOfA, 0);
    int keptOnTheRight = 0;
    const int row = 3 - image.ImageDesc.Top;
    for (int x = 12 - image.ImageDesc.Left; x < image.ImageDesc.Width; ++x)
        keptOnTheRight += image.RasterBits[row * image.ImageDesc.Width + x] == entryOfA;
    EXPECT_GT(keptOnTheRight, 0);
}

TEST(ChangedRectangles, TrueColourFrames) {
    std::vector<Frame> frames;
    for (int n = 0; n < 3; ++n)
        frames.push_back({GlobalBlock(MakeFrame(15, 10, 24, nullptr, [n](LONG x, LONG y) {
                              return x >= 4 + n && x < 8 + n && y == 5 ? RGB(255, 255, 255) : RGB(x * 16, y * 20, 90);
                          })),
                          5, -1});
    Played gif = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, 15, 10);
    ASSERT_EQ(gif.images.size(), 3u);
    ExpectImageAt(gif.images[1], 4, 5, 5, 1);
    ExpectShownAsFullFrames(AnimationFormat::Apng, frames, 15, 10);
}

// Random animations: depths, tables shared or not, transparency, changes of
// any size, frames smaller than the canvas.
TEST(ChangedRectangles, RandomAnimations) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const LONG w = 1 + random() % 30, h = 1 + random() % 20;
        const int bits = std::array<int, 3>{1, 4, 8}[random() % 3];
        const DWORD colours = 1u << bits;
        const bool shared = random() % 2;
        std::vector<BYTE> palette = Palette(seed * 100);
        std::vector<DWORD> picture(w * h);
        for (DWORD& p : picture) p = random() % colours;
        std::vector<Frame> frames;
        const int count = 2 + random() % 6;
        for (int n = 0; n < count; ++n) {
            const LONG left = random() % w, top = random() % h;
            const LONG right = left + random() % (w - left), bottom = top + random() % (h - top);
            const int kind = random() % 4;
            for (LONG y = top; y <= bottom; ++y)
                for (LONG x = left; x <= right; ++x)
                    if (kind == 0 || random() % 3 == 0) picture[y * w + x] = random() % colours;
            const std::int32_t transparent = random() % 3 == 0 ? std::int32_t(random() % colours) : -1;
            const LONG fw = random() % 4 == 0 ? 1 + random() % w : w, fh = random() % 4 == 0 ? 1 + random() % h : h;
            frames.push_back(PalettedFrame(fw, fh, bits, shared ? palette : Palette(seed * 100 + n),
                                           [&](LONG x, LONG y) { return picture[y * w + x]; }, random() % 20, transparent));
        }
        ExpectBothFormats(frames, w, h);
        if (HasFailure()) break;
    }
}

// Wide frames that change a few pixels here and there, at the ends of rows
// and at whole multiples of 16 pixels from either end, where the changes are
// looked for many pixels at a time; with the frame's table the global one,
// the same colours in another order, or colours of its own.
TEST(ChangedRectangles, ScatteredChangesOnWideFrames) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const LONG w = 33 + random() % 130, h = 1 + random() % 6;
        const std::vector<BYTE> palette = Palette(seed);
        std::vector<BYTE> reordered(768);
        std::vector<DWORD> order(256);
        for (DWORD i = 0; i < 256; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        for (int i = 0; i < 256; ++i) std::copy_n(&palette[3 * order[i]], 3, &reordered[3 * i]);
        // Stretches of one colour between stretches of noise.
        std::vector<DWORD> picture(w * h);
        for (std::size_t at = 0; at < picture.size();) {
            const std::size_t end = std::min(picture.size(), at + 1 + random() % 40);
            const DWORD colour = random() % 256;
            const bool noise = random() % 3 == 0;
            for (; at < end; ++at) picture[at] = noise ? random() % 256 : colour;
        }
        auto place = [&]() -> LONG {
            const LONG blocks = 16 * LONG(1 + random() % (w / 16));
            switch (random() % 5) {
            case 0: return random() % 2 ? 0 : w - 1;
            case 1: return w - blocks;
            case 2: return blocks - 1;
            case 3: return w - blocks - 1;
            default: return random() % w;
            }
        };
        std::vector<Frame> frames;
        for (int n = 0; n < 8; ++n) {
            const int kind = n == 0 ? 0 : static_cast<int>(random() % 4);
            std::vector<DWORD> indexes = picture;
            if (kind == 1)  // the same colours under other indexes
                for (DWORD& p : indexes) p = static_cast<DWORD>(std::find(order.begin(), order.end(), p) - order.begin());
            frames.push_back(PalettedFrame(w, h, 8, kind == 1 ? reordered : kind == 2 ? Palette(seed * 10 + n) : palette,
                                           [&](LONG x, LONG y) { return indexes[y * w + x]; }, 1 + n % 5,
                                           kind == 3 ? std::int32_t(random() % 256) : -1));
            // One to three changes, a pixel or a short run each.
            for (int c = 1 + random() % 3; c > 0; --c) {
                const LONG y = random() % h, x = std::max(place(), LONG{0});
                const DWORD colour = 1 + (picture[y * w + x] + random() % 7) % 255;
                for (LONG k = x; k < std::min(w, x + 1 + LONG(random() % 3 ? 0 : random() % 20)); ++k)
                    picture[y * w + k] = colour;
            }
        }
        ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
        if (HasFailure()) break;
    }
}

// Each frame changes the place after the one the frame before changed, at
// every place of a wide row in turn: once moving a pixel along (it and the
// place it leaves change), once growing a run (it alone changes). Wherever
// changes are looked for many at a time, none is passed over, on a row that
// ends inside such a stretch of pixels or with one.
TEST(ChangedRectangles, ChangesAtEveryPlaceOfAWideRow) {
    const LONG h = 3;
    const std::vector<BYTE> palette = Palette(8);
    for (const LONG w : {75, 128}) {
        for (bool moving : {true, false}) {
            SCOPED_TRACE(std::to_string(w) + (moving ? " pixels, a pixel moving along" : " pixels, a run growing"));
            std::vector<Frame> frames;
            for (LONG n = 0; n <= w; ++n)
                frames.push_back(PalettedFrame(w, h, 8, palette, [n, moving](LONG x, LONG y) {
                    const bool set = y == 1 && (moving ? x == n - 1 : x < n);
                    return set ? 200u + DWORD(x % 2) : 7u;
                }));
            ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
        }
    }
}

// Unchanged stretches of one colour, many blocks of pixels long, that end
// where a colour one bit away or a change begins, beside a top row that
// changes to 200 colours: no local table is smaller than the global one.
TEST(ChangedRectangles, LongStretchesOfOneColourBesideManyChangedColours) {
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const LONG w = 210 + random() % 40, h = 6;
        const std::vector<BYTE> palette = Palette(seed);
        std::vector<DWORD> picture(w * h);
        for (std::size_t at = w; at < picture.size();) {
            const std::size_t end = std::min(picture.size(), at + 1 + random() % 70);
            const DWORD colour = random() % 2 && at > 0 ? picture[at - 1] ^ 1 : random() % 256;
            for (; at < end; ++at) picture[at] = colour;
        }
        std::vector<Frame> frames;
        auto add = [&] {
            frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) { return picture[y * w + x]; }));
        };
        add();
        for (LONG x = 0; x < w; ++x) picture[x] = 20 + x % 200;
        for (int c = 0; c < 6; ++c) {
            const LONG y = 1 + random() % (h - 1), x = random() % w;
            for (LONG k = x; k < std::min(w, x + 1 + LONG(random() % 5)); ++k) picture[y * w + k] ^= 2;
        }
        add();
        ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
        GifReader read(Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames));
        ASSERT_TRUE(read.gif);
        ASSERT_EQ(read.gif->ImageCount, 2);
        EXPECT_EQ(read.gif->SavedImages[1].ImageDesc.ColorMap, nullptr);
        if (HasFailure()) break;
    }
}

// Rows of one pattern, every other one changed to it: the unchanged rows show
// it already, and take its colours rather than transparency where the
// strings the changed rows taught the coder reach further. With 200 colours
// the global table serves; with 7 a local one is smaller.
TEST(ChangedRectangles, UnchangedPixelsTakeTheColoursTheyShowWhereThatCodesShorter) {
    for (DWORD colours : {200u, 7u}) {
        SCOPED_TRACE(std::to_string(colours) + " colours");
        const LONG w = 101, h = 25;
        const std::vector<BYTE> palette = Palette(colours);
        auto pattern = [&](LONG x) { return DWORD(x * 37 % colours); };
        std::vector<Frame> frames;
        frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) {
            return y % 2 ? pattern(x) : 255 - pattern(x);
        }));
        frames.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG) { return pattern(x); }));
        SecondImage read;
        ASSERT_NO_FATAL_FAILURE(ReadSecondImage(frames, w, h, read));
        const GraphicsControlBlock& control = read.control;
        const SavedImage& second = *read.image;
        ExpectImageAt(second.ImageDesc, 0, 0, w, h);
        std::size_t kept = 0;
        for (LONG y = 1; y < h; y += 2)
            for (LONG x = 0; x < w; ++x) kept += second.RasterBits[y * w + x] != control.TransparentColor;
        EXPECT_GT(kept, std::size_t(w * h / 4));
        EXPECT_EQ(second.ImageDesc.ColorMap != nullptr, colours < 128);
    }
}

// A stretch of unchanged pixels between two changes, running on over rows:
// where it shows one colour all the way it is coded as that colour (on a
// tie the coder takes the laid-out value), else it is transparent from end
// to end. Both with the frame's table the global one, and with the same
// colours in the other order. The top row changes to too many colours for a
// local table to be smaller than the global one.
TEST(ChangedRectangles, AStretchShowingOneColourKeepsItAndOneShowingTwoTurnsTransparent) {
    const std::vector<BYTE> palette = DistinctPalette(40);
    std::vector<BYTE> reversed(768);
    for (int i = 0; i < 256; ++i) std::copy_n(&palette[3 * (255 - i)], 3, &reversed[3 * i]);
    const DWORD kept = 5, second = 6;
    for (const LONG w : {140, 192}) {
        for (bool twoColours : {false, true}) {
            for (bool reorder : {false, true}) {
                SCOPED_TRACE(std::to_string(w) + (twoColours ? " pixels, two colours" : " pixels, one colour") +
                             (reorder ? ", table reordered" : ""));
                const LONG h = 4;
                auto still = [&](LONG x, LONG y) { return twoColours && y == 2 && x >= w / 2 ? second : kept; };
                auto changes = [&](LONG x, LONG y) { return y == 0 || (x == w - 1 && y == h - 1); };
                auto moved = [&](LONG x, LONG y) {
                    const DWORD index = changes(x, y) ? 100 + DWORD(x) % 140 : still(x, y);
                    return reorder ? 255 - index : index;
                };
                std::vector<Frame> frames;
                frames.push_back(PalettedFrame(w, h, 8, palette, still));
                frames.push_back(PalettedFrame(w, h, 8, reorder ? reversed : palette, moved));
                SecondImage read;
                ASSERT_NO_FATAL_FAILURE(ReadSecondImage(frames, w, h, read));
                const GraphicsControlBlock& control = read.control;
                ASSERT_GE(control.TransparentColor, 0);
                const SavedImage& image = *read.image;
                ExpectImageAt(image.ImageDesc, 0, 0, w, h);
                const GifFileType* gif = read.read->gif;
                const ColorMapObject* table = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
                ASSERT_TRUE(table);
                const GifColorType keptColour = gif->SColorMap->Colors[kept];
                int wrong = 0;
                for (LONG y = 0; y < h; ++y)
                    for (LONG x = 0; x < w; ++x) {
                        if (changes(x, y)) continue;
                        const int index = image.RasterBits[y * w + x];
                        const GifColorType colour = table->Colors[index];
                        const bool isKept = index != control.TransparentColor && colour.Red == keptColour.Red &&
                                            colour.Green == keptColour.Green && colour.Blue == keptColour.Blue;
                        wrong += twoColours ? index != control.TransparentColor : !isKept;
                    }
                EXPECT_EQ(wrong, 0);
            }
        }
    }
}

// Frames are coded several at once: the file must not depend on how many,
// nor on which finishes first.
TEST(ChangedRectangles, TheFileIsTheSameOnAnyNumberOfThreads) {
    const LONG w = 48, h = 40;
    std::vector<BYTE> palette = Palette(5);
    std::mt19937 random(11);
    std::vector<DWORD> picture(w * h);
    for (DWORD& p : picture) p = random() % 200;
    std::vector<Frame> frames;
    for (int n = 0; n < 30; ++n) {
        // Mostly small changes, now and then none, a whole new picture, a
        // table of its own or a transparent index.
        const int kind = n == 0 ? 0 : static_cast<int>(random() % 8);
        if (kind == 1) {
            for (DWORD& p : picture) p = random() % 256;
        } else if (kind != 2) {
            const LONG x0 = random() % w, y0 = random() % h;
            for (LONG y = y0; y < std::min(h, y0 + 6); ++y)
                for (LONG x = x0; x < std::min(w, x0 + 9); ++x) picture[y * w + x] = random() % 256;
        }
        frames.push_back(PalettedFrame(w, h, 8, kind == 3 ? Palette(100 + n) : palette,
                                       [&](LONG x, LONG y) { return picture[y * w + x]; }, 1 + n % 7,
                                       kind == 4 ? 7 : -1));
    }
    std::vector<BYTE> alone;
    {
        CodingThreads threads(1);
        alone = Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames);
    }
    for (int count : {2, 5}) {
        CodingThreads threads(count);
        EXPECT_EQ(Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames), alone) << count << " threads";
    }
    CodingThreads threads(5);
    ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
}

TEST(ChangedRectangles, AMostlyStillAnimationIsSmallerThanItsFullFrames) {
    // Noise, which no coder shrinks, with a small sprite walking over it.
    const LONG w = 64, h = 64;
    std::vector<BYTE> palette = Palette(31);
    std::mt19937 random(3);
    std::vector<BYTE> still(w * h);
    for (BYTE& p : still) p = static_cast<BYTE>(random());
    std::vector<Frame> frames;
    std::size_t fullFrames = 0;
    for (int n = 0; n < 20; ++n) {
        auto rule = [&, n](LONG x, LONG y) {
            return x >= 2 * n && x < 2 * n + 3 && y >= 30 && y < 33 ? 0u : DWORD(still[y * w + x]);
        };
        std::vector<Frame> alone;
        alone.push_back(PalettedFrame(w, h, 8, palette, rule));
        fullFrames += Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, alone).size();
        frames.push_back(PalettedFrame(w, h, 8, palette, rule));
    }
    const std::size_t gif = Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames).size();
    // The first frame whole, then a few bytes a frame.
    EXPECT_LT(gif, fullFrames / 20 + 20 * 100) << "full frames: " << fullFrames;
    std::vector<Frame> first;
    first.push_back(PalettedFrame(w, h, 8, palette, [&](LONG x, LONG y) { return DWORD(still[y * w + x]); }));
    const std::size_t alone = Write(AnimationFormat::Apng, w, h, DelayUnit::Hundredths, first).size();
    EXPECT_LT(Write(AnimationFormat::Apng, w, h, DelayUnit::Hundredths, frames).size(), alone + 20 * 100);
}

TEST(ChangedRectangles, UnchangedNoiseInsideTheRectangleBecomesOneTransparentRun) {
    // The top row takes 200 new colours, too many for a local table to be
    // smaller than the global one, and the last pixel changes too: the
    // rectangle is the whole frame, and all between is noise shown already.
    // Coded as its colours it would take about a byte a pixel, as
    // transparency a few codes a row.
    const LONG w = 200, h = 64;
    std::vector<BYTE> palette = Palette(17);
    std::mt19937 random(9);
    std::vector<BYTE> still(w * h);
    for (BYTE& p : still) p = static_cast<BYTE>(1 + random() % 250);
    auto picture = [&](LONG x, LONG y) { return DWORD(still[y * w + x]); };
    auto changed = [&](LONG x, LONG y) {
        if (y == 0) return DWORD(still[x] == 1 + x ? 201 + x % 50 : 1 + x);
        return x == w - 1 && y == h - 1 ? 0u : picture(x, y);
    };
    std::vector<Frame> frames;
    frames.push_back(PalettedFrame(w, h, 8, palette, picture));
    const std::size_t first = Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames).size();
    frames.push_back(PalettedFrame(w, h, 8, palette, changed));
    Played played = ExpectShownAsFullFrames(AnimationFormat::Gif, frames, w, h);
    ASSERT_EQ(played.images.size(), 2u);
    ExpectImageAt(played.images[1], 0, 0, w, h);
    EXPECT_LT(Write(AnimationFormat::Gif, w, h, DelayUnit::Hundredths, frames).size(), first + 1000);
}

}  // namespace
