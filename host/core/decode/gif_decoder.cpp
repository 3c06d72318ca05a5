// GIF through giflib's record-by-record reader: only the first frame is
// decoded, laid on its logical screen; its transparent pixels and the rest
// of the screen are white.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"

namespace {

struct GifSource {
    const BYTE* data;
    std::size_t size;
    std::size_t at;
    bool ranOut;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)), source->size - source->at);
    if (n < static_cast<std::size_t>(count)) source->ranOut = true;
    std::memcpy(out, source->data + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void Failed(const GifSource& source, int error) {
    if (source.ranOut) throw HostError("the GIF file is truncated");
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM) throw HostError("out of memory");
    const char* text = GifErrorString(error);
    throw HostError(std::string("the GIF file is damaged (") + (text ? text : "unknown error") + ")");
}

// Stored row order of an interlaced image: every 8th row from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) order.push_back(y);
        return order;
    }
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
    return order;
}

}  // namespace

HGLOBAL DecodeGif(const BYTE* bytes, std::size_t size) {
    GifSource source{bytes, size, 0, false};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromMemory, &error));
    if (!gif) Failed(source, error);

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) Failed(source, gif->Error);
        if (record == TERMINATE_RECORD_TYPE) throw HostError("the GIF file holds no picture");
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) Failed(source, gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) Failed(source, gif->Error);
            }
            continue;
        }
        if (record == IMAGE_DESC_RECORD_TYPE) break;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) Failed(source, gif->Error);

    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0) throw HostError("the GIF file is damaged (empty frame)");
    const ColorMapObject* colours = image.ColorMap ? image.ColorMap : gif->SColorMap;
    if (!colours || colours->ColorCount <= 0) throw HostError("the GIF file is damaged (no colour table)");

    // Some files claim a screen smaller than their first frame; the screen
    // then grows to show the whole frame.
    std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t{image.Left} + image.Width);
    std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t{image.Top} + image.Height);
    TrueColourPicture picture(width, height);
    for (LONG y = 0; y < picture.Height(); ++y) std::memset(picture.Row(y), 0xFF, 3 * std::size_t(picture.Width()));

    std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
    for (int y : RowOrder(image.Height, image.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), image.Width) == GIF_ERROR) Failed(source, gif->Error);
        BYTE* out = picture.Row(image.Top + y) + 3 * static_cast<std::size_t>(image.Left);
        for (int x = 0; x < image.Width; ++x, out += 3) {
            int index = line[static_cast<std::size_t>(x)];
            if (index == transparent) continue;
            // Indexes past the table are black, as most viewers show them.
            GifColorType c = index < colours->ColorCount ? colours->Colors[index] : GifColorType{0, 0, 0};
            out[0] = c.Blue;
            out[1] = c.Green;
            out[2] = c.Red;
        }
    }
    return picture.Release();
}
