#include "bench/stage_frames.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>

#include "colour/fixed_palette.h"
#include "colour/quantize.h"
#include "colour/remap.h"
#include "colour/supercompress.h"
#include "effects/framework.h"
#include "host/core/decode/picture_decoder.h"
#include "host/core/host_error.h"
#include "host/core/output_file.h"
#include "host/core/write/animation_writer.h"
#include "image/packed_dib.h"

namespace {

constexpr COLORREF kSpareColour = RGB(255, 255, 255);
constexpr DWORD kDelay = 10;

LONG PictureSize(HGLOBAL image, LONG& height) {
    GlobalLockGuard<BYTE> bits(image);
    DibLayout layout;
    if (!bits || !DibLayout::From(bits.get(), layout)) return height = 0;
    height = layout.height;
    return layout.width;
}

// Writes the whole text or throws, naming the file.
class OutputStream {
public:
    explicit OutputStream(const std::string& path) : path_(path), out_(path, std::ios::binary) {
        if (!out_) throw HostError("cannot create " + path_);
    }
    void Write(const void* bytes, std::size_t size) {
        out_.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    }
    void Close() {
        out_.close();
        if (!out_) throw HostError("cannot write " + path_);
    }

private:
    std::string path_;
    std::ofstream out_;
};

}  // namespace

StageFrames::~StageFrames() { FreeFrameList(&list_); }

std::string FrameFileName(const std::string& folder, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.png", number);
    return (std::filesystem::path(folder) / name).string();
}

void StageFrames::Load(const std::string& folder) {
    for (int number = list_.count + 1;; ++number) {
        const std::string path = FrameFileName(folder, number);
        std::error_code ignored;
        if (!std::filesystem::exists(path, ignored)) {
            if (list_.count == 0) throw HostError("no frames: " + path + " is missing");
            return;
        }
        GlobalBlock image(DecodePictureFile(path));
        LONG height = 0;
        const LONG width = PictureSize(image.get(), height);
        if (list_.count == 0) {
            width_ = width;
            height_ = height;
        } else if (width != width_ || height != height_) {
            throw HostError(path + " is " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels, the frames before it " + std::to_string(width_) + " x " +
                            std::to_string(height_));
        }
        FrameRecord record{image.get(), nullptr, kDelay, -1, {}};
        if (!AppendFrame(&list_, &record)) throw std::bad_alloc();
        image.release();
    }
}

HGLOBAL StageFrames::Image(int i) const {
    GlobalLockGuard<FrameRecord> records(list_.records);
    return records ? records.get()[i].image : nullptr;
}

bool BuildStagePalette(const FrameList& frames, bool spare, StagePalette& palette) {
    int count = spare ? 255 : 256;
    if (!BuildFramePalette(&count, palette.triplets, frames)) return false;
    SortPaletteByLuminance(palette.triplets, count);
    palette.count = count;
    palette.depth = DepthForColourCount(spare ? count + 1 : count);
    palette.spare = spare ? count : -1;
    if (spare) {
        palette.triplets[count * 3] = GetRValue(kSpareColour);
        palette.triplets[count * 3 + 1] = GetGValue(kSpareColour);
        palette.triplets[count * 3 + 2] = GetBValue(kSpareColour);
    }
    return true;
}

StagePalette FixedStagePalette() {
    StagePalette palette;
    palette.count = BuildFixedPalette(palette.triplets, &palette.depth, kOrthogonalPalette);
    return palette;
}

bool ReduceFrames(const StageFrames& frames, const StagePalette& palette, bool dither,
                  std::vector<GlobalBlock>& out) {
    out.clear();
    out.reserve(static_cast<std::size_t>(frames.Count()));
    // One worker's road through a build: colour choices kept from frame to frame.
    FrameReducer reducer(palette.triplets, palette.depth, palette.count);
    for (int i = 0; i < frames.Count(); ++i) {
        HGLOBAL image = frames.Image(i);
        GlobalBlock reduced(dither ? reducer.Dither(image) : reducer.Remap(image));
        if (!reduced) {
            out.clear();
            return false;
        }
        out.push_back(std::move(reduced));
    }
    return true;
}

bool Supercompress(StageFrames& frames, const StagePalette& palette, std::vector<GlobalBlock>& reduced) {
    if (!MarkUnchangedPixels(frames.List(), kSpareColour)) return false;
    GlobalLockGuard<FrameRecord> records(frames.List().records);
    if (!records) return false;
    for (int i = 1; i < frames.Count() && i < static_cast<int>(reduced.size()); ++i)
        if (!ApplyChangeMask(reduced[i].get(), records.get()[i].mask, palette.spare, kSpareColour)) return false;
    return true;
}

std::size_t WriteStageGif(const std::vector<GlobalBlock>& reduced, int transparentIndex, const std::string& path) {
    if (reduced.empty()) throw HostError("no frames to write");
    OutputFile file = OutputFile::Replacing(path);
    std::unique_ptr<AnimationWriter> writer = MakeAnimationWriter(AnimationFormat::Gif, file);
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        GlobalLockGuard<BYTE> bits(reduced[i].get());
        if (!bits) throw HostError("a reduced frame cannot be read");
        FrameView frame(bits.get(), GlobalSize(reduced[i].get()), kDelay, transparentIndex);
        if (i == 0) writer->Begin(AnimationCanvas{frame.Width(), frame.Height(), DelayUnit::Hundredths});
        writer->AddFrame(frame);
    }
    writer->Finish();
    file.Commit();
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error) throw HostError("cannot read the size of " + path + ": " + error.message());
    return static_cast<std::size_t>(bytes);
}

void WritePalettePicture(const std::string& path, const StagePalette& palette) {
    OutputStream out(path);
    const char header[] = "P6\n16 16\n255\n";
    out.Write(header, sizeof header - 1);
    for (int i = 0; i < 256; ++i) out.Write(&palette.triplets[(i < palette.count ? i : 0) * 3], 3);
    out.Close();
}

void WriteRawFrames(const std::string& path, const StageFrames& frames) {
    OutputStream out(path);
    std::vector<BYTE> row(static_cast<std::size_t>(frames.Width()) * 3);
    for (int i = 0; i < frames.Count(); ++i) {
        GlobalLockGuard<BYTE> bits(frames.Image(i));
        DibLayout layout;
        if (!bits || !DibLayout::From(bits.get(), layout) || layout.bits != 24)
            throw HostError("frame " + std::to_string(i + 1) + " is not a 24-bit picture");
        for (LONG y = 0; y < layout.height; ++y) {
            const BYTE* from = layout.Row(bits.get(), y);
            for (LONG x = 0; x < layout.width; ++x) {
                row[x * 3] = from[x * 3 + 2];
                row[x * 3 + 1] = from[x * 3 + 1];
                row[x * 3 + 2] = from[x * 3];
            }
            out.Write(row.data(), row.size());
        }
    }
    out.Close();
}
