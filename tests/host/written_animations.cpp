#include "tests/host/written_animations.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "host/core/output_file.h"

namespace host_testing {

std::vector<BYTE> Palette(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> palette(768);
    for (BYTE& b : palette) b = static_cast<BYTE>(random());
    return palette;
}

std::vector<Frame> MixedFrames() {
    std::vector<Frame> frames;
    std::vector<BYTE> a = Palette(1), b = Palette(2), c = Palette(3);
    frames.push_back({GlobalBlock(MakeFrame(12, 9, 8, a.data(), [](LONG x, LONG y) { return DWORD((x * 7 + y * 13) % 256); })), 7, -1});
    frames.push_back({GlobalBlock(MakeFrame(12, 9, 4, b.data(), [](LONG x, LONG y) { return DWORD((x + y) % 16); })), 0, 3});
    frames.push_back({GlobalBlock(MakeFrame(10, 6, 1, c.data(), [](LONG x, LONG y) { return DWORD((x ^ y) & 1); })), 250, 1});
    return frames;
}

void WriteFrames(AnimationWriter& writer, const std::vector<Frame>& frames) {
    for (const Frame& f : frames) {
        GlobalLockGuard<BYTE> bits(f.dib.get());
        writer.AddFrame(FrameView(bits.get(), GlobalSize(f.dib.get()), f.delay, f.transparent));
    }
}

std::vector<BYTE> Write(AnimationFormat format, LONG width, LONG height, DelayUnit unit, const std::vector<Frame>& frames,
                        const std::string& comment) {
    MemorySink sink;
    auto writer = MakeAnimationWriter(format, sink);
    writer->Begin({width, height, unit});
    WriteFrames(*writer, frames);
    writer->SetComment(comment);
    writer->Finish();
    return sink.Bytes();
}

std::vector<BYTE> RgbaOf(const Frame& f) {
    GlobalLockGuard<BYTE> bits(f.dib.get());
    FrameView view(bits.get(), GlobalSize(f.dib.get()), f.delay, f.transparent);
    std::vector<BYTE> out(static_cast<std::size_t>(view.Width()) * view.Height() * 4);
    for (LONG y = 0; y < view.Height(); ++y) view.RgbaRow(y, out.data() + static_cast<std::size_t>(y) * view.Width() * 4);
    return out;
}

std::vector<std::vector<BYTE>> ShownByFrames(const std::vector<Frame>& frames, int width, int height) {
    std::vector<std::vector<BYTE>> screens;
    std::vector<BYTE> screen(static_cast<std::size_t>(width) * height * 4, 0);
    for (const Frame& f : frames) {
        GlobalLockGuard<BYTE> bits(f.dib.get());
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(bits.get());
        const int w = h->biWidth, rows = h->biHeight;
        std::vector<BYTE> rgba = RgbaOf(f);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < w; ++x) {
                const BYTE* p = rgba.data() + 4 * (static_cast<std::size_t>(y) * w + x);
                if (p[3]) std::memcpy(screen.data() + 4 * (static_cast<std::size_t>(y) * width + x), p, 4);
            }
        screens.push_back(screen);
    }
    return screens;
}

GifReader::GifReader(std::vector<BYTE> file) : bytes(std::move(file)) {
    int error = 0;
    gif = DGifOpen(this, Read, &error);
    EXPECT_NE(gif, nullptr) << GifErrorString(error);
    if (gif) {
        EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    }
}

GifReader::~GifReader() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
}

int GifReader::Read(GifFileType* gif, GifByteType* out, int count) {
    auto* self = static_cast<GifReader*>(gif->UserData);
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), self->bytes.size() - self->at);
    std::memcpy(out, self->bytes.data() + self->at, n);
    self->at += n;
    return static_cast<int>(n);
}

std::string ExtensionText(const ExtensionBlock* blocks, int count, int function) {
    std::string text;
    bool inside = false;
    for (int i = 0; i < count; ++i) {
        if (blocks[i].Function == function) inside = true;
        else if (blocks[i].Function != CONTINUE_EXT_FUNC_CODE) inside = false;
        if (inside) text.append(reinterpret_cast<const char*>(blocks[i].Bytes), static_cast<std::size_t>(blocks[i].ByteCount));
    }
    return text;
}

ShownAnimation ShowGif(const std::vector<BYTE>& file) {
    ShownAnimation shown;
    GifReader read(file);
    if (!read.gif) return shown;
    const GifFileType* gif = read.gif;
    shown.width = gif->SWidth;
    shown.height = gif->SHeight;
    std::vector<BYTE> screen(static_cast<std::size_t>(shown.width) * shown.height * 4, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(read.gif, i, &control);
        const ColorMapObject* table = d.ColorMap ? d.ColorMap : gif->SColorMap;
        EXPECT_NE(table, nullptr) << "image " << i;
        EXPECT_TRUE(d.Left >= 0 && d.Top >= 0 && d.Width >= 1 && d.Height >= 1 && d.Left + d.Width <= shown.width &&
                    d.Top + d.Height <= shown.height)
            << "image " << i << " at " << d.Left << "," << d.Top << " size " << d.Width << "x" << d.Height;
        if (!table || d.Left + d.Width > shown.width || d.Top + d.Height > shown.height) return shown;
        const std::vector<BYTE> before = screen;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) continue;
                EXPECT_LT(index, table->ColorCount) << "image " << i;
                const GifColorType& c = table->Colors[index % table->ColorCount];
                BYTE* p = screen.data() + 4 * (static_cast<std::size_t>(d.Top + y) * shown.width + d.Left + x);
                p[0] = c.Red;
                p[1] = c.Green;
                p[2] = c.Blue;
                p[3] = 255;
            }
        shown.screens.push_back(screen);
        shown.delays.push_back(control.DelayTime);
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = 0; y < d.Height; ++y)
                std::memset(screen.data() + 4 * (static_cast<std::size_t>(d.Top + y) * shown.width + d.Left), 0,
                            4 * static_cast<std::size_t>(d.Width));
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            screen = before;
        }
    }
    return shown;
}

