#include "host/core/write/animation_writer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "host/core/host_error.h"
#include "host/core/limits.h"
#include "host/core/write/writers.h"

AnimationFormat FormatForPath(const std::string& path) {
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    auto endsWith = [&](const char* ending) {
        std::size_t n = std::strlen(ending);
        return lower.size() >= n && lower.compare(lower.size() - n, n, ending) == 0;
    };
    if (endsWith(".png") || endsWith(".apng")) return AnimationFormat::Apng;
    if (endsWith(".webp")) return AnimationFormat::WebP;
    return AnimationFormat::Gif;
}

const char* FormatExtension(AnimationFormat format) {
    switch (format) {
    case AnimationFormat::Apng:
        return ".png";
    case AnimationFormat::WebP:
        return ".webp";
    case AnimationFormat::Gif:
        break;
    }
    return ".gif";
}

const char* FormatName(AnimationFormat format) {
    switch (format) {
    case AnimationFormat::Apng:
        return "APNG";
    case AnimationFormat::WebP:
        return "WebP";
    case AnimationFormat::Gif:
        break;
    }
    return "GIF";
}

std::uint64_t DelayInHundredths(std::uint32_t delay, DelayUnit unit) {
    if (unit == DelayUnit::Hundredths) return delay;
    std::uint64_t hundredths = (std::uint64_t{delay} + 5) / 10;
    return delay != 0 && hundredths == 0 ? 1 : hundredths;
}

std::uint64_t DelayInMilliseconds(std::uint32_t delay, DelayUnit unit) {
    return unit == DelayUnit::Milliseconds ? delay : std::uint64_t{delay} * 10;
}

FrameView::FrameView(const void* dib, std::size_t blockSize, std::uint32_t delay, std::int32_t transparentIndex)
    : dib_(dib), delay_(delay), transparent_(transparentIndex) {
    if (!PackedDibFits(dib, blockSize) || !DibLayout::From(dib, layout_) || layout_.bits == 32)
        throw HostError("the frame is not a picture of 1, 4, 8 or 24 bits per pixel");
    if (!Paletted()) {
        transparent_ = -1;
    } else if (transparent_ < -1 || transparent_ >= TableSize()) {
        throw HostError("the transparent index " + std::to_string(transparentIndex) + " lies outside the frame's " +
                        std::to_string(TableSize()) + " colours");
    }
}

void FrameView::IndexRow(LONG y, BYTE* out) const {
    const BYTE* row = layout_.Row(dib_, y);
    switch (layout_.bits) {
    case 1:
        for (LONG x = 0; x < layout_.width; ++x) out[x] = (row[x / 8] >> (7 - (x & 7))) & 1;
        break;
    case 4:
        for (LONG x = 0; x < layout_.width; ++x) out[x] = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        break;
    default:
        std::memcpy(out, row, static_cast<std::size_t>(layout_.width));
    }
}

void FrameView::RgbaRow(LONG y, BYTE* out) const {
    if (!Paletted()) {
        const BYTE* row = layout_.Row(dib_, y);
        for (LONG x = 0; x < layout_.width; ++x, row += 3, out += 4) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
            out[3] = 255;
        }
        return;
    }
    const RGBQUAD* table = layout_.Table(dib_);
    // The index row is built in the output's last quarter, which the colours
    // overwrite only after each index has been read.
    BYTE* indexes = out + 3 * static_cast<std::size_t>(layout_.width);
    IndexRow(y, indexes);
    for (LONG x = 0; x < layout_.width; ++x, out += 4) {
        BYTE index = indexes[x];
        if (index == transparent_) {
            std::memset(out, 0, 4);
            continue;
        }
        out[0] = table[index].rgbRed;
        out[1] = table[index].rgbGreen;
        out[2] = table[index].rgbBlue;
        out[3] = 255;
    }
}

void AnimationWriter::Expect(State state, const char* action) {
    if (state_ == state) return;
    const char* why = state_ == State::Failed     ? "the animation has already failed"
                      : state_ == State::Ready    ? "the animation has not been begun"
                      : state_ == State::Finished ? "the animation is already finished"
                                                  : "the animation is already begun";
    throw HostError(std::string("Cannot ") + action + ": " + why + ".");
}

template <class Step>
void AnimationWriter::Run(Step&& step) {
    try {
        step();
    } catch (const std::bad_alloc&) {
        state_ = State::Failed;
        throw HostError("Cannot write the animation: out of memory.");
    } catch (...) {
        state_ = State::Failed;
        throw;
    }
}

void AnimationWriter::Begin(const AnimationCanvas& canvas) {
    Expect(State::Ready, "begin an animation");
    Run([&] {
        if (canvas.width <= 0 || canvas.height <= 0 || canvas.width > kMaxPictureSide || canvas.height > kMaxPictureSide)
            throw HostError("An animation of " + std::to_string(canvas.width) + " x " + std::to_string(canvas.height) +
                            " pixels cannot be written; at most " + std::to_string(kMaxPictureSide) +
                            " pixels a side are accepted.");
        CheckCanvas(canvas);
        canvas_ = canvas;
        WriteStart();
    });
    state_ = State::Open;
}

void AnimationWriter::AddFrame(const FrameView& frame) {
    Expect(State::Open, "add a frame");
    // Refusing a frame leaves what was written so far intact.
    if (frame.Width() > canvas_.width || frame.Height() > canvas_.height)
        throw HostError("Frame " + std::to_string(frames_) + " of " + std::to_string(frame.Width()) + " x " +
                        std::to_string(frame.Height()) + " pixels does not fit the animation's " +
                        std::to_string(canvas_.width) + " x " + std::to_string(canvas_.height) + ".");
    std::uint64_t pixels = std::uint64_t(frame.Width()) * std::uint64_t(frame.Height());
    if (pixels_ + pixels > kMaxAnimationPixels)
        throw HostError("Frame " + std::to_string(frames_) + " is one too many: the animation would exceed " +
                        std::to_string(kMaxAnimationPixels) + " pixels in all.");
    Run([&] { WriteFrame(frame); });
    pixels_ += pixels;
    ++frames_;
}

void AnimationWriter::SetComment(const std::string& text) {
    if (state_ != State::Ready) Expect(State::Open, "add a comment");
    comment_ = text;
}

void AnimationWriter::Finish() {
    Expect(State::Open, "finish the animation");
    if (frames_ == 0) throw HostError("Cannot finish the animation: it has no frames.");
    Run([&] { WriteEnd(); });
    state_ = State::Finished;
}

std::unique_ptr<AnimationWriter> MakeAnimationWriter(AnimationFormat format, ByteSink& sink) {
    switch (format) {
    case AnimationFormat::Apng:
        return MakeApngWriter(sink);
    case AnimationFormat::WebP:
        return MakeWebPWriter(sink);
    case AnimationFormat::Gif:
        break;
    }
    return MakeGifWriter(sink);
}
