// GIF through giflib, frame by frame as they come: each frame brings its own
// colour table as the local table, a graphics control extension with its
// delay, its transparent index and the disposal that leaves it in place (so
// a transparent pixel shows the frame before), the NETSCAPE extension asks
// for endless looping, and the comment goes before the trailer.
//
// A 24-bit frame has no table; it gets an exact one when it holds 256
// colours or fewer, and otherwise giflib's median-cut quantizer chooses 256.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <utility>
#include <unordered_map>
#include <vector>

#include "host/core/host_error.h"
#include "host/core/write/writers.h"

namespace {

constexpr std::uint64_t kLongestDelay = 0xFFFF;  // the extension's 16 bits

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

ColourMap NewMap(int entries) {
    ColourMap map(GifMakeMapObject(entries, nullptr));
    if (!map) throw std::bad_alloc();
    return map;
}

// A frame as giflib takes it: indexes a pixel, row by row from the top.
struct IndexedFrame {
    ColourMap map;
    std::vector<GifPixelType> pixels;
};

IndexedFrame IndexPalettedFrame(const FrameView& frame) {
    IndexedFrame out;
    out.map = NewMap(frame.TableSize());
    for (int i = 0; i < frame.TableSize(); ++i) {
        RGBQUAD entry = frame.TableEntry(i);
        out.map->Colors[i] = GifColorType{entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
    }
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    out.pixels.resize(width * static_cast<std::size_t>(frame.Height()));
    for (LONG y = 0; y < frame.Height(); ++y) frame.IndexRow(y, out.pixels.data() + width * y);
    return out;
}

IndexedFrame IndexTrueColourFrame(const FrameView& frame) {
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    const std::size_t count = width * static_cast<std::size_t>(frame.Height());
    std::vector<BYTE> rgba(count * 4);
    for (LONG y = 0; y < frame.Height(); ++y) frame.RgbaRow(y, rgba.data() + width * 4 * y);

    IndexedFrame out;
    out.pixels.resize(count);
    std::unordered_map<std::uint32_t, int> seen;
    std::vector<std::uint32_t> colours;
    bool exact = true;
    for (std::size_t i = 0; i < count && exact; ++i) {
        const BYTE* p = rgba.data() + 4 * i;
        std::uint32_t colour = p[0] | (p[1] << 8) | (p[2] << 16);
        auto [it, added] = seen.try_emplace(colour, static_cast<int>(colours.size()));
        if (added) colours.push_back(colour);
        exact = colours.size() <= 256;
        out.pixels[i] = static_cast<GifPixelType>(it->second);
    }
    if (exact) {
        out.map = NewMap(1 << GifBitSize(static_cast<int>(colours.size())));
        std::memset(out.map->Colors, 0, sizeof(GifColorType) * out.map->ColorCount);
        for (std::size_t i = 0; i < colours.size(); ++i)
            out.map->Colors[i] = GifColorType{static_cast<GifByteType>(colours[i]), static_cast<GifByteType>(colours[i] >> 8),
                                              static_cast<GifByteType>(colours[i] >> 16)};
        return out;
    }
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (std::size_t i = 0; i < count; ++i) {
        red[i] = rgba[4 * i];
        green[i] = rgba[4 * i + 1];
        blue[i] = rgba[4 * i + 2];
    }
    out.map = NewMap(256);
    std::memset(out.map->Colors, 0, sizeof(GifColorType) * 256);
    int size = 256;
    if (GifQuantizeBuffer(static_cast<unsigned>(frame.Width()), static_cast<unsigned>(frame.Height()), &size, red.data(),
                          green.data(), blue.data(), out.pixels.data(), out.map->Colors) == GIF_ERROR)
        throw std::bad_alloc();
    return out;
}

class GifWriter final : public AnimationWriter {
public:
    explicit GifWriter(ByteSink& sink) : AnimationWriter(sink) {}
    ~GifWriter() override {
        if (gif_) {
            int error = 0;
            EGifCloseFile(gif_, &error);
        }
    }

private:
    static int Output(GifFileType* gif, const GifByteType* bytes, int count) {
        auto* self = static_cast<GifWriter*>(gif->UserData);
        if (self->writeError_) return 0;
        try {
            self->sink_.Write(bytes, static_cast<std::size_t>(count));
        } catch (...) {
            self->writeError_ = std::current_exception();
            return 0;
        }
        return count;
    }

    // giflib answers GIF_ERROR for a failed write too; the sink's own
    // exception says more than "write failed".
    void Check(int result, int error) {
        if (writeError_) std::rethrow_exception(writeError_);
        if (result == GIF_ERROR) {
            if (error == E_GIF_ERR_NOT_ENOUGH_MEM) throw std::bad_alloc();
            const char* text = GifErrorString(error);
            throw HostError(std::string("Cannot write the GIF file: ") + (text ? text : "unknown error") + ".");
        }
    }
    void Check(int result) { Check(result, gif_ ? gif_->Error : 0); }

    void WriteStart() override {
        int error = 0;
        gif_ = EGifOpen(this, Output, &error);
        if (!gif_) Check(GIF_ERROR, error);
        // Extensions need the 89a version, which giflib only picks by itself
        // when it writes a whole file at once.
        EGifSetGifVersion(gif_, true);
        Check(EGifPutScreenDesc(gif_, canvas_.width, canvas_.height, 8, 0, nullptr));
        static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        static const GifByteType loopForever[] = {1, 0, 0};
        Check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE));
        Check(EGifPutExtensionBlock(gif_, sizeof application, application));
        Check(EGifPutExtensionBlock(gif_, sizeof loopForever, loopForever));
        Check(EGifPutExtensionTrailer(gif_));
    }

    void WriteFrame(const FrameView& frame) override {
        IndexedFrame indexed = frame.Paletted() ? IndexPalettedFrame(frame) : IndexTrueColourFrame(frame);
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = static_cast<int>(std::min(DelayInHundredths(frame.Delay(), canvas_.delayUnit), kLongestDelay));
        control.TransparentColor = frame.TransparentIndex() >= 0 ? frame.TransparentIndex() : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        std::size_t length = EGifGCBToExtension(&control, extension);
        Check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension));
        Check(EGifPutImageDesc(gif_, 0, 0, frame.Width(), frame.Height(), false, indexed.map.get()));
        const std::size_t width = static_cast<std::size_t>(frame.Width());
        for (LONG y = 0; y < frame.Height(); ++y)
            Check(EGifPutLine(gif_, indexed.pixels.data() + width * y, frame.Width()));
    }

    void WriteEnd() override {
        if (!comment_.empty()) Check(EGifPutComment(gif_, comment_.c_str()));
        int error = 0;
        int result = EGifCloseFile(std::exchange(gif_, nullptr), &error);
        Check(result, error);
    }

    GifFileType* gif_ = nullptr;
    std::exception_ptr writeError_;
};

}  // namespace

std::unique_ptr<AnimationWriter> MakeGifWriter(ByteSink& sink) { return std::make_unique<GifWriter>(sink); }
