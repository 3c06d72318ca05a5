#include <gtest/gtest.h>

#include <gif_lib.h>
#include <webp/demux.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "host/core/host_error.h"
#include "host/core/limits.h"
#include "host/core/output_file.h"
#include "host/core/write/animation_writer.h"
#include "plugin/guards.h"
#include "tests/host/host_test_support.h"
#include "tests/host/written_animations.h"

using namespace host_testing;

namespace {

std::string LongComment() {
    std::string text = "CREATED BY...\r\n\r\n";
    while (text.size() < 600) text += "A comment longer than one GIF sub-block of 255 bytes. ";
    return text;
}

TEST(GifWriter, FramesShowAsHandedWithTheirDelaysLoopAndComment) {
    std::vector<Frame> frames = MixedFrames();
    std::vector<BYTE> bytes = Write(AnimationFormat::Gif, 12, 9, DelayUnit::Hundredths, frames, LongComment());
    ShownAnimation shown = ShowGif(bytes);
    EXPECT_EQ(shown.width, 12);
    EXPECT_EQ(shown.height, 9);
    EXPECT_EQ(shown.screens, ShownByFrames(frames, 12, 9));
    EXPECT_EQ(shown.delays, (std::vector<int>{7, 0, 250}));

    GifReader read(bytes);
    ASSERT_EQ(read.gif->ImageCount, 3);
    // The first frame is whole and lays the frame's table out as the
    // screen's; every frame leaves itself in place for the next.
    const GifImageDesc& first = read.gif->SavedImages[0].ImageDesc;
    EXPECT_EQ(first.Left, 0);
    EXPECT_EQ(first.Top, 0);
    EXPECT_EQ(first.Width, 12);
    EXPECT_EQ(first.Height, 9);
    ASSERT_NE(read.gif->SColorMap, nullptr);
    ASSERT_EQ(read.gif->SColorMap->ColorCount, 256);
    std::vector<BYTE> palette = Palette(1);
    for (int c = 0; c < 256; ++c) {
        const GifColorType& g = read.gif->SColorMap->Colors[c];
        ASSERT_EQ(RGB(g.Red, g.Green, g.Blue), RGB(palette[3 * c], palette[3 * c + 1], palette[3 * c + 2])) << c;
    }
    for (int i = 0; i < 3; ++i) {
        GraphicsControlBlock control;
        ASSERT_EQ(DGifSavedExtensionToGCB(read.gif, i, &control), GIF_OK);
        EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT) << i;
    }
    // Endless looping is announced before the first frame.
    const SavedImage& image = read.gif->SavedImages[0];
    std::string loop = ExtensionText(image.ExtensionBlocks, image.ExtensionBlockCount, APPLICATION_EXT_FUNC_CODE);
    EXPECT_EQ(loop, std::string("NETSCAPE2.0\x01\x00\x00", 14));
    EXPECT_EQ(ExtensionText(read.gif->ExtensionBlocks, read.gif->ExtensionBlockCount, COMMENT_EXT_FUNC_CODE), LongComment());
}

TEST(GifWriter, MillisecondDelaysBecomeHundredths) {
    std::vector<BYTE> palette = Palette(4);
    std::vector<Frame> frames;
    for (std::uint32_t delay : {125u, 4u, 0u, 70000u, 1000000u})
        frames.push_back({GlobalBlock(MakeFrame(3, 2, 8, palette.data(), [delay](LONG x, LONG) { return DWORD(x + delay % 7); })),
                          delay, -1});
    GifReader read(Write(AnimationFormat::Gif, 3, 2, DelayUnit::Milliseconds, frames));
    ASSERT_EQ(read.gif->ImageCount, 5);
    // Rounded to the nearest hundredth, a short delay never becomes none,
    // and the extension's 16 bits cap the longest.
    int expected[] = {13, 1, 0, 7000, 65535};
    for (int i = 0; i < 5; ++i) {
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(read.gif, i, &control);
        EXPECT_EQ(control.DelayTime, expected[i]) << i;
    }
}

