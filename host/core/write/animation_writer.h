// Animated files from the frames the plug-in delivers. Each format has its
// writer, an explicit state machine: Begin (canvas), AddFrame for every frame
// (checked against the call order, the canvas and the pixel budget),
// SetComment, Finish. Any failure throws HostError and leaves the writer
// failed; the sink then holds nothing worth keeping.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/core/output_file.h"
#include "image/packed_dib.h"

enum class AnimationFormat { Gif, Apng, WebP };
enum class DelayUnit { Hundredths, Milliseconds };

// By the path's extension: ".png" and ".apng" are APNG, ".webp" WebP, any
// other GIF. Case does not matter.
AnimationFormat FormatForPath(const std::string& path);
// ".gif", ".png" or ".webp".
const char* FormatExtension(AnimationFormat format);
// "GIF", "APNG" or "WebP".
const char* FormatName(AnimationFormat format);

// Delay conversions, rounded to the nearest unit; a delay that is not zero
// never becomes zero.
std::uint64_t DelayInHundredths(std::uint32_t delay, DelayUnit unit);
std::uint64_t DelayInMilliseconds(std::uint32_t delay, DelayUnit unit);

// A frame as the writers read it: a sound PackedDib of 1, 4, 8 or 24 bits,
// its delay in the canvas's unit and its transparent index (-1 for none;
// always -1 for a 24-bit frame, whose pixels have no index).
class FrameView {
public:
    // Throws HostError when the picture cannot be read or the transparent
    // index lies outside its colour table.
    FrameView(const void* dib, std::size_t blockSize, std::uint32_t delay, std::int32_t transparentIndex);

    LONG Width() const { return layout_.width; }
    LONG Height() const { return layout_.height; }
    int Bits() const { return layout_.bits; }
    bool Paletted() const { return layout_.bits <= 8; }
    std::uint32_t Delay() const { return delay_; }
    std::int32_t TransparentIndex() const { return transparent_; }
    // 2, 16 or 256 entries for paletted frames, 0 otherwise.
    int TableSize() const { return Paletted() ? 1 << layout_.bits : 0; }
    RGBQUAD TableEntry(int index) const { return layout_.Table(dib_)[index]; }

    // Row y from the top as one colour index a pixel (paletted frames).
    void IndexRow(LONG y, BYTE* out) const;
    // Row y from the top as red, green, blue, alpha bytes a pixel; the
    // transparent index gives four zero bytes, every other pixel is opaque.
    void RgbaRow(LONG y, BYTE* out) const;

private:
    const void* dib_;
    DibLayout layout_;
    std::uint32_t delay_;
    std::int32_t transparent_;
};

struct AnimationCanvas {
    LONG width = 0;
    LONG height = 0;
    DelayUnit delayUnit = DelayUnit::Hundredths;
};

class AnimationWriter {
public:
    virtual ~AnimationWriter() = default;
    AnimationWriter(const AnimationWriter&) = delete;
    AnimationWriter& operator=(const AnimationWriter&) = delete;

    // Starts the animation; frames lie at the canvas's top-left corner and
    // may be smaller than it, never larger.
    void Begin(const AnimationCanvas& canvas);
    void AddFrame(const FrameView& frame);
    // Text kept with the animation where the format has a place for it.
    void SetComment(const std::string& text);
    // Completes the file; at least one frame must have been added.
    void Finish();

    unsigned FrameCount() const { return frames_; }

protected:
    // The sink must outlive the writer.
    explicit AnimationWriter(ByteSink& sink) : sink_(sink) {}

    // A format's own limits on the canvas; throws HostError.
    virtual void CheckCanvas(const AnimationCanvas&) const {}
    virtual void WriteStart() = 0;
    virtual void WriteFrame(const FrameView& frame) = 0;
    virtual void WriteEnd() = 0;

    ByteSink& sink_;
    AnimationCanvas canvas_;
    std::string comment_;

private:
    enum class State { Ready, Open, Finished, Failed };
    void Expect(State state, const char* action);
    template <class Step>
    void Run(Step&& step);

    State state_ = State::Ready;
    unsigned frames_ = 0;
    std::uint64_t pixels_ = 0;
};

std::unique_ptr<AnimationWriter> MakeAnimationWriter(AnimationFormat format, ByteSink& sink);
