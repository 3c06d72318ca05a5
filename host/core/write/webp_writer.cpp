// Animated WebP through libwebp's animation encoder. The encoder takes each
// frame as the whole canvas the viewer should see, so the frames are laid
// over what is already shown here first: a transparent pixel keeps the pixel
// of the frame before, as in a GIF, and the encoder works out the changed
// rectangles itself. Frames are coded losslessly; identical consecutive
// frames are merged by the encoder into one longer frame. WebP has no place
// for a comment, so the comment is not written.
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "host/core/host_error.h"
#include "host/core/write/writers.h"

namespace {

// Frame durations are stored in 24 bits.
constexpr std::uint64_t kLongestDuration = (1u << 24) - 1;

struct EncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};

struct PictureOwner {
    WebPPicture picture;
    PictureOwner() {
        if (!WebPPictureInit(&picture)) throw HostError("Cannot write the WebP file: the WebP library does not match.");
    }
    ~PictureOwner() { WebPPictureFree(&picture); }
};

struct DataOwner {
    WebPData data;
    DataOwner() { WebPDataInit(&data); }
    ~DataOwner() { WebPDataClear(&data); }
};

class WebPWriter final : public AnimationWriter {
public:
    explicit WebPWriter(ByteSink& sink) : AnimationWriter(sink) {}

private:
    void CheckCanvas(const AnimationCanvas& canvas) const override {
        if (canvas.width > WEBP_MAX_DIMENSION || canvas.height > WEBP_MAX_DIMENSION)
            throw HostError("A WebP animation can be at most " + std::to_string(WEBP_MAX_DIMENSION) +
                            " pixels a side; this one would be " + std::to_string(canvas.width) + " x " +
                            std::to_string(canvas.height) + ".");
    }

    [[noreturn]] void Failed(const char* what) {
        const char* detail = encoder_ ? WebPAnimEncoderGetError(encoder_.get()) : nullptr;
        throw HostError(std::string("Cannot write the WebP file: ") + what +
                        (detail && *detail ? std::string(" (") + detail + ")" : std::string()) + ".");
    }

    void WriteStart() override {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_))
            throw HostError("Cannot write the WebP file: the WebP library does not match.");
        options.anim_params.loop_count = 0;  // forever
        options.anim_params.bgcolor = 0x00000000;
        options.allow_mixed = 0;
        config_.lossless = 1;
        config_.quality = 75;
        config_.method = 4;
        if (!WebPValidateConfig(&config_)) throw HostError("Cannot write the WebP file: bad encoder settings.");
        encoder_.reset(WebPAnimEncoderNew(canvas_.width, canvas_.height, &options));
        if (!encoder_) throw std::bad_alloc();
        shown_.assign(static_cast<std::size_t>(canvas_.width) * canvas_.height * 4, 0);
    }

    void WriteFrame(const FrameView& frame) override {
        std::vector<BYTE> row(static_cast<std::size_t>(frame.Width()) * 4);
        const std::size_t canvasStride = static_cast<std::size_t>(canvas_.width) * 4;
        for (LONG y = 0; y < frame.Height(); ++y) {
            frame.RgbaRow(y, row.data());
            BYTE* shown = shown_.data() + canvasStride * y;
            for (LONG x = 0; x < frame.Width(); ++x)
                if (row[4 * x + 3]) std::memcpy(shown + 4 * x, row.data() + 4 * x, 4);
        }
        PictureOwner owner;
        WebPPicture& picture = owner.picture;
        picture.use_argb = 1;
        picture.width = canvas_.width;
        picture.height = canvas_.height;
        if (!WebPPictureImportRGBA(&picture, shown_.data(), static_cast<int>(canvasStride)))
            throw std::bad_alloc();
        if (!WebPAnimEncoderAdd(encoder_.get(), &picture, static_cast<int>(timestamp_), &config_))
            Failed("a frame was refused");
        timestamp_ += std::min(DelayInMilliseconds(frame.Delay(), canvas_.delayUnit), kLongestDuration);
        if (timestamp_ > INT_MAX) throw HostError("Cannot write the WebP file: the animation is too long.");
    }

    void WriteEnd() override {
        if (!WebPAnimEncoderAdd(encoder_.get(), nullptr, static_cast<int>(timestamp_), nullptr))
            Failed("the last frame was refused");
        DataOwner assembled;
        if (!WebPAnimEncoderAssemble(encoder_.get(), &assembled.data)) Failed("the frames could not be assembled");
        sink_.Write(assembled.data.bytes, assembled.data.size);
    }

    std::unique_ptr<WebPAnimEncoder, EncoderDeleter> encoder_;
    WebPConfig config_{};
    std::vector<BYTE> shown_;  // what the viewer sees after the last frame
    std::uint64_t timestamp_ = 0;
};

}  // namespace

std::unique_ptr<AnimationWriter> MakeWebPWriter(ByteSink& sink) { return std::make_unique<WebPWriter>(sink); }