TEST(GifWriter, TrueColourFramesGetATable) {
    // 200 colours fit a table exactly.
    GlobalBlock few(MakeFrame(20, 10, 24, nullptr, [](LONG x, LONG y) { return RGB(x * 12, y * 25, (x * y) % 7); }));
    // 4096 colours must be reduced.
    GlobalBlock many(MakeFrame(64, 64, 24, nullptr, [](LONG x, LONG y) { return RGB(x * 4, y * 4, (x + y) * 2); }));
    std::vector<Frame> frames;
    frames.push_back({std::move(few), 5, 9});  // an index means nothing in a 24-bit frame
    frames.push_back({std::move(many), 5, -1});
    ShownAnimation shown = ShowGif(Write(AnimationFormat::Gif, 64, 64, DelayUnit::Hundredths, frames));
    ASSERT_EQ(shown.screens.size(), 2u);
    const std::vector<std::vector<BYTE>> expected = ShownByFrames(frames, 64, 64);
    EXPECT_EQ(shown.screens[0], expected[0]);
    long long error = 0;
    int largest = 0;
    for (std::size_t i = 0; i < expected[1].size(); ++i) {
        const int d = std::abs(int(shown.screens[1][i]) - int(expected[1][i]));
        error += d;
        largest = std::max(largest, d);
    }
    // 256 colours spread evenly over this gradient would be about 40 levels
    // apart; the reduction must do at least as well as that.
    EXPECT_LT(error / (64 * 64 * 3), 12);
    EXPECT_LE(largest, 64);
}

TEST(ApngWriter, ChunksFramesAndDelays) {
    std::vector<Frame> frames = MixedFrames();
    std::vector<BYTE> bytes = Write(AnimationFormat::Apng, 12, 9, DelayUnit::Hundredths, frames, "made here");
    ApngFile file(bytes);
    // Animation control and the first frame's control come before the image
    // data every viewer reads; the other frames follow it.
    EXPECT_EQ(file.Order(), (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "tEXt", "acTL", "fcTL", "IDAT", "fcTL",
                                                      "fdAT", "fcTL", "fdAT", "IEND"}));
    EXPECT_EQ(file.frameCount, 3u);
    EXPECT_EQ(file.plays, 0u);
    ASSERT_EQ(file.controls.size(), 3u);
    std::uint32_t expectedSequence = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const BYTE* c = file.controls[i].data();
        EXPECT_EQ(ApngFile::U32(c), expectedSequence);
        expectedSequence += i == 0 ? 1 : 2;
        EXPECT_EQ(ApngFile::U16(c + 20), frames[i].delay);
        EXPECT_EQ(ApngFile::U16(c + 22), 100u);
        EXPECT_EQ(c[24], 0);  // left in place
        EXPECT_EQ(c[25], 1);  // drawn over the frame before
    }
    const PngChunk* text = file.Find("tEXt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text->data.begin(), text->data.end()), std::string("Comment\0made here", 17));

    // 256 + 16 + 2 table entries, of which only the used ones and one
    // transparent entry make the palette.
    const PngChunk* header = file.Find("IHDR");
    EXPECT_EQ(header->data[9], 3);  // paletted
    EXPECT_EQ(header->data[8], 8);
    EXPECT_EQ(file.Find("tRNS")->data, std::vector<BYTE>{0});

    // An APNG-unaware reader sees the first frame.
    Rgba still = ReadPng(bytes);
    EXPECT_EQ(still.width, 12);
    EXPECT_EQ(still.height, 9);
    EXPECT_EQ(still.pixels, RgbaOf(frames[0]));
    EXPECT_EQ(ShowApng(bytes).screens, ShownByFrames(frames, 12, 9));
}

TEST(ApngWriter, ManyColoursGiveTrueColourWithAlphaOnlyWhenNeeded) {
    std::vector<Frame> opaque;
    opaque.push_back({GlobalBlock(MakeFrame(40, 20, 24, nullptr, [](LONG x, LONG y) { return RGB(x * 6, y * 12, 77); })), 4, -1});
    std::vector<BYTE> palette = Palette(5);
    opaque.push_back({GlobalBlock(MakeFrame(40, 20, 8, palette.data(), [](LONG x, LONG) { return DWORD(x); })), 4, -1});
    // Diagonal ramps, where the left and upper neighbours predict equally
    // well, and noise, where no filter helps.
    opaque.push_back({GlobalBlock(MakeFrame(40, 20, 24, nullptr, [](LONG x, LONG y) { return RGB((x + y) * 4, (x + y) * 4 + 1, x * 2 + y * 2); })), 4, -1});
    std::mt19937 random(11);
    opaque.push_back({GlobalBlock(MakeFrame(40, 20, 24, nullptr, [&](LONG, LONG) { return DWORD(random() & 0xFFFFFF); })), 4, -1});
    std::vector<BYTE> rgbBytes = Write(AnimationFormat::Apng, 40, 20, DelayUnit::Hundredths, opaque);
    ApngFile rgb(rgbBytes);
    EXPECT_EQ(rgb.Find("IHDR")->data[9], 2);
    EXPECT_EQ(rgb.Find("PLTE"), nullptr);
    EXPECT_EQ(ShowApng(rgbBytes).screens, ShownByFrames(opaque, 40, 20));

    opaque[1].transparent = 5;
    std::vector<BYTE> bytes = Write(AnimationFormat::Apng, 40, 20, DelayUnit::Hundredths, opaque);
    ApngFile rgba(bytes);
    EXPECT_EQ(rgba.Find("IHDR")->data[9], 6);
    EXPECT_EQ(ReadPng(bytes).pixels, RgbaOf(opaque[0]));
    EXPECT_EQ(ShowApng(bytes).screens, ShownByFrames(opaque, 40, 20));
}

