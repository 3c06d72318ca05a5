// Frames as a build hands them to a writer, and written animations read back
// with the formats' own decoders: file structure (giflib's slurp, APNG chunks
// taken apart) and what a viewer shows after each frame.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/core/write/animation_writer.h"
#include "plugin/guards.h"
#include "tests/host/host_test_support.h"

namespace host_testing {

struct Frame {
    GlobalBlock dib;
    std::uint32_t delay = 0;
    std::int32_t transparent = -1;
};

// 256 random table entries as red, green, blue bytes.
std::vector<BYTE> Palette(std::uint32_t seed);

// Three frames of the depths a build can deliver, the last smaller than the
// canvas, two with a transparent index.
std::vector<Frame> MixedFrames();

void WriteFrames(AnimationWriter& writer, const std::vector<Frame>& frames);
std::vector<BYTE> Write(AnimationFormat format, LONG width, LONG height, DelayUnit unit, const std::vector<Frame>& frames,
                        const std::string& comment = "");

// A frame's pixels as red, green, blue, alpha bytes, its transparent index
// clear.
std::vector<BYTE> RgbaOf(const Frame& f);

// What the frames show one after the other on a canvas: each laid at the
// top-left corner over what was shown, its transparent pixels leaving it;
// red, green, blue, alpha bytes, a place nothing has been drawn on yet clear.
std::vector<std::vector<BYTE>> ShownByFrames(const std::vector<Frame>& frames, int width, int height);

// giflib reading a file from memory.
struct GifReader {
    std::vector<BYTE> bytes;
    std::size_t at = 0;
    GifFileType* gif = nullptr;

    explicit GifReader(std::vector<BYTE> file);
    ~GifReader();
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;
    static int Read(GifFileType* gif, GifByteType* out, int count);
};

// The bytes of the extension blocks of one function, joined.
std::string ExtensionText(const ExtensionBlock* blocks, int count, int function);

// What a viewer shows of an animation after each of its frames, and how
// long.
struct ShownAnimation {
    int width = 0;
    int height = 0;
    std::vector<std::vector<BYTE>> screens;  // as ShownByFrames gives them
    std::vector<int> delays;                 // hundredths (GIF) or milliseconds (APNG)
};

// A GIF played as a viewer does: each image at its place with its own or the
// global table, its transparent index leaving what was there, and its
// disposal honoured afterwards (background or previous restored). Fails the
// test for an image outside the screen or without a table.
ShownAnimation ShowGif(const std::vector<BYTE>& file);

// The chunks and frames of an APNG file, taken apart by hand.
struct ApngFile {
    std::vector<PngChunk> chunks;
    std::vector<std::vector<BYTE>> controls;  // fcTL payloads
    std::uint32_t frameCount = 0, plays = 0;

    explicit ApngFile(const std::vector<BYTE>& bytes);
    static std::uint32_t U32(const BYTE* p) { return (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
    static std::uint32_t U16(const BYTE* p) { return (p[0] << 8) | p[1]; }
    const PngChunk* Find(const std::string& type) const;
    std::vector<std::string> Order() const;
    // Frame i (1 on) as a PNG of its own: the file's header chunks with the
    // frame's size, and its fdAT data as IDAT, read by libpng.
    Rgba FramePicture(std::size_t i) const;
};

// An APNG played as a viewer does: each frame at its offset, blended over or
// replacing what was there, disposed of as its fcTL says. Delays in
// milliseconds.
ShownAnimation ShowApng(const std::vector<BYTE>& file);

}  // namespace host_testing
