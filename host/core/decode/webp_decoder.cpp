// WebP through libwebp: still pictures are decoded straight into the
// picture's rows (flipped, since a DIB stores the bottom row first); for an
// animation the first frame is taken as the animation decoder shows it.
#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"

namespace {

[[noreturn]] void Failed(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
        throw HostError("the WebP file is truncated");
    case VP8_STATUS_OUT_OF_MEMORY:
        throw HostError("out of memory");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        throw HostError("the WebP file uses a feature this program cannot read");
    default:
        throw HostError("the WebP file is damaged");
    }
}

void LayOverWhite(const BYTE* bgra, BYTE* bgr, LONG width) {
    for (LONG x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        bgr[0] = OverWhite(bgra[0], bgra[3]);
        bgr[1] = OverWhite(bgra[1], bgra[3]);
        bgr[2] = OverWhite(bgra[2], bgra[3]);
    }
}

struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

HGLOBAL DecodeFirstFrame(const BYTE* bytes, std::size_t size) {
    WebPData data{bytes, size};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw HostError("the WebP library does not match this program");
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder) throw HostError("the WebP animation is damaged or truncated");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info)) throw HostError("the WebP animation is damaged");
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        throw HostError("the WebP animation is damaged or truncated");
    TrueColourPicture picture(info.canvas_width, info.canvas_height);
    const std::size_t stride = std::size_t{info.canvas_width} * 4;
    for (LONG y = 0; y < picture.Height(); ++y)
        LayOverWhite(canvas + stride * static_cast<std::size_t>(y), picture.Row(y), picture.Width());
    return picture.Release();
}

}  // namespace

HGLOBAL DecodeWebP(const BYTE* bytes, std::size_t size) {
    WebPBitstreamFeatures features;
    VP8StatusCode status = WebPGetFeatures(bytes, size, &features);
    if (status != VP8_STATUS_OK) Failed(status);
    // Checked before any decoder allocates a canvas of the claimed size.
    CheckPictureSize(features.width, features.height);
    if (features.has_animation) return DecodeFirstFrame(bytes, size);

    TrueColourPicture picture(features.width, features.height);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw HostError("the WebP library does not match this program");
    std::vector<BYTE> work;
    config.output.is_external_memory = 1;
    if (features.has_alpha) {
        work.resize(std::size_t(picture.Width()) * 4 * std::size_t(picture.Height()));
        config.output.colorspace = MODE_BGRA;
        config.output.u.RGBA.rgba = work.data();
        config.output.u.RGBA.stride = picture.Width() * 4;
        config.output.u.RGBA.size = work.size();
    } else {
        config.options.flip = 1;
        config.output.colorspace = MODE_BGR;
        config.output.u.RGBA.rgba = picture.Pixels();
        config.output.u.RGBA.stride = static_cast<int>(picture.Stride());
        config.output.u.RGBA.size = picture.Stride() * std::size_t(picture.Height());
    }
    status = WebPDecode(bytes, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) Failed(status);
    if (features.has_alpha) {
        const std::size_t stride = std::size_t(picture.Width()) * 4;
        for (LONG y = 0; y < picture.Height(); ++y)
            LayOverWhite(work.data() + stride * static_cast<std::size_t>(y), picture.Row(y), picture.Width());
    }
    return picture.Release();
}