TEST(ApngWriter, SmallPalettesPackPixelsAndMillisecondsStayExact) {
    std::vector<BYTE> palette = Palette(6);
    std::vector<Frame> frames;
    frames.push_back({GlobalBlock(MakeFrame(13, 3, 8, palette.data(), [](LONG x, LONG y) { return DWORD((x + y) % 3); })), 1500, -1});
    frames.push_back({GlobalBlock(MakeFrame(13, 3, 8, palette.data(), [](LONG x, LONG) { return DWORD(x % 2); })), 70000, -1});
    std::vector<BYTE> bytes = Write(AnimationFormat::Apng, 13, 3, DelayUnit::Milliseconds, frames);
    ApngFile file(bytes);
    EXPECT_EQ(file.Find("IHDR")->data[8], 2);  // three colours: two bits a pixel
    EXPECT_EQ(file.Find("tRNS"), nullptr);
    EXPECT_EQ(ApngFile::U16(file.controls[0].data() + 20), 1500u);
    EXPECT_EQ(ApngFile::U16(file.controls[0].data() + 22), 1000u);
    // Too long for 16 bits of milliseconds: hundredths instead.
    EXPECT_EQ(ApngFile::U16(file.controls[1].data() + 20), 7000u);
    EXPECT_EQ(ApngFile::U16(file.controls[1].data() + 22), 100u);
    EXPECT_EQ(ShowApng(bytes).screens, ShownByFrames(frames, 13, 3));
}

TEST(ApngWriter, FirstFrameSmallerThanTheCanvasIsPaddedTransparent) {
    std::vector<BYTE> palette = Palette(7);
    std::vector<Frame> frames;
    frames.push_back({GlobalBlock(MakeFrame(3, 2, 8, palette.data(), [](LONG, LONG) { return 9u; })), 10, -1});
    std::vector<BYTE> bytes = Write(AnimationFormat::Apng, 5, 4, DelayUnit::Hundredths, frames);
    Rgba still = ReadPng(bytes);
    ASSERT_EQ(still.width, 5);
    ASSERT_EQ(still.height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const BYTE* p = still.pixels.data() + 4 * (y * 5 + x);
            if (x < 3 && y < 2) {
                EXPECT_EQ(RGB(p[0], p[1], p[2]), RGB(palette[27], palette[28], palette[29]));
            }
            EXPECT_EQ(p[3], x < 3 && y < 2 ? 255 : 0) << x << "," << y;
        }
}

struct WebPAnimation {
    WebPAnimInfo info{};
    std::vector<int> timestamps;
    std::vector<std::vector<BYTE>> canvases;  // RGBA
};

WebPAnimation ReadWebP(const std::vector<BYTE>& bytes) {
    WebPAnimation out;
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    EXPECT_NE(decoder, nullptr);
    if (!decoder) return out;
    WebPAnimDecoderGetInfo(decoder, &out.info);
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &canvas, &timestamp)) {
            ADD_FAILURE() << "frame does not decode";
            break;
        }
        out.timestamps.push_back(timestamp);
        out.canvases.emplace_back(canvas, canvas + out.info.canvas_width * out.info.canvas_height * 4);
    }
    WebPAnimDecoderDelete(decoder);
    return out;
}