ApngFile::ApngFile(const std::vector<BYTE>& bytes) {
    EXPECT_EQ(std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    chunks = PngChunks(bytes);
    for (const PngChunk& c : chunks) {
        EXPECT_TRUE(c.crcGood) << c.type;
        if (c.type == "acTL") {
            frameCount = U32(c.data.data());
            plays = U32(c.data.data() + 4);
        }
        if (c.type == "fcTL") controls.push_back(c.data);
    }
}

const PngChunk* ApngFile::Find(const std::string& type) const {
    for (const PngChunk& c : chunks)
        if (c.type == type) return &c;
    return nullptr;
}

std::vector<std::string> ApngFile::Order() const {
    std::vector<std::string> order;
    for (const PngChunk& c : chunks)
        if (order.empty() || order.back() != c.type || c.type != "IDAT") order.push_back(c.type);
    return order;
}

Rgba ApngFile::FramePicture(std::size_t i) const {
    std::vector<BYTE> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto put = [&](const std::string& type, std::vector<BYTE> data) {
        std::vector<BYTE> chunk;
        for (int s = 24; s >= 0; s -= 8) chunk.push_back(static_cast<BYTE>(data.size() >> s));
        chunk.insert(chunk.end(), type.begin(), type.end());
        chunk.insert(chunk.end(), data.begin(), data.end());
        uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(data.size() + 4));
        for (int s = 24; s >= 0; s -= 8) chunk.push_back(static_cast<BYTE>(crc >> s));
        png.insert(png.end(), chunk.begin(), chunk.end());
    };
    std::vector<BYTE> header = Find("IHDR")->data;
    std::copy(controls[i].begin() + 4, controls[i].begin() + 12, header.begin());
    put("IHDR", header);
    if (const PngChunk* plte = Find("PLTE")) put("PLTE", plte->data);
    if (const PngChunk* trns = Find("tRNS")) put("tRNS", trns->data);
    std::vector<BYTE> data;
    std::uint32_t sequence = U32(controls[i].data()) + 1;
    for (const PngChunk& c : chunks)
        if (c.type == "fdAT" && U32(c.data.data()) == sequence) data.assign(c.data.begin() + 4, c.data.end());
    put("IDAT", data);
    put("IEND", {});
    return ReadPng(png);
}

ShownAnimation ShowApng(const std::vector<BYTE>& file) {
    ShownAnimation shown;
    ApngFile apng(file);
    const PngChunk* header = apng.Find("IHDR");
    if (!header) {
        ADD_FAILURE() << "no IHDR";
        return shown;
    }
    shown.width = static_cast<int>(ApngFile::U32(header->data.data()));
    shown.height = static_cast<int>(ApngFile::U32(header->data.data() + 4));
    std::vector<BYTE> screen(static_cast<std::size_t>(shown.width) * shown.height * 4, 0);
    for (std::size_t i = 0; i < apng.controls.size(); ++i) {
        const BYTE* c = apng.controls[i].data();
        const int width = static_cast<int>(ApngFile::U32(c + 4)), height = static_cast<int>(ApngFile::U32(c + 8));
        const int left = static_cast<int>(ApngFile::U32(c + 12)), top = static_cast<int>(ApngFile::U32(c + 16));
        EXPECT_TRUE(width >= 1 && height >= 1 && left + width <= shown.width && top + height <= shown.height) << "frame " << i;
        if (i == 0) {
            EXPECT_TRUE(left == 0 && top == 0 && width == shown.width && height == shown.height);
        }
        const Rgba picture = i == 0 ? ReadPng(file) : apng.FramePicture(i);
        if (picture.width != width || picture.height != height || left + width > shown.width || top + height > shown.height) {
            ADD_FAILURE() << "frame " << i << " does not fit";
            return shown;
        }
        const std::vector<BYTE> before = screen;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const BYTE* p = picture.pixels.data() + 4 * (static_cast<std::size_t>(y) * width + x);
                BYTE* q = screen.data() + 4 * (static_cast<std::size_t>(top + y) * shown.width + left + x);
                EXPECT_TRUE(p[3] == 0 || p[3] == 255) << "partly transparent pixel in frame " << i;
                if (c[25] == 0 || p[3] == 255) std::memcpy(q, p, 4);  // SOURCE, or OVER with an opaque pixel
            }
        shown.screens.push_back(screen);
        const unsigned numerator = ApngFile::U16(c + 20), denominator = ApngFile::U16(c + 22);
        shown.delays.push_back(static_cast<int>(numerator * 1000 / (denominator ? denominator : 100)));
        if (c[24] == 1) {
            for (int y = 0; y < height; ++y)
                std::memset(screen.data() + 4 * (static_cast<std::size_t>(top + y) * shown.width + left), 0,
                            4 * static_cast<std::size_t>(width));
        } else if (c[24] == 2) {
            screen = before;
        }
    }
    return shown;
}

}  // namespace host_testing