TEST(WebPWriter, FramesTimesAndTransparentPixelsKeepingThePreviousFrame) {
    std::vector<Frame> frames = MixedFrames();
    WebPAnimation read = ReadWebP(Write(AnimationFormat::WebP, 12, 9, DelayUnit::Hundredths, frames));
    EXPECT_EQ(read.info.canvas_width, 12u);
    EXPECT_EQ(read.info.canvas_height, 9u);
    EXPECT_EQ(read.info.loop_count, 0u);
    ASSERT_EQ(read.info.frame_count, 3u);
    // Each timestamp is where its frame ends, in milliseconds.
    EXPECT_EQ(read.timestamps, (std::vector<int>{70, 70, 2570}));

    // What the viewer sees: each frame over the one before, its transparent
    // pixels showing what was there.
    std::vector<BYTE> seen(12 * 9 * 4, 0);
    for (std::size_t i = 0; i < 3; ++i) {
        GlobalLockGuard<BYTE> bits(frames[i].dib.get());
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(bits.get());
        std::vector<BYTE> rgba = RgbaOf(frames[i]);
        for (int y = 0; y < h->biHeight; ++y)
            for (int x = 0; x < h->biWidth; ++x) {
                const BYTE* p = rgba.data() + 4 * (y * h->biWidth + x);
                if (p[3]) std::memcpy(seen.data() + 4 * (y * 12 + x), p, 4);
            }
        EXPECT_EQ(read.canvases[i], seen) << i;
    }
}

TEST(WebPWriter, MillisecondsPassStraightThroughAndHugeCanvasesAreRefused) {
    std::vector<BYTE> palette = Palette(8);
    std::vector<Frame> frames;
    for (std::uint32_t delay : {33u, 1u, 500u})
        frames.push_back({GlobalBlock(MakeFrame(4, 4, 8, palette.data(), [delay](LONG x, LONG) { return DWORD(x * delay % 200); })),
                          delay, -1});
    WebPAnimation read = ReadWebP(Write(AnimationFormat::WebP, 4, 4, DelayUnit::Milliseconds, frames));
    EXPECT_EQ(read.timestamps, (std::vector<int>{33, 34, 534}));

    MemorySink sink;
    auto writer = MakeAnimationWriter(AnimationFormat::WebP, sink);
    try {
        writer->Begin({16384, 10, DelayUnit::Hundredths});
        ADD_FAILURE() << "a 16384-pixel WebP was begun";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("16383"), std::string::npos) << e.what();
    }
}

// A writer that writes nothing, to drive the checks every writer shares.
class CountingWriter : public AnimationWriter {
public:
    explicit CountingWriter(ByteSink& sink) : AnimationWriter(sink) {}
    int frames = 0;
    bool failNextFrame = false;

private:
    void WriteStart() override {}
    void WriteFrame(const FrameView&) override {
        if (failNextFrame) throw HostError("disk full");
        ++frames;
    }
    void WriteEnd() override {}
};

void ExpectRefused(const std::function<void()>& call, const std::string& words) {
    try {
        call();
        ADD_FAILURE() << "accepted; expected a refusal with \"" << words << "\"";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
}

TEST(AnimationWriterStates, CallsOutOfOrderAreRefused) {
    MemorySink sink;
    std::vector<Frame> frames = MixedFrames();
    GlobalLockGuard<BYTE> bits(frames[0].dib.get());
    FrameView frame(bits.get(), GlobalSize(frames[0].dib.get()), 1, -1);

    CountingWriter writer(sink);
    ExpectRefused([&] { writer.AddFrame(frame); }, "not been begun");
    ExpectRefused([&] { writer.Finish(); }, "not been begun");
    writer.Begin({12, 9, DelayUnit::Hundredths});
    ExpectRefused([&] { writer.Begin({12, 9, DelayUnit::Hundredths}); }, "already begun");
    ExpectRefused([&] { writer.Finish(); }, "no frames");
    writer.AddFrame(frame);
    writer.Finish();
    ExpectRefused([&] { writer.AddFrame(frame); }, "already finished");
    ExpectRefused([&] { writer.SetComment("late"); }, "already finished");
    EXPECT_EQ(writer.frames, 1);

    CountingWriter failing(sink);
    failing.Begin({12, 9, DelayUnit::Hundredths});
    failing.failNextFrame = true;
    ExpectRefused([&] { failing.AddFrame(frame); }, "disk full");
    failing.failNextFrame = false;
    ExpectRefused([&] { failing.AddFrame(frame); }, "already failed");
    ExpectRefused([&] { failing.Finish(); }, "already failed");
}

TEST(AnimationWriterStates, CanvasAndPixelBudget) {
    MemorySink sink;
    for (AnimationCanvas bad : {AnimationCanvas{0, 5}, AnimationCanvas{5, -1}, AnimationCanvas{16385, 5}}) {
        CountingWriter writer(sink);
        ExpectRefused([&] { writer.Begin(bad); }, "cannot be written");
    }

    std::vector<Frame> frames = MixedFrames();
    GlobalLockGuard<BYTE> bits(frames[0].dib.get());
    FrameView twelveByNine(bits.get(), GlobalSize(frames[0].dib.get()), 1, -1);
    CountingWriter narrow(sink);
    narrow.Begin({11, 9, DelayUnit::Hundredths});
    ExpectRefused([&] { narrow.AddFrame(twelveByNine); }, "does not fit");
    // A frame refused for its size leaves the animation open for fitting ones.
    GlobalLockGuard<BYTE> smallBits(frames[2].dib.get());
    narrow.AddFrame(FrameView(smallBits.get(), GlobalSize(frames[2].dib.get()), 1, -1));
    narrow.Finish();
    EXPECT_EQ(narrow.frames, 1);
}

TEST(AnimationWriterStates, AllFramesTogetherStayWithinTheBudget) {
    MemorySink sink;
    CountingWriter writer(sink);
    writer.Begin({16384, 16384, DelayUnit::Hundredths});
    GlobalBlock full(CreatePackedDib(16384, 16384, nullptr, 1));  // exactly the budget, 32 MiB at one bit
    ASSERT_TRUE(full);
    GlobalBlock tiny(CreatePackedDib(1, 1, nullptr, 1));
    {
        GlobalLockGuard<BYTE> bits(full.get());
        writer.AddFrame(FrameView(bits.get(), GlobalSize(full.get()), 1, -1));
    }
    GlobalLockGuard<BYTE> bits(tiny.get());
    ExpectRefused([&] { writer.AddFrame(FrameView(bits.get(), GlobalSize(tiny.get()), 1, -1)); }, "one too many");
    writer.Finish();
    EXPECT_EQ(writer.FrameCount(), 1u);
}

TEST(FrameViews, OnlySoundPicturesAndIndexesInsideTheTable) {
    GlobalBlock four(CreatePackedDib(5, 5, nullptr, 4));
    GlobalLockGuard<BYTE> bits(four.get());
    const SIZE_T size = GlobalSize(four.get());
    EXPECT_NO_THROW(FrameView(bits.get(), size, 0, 15));
    EXPECT_NO_THROW(FrameView(bits.get(), size, 0, -1));
    EXPECT_THROW(FrameView(bits.get(), size, 0, 16), HostError);
    EXPECT_THROW(FrameView(bits.get(), size, 0, -2), HostError);
    EXPECT_THROW(FrameView(bits.get(), size - 1, 0, -1), HostError);

    GlobalBlock deep(CreatePackedDib(2, 2, nullptr, 32));
    GlobalLockGuard<BYTE> deepBits(deep.get());
    EXPECT_THROW(FrameView(deepBits.get(), GlobalSize(deep.get()), 0, -1), HostError);

    GlobalBlock rgb(CreatePackedDib(2, 2, nullptr, 24));
    GlobalLockGuard<BYTE> rgbBits(rgb.get());
    EXPECT_EQ(FrameView(rgbBits.get(), GlobalSize(rgb.get()), 0, 7).TransparentIndex(), -1);
}

// A sink that takes a number of bytes and then fails like a full disk.
class FullDisk : public ByteSink {
public:
    explicit FullDisk(std::size_t room) : room_(room) {}
    void Write(const void*, std::size_t size) override {
        if (size > room_) throw HostError("Cannot write out.gif: No space left on device");
        room_ -= size;
    }

private:
    std::size_t room_;
};

TEST(AnimationWriterStates, AFailedWriteFailsTheAnimationWithTheSinksMessage) {
    std::vector<Frame> frames = MixedFrames();
    // Frames coded on other threads must not hide or outlive the failure.
    CodingThreads threads(3);
    for (AnimationFormat format : {AnimationFormat::Gif, AnimationFormat::Apng, AnimationFormat::WebP}) {
        for (std::size_t room : {0, 13, 40, 100, 300}) {
            SCOPED_TRACE(std::string(FormatName(format)) + " with room " + std::to_string(room));
            FullDisk sink(room);
            auto writer = MakeAnimationWriter(format, sink);
            bool failed = false;
            try {
                writer->Begin({12, 9, DelayUnit::Hundredths});
                WriteFrames(*writer, frames);
                writer->Finish();
            } catch (const HostError& e) {
                failed = true;
                EXPECT_NE(std::string(e.what()).find("No space left"), std::string::npos) << e.what();
            }
            EXPECT_TRUE(failed);
        }
    }
}

TEST(AnimationFormats, NamesDelaysAndExtensions) {
    EXPECT_EQ(FormatForPath("out.gif"), AnimationFormat::Gif);
    EXPECT_EQ(FormatForPath("OUT.PNG"), AnimationFormat::Apng);
    EXPECT_EQ(FormatForPath("a.b/out.apng"), AnimationFormat::Apng);
    EXPECT_EQ(FormatForPath("out.WebP"), AnimationFormat::WebP);
    EXPECT_EQ(FormatForPath("out"), AnimationFormat::Gif);
    EXPECT_EQ(FormatForPath("png"), AnimationFormat::Gif);
    for (AnimationFormat f : {AnimationFormat::Gif, AnimationFormat::Apng, AnimationFormat::WebP})
        EXPECT_EQ(FormatForPath(std::string("x") + FormatExtension(f)), f);

    EXPECT_EQ(DelayInHundredths(7, DelayUnit::Hundredths), 7u);
    EXPECT_EQ(DelayInHundredths(14, DelayUnit::Milliseconds), 1u);
    EXPECT_EQ(DelayInHundredths(15, DelayUnit::Milliseconds), 2u);
    EXPECT_EQ(DelayInHundredths(1, DelayUnit::Milliseconds), 1u);
    EXPECT_EQ(DelayInHundredths(0, DelayUnit::Milliseconds), 0u);
    EXPECT_EQ(DelayInHundredths(0xFFFFFFFF, DelayUnit::Milliseconds), 429496730u);
    EXPECT_EQ(DelayInMilliseconds(7, DelayUnit::Hundredths), 70u);
    EXPECT_EQ(DelayInMilliseconds(0xFFFFFFFF, DelayUnit::Hundredths), 42949672950u);
    EXPECT_EQ(DelayInMilliseconds(33, DelayUnit::Milliseconds), 33u);
}

TEST(OutputFiles, ReplaceOnlyWhenComplete) {
    TemporaryFolder folder;
    std::string target = folder / "out.gif";
    WriteFile(target, {'o', 'l', 'd'});
    std::vector<BYTE> big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 31);
    {
        OutputFile file = OutputFile::Replacing(target);
        file.Write("abc", 3);
        file.Write(big.data(), big.size());
        EXPECT_EQ(ReadFile(target), (std::vector<BYTE>{'o', 'l', 'd'}));
        EXPECT_EQ(folder.Files().size(), 2u);  // the work file beside it
        file.Commit();
        EXPECT_THROW(file.Write("x", 1), HostError);
    }
    std::vector<BYTE> expected = {'a', 'b', 'c'};
    expected.insert(expected.end(), big.begin(), big.end());
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"out.gif"});
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::owner_read,
              std::filesystem::perms::owner_read);

    {
        OutputFile abandoned = OutputFile::Replacing(target);
        abandoned.Write("new", 3);
    }
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"out.gif"});

    ExpectRefused([&] { OutputFile::Replacing(folder / "missing/out.gif"); }, folder / "missing");
    // A folder in the way is found before anything is written, and left as it is.
    std::filesystem::create_directory(folder / "taken.gif");
    ExpectRefused([&] { OutputFile::Replacing(folder / "taken.gif"); }, "a folder has that name");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.gif"));
    EXPECT_EQ(folder.Files().size(), 2u);
}

TEST(OutputFiles, TemporaryFilesKeepTheirNames) {
    TemporaryFolder folder;
    std::string saved = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", folder.Path().c_str(), 1);
    std::string path;
    {
        OutputFile file = OutputFile::Temporary("lumafex-test-", ".webp");
        path = file.Path();
        file.Write("RIFF", 4);
        file.Commit();
    }
    if (saved.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", saved.c_str(), 1);
    EXPECT_EQ(path.rfind(folder.Path() + "/lumafex-test-", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 5), ".webp");
    EXPECT_EQ(ReadFile(path), (std::vector<BYTE>{'R', 'I', 'F', 'F'}));
}

}  // namespace
